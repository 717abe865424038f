#pragma once

#include "Model/ModelHash.h"
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

    // Texts by plain text equality, like the rest of the model.
    bool operator==(const FormatCleanupCandidate& other) const;
};

size_t qHash(const FormatCleanupCandidate& candidate, size_t seed = 0);

struct FormatCleanupExclusion {
    // Absent (together with format) for a product without bundle records or the whole preview.
    std::optional<PluginBundleSelection> selection;
    QString pluginName;
    std::optional<QString> format;
    FormatCleanupExclusionReason reason = FormatCleanupExclusionReason::unsafePath;
    QString detail;

    // Texts by plain text equality, like the rest of the model.
    bool operator==(const FormatCleanupExclusion& other) const;
};

size_t qHash(const FormatCleanupExclusion& exclusion, size_t seed = 0);

struct FormatCleanupWarning {
    FormatCleanupWarningKind kind = FormatCleanupWarningKind::noActiveFormatRemaining;
    std::optional<QUuid> pluginID; // absent for largeRunRequiresMultipleTransactions
    QString detail;

    // Texts by plain text equality, like the rest of the model.
    bool operator==(const FormatCleanupWarning& other) const;
};

size_t qHash(const FormatCleanupWarning& warning, size_t seed = 0);

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

    // The custom formats by plain text equality, like the rest of the model.
    bool operator==(const FormatCleanupPlan& other) const;
};

size_t qHash(const FormatCleanupPlan& plan, size_t seed = 0);

QJsonObject toJson(const FormatCleanupCandidate& candidate);
QJsonObject toJson(const FormatCleanupExclusion& exclusion);
QJsonObject toJson(const FormatCleanupWarning& warning);
// customFormatsToQuarantine is written as an array in plain text order.
QJsonObject toJson(const FormatCleanupPlan& plan);

[[nodiscard]] std::expected<FormatCleanupCandidate, JsonError>
formatCleanupCandidateFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<FormatCleanupExclusion, JsonError>
formatCleanupExclusionFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<FormatCleanupWarning, JsonError>
formatCleanupWarningFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<FormatCleanupPlan, JsonError>
formatCleanupPlanFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane

template <>
struct std::hash<quorvane::FormatCleanupCandidate>
    : quorvane::HashThroughQHash<quorvane::FormatCleanupCandidate> {};
template <>
struct std::hash<quorvane::FormatCleanupExclusion>
    : quorvane::HashThroughQHash<quorvane::FormatCleanupExclusion> {};
template <>
struct std::hash<quorvane::FormatCleanupWarning>
    : quorvane::HashThroughQHash<quorvane::FormatCleanupWarning> {};
template <>
struct std::hash<quorvane::FormatCleanupPlan> : quorvane::HashThroughQHash<quorvane::FormatCleanupPlan> {};
