#pragma once

#include "Model/PluginBundleSelection.h"
#include "Planning/InventoryRevisionToken.h"
#include "Support/EnumText.h"
#include "Support/JsonReader.h"
#include "Support/PlainText.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <expected>
#include <optional>
#include <set>
#include <vector>

namespace quorvane {

enum class FormatCleanupPresetKind { auOnly, auAndVST3, retireVST2, noAAX, custom };

// Raw values equal the case names.
const EnumTextTable<FormatCleanupPresetKind>& formatCleanupPresetKindTexts();
// The order in which the cleanup screen offers the presets.
const std::vector<FormatCleanupPresetKind>& allFormatCleanupPresetKinds();
// The preset's display name ("AU Only", "AU + VST3", ...), also used in texts about a run.
QString title(FormatCleanupPresetKind preset);
// The one-line description shown under the title.
QString summary(FormatCleanupPresetKind preset);

enum class FormatCleanupExclusionReason {
    protectedBundle,
    mandatoryShell,
    unsafePath,
    missingBundle,
    staleInventory,
    alreadyQuarantined,
    pendingTransaction,
};

const EnumTextTable<FormatCleanupExclusionReason>& formatCleanupExclusionReasonTexts();

enum class FormatCleanupWarningKind { noActiveFormatRemaining, largeRunRequiresMultipleTransactions };

const EnumTextTable<FormatCleanupWarningKind>& formatCleanupWarningKindTexts();

// A set of normalised format texts (trimmed, uppercased), ordered by plain text order.
using FormatSet = std::set<QString, PlainLessThan>;

struct FormatCleanupCandidate {
    PluginBundleSelection selection;
    QString pluginName;
    QString manufacturer;
    QString format; // normalised
    QString path;   // the verified path, symbolic links resolved
    std::optional<qint64> sizeInBytes;
    bool removesLastActiveFormat = false;
    bool selectedByDefault = true;

    bool operator==(const FormatCleanupCandidate&) const = default;
};

struct FormatCleanupExclusion {
    // Absent (together with format) for a product without bundle records or the whole preview.
    std::optional<PluginBundleSelection> selection;
    QString pluginName;
    std::optional<QString> format;
    FormatCleanupExclusionReason reason = FormatCleanupExclusionReason::unsafePath;
    QString detail;

    bool operator==(const FormatCleanupExclusion&) const = default;
};

struct FormatCleanupWarning {
    FormatCleanupWarningKind kind = FormatCleanupWarningKind::noActiveFormatRemaining;
    std::optional<QUuid> pluginID; // absent for largeRunRequiresMultipleTransactions
    QString detail;

    bool operator==(const FormatCleanupWarning&) const = default;
};

struct FormatCleanupPlan {
    QUuid id;
    FormatCleanupPresetKind preset = FormatCleanupPresetKind::auOnly;
    FormatSet customFormatsToQuarantine;
    InventoryRevisionToken inventoryRevision;
    std::vector<FormatCleanupCandidate> candidates;
    std::vector<FormatCleanupExclusion> exclusions;
    std::vector<FormatCleanupWarning> warnings;

    // The selections of the candidates selected by default, each once, in candidate order.
    std::vector<PluginBundleSelection> defaultSelections() const;
    // Distinct products among all candidates.
    int affectedProductCount() const;

    bool operator==(const FormatCleanupPlan&) const = default;
};

QJsonObject toJson(const FormatCleanupCandidate& candidate);
QJsonObject toJson(const FormatCleanupExclusion& exclusion);
QJsonObject toJson(const FormatCleanupWarning& warning);
// customFormatsToQuarantine is written as an array in plain text order.
QJsonObject toJson(const FormatCleanupPlan& plan);

std::expected<FormatCleanupCandidate, JsonError> formatCleanupCandidateFromJson(const QJsonObject& object,
                                                                                const QString& context = {});
std::expected<FormatCleanupExclusion, JsonError> formatCleanupExclusionFromJson(const QJsonObject& object,
                                                                                const QString& context = {});
std::expected<FormatCleanupWarning, JsonError> formatCleanupWarningFromJson(const QJsonObject& object,
                                                                            const QString& context = {});
std::expected<FormatCleanupPlan, JsonError> formatCleanupPlanFromJson(const QJsonObject& object,
                                                                      const QString& context = {});

} // namespace quorvane
