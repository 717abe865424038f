#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"

#include "HelperClient/PluginManagementService.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/DetailShell.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RevealInFinder.h"
#include "Views/Screens/Shared/PrivilegedActionRoad.h"
#include "Views/Screens/Shared/SettleJournalButton.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryRow.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace T = TrashRecoveryTexts;

TrashRecoveryViewModel::TrashRecoveryViewModel(PluginManagementService& service, PluginInventoryStore& store)
    : m_service(service), m_store(store) {
    refresh();
}

void TrashRecoveryViewModel::refresh() {
    m_entries = m_store.trashRecoveryEntries();
}

void TrashRecoveryViewModel::appear() {
    m_store.verifyTrashRecords();
    m_selectedRecordIDs.clear();
    refresh();
}

void TrashRecoveryViewModel::pruneSelection() {
    QSet<QUuid> kept;
    for (const TrashedBundleRecord& record : m_store.trashedBundles()) {
        if (m_selectedRecordIDs.contains(record.id))
            kept.insert(record.id);
    }
    m_selectedRecordIDs = kept;
}

std::vector<MetricSpec> TrashRecoveryViewModel::cards() const {
    qsizetype ready = 0;
    qsizetype reconciled = 0;
    qsizetype review = 0;
    for (const TrashRecoveryEntry& entry : m_entries) {
        switch (entry.state) {
        case TrashRecoveryState::readyToRestore:
            ++ready;
            break;
        case TrashRecoveryState::alreadyRestored:
            ++reconciled;
            break;
        case TrashRecoveryState::destinationOccupied:
        case TrashRecoveryState::missingFromTrash:
        case TrashRecoveryState::needsVerification:
            ++review;
            break;
        }
    }
    return {{QStringLiteral("arrow.uturn.backward.circle"), QStringLiteral("Ready"), QString::number(ready),
             QStringLiteral("Verified Trash bundles"), Palette::green()},
            {QStringLiteral("checkmark.circle"), QStringLiteral("Reconciled"), QString::number(reconciled),
             QStringLiteral("Already returned"), Palette::accent()},
            {QStringLiteral("exclamationmark.triangle"), QStringLiteral("Needs Review"),
             QString::number(review), QStringLiteral("No automatic move"), Palette::amber()}};
}

bool TrashRecoveryViewModel::isReady() const {
    return m_service.isReadyForPrivilegedRequests();
}

void TrashRecoveryViewModel::setSelected(const QUuid& id, bool selected) {
    if (selected)
        m_selectedRecordIDs.insert(id);
    else
        m_selectedRecordIDs.remove(id);
}

std::vector<TrashRecoveryEntry> TrashRecoveryViewModel::selectedEntries() const {
    std::vector<TrashRecoveryEntry> selected;
    for (const TrashRecoveryEntry& entry : m_entries) {
        if (m_selectedRecordIDs.contains(entry.id()))
            selected.push_back(entry);
    }
    return selected;
}

namespace {

std::vector<QUuid> idsOf(const std::vector<TrashRecoveryEntry>& entries) {
    std::vector<QUuid> ids;
    for (const TrashRecoveryEntry& entry : entries)
        ids.push_back(entry.id());
    return ids;
}

} // namespace

std::optional<QString> TrashRecoveryViewModel::selectionBlockingReason() const {
    if (auto reason = m_service.trashRecoveryBlockingReason())
        return reason;
    return m_store.trashRecoveryBlockingReason(idsOf(selectedEntries()), m_entries);
}

std::optional<QString> TrashRecoveryViewModel::selectionReasonLine() const {
    if (m_selectedRecordIDs.isEmpty())
        return std::nullopt;
    return selectionReasonLine(selectionBlockingReason());
}

std::optional<QString> TrashRecoveryViewModel::selectionReasonLine(const std::optional<QString>& reason) {
    return reason ? std::optional(T::restoreUnavailable + *reason) : std::nullopt;
}

std::optional<QString> TrashRecoveryViewModel::rowBlockingReason(const TrashRecoveryEntry& entry) const {
    if (auto reason = m_service.trashRecoveryBlockingReason())
        return reason;
    return m_store.trashRecoveryBlockingReason({entry.id()}, m_entries);
}

std::vector<QUuid> TrashRecoveryViewModel::transactionRecordIDs(const TrashRecoveryEntry& entry) const {
    const std::optional<QString>& transaction = entry.record.trashTransactionID;
    if (!transaction)
        return {};
    std::vector<QUuid> ids;
    for (const TrashRecoveryEntry& candidate : m_entries) {
        if (candidate.record.trashTransactionID != transaction)
            continue;
        // A transaction is offered whole only while every one of its bundles can be restored.
        if (candidate.record.reconciledDate || candidate.state != TrashRecoveryState::readyToRestore)
            return {};
        ids.push_back(candidate.id());
    }
    // One bundle alone goes by the single-record road.
    return ids.size() < 2 ? std::vector<QUuid>{} : ids;
}

bool TrashRecoveryViewModel::preflight(const std::vector<QUuid>& ids) {
    if (m_service.trashRecoveryBlockingReason() || m_store.trashRecoveryBlockingReason(ids))
        return false;
    m_pendingRestoreIDs = ids;
    m_showRestoreConfirmation = true;
    return true;
}

void TrashRecoveryViewModel::restoreSelection() {
    preflight(idsOf(selectedEntries()));
}

void TrashRecoveryViewModel::restoreRecord(const QUuid& id) {
    preflight({id});
}

void TrashRecoveryViewModel::restoreTransaction(const TrashRecoveryEntry& entry) {
    preflight(transactionRecordIDs(entry));
}

QString TrashRecoveryViewModel::confirmationMessage() const {
    return T::confirmationMessage(qsizetype(m_pendingRestoreIDs.size()));
}

void TrashRecoveryViewModel::cancelConfirmation() {
    m_pendingRestoreIDs.clear();
    m_showRestoreConfirmation = false;
}

void TrashRecoveryViewModel::confirm() {
    const std::vector<QUuid> ids = m_pendingRestoreIDs;
    m_showRestoreConfirmation = false;
    TrashRecoveryRoad road = trashRecoveryRoad(m_store, m_service, ids);
    // The helper stopped being ready while the alert was open: nothing is journaled or sent.
    if (!road.isReady()) {
        m_pendingRestoreIDs.clear();
        return;
    }
    const QPointer<QObject> guard(&m_guard);
    // Nothing journaled or sent: the store's notice says why. A reply that came before the send
    // returned has already emptied the list, so only the unsent case touches it here.
    road.begin = [begin = road.begin, guard, self = this](TrashRecoveryRoad::Send send) {
        begin([send, guard, self](const std::optional<PrivilegedTrashRestoreRequest>& request) {
            if (!request && guard)
                self->m_pendingRestoreIDs.clear();
            send(request);
        });
    };
    // The pending ids stay while the request is in flight. The reply reaches the store whether or
    // not the screen still exists; while it does, finishRecovery tidies the screen too.
    road.complete = [complete = road.complete, guard, self = this,
                     ids](const PrivilegedTrashRestoreResult& result,
                          const PrivilegedTrashRestoreRequest& request, std::function<void(bool)> then) {
        if (guard)
            self->finishRecovery(result, request, ids, std::move(then));
        else
            complete(result, request, std::move(then));
    };
    runPrivilegedAction(road, &m_guard, {});
}

void TrashRecoveryViewModel::finishRecovery(const PrivilegedTrashRestoreResult& result,
                                            const PrivilegedTrashRestoreRequest& request,
                                            const std::vector<QUuid>& ids, std::function<void(bool)> then) {
    m_store.completePrivileged(
        result, request.transactionID, request.items,
        [guard = QPointer<QObject>(&m_guard), self = this, ids, then = std::move(then)](bool committed) {
            if (guard) {
                if (committed) {
                    for (const QUuid& id : ids)
                        self->m_selectedRecordIDs.remove(id);
                }
                self->m_pendingRestoreIDs.clear();
                self->refresh();
                if (self->changed)
                    self->changed();
            }
            if (then)
                then(committed);
        });
}

TrashRecoveryView::TrashRecoveryView(PluginManagementService& service, PluginInventoryStore& store,
                                     ScreenServices services, QWidget* parent)
    : QWidget(parent), m_service(service), m_store(store), m_model(service, store),
      m_services(std::move(services)) {
    setObjectName(QStringLiteral("trashRecoveryView"));
    auto* column = makeScreenColumn(this);
    m_header = new QVBoxLayout;
    column->addLayout(m_header);
    m_metrics = makeMetricRow(column);
    m_batch = addBatchArea(column, this);

    auto* body = new QWidget(this);
    m_body = new QStackedLayout(body);
    // The empty state keeps its own height, centred in the space the list would take.
    m_empty = new QWidget(body);
    m_empty->setObjectName(QStringLiteral("trashRecoveryEmpty"));
    auto* centred = new QVBoxLayout(m_empty);
    centred->addStretch(1);
    auto* empty = new EmptyState(QStringLiteral("trash"), T::emptyTitle, T::emptyDetail, m_empty);
    empty->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    centred->addWidget(empty);
    centred->addStretch(1);
    m_body->addWidget(m_empty);
    auto* scroll = new QScrollArea(body);
    scroll->setObjectName(QStringLiteral("trashRecoveryList"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Its controls take Tab and show it; the area itself would be a stop that shows nothing.
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* list = new QWidget(scroll);
    m_rows = new QVBoxLayout(list);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(12);
    scroll->setWidget(list);
    m_body->addWidget(scroll);
    column->addWidget(body, 1);
    m_batchFocus.emplace(m_batch->parentWidget(), [this] { return this; });
    m_rowsFocus.emplace(list, [this] { return this; });

    m_bars = new QVBoxLayout;
    m_bars->setSpacing(10);
    column->addLayout(m_bars);
    column->addWidget(new SettleJournalButton(store, service, this), 0, Qt::AlignLeft);

    // Checked against the disk before listening, so that the check's own change is not a second
    // rebuild; the refresh below shows its outcome.
    m_model.appear();
    m_model.changed = [this] { refresh(); };
    connect(&store, &PluginInventoryStore::trashedBundlesChanged, this, [this] {
        m_model.pruneSelection();
        refresh();
    });
    connect(&store, &PluginInventoryStore::lastOperationErrorChanged, this, &TrashRecoveryView::refresh);
    connectTransactionReadiness(store, service, this, [this] { refresh(); });
    refresh();
}

void TrashRecoveryView::refresh() {
    m_model.refresh();
    replaceStatusHeader(m_header, T::title, T::subtitle, m_model.isReady(), T::recoveryReady, this);
    replaceMetrics(m_metrics, m_model.cards());

    rebuildBatchArea();
    rebuildRows();

    clearLayout(m_bars);
    m_bars->addWidget(new InfoBar(T::ownRecordsNote, Palette::accent(), this));
    addAmberBar(m_bars, m_service.trashRecoveryBlockingReason(), QStringLiteral("serviceReasonBar"), this);
    addAmberBar(m_bars, m_store.lastOperationError(), QStringLiteral("operationErrorBar"), this);
}

void TrashRecoveryView::rebuildBatchArea() {
    const FocusKeeper::Rebuild keepFocus = m_batchFocus->rebuild();
    clearLayout(m_batch);
    if (m_model.selectedRecordIDs().isEmpty())
        return;
    const std::optional<QString> reason = m_model.selectionBlockingReason();
    auto* restore = new KitButton(T::restoreSelected, QStringLiteral("arrow.uturn.backward"),
                                  ButtonStyle::borderedProminent);
    restore->setObjectName(QStringLiteral("restoreSelectedButton"));
    restore->setEnabled(!reason);
    connect(restore, &QPushButton::clicked, this, [this] {
        m_model.restoreSelection();
        presentConfirmationIfAsked();
    });
    addBatchBar(
        m_batch, int(m_model.selectedRecordIDs().size()), QStringLiteral("format"), {restore},
        [this] {
            m_model.clearSelection();
            refresh();
        },
        TrashRecoveryViewModel::selectionReasonLine(reason), this);
}

void TrashRecoveryView::rebuildRows() {
    const FocusKeeper::Rebuild keepFocus = m_rowsFocus->rebuild();
    clearLayout(m_rows);
    const auto& entries = m_model.entries();
    m_body->setCurrentIndex(entries.empty() ? 0 : 1);
    QWidget* list = m_rows->parentWidget();
    for (const TrashRecoveryEntry& entry : entries) {
        const QUuid id = entry.id();
        TrashRecoveryRow::Actions actions;
        actions.onRestore = [this, id] {
            m_model.restoreRecord(id);
            presentConfirmationIfAsked();
        };
        actions.onRestoreTransaction = [this, entry] {
            m_model.restoreTransaction(entry);
            presentConfirmationIfAsked();
        };
        actions.onReveal = [path = entry.record.trashPath] { revealInFinder(path); };
        m_rows->addWidget(new TrashRecoveryRow(
            entry,
            {[this, id] { return m_model.selectedRecordIDs().contains(id); },
             // A tick changes only the batch bar: the rows and the records on disk stay as they are.
             [this, id](bool on) {
                 m_model.setSelected(id, on);
                 rebuildBatchArea();
             }},
            m_model.rowBlockingReason(entry), qsizetype(m_model.transactionRecordIDs(entry).size()),
            std::move(actions), *m_services.formatters, list));
    }
    m_rows->addStretch(1);
}

void TrashRecoveryView::presentConfirmationIfAsked() {
    if (!m_model.showsRestoreConfirmation() || m_alert)
        return;
    const QPointer<TrashRecoveryView> self(this);
    m_alert = presentConfirmation(window(), T::confirmationTitle, m_model.confirmationMessage(),
                                  T::confirmationAction, [self] {
                                      if (self)
                                          self->m_model.confirm();
                                  });
    m_alert->setObjectName(QStringLiteral("trashRecoveryAlert"));
    // Any way out but "Restore Bundles" is a cancel, closing the alert's window included: a box
    // closed that way reports no button, and a stale pending list would come back with the next
    // alert. The action's own handler runs after this one and takes the ids itself.
    connect(m_alert, &QDialog::finished, this, [this, alert = m_alert] {
        const auto* action = alert ? alert->findChild<QPushButton*>(QStringLiteral("actionButton")) : nullptr;
        if (!alert || alert->clickedButton() != action)
            m_model.cancelConfirmation();
    });
}

} // namespace quorvane
