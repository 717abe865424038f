#include "Views/Screens/Quarantine/QuarantineView.h"

#include "HelperClient/PluginManagementService.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/QuarantineDetailPane.h"
#include "Views/Kit/TrashConfirmationSheet.h"
#include "Views/Screens/Shared/PrivilegedActionRoad.h"
#include "Views/Screens/Shared/SettleJournalButton.h"

#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace T = QuarantineTexts;

QuarantineViewModel::QuarantineViewModel(PluginManagementService& service, PluginInventoryStore& store,
                                         Binding<std::optional<Plugin>> selectedPlugin)
    : m_service(service), m_store(store), m_selectedPlugin(std::move(selectedPlugin)) {}

void QuarantineViewModel::setSelectedPluginIDs(const QSet<QUuid>& ids) {
    if (ids == m_selectedPluginIDs)
        return;
    m_selectedPluginIDs = ids;
    followSelection();
}

void QuarantineViewModel::followSelection() {
    if (m_selectedPluginIDs.isEmpty()) {
        m_selectedPlugin.set(std::nullopt);
        return;
    }
    const std::optional<Plugin> inspected = m_selectedPlugin.get();
    if (inspected && m_selectedPluginIDs.contains(inspected->id))
        return;
    for (const Plugin& plugin : quarantinedPlugins()) {
        if (m_selectedPluginIDs.contains(plugin.id)) {
            m_selectedPlugin.set(plugin);
            return;
        }
    }
    m_selectedPlugin.set(std::nullopt);
}

void QuarantineViewModel::clearSelection() {
    m_selectedPluginIDs.clear();
    m_selectedPlugin.set(std::nullopt);
}

void QuarantineViewModel::reconcileWithStore() {
    const std::vector<Plugin> quarantined = quarantinedPlugins();
    QSet<QUuid> kept;
    const Plugin* firstKept = nullptr;
    for (const Plugin& plugin : quarantined) {
        if (m_selectedPluginIDs.contains(plugin.id)) {
            kept.insert(plugin.id);
            firstKept = firstKept ? firstKept : &plugin;
        }
    }
    m_selectedPluginIDs = std::move(kept);
    // The inspected product stays, with its new state, while it is still ticked; else the first
    // ticked one takes its place.
    const std::optional<Plugin> inspected = m_selectedPlugin.get();
    const auto current = inspected && m_selectedPluginIDs.contains(inspected->id)
                             ? std::ranges::find(quarantined, inspected->id, &Plugin::id)
                             : quarantined.end();
    if (current != quarantined.end())
        m_selectedPlugin.set(*current);
    else
        m_selectedPlugin.set(firstKept ? std::optional(*firstKept) : std::nullopt);
}

std::vector<Plugin> QuarantineViewModel::quarantinedPlugins() const {
    return m_store.quarantinedPlugins();
}

std::vector<Plugin> QuarantineViewModel::selectedQuarantinedPlugins() const {
    std::vector<Plugin> selected;
    for (const Plugin& plugin : quarantinedPlugins()) {
        if (m_selectedPluginIDs.contains(plugin.id))
            selected.push_back(plugin);
    }
    return selected;
}

qsizetype QuarantineViewModel::selectedQuarantinedBundleCount() const {
    return qsizetype(batchSelections().size());
}

std::vector<PluginBundleSelection> QuarantineViewModel::batchSelections() const {
    return quarantinedBundleSelections(selectedQuarantinedPlugins());
}

std::vector<PluginBundleRecord> QuarantineViewModel::inspectorBundles() const {
    const std::optional<Plugin> inspected = m_selectedPlugin.get();
    std::vector<PluginBundleRecord> bundles;
    if (!inspected)
        return bundles;
    for (const PluginBundleRecord& record : inspected->bundleRecords()) {
        if (record.isQuarantined())
            bundles.push_back(record);
    }
    return bundles;
}

bool QuarantineViewModel::isReady() const {
    return m_service.isReadyForPrivilegedRequests();
}

std::vector<MetricSpec> QuarantineViewModel::cards() const {
    const QString count = QString::number(m_store.quarantinedBundleCount());
    return {{QStringLiteral("shippingbox"), QStringLiteral("Quarantined"), count,
             QStringLiteral("Individual format bundles"), Palette::amber()},
            {QStringLiteral("externaldrive"), QStringLiteral("Storage"),
             quarantinedPlugins().empty() ? QStringLiteral("Empty") : QStringLiteral("Local"),
             QStringLiteral("Inside Quorvane Application Support"), Palette::accent()},
            {QStringLiteral("checkmark.circle"), QStringLiteral("Restorable"), count,
             QStringLiteral("Verified and ready"), Palette::green()}};
}

std::optional<QString> QuarantineViewModel::batchRestoreReason() const {
    if (auto reason = m_service.restoreBlockingReason())
        return reason;
    return m_store.planRestore(batchSelections());
}

std::optional<QString> QuarantineViewModel::batchTrashReason() const {
    if (auto reason = m_service.trashBlockingReason())
        return reason;
    return m_store.planTrash(batchSelections());
}

std::optional<QString> QuarantineViewModel::batchReasonLine() const {
    if (m_selectedPluginIDs.isEmpty())
        return std::nullopt;
    // Restore-service, restore-plan, Trash-service, Trash-plan: each pair asks its plan only when
    // its service gives no reason.
    const std::optional<QString> restore = batchRestoreReason();
    return batchReasonLine(restore, restore ? std::nullopt : batchTrashReason());
}

std::optional<QString> QuarantineViewModel::batchReasonLine(const std::optional<QString>& restoreReason,
                                                            const std::optional<QString>& trashReason) {
    const std::optional<QString>& reason = restoreReason ? restoreReason : trashReason;
    return reason ? std::optional(T::batchUnavailable + *reason) : std::nullopt;
}

std::optional<QString> QuarantineViewModel::restoreReason(const Plugin& plugin) const {
    if (auto reason = m_service.restoreBlockingReason())
        return reason;
    return m_store.planRestore(pluginSelections(plugin));
}

std::optional<QString> QuarantineViewModel::trashReason(const Plugin& plugin) const {
    if (auto reason = m_service.trashBlockingReason())
        return reason;
    return m_store.planTrash(pluginSelections(plugin));
}

std::optional<QString> QuarantineViewModel::bundleRestoreReason(const Plugin& plugin,
                                                                const PluginBundleRecord& bundle) const {
    if (auto reason = m_service.restoreBlockingReason())
        return reason;
    return m_store.planRestore(bundleSelections(plugin, bundle));
}

std::optional<QString> QuarantineViewModel::bundleTrashReason(const Plugin& plugin,
                                                              const PluginBundleRecord& bundle) const {
    if (auto reason = m_service.trashBlockingReason())
        return reason;
    return m_store.planTrash(bundleSelections(plugin, bundle));
}

std::vector<PluginBundleSelection> QuarantineViewModel::pluginSelections(const Plugin& plugin) {
    return quarantinedBundleSelections({plugin});
}

std::vector<PluginBundleSelection> QuarantineViewModel::bundleSelections(const Plugin& plugin,
                                                                         const PluginBundleRecord& bundle) {
    // The record's id is the key of its original path (its path without one): a bundle keeps its
    // identity while it sits in quarantine.
    return {{plugin.id, bundle.id()}};
}

void QuarantineViewModel::restore(const std::vector<PluginBundleSelection>& selections) {
    runPrivilegedAction(restoreRoad(m_store, m_service, selections), &m_guard, [this] { clearSelection(); });
}

void QuarantineViewModel::moveToTrash(const std::vector<PluginBundleSelection>& selections) {
    runPrivilegedAction(trashRoad(m_store, m_service, selections), &m_guard, [this] { clearSelection(); });
}

QString QuarantineViewModel::batchRestoreMessage() const {
    return T::batchRestoreMessage(qsizetype(selectedQuarantinedPlugins().size()),
                                  selectedQuarantinedBundleCount());
}

QuarantineView::QuarantineView(PluginManagementService& service, PluginInventoryStore& store,
                               Binding<std::optional<Plugin>> selectedPlugin, QWidget* parent)
    : QWidget(parent), m_service(service), m_store(store),
      m_model(service, store,
              {selectedPlugin.get, [this, set = selectedPlugin.set](std::optional<Plugin> plugin) {
                   set(std::move(plugin));
                   refreshSelection();
               }}) {
    setObjectName(QStringLiteral("quarantineView"));
    auto* column = makeScreenColumn(this);
    m_header = new QVBoxLayout;
    column->addLayout(m_header);
    m_metrics = makeMetricRow(column);
    m_batch = addBatchArea(column, this);
    m_batchFocus.emplace(m_batch->parentWidget(), [this] { return this; });

    auto* split = new FlatSplitter(Qt::Horizontal, Palette::hairline(), this);
    split->setObjectName(QStringLiteral("quarantineSplit"));
    split->setChildrenCollapsible(false);
    m_table = new MultiSelectPluginTable({[this] { return m_model.selectedPluginIDs(); },
                                          [this](QSet<QUuid> ids) {
                                              m_model.setSelectedPluginIDs(ids);
                                              refreshSelection();
                                          }},
                                         split);
    QuarantineDetailPane::Actions actions;
    actions.restoreReason = [this](const Plugin& plugin) { return m_model.restoreReason(plugin); };
    actions.trashReason = [this](const Plugin& plugin) { return m_model.trashReason(plugin); };
    actions.bundleRestoreReason = [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
        return m_model.bundleRestoreReason(plugin, bundle);
    };
    actions.bundleTrashReason = [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
        return m_model.bundleTrashReason(plugin, bundle);
    };
    actions.onRestore = [this](const Plugin& plugin) {
        m_model.restore(QuarantineViewModel::pluginSelections(plugin));
    };
    actions.onTrash = [this](const Plugin& plugin) {
        m_model.moveToTrash(QuarantineViewModel::pluginSelections(plugin));
    };
    actions.onRestoreBundle = [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
        m_model.restore(QuarantineViewModel::bundleSelections(plugin, bundle));
    };
    actions.onTrashBundle = [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
        m_model.moveToTrash(QuarantineViewModel::bundleSelections(plugin, bundle));
    };
    m_inspector = new QuarantineDetailPane(std::move(actions), split);
    sizeInspector(m_inspector);
    m_table->setMinimumWidth(pluginTableMinimumWidth);
    split->addWidget(m_table);
    split->addWidget(m_inspector);
    split->setStretchFactor(0, 1);
    column->addWidget(split, 1);
    m_bars = new QVBoxLayout;
    m_bars->setSpacing(10);
    column->addLayout(m_bars);
    column->addWidget(new SettleJournalButton(store, service, this), 0, Qt::AlignLeft);

    connect(&store, &PluginInventoryStore::pluginsChanged, this, [this] {
        m_model.reconcileWithStore();
        refresh();
    });
    // The helper and the last error change the chip, the reasons and the bars, not the list.
    connect(&store, &PluginInventoryStore::lastOperationErrorChanged, this, &QuarantineView::refreshStatus);
    connectTransactionReadiness(store, service, this, [this] { refreshStatus(); });
    m_model.appear();
    refresh();
}

void QuarantineView::refresh() {
    replaceMetrics(m_metrics, m_model.cards());
    m_table->setPlugins(m_model.quarantinedPlugins());
    refreshStatus();
}

void QuarantineView::refreshStatus() {
    replaceStatusHeader(m_header, T::title, T::subtitle, m_model.isReady(), T::restoreReady, this);
    refreshSelection();
    rebuildBars();
}

void QuarantineView::refreshSelection() {
    m_table->refreshSelection();
    // Asks the reasons afresh, which follow the service and the store the inspector does not watch.
    m_inspector->setPlugin(m_model.selectedPlugin(), m_model.inspectorBundles());
    rebuildBatchArea();
}

void QuarantineView::rebuildBatchArea() {
    const FocusKeeper::Rebuild keepFocus = m_batchFocus->rebuild();
    clearLayout(m_batch);
    if (m_model.selectedPluginIDs().isEmpty())
        return;
    const std::optional<QString> restoreReason = m_model.batchRestoreReason();
    const std::optional<QString> trashReason = m_model.batchTrashReason();
    auto* restore = new KitButton(T::restoreSelected, QStringLiteral("arrow.uturn.backward"),
                                  ButtonStyle::borderedProminent);
    restore->setObjectName(QStringLiteral("restoreSelectedButton"));
    restore->setEnabled(!restoreReason);
    connect(restore, &QPushButton::clicked, this, &QuarantineView::presentBatchRestore);
    auto* trash = new KitButton(T::trashSelected, QStringLiteral("trash"), ButtonStyle::bordered);
    trash->setObjectName(QStringLiteral("trashSelectedButton"));
    trash->setTint(Palette::red());
    trash->setEnabled(!trashReason);
    connect(trash, &QPushButton::clicked, this, &QuarantineView::presentBatchTrash);
    addBatchBar(
        m_batch, int(m_model.selectedQuarantinedPlugins().size()), QStringLiteral("plugin"), {restore, trash},
        [this] {
            m_model.clearSelection();
            refreshSelection();
        },
        QuarantineViewModel::batchReasonLine(restoreReason, trashReason), this);
}

void QuarantineView::rebuildBars() {
    clearLayout(m_bars);
    addAmberBar(m_bars, m_service.trashBlockingReason(), QStringLiteral("trashReasonBar"), this);
    m_bars->addWidget(new InfoBar(T::reversibleNote, Palette::amber(), this));
    addAmberBar(m_bars, m_store.lastOperationError(), QStringLiteral("operationErrorBar"), this);
}

void QuarantineView::presentBatchRestore() {
    presentConfirmation(window(), T::batchRestoreTitle, m_model.batchRestoreMessage(), T::batchRestoreAction,
                        [self = QPointer<QuarantineView>(this), named = m_model.batchSelections()] {
                            // The batch the alert named, re-planned, whatever the ticks are now.
                            if (self)
                                self->m_model.restore(named);
                        });
}

void QuarantineView::presentBatchTrash() {
    if (m_trashSheet)
        return;
    m_trashSheet = openTrashSheet(
        [this](std::function<void()> onCancel, std::function<void()> onConfirm) {
            return new BatchTrashConfirmationSheet(qint64(m_model.selectedQuarantinedPlugins().size()),
                                                   m_model.selectedQuarantinedBundleCount(),
                                                   std::move(onCancel), std::move(onConfirm), this);
        },
        // Closed whether or not the road got past the readiness test; the batch is the one the sheet
        // named.
        [self = QPointer<QuarantineView>(this), named = m_model.batchSelections()] {
            if (self)
                self->m_model.moveToTrash(named);
        },
        QStringLiteral("batchTrashSheet"));
}

TrashSheetFrame* QuarantineView::batchTrashSheet() const {
    return m_trashSheet;
}

} // namespace quorvane
