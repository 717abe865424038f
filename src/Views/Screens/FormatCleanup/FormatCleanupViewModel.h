#pragma once

#include "Model/PluginBundleSelection.h"
#include "Planning/FormatCleanupPlan.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace quorvane {

class FormatCleanupRunController;
class Formatters;
class PluginInventoryStore;
class PluginManagementService;

namespace FormatCleanupTexts {
inline const QString title = QStringLiteral("Format Cleanup");
inline const QString subtitle = QStringLiteral(
    "Preview a format rule across the full inventory, make exceptions, then quarantine one reviewed batch.");
inline const QString buildPreview = QStringLiteral("Build Preview");
inline const QString customRowLabel = QStringLiteral("Formats to quarantine:");
inline const QString noPreviewTitle = QStringLiteral("Build a Cleanup Preview");
inline const QString noPreviewDescription =
    QStringLiteral("Choose a preset, then review every proposed format before anything moves.");
inline const QString noEligibleTitle = QStringLiteral("No Eligible Formats");
inline const QString everyTargetExcluded =
    QStringLiteral("Every targeted bundle was safely excluded. Review the exclusions below.");
inline const QString nothingTargeted =
    QStringLiteral("This preset does not target any active format bundles.");
inline const QString safetyNote = QStringLiteral(
    "Cleanup presets quarantine only the exact reviewed bundles. They never run in the background, "
    "never move protected or shared-shell items, and never send a bundle directly to Trash.");
inline const QString reviewedCandidates = QStringLiteral("Reviewed Candidates");
inline const QString selectSafeDefaults = QStringLiteral("Select Safe Defaults");
inline const QString clear = QStringLiteral("Clear");
inline const QString quarantineSelected = QStringLiteral("Quarantine Selected\u2026");
inline const QString noActiveFormatRemaining = QStringLiteral("No Active Format Remaining");
inline const QString unknownSize = QStringLiteral("Unknown size");
inline const QString confirmationTitle = QStringLiteral("Quarantine Reviewed Formats?");
inline const QString startCleanupPreset = QStringLiteral("Start Cleanup Preset");
inline const QString recentRuns = QStringLiteral("Recent Preset Runs");
inline const QString restoreCompletedRun = QStringLiteral("Restore Completed Run");

// "Warnings and Exclusions (<n>)".
QString reviewGroupTitle(qsizetype count);
// "<n> format bundle[s] remain in Quarantine".
QString remainCaption(qsizetype count);
} // namespace FormatCleanupTexts

// The five formats the custom preset offers, in order.
const QStringList& customCleanupFormats();

// A byte count as the review shows it: the formatter's text ("0 bytes" for 0 or less), and
// "Unknown size" for a candidate without one.
QString cleanupSizeText(const Formatters& formatters, std::optional<qint64> bytes);

// The confirmation alert's message for `bundles` bundles of `products` products moving the data
// `sizeText` names, `optIns` of which leave a product with no active format.
QString cleanupConfirmationMessage(qsizetype bundles, qsizetype products, const QString& sizeText,
                                   qsizetype optIns);

// The format cleanup screen's state and logic: the preset and custom formats, the preview and its
// reviewed selection, the confirmation, the information bars and the recent runs. The run itself
// belongs to the long-lived run controller, which the screen only starts and reads.
class FormatCleanupViewModel : public QObject {
    Q_OBJECT
public:
    enum class Tint { blue, green, amber };
    struct Note {
        QString text;
        Tint tint = Tint::blue;
        bool operator==(const Note&) const = default;
    };
    struct Metric {
        QString icon;
        QString title;
        QString value;
        QString detail;
        Tint tint = Tint::blue;
        bool operator==(const Metric&) const = default;
    };
    struct RecentRun {
        QUuid id;
        FormatCleanupPresetKind preset = FormatCleanupPresetKind::auOnly;
        qsizetype remaining = 0;
        bool operator==(const RecentRun&) const = default;
    };
    using SelectionSet = std::unordered_set<PluginBundleSelection>;

    FormatCleanupViewModel(PluginInventoryStore& store, PluginManagementService& service,
                           FormatCleanupRunController& run, std::shared_ptr<const Formatters> formatters,
                           QObject* parent = nullptr);

    FormatCleanupPresetKind preset() const { return m_preset; }
    // Choosing another preset drops the preview.
    void setPreset(FormatCleanupPresetKind preset);
    const FormatSet& customFormats() const { return m_customFormats; }
    // Drops the preview when the custom preset is chosen.
    void setCustomFormat(const QString& format, bool included);
    const std::optional<FormatCleanupPlan>& plan() const { return m_plan; }
    // The ticked candidates' selections.
    SelectionSet selected() const;
    bool isSelected(const PluginBundleSelection& selection) const;
    void setSelected(const PluginBundleSelection& selection, bool selected);
    // The same by the candidate's place in the plan, as the list asks.
    bool isSelectedAt(std::size_t row) const { return row < m_ticks.size() && m_ticks[row]; }
    void setSelectedAt(std::size_t row, bool selected);
    bool showConfirmation() const { return m_showConfirmation; }
    bool isRunBusy() const;

    bool canBuildPreview() const;
    // The planner over the whole inventory as it is now, with the on-disk check; the selection
    // becomes the plan's safe defaults.
    void buildCleanupPreview();
    void resetCleanupPreview();
    // The bars under the review, in order.
    std::vector<Note> notes() const;
    // The description of "No Eligible Formats".
    QString noEligibleDescription() const;

    // The plan's candidates in the selection, in plan order.
    std::vector<FormatCleanupCandidate> selectedCleanupCandidates() const;
    qsizetype selectedProductCount() const;
    qint64 selectedSizeInBytes() const;
    qsizetype optInCount() const;
    std::vector<Metric> metrics() const;
    QString sizeText(std::optional<qint64> bytes) const;
    void selectSafeDefaults();
    void clearSelection();
    bool canQuarantineSelected() const;
    void requestConfirmation();
    void cancelConfirmation();
    QString confirmationMessage() const;
    // "Start Cleanup Preset": closes the confirmation and hands the selected candidates to the run.
    void startCleanupPresetRun();

    // Finished runs that still hold bundles in quarantine: at most five, newest first.
    std::vector<RecentRun> recentRuns() const;
    bool canRestoreRuns() const;
    void restoreCompletedRun(const QUuid& runID);

signals:
    void presetChanged();
    void customFormatsChanged();
    void planChanged();
    void selectionChanged();
    void confirmationChanged();
    // The store, the service or the run changed: bars, buttons and the recent runs may differ.
    void stateChanged();

private:
    struct SelectionSummary {
        qsizetype products = 0;
        qint64 sizeInBytes = 0;
        qsizetype optIns = 0;
    };
    SelectionSummary selectionSummary() const;
    // A new preview whose selection is the safe defaults but those whose bundle key is in
    // `keptUnticked`.
    void buildPreview(const QSet<QString>& keptUnticked);
    void onRevisionChanged();
    void setShowConfirmation(bool show);

    PluginInventoryStore& m_store;
    PluginManagementService& m_service;
    FormatCleanupRunController& m_run;
    const std::shared_ptr<const Formatters> m_formatters;
    FormatCleanupPresetKind m_preset = FormatCleanupPresetKind::auAndVST3;
    FormatSet m_customFormats;
    std::optional<FormatCleanupPlan> m_plan;
    int m_affectedProductCount = 0;
    // One tick per candidate of the plan, in plan order: clearing, the safe defaults and the
    // summary cost no allocation per candidate, which keeps a change of 20,000 ticks cheap.
    std::vector<char> m_defaultTicks;
    std::vector<char> m_ticks;
    qsizetype m_tickedCount = 0;
    bool m_showConfirmation = false;
    // This screen started the run under way (or the last one).
    bool m_startedRun = false;
    // The bundle keys of the candidates left unticked when that run started.
    QSet<QString> m_untickedInRun;
};

} // namespace quorvane
