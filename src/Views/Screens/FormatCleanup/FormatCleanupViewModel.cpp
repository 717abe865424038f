#include "Views/Screens/FormatCleanup/FormatCleanupViewModel.h"

#include "HelperClient/PluginManagementService.h"
#include "Planning/FileSystemProbe.h"
#include "Planning/FormatCleanupPlanner.h"
#include "Shared/PathPolicy.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/Shared/PrivilegedActionRoad.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QSet>

#include <algorithm>

#include <utility>

namespace quorvane {

namespace {

QString plural(qsizetype count) {
    return count == 1 ? QString() : QStringLiteral("s");
}

constexpr qsizetype recentRunLimit = 5;

} // namespace

QString FormatCleanupTexts::reviewGroupTitle(qsizetype count) {
    return QStringLiteral("Warnings and Exclusions (") + QString::number(count) + u')';
}

QString FormatCleanupTexts::remainCaption(qsizetype count) {
    return QString::number(count) + QStringLiteral(" format bundle") + plural(count) +
           QStringLiteral(" remain in Quarantine");
}

const QStringList& customCleanupFormats() {
    static const QStringList formats{QStringLiteral("AU"), QStringLiteral("VST2"), QStringLiteral("VST3"),
                                     QStringLiteral("AAX"), QStringLiteral("CLAP")};
    return formats;
}

QString cleanupSizeText(const Formatters& formatters, std::optional<qint64> bytes) {
    return bytes ? formatters.byteCount(*bytes) : FormatCleanupTexts::unknownSize;
}

QString cleanupConfirmationMessage(qsizetype bundles, qsizetype products, const QString& sizeText,
                                   qsizetype optIns) {
    QString message = QStringLiteral("Quorvane will move ") + QString::number(bundles) +
                      QStringLiteral(" exact format bundle") + plural(bundles) + QStringLiteral(" across ") +
                      QString::number(products) + QStringLiteral(" product") + plural(products) +
                      QStringLiteral(" into reversible quarantine. This moves ") + sizeText +
                      QStringLiteral("; it does not free disk space.");
    if (optIns > 0)
        message += QStringLiteral(" You explicitly selected ") + QString::number(optIns) +
                   QStringLiteral(" candidate") + plural(optIns) +
                   QStringLiteral(" that leave a product with no active format.");
    return message;
}

FormatCleanupViewModel::FormatCleanupViewModel(PluginInventoryStore& store, PluginManagementService& service,
                                               FormatCleanupRunController& run,
                                               std::shared_ptr<const Formatters> formatters, QObject* parent)
    : QObject(parent), m_store(store), m_service(service), m_run(run), m_formatters(std::move(formatters)) {
    connect(&m_store, &PluginInventoryStore::inventoryRevisionChanged, this,
            &FormatCleanupViewModel::onRevisionChanged);
    for (const auto signal :
         {&PluginInventoryStore::pluginsChanged, &PluginInventoryStore::isScanningChanged,
          &PluginInventoryStore::lastOperationErrorChanged, &PluginInventoryStore::formatCleanupRunsChanged})
        connect(&m_store, signal, this, &FormatCleanupViewModel::stateChanged);
    connectTransactionReadiness(m_store, m_service, this, [this] { emit stateChanged(); });
    connect(&m_run, &FormatCleanupRunController::busyChanged, this, &FormatCleanupViewModel::stateChanged);
    // The screen that started a run previews afresh once every chunk is committed; one made while
    // the run went on never showed that preview and keeps its own state. The user did not ask for
    // that preview: what they unticked before the run stays unticked in it.
    connect(&m_run, &FormatCleanupRunController::runCompleted, this, [this] {
        if (std::exchange(m_startedRun, false))
            buildPreview(std::exchange(m_untickedInRun, {}));
    });
    // A restore's commits change the inventory while the preview stays on screen; once the restore
    // is over, a preview of the inventory before it would still show the restored bundles as in
    // quarantine, so it goes.
    connect(&m_run, &FormatCleanupRunController::restoreEnded, this, [this] {
        if (m_plan && m_plan->inventoryRevision != m_store.inventoryRevision())
            resetCleanupPreview();
    });
}

void FormatCleanupViewModel::onRevisionChanged() {
    // Each committed chunk of a run makes a new revision; the preview on screen stays meanwhile.
    if (!isRunBusy())
        resetCleanupPreview();
}

void FormatCleanupViewModel::setPreset(FormatCleanupPresetKind preset) {
    if (preset == m_preset)
        return;
    m_preset = preset;
    emit presetChanged();
    resetCleanupPreview();
}

void FormatCleanupViewModel::setCustomFormat(const QString& format, bool included) {
    const bool changed = included ? m_customFormats.insert(format).second : m_customFormats.erase(format) > 0;
    if (!changed)
        return;
    emit customFormatsChanged();
    if (m_preset == FormatCleanupPresetKind::custom)
        resetCleanupPreview();
}

FormatCleanupViewModel::SelectionSet FormatCleanupViewModel::selected() const {
    SelectionSet selected;
    for (std::size_t row = 0; row < m_ticks.size(); ++row) {
        if (m_ticks[row])
            selected.insert(m_plan->candidates[row].selection);
    }
    return selected;
}

namespace {

// The candidate's place in the plan, or the plan's size.
std::size_t rowOf(const std::optional<FormatCleanupPlan>& plan, const PluginBundleSelection& selection) {
    if (!plan)
        return 0;
    const auto found = std::ranges::find(plan->candidates, selection, &FormatCleanupCandidate::selection);
    return std::size_t(found - plan->candidates.begin());
}

} // namespace

bool FormatCleanupViewModel::isSelected(const PluginBundleSelection& selection) const {
    return isSelectedAt(rowOf(m_plan, selection));
}

void FormatCleanupViewModel::setSelected(const PluginBundleSelection& selection, bool selected) {
    setSelectedAt(rowOf(m_plan, selection), selected);
}

void FormatCleanupViewModel::setSelectedAt(std::size_t row, bool selected) {
    if (row >= m_ticks.size() || bool(m_ticks[row]) == selected)
        return;
    m_ticks[row] = selected;
    m_tickedCount += selected ? 1 : -1;
    emit selectionChanged();
}

bool FormatCleanupViewModel::isRunBusy() const {
    return m_run.isBusy();
}

bool FormatCleanupViewModel::canBuildPreview() const {
    return !isRunBusy() && !m_store.isScanning() &&
           !(m_preset == FormatCleanupPresetKind::custom && m_customFormats.empty());
}

void FormatCleanupViewModel::buildCleanupPreview() {
    buildPreview({});
}

void FormatCleanupViewModel::buildPreview(const QSet<QString>& keptUnticked) {
    const StoreEnvironment& environment = m_store.environment();
    const SystemFileSystemProbe fileSystem = environment.homeFolder.isEmpty()
                                                 ? SystemFileSystemProbe()
                                                 : SystemFileSystemProbe(environment.homeFolder);
    const bool pending = m_store.hasPendingPrivilegedTransaction();
    m_plan = makeFormatCleanupPlan(m_preset, m_customFormats, m_store.plugins(), m_store.inventoryRevision(),
                                   std::nullopt, pending, fileSystem, true, PathPolicy(environment.roots));
    // Worked out once per plan: the metrics and "Select Safe Defaults" ask again and again.
    m_affectedProductCount = m_plan->affectedProductCount();
    const std::vector<PluginBundleSelection> defaults = m_plan->defaultSelections();
    const SelectionSet defaultSet(defaults.begin(), defaults.end());
    m_defaultTicks.assign(m_plan->candidates.size(), false);
    m_ticks.assign(m_plan->candidates.size(), false);
    m_tickedCount = 0;
    for (std::size_t row = 0; row < m_plan->candidates.size(); ++row) {
        const PluginBundleSelection& selection = m_plan->candidates[row].selection;
        m_defaultTicks[row] = defaultSet.contains(selection);
        m_ticks[row] = m_defaultTicks[row] && !keptUnticked.contains(selection.bundleID);
        m_tickedCount += m_ticks[row] ? 1 : 0;
    }
    emit planChanged();
    emit selectionChanged();
}

void FormatCleanupViewModel::resetCleanupPreview() {
    const bool hadPlan = m_plan.has_value();
    const bool hadSelection = m_tickedCount > 0;
    m_plan.reset();
    m_defaultTicks.clear();
    m_ticks.clear();
    m_tickedCount = 0;
    setShowConfirmation(false);
    if (hadPlan)
        emit planChanged();
    if (hadSelection)
        emit selectionChanged();
}

std::vector<FormatCleanupViewModel::Note> FormatCleanupViewModel::notes() const {
    std::vector<Note> notes{{FormatCleanupTexts::safetyNote, Tint::blue}};
    if (const auto reason = m_service.quarantineBlockingReason())
        notes.push_back({*reason, Tint::amber});
    if (const auto& error = m_store.lastOperationError())
        notes.push_back({*error, Tint::amber});
    return notes;
}

QString FormatCleanupViewModel::noEligibleDescription() const {
    return m_plan && !m_plan->exclusions.empty() ? FormatCleanupTexts::everyTargetExcluded
                                                 : FormatCleanupTexts::nothingTargeted;
}

std::vector<FormatCleanupCandidate> FormatCleanupViewModel::selectedCleanupCandidates() const {
    std::vector<FormatCleanupCandidate> candidates;
    if (!m_plan)
        return candidates;
    for (std::size_t row = 0; row < m_ticks.size(); ++row) {
        if (m_ticks[row])
            candidates.push_back(m_plan->candidates[row]);
    }
    return candidates;
}

FormatCleanupViewModel::SelectionSummary FormatCleanupViewModel::selectionSummary() const {
    // One pass over the plan, without copying candidates: it runs on every tick of a long list.
    SelectionSummary summary;
    if (!m_plan)
        return summary;
    QSet<QUuid> products;
    if (m_tickedCount == 0)
        return summary;
    products.reserve(m_tickedCount);
    // A product's candidates are usually adjacent; the set sees each product once then.
    const QUuid* last = nullptr;
    for (std::size_t row = 0; row < m_ticks.size(); ++row) {
        if (!m_ticks[row])
            continue;
        const FormatCleanupCandidate& candidate = m_plan->candidates[row];
        if (!last || *last != candidate.selection.pluginID)
            products.insert(candidate.selection.pluginID);
        last = &candidate.selection.pluginID;
        summary.sizeInBytes += candidate.sizeInBytes.value_or(0);
        summary.optIns += candidate.removesLastActiveFormat ? 1 : 0;
    }
    summary.products = products.size();
    return summary;
}

qsizetype FormatCleanupViewModel::selectedProductCount() const {
    return selectionSummary().products;
}

qint64 FormatCleanupViewModel::selectedSizeInBytes() const {
    return selectionSummary().sizeInBytes;
}

qsizetype FormatCleanupViewModel::optInCount() const {
    return selectionSummary().optIns;
}

std::vector<FormatCleanupViewModel::Metric> FormatCleanupViewModel::metrics() const {
    if (!m_plan)
        return {};
    const QString products = QStringLiteral(" products");
    const SelectionSummary summary = selectionSummary();
    return {
        {QStringLiteral("shippingbox"), QStringLiteral("Eligible Bundles"),
         QString::number(m_plan->candidates.size()), QString::number(m_affectedProductCount) + products,
         Tint::blue},
        {QStringLiteral("checkmark.circle"), QStringLiteral("Selected"), QString::number(m_tickedCount),
         QString::number(summary.products) + products, Tint::green},
        {QStringLiteral("externaldrive.badge.minus"), QStringLiteral("Data Moved"),
         sizeText(summary.sizeInBytes), QStringLiteral("Quarantine\u2014not space saved"), Tint::amber},
        {QStringLiteral("shield.slash"), QStringLiteral("Excluded"),
         QString::number(m_plan->exclusions.size()), QStringLiteral("Protected or unsafe"), Tint::amber},
    };
}

QString FormatCleanupViewModel::sizeText(std::optional<qint64> bytes) const {
    return cleanupSizeText(*m_formatters, bytes);
}

void FormatCleanupViewModel::selectSafeDefaults() {
    if (!m_plan)
        return;
    m_ticks = m_defaultTicks;
    m_tickedCount = std::ranges::count(m_ticks, char(true));
    emit selectionChanged();
}

void FormatCleanupViewModel::clearSelection() {
    if (m_tickedCount == 0)
        return;
    std::ranges::fill(m_ticks, false);
    m_tickedCount = 0;
    emit selectionChanged();
}

bool FormatCleanupViewModel::canQuarantineSelected() const {
    return m_tickedCount > 0 && !isRunBusy() && !m_service.quarantineBlockingReason();
}

void FormatCleanupViewModel::requestConfirmation() {
    if (canQuarantineSelected())
        setShowConfirmation(true);
}

void FormatCleanupViewModel::cancelConfirmation() {
    setShowConfirmation(false);
}

void FormatCleanupViewModel::setShowConfirmation(bool show) {
    if (show == m_showConfirmation)
        return;
    m_showConfirmation = show;
    emit confirmationChanged();
}

QString FormatCleanupViewModel::confirmationMessage() const {
    const SelectionSummary summary = selectionSummary();
    return cleanupConfirmationMessage(m_tickedCount, summary.products, sizeText(summary.sizeInBytes),
                                      summary.optIns);
}

void FormatCleanupViewModel::startCleanupPresetRun() {
    setShowConfirmation(false);
    if (!m_plan)
        return;
    std::vector<PluginBundleSelection> confirmed;
    for (const FormatCleanupCandidate& candidate : selectedCleanupCandidates())
        confirmed.push_back(candidate.selection);
    // The plan is copied: a run that completes at once rebuilds the preview it came from.
    const FormatCleanupPlan plan = *m_plan;
    m_untickedInRun.clear();
    for (std::size_t row = 0; row < m_ticks.size(); ++row) {
        if (!m_ticks[row])
            m_untickedInRun.insert(plan.candidates[row].selection.bundleID);
    }
    m_startedRun = true;
    m_run.start(plan, confirmed);
    // Refused, or already over (a run may end before start returns).
    if (!m_run.isBusy())
        m_startedRun = false;
}

std::vector<FormatCleanupViewModel::RecentRun> FormatCleanupViewModel::recentRuns() const {
    std::vector<RecentRun> runs;
    const QHash<QUuid, qsizetype> quarantined = m_store.cleanupRuns().presetRunQuarantinedCounts();
    for (const FormatCleanupRunRecord& record : m_store.formatCleanupRuns()) {
        if (qsizetype(runs.size()) == recentRunLimit)
            break;
        if (record.status != FormatCleanupRunStatus::completed &&
            record.status != FormatCleanupRunStatus::partiallyCompleted)
            continue;
        const qsizetype remaining = quarantined.value(record.id);
        if (remaining > 0)
            runs.push_back({record.id, record.preset, remaining});
    }
    return runs;
}

bool FormatCleanupViewModel::canRestoreRuns() const {
    return !isRunBusy() && !m_service.restoreBlockingReason();
}

void FormatCleanupViewModel::restoreCompletedRun(const QUuid& runID) {
    m_run.restoreCompletedRun(runID);
}

} // namespace quorvane
