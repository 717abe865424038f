#include "Views/Screens/Shared/SettleJournalButton.h"

#include "Store/PluginInventoryStore.h"
#include "Views/Screens/Shared/PrivilegedActionRoad.h"

namespace quorvane {

SettleJournalButton::SettleJournalButton(PluginInventoryStore& store, const PluginManagementService& service,
                                         QWidget* parent)
    : KitButton(QStringLiteral("Settle From Disk"), QString(), ButtonStyle::bordered, parent),
      m_store(store) {
    setObjectName(QStringLiteral("settleJournalButton"));
    // Asking the helper first changes nothing the store publishes; refreshing hides the button
    // until its answer has been acted on.
    connect(this, &QPushButton::clicked, this, [this] {
        m_store.settlePendingJournal();
        refresh();
    });
    for (const auto signal :
         {&PluginInventoryStore::isScanningChanged, &PluginInventoryStore::lastOperationErrorChanged,
          &PluginInventoryStore::fileActionsBlockedByStorageChanged})
        connect(&store, signal, this, &SettleJournalButton::refresh);
    connectTransactionReadiness(store, service, this, [this] { refresh(); });
    refresh();
}

void SettleJournalButton::refresh() {
    setVisible(m_store.canSettlePendingJournal());
}

} // namespace quorvane
