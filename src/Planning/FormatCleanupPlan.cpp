#include "Planning/FormatCleanupPlan.h"

#include "Support/JsonWriter.h"
#include "Support/Uuid.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>

namespace quorvane {

namespace {

struct PresetText {
    FormatCleanupPresetKind kind;
    QString raw;
    QString title;
    QString summary;
};

const std::vector<PresetText>& presetTexts() {
    using P = FormatCleanupPresetKind;
    static const std::vector<PresetText> texts{
        {P::auOnly, QStringLiteral("auOnly"), QStringLiteral("AU Only"),
         QStringLiteral("Keep AU active; propose every other installed format.")},
        {P::auAndVST3, QStringLiteral("auAndVST3"), QStringLiteral("AU + VST3"),
         QStringLiteral("Keep AU and VST3 active; propose all other formats.")},
        {P::retireVST2, QStringLiteral("retireVST2"), QStringLiteral("Retire VST2"),
         QStringLiteral("Propose legacy VST2 bundles only.")},
        {P::noAAX, QStringLiteral("noAAX"), QStringLiteral("No AAX"),
         QStringLiteral("Propose AAX bundles when Pro Tools is not part of the workflow.")},
        {P::custom, QStringLiteral("custom"), QStringLiteral("Custom"),
         QStringLiteral("Choose the exact formats to propose for quarantine.")},
    };
    return texts;
}

const PresetText& presetText(FormatCleanupPresetKind preset) {
    const auto& texts = presetTexts();
    const auto found = std::find_if(texts.begin(), texts.end(),
                                    [preset](const PresetText& text) { return text.kind == preset; });
    return found != texts.end() ? *found : texts.front();
}

} // namespace

const EnumTextTable<FormatCleanupPresetKind>& formatCleanupPresetKindTexts() {
    static const EnumTextTable<FormatCleanupPresetKind> table = [] {
        using P = FormatCleanupPresetKind;
        return EnumTextTable<P>{
            {P::auOnly, presetText(P::auOnly).raw},         {P::auAndVST3, presetText(P::auAndVST3).raw},
            {P::retireVST2, presetText(P::retireVST2).raw}, {P::noAAX, presetText(P::noAAX).raw},
            {P::custom, presetText(P::custom).raw},
        };
    }();
    return table;
}

const std::vector<FormatCleanupPresetKind>& allFormatCleanupPresetKinds() {
    static const std::vector<FormatCleanupPresetKind> all = [] {
        std::vector<FormatCleanupPresetKind> kinds;
        for (const auto& text : presetTexts())
            kinds.push_back(text.kind);
        return kinds;
    }();
    return all;
}

QString title(FormatCleanupPresetKind preset) {
    return presetText(preset).title;
}

QString summary(FormatCleanupPresetKind preset) {
    return presetText(preset).summary;
}

const EnumTextTable<FormatCleanupExclusionReason>& formatCleanupExclusionReasonTexts() {
    using R = FormatCleanupExclusionReason;
    static const EnumTextTable<FormatCleanupExclusionReason> table{
        {R::protectedBundle, QStringLiteral("protectedBundle")},
        {R::mandatoryShell, QStringLiteral("mandatoryShell")},
        {R::unsafePath, QStringLiteral("unsafePath")},
        {R::missingBundle, QStringLiteral("missingBundle")},
        {R::staleInventory, QStringLiteral("staleInventory")},
        {R::alreadyQuarantined, QStringLiteral("alreadyQuarantined")},
        {R::pendingTransaction, QStringLiteral("pendingTransaction")},
    };
    return table;
}

const EnumTextTable<FormatCleanupWarningKind>& formatCleanupWarningKindTexts() {
    using K = FormatCleanupWarningKind;
    static const EnumTextTable<FormatCleanupWarningKind> table{
        {K::noActiveFormatRemaining, QStringLiteral("noActiveFormatRemaining")},
        {K::largeRunRequiresMultipleTransactions, QStringLiteral("largeRunRequiresMultipleTransactions")},
    };
    return table;
}

bool FormatCleanupCandidate::operator==(const FormatCleanupCandidate& other) const {
    return selection == other.selection && plainEqual(pluginName, other.pluginName) &&
           plainEqual(manufacturer, other.manufacturer) && plainEqual(format, other.format) &&
           plainEqual(path, other.path) && sizeInBytes == other.sizeInBytes &&
           removesLastActiveFormat == other.removesLastActiveFormat &&
           selectedByDefault == other.selectedByDefault;
}

size_t qHash(const FormatCleanupCandidate& candidate, size_t seed) {
    return modelhash::ofAll(seed, candidate.selection, candidate.pluginName, candidate.manufacturer,
                            candidate.format, candidate.path, candidate.sizeInBytes,
                            candidate.removesLastActiveFormat, candidate.selectedByDefault);
}

bool FormatCleanupExclusion::operator==(const FormatCleanupExclusion& other) const {
    return selection == other.selection && plainEqual(pluginName, other.pluginName) &&
           modelhash::equal(format, other.format) && reason == other.reason &&
           plainEqual(detail, other.detail);
}

size_t qHash(const FormatCleanupExclusion& exclusion, size_t seed) {
    return modelhash::ofAll(seed, exclusion.selection, exclusion.pluginName, exclusion.format,
                            exclusion.reason, exclusion.detail);
}

bool FormatCleanupWarning::operator==(const FormatCleanupWarning& other) const {
    return kind == other.kind && pluginID == other.pluginID && plainEqual(detail, other.detail);
}

size_t qHash(const FormatCleanupWarning& warning, size_t seed) {
    return modelhash::ofAll(seed, warning.kind, warning.pluginID, warning.detail);
}

bool FormatCleanupPlan::operator==(const FormatCleanupPlan& other) const {
    return id == other.id && preset == other.preset &&
           modelhash::equal(customFormatsToQuarantine, other.customFormatsToQuarantine) &&
           inventoryRevision == other.inventoryRevision && candidates == other.candidates &&
           exclusions == other.exclusions && warnings == other.warnings;
}

size_t qHash(const FormatCleanupPlan& plan, size_t seed) {
    return modelhash::ofAll(seed, plan.id, plan.preset, plan.customFormatsToQuarantine,
                            plan.inventoryRevision, plan.candidates, plan.exclusions, plan.warnings);
}

std::vector<PluginBundleSelection> FormatCleanupPlan::defaultSelections() const {
    std::vector<PluginBundleSelection> selections;
    QSet<PluginBundleSelection> seen;
    for (const auto& candidate : candidates) {
        if (candidate.selectedByDefault && !seen.contains(candidate.selection)) {
            seen.insert(candidate.selection);
            selections.push_back(candidate.selection);
        }
    }
    return selections;
}

int FormatCleanupPlan::affectedProductCount() const {
    std::set<QUuid> products;
    for (const auto& candidate : candidates)
        products.insert(candidate.selection.pluginID);
    return static_cast<int>(products.size());
}

QJsonObject toJson(const FormatCleanupCandidate& candidate) {
    QJsonObject object;
    object.insert(QStringLiteral("selection"), toJson(candidate.selection));
    object.insert(QStringLiteral("pluginName"), candidate.pluginName);
    object.insert(QStringLiteral("manufacturer"), candidate.manufacturer);
    object.insert(QStringLiteral("format"), candidate.format);
    object.insert(QStringLiteral("path"), candidate.path);
    setOptional(object, QStringLiteral("sizeInBytes"), candidate.sizeInBytes);
    object.insert(QStringLiteral("removesLastActiveFormat"), candidate.removesLastActiveFormat);
    object.insert(QStringLiteral("selectedByDefault"), candidate.selectedByDefault);
    return object;
}

QJsonObject toJson(const FormatCleanupExclusion& exclusion) {
    QJsonObject object;
    if (exclusion.selection)
        object.insert(QStringLiteral("selection"), toJson(*exclusion.selection));
    object.insert(QStringLiteral("pluginName"), exclusion.pluginName);
    setOptional(object, QStringLiteral("format"), exclusion.format);
    object.insert(QStringLiteral("reason"), formatCleanupExclusionReasonTexts().text(exclusion.reason));
    object.insert(QStringLiteral("detail"), exclusion.detail);
    return object;
}

QJsonObject toJson(const FormatCleanupWarning& warning) {
    QJsonObject object;
    object.insert(QStringLiteral("kind"), formatCleanupWarningKindTexts().text(warning.kind));
    setOptional(object, QStringLiteral("pluginID"), warning.pluginID);
    object.insert(QStringLiteral("detail"), warning.detail);
    return object;
}

QJsonObject toJson(const FormatCleanupPlan& plan) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), toJson(plan.id));
    object.insert(QStringLiteral("preset"), formatCleanupPresetKindTexts().text(plan.preset));
    QJsonArray formats;
    for (const auto& format : plan.customFormatsToQuarantine)
        formats.append(format);
    object.insert(QStringLiteral("customFormatsToQuarantine"), formats);
    object.insert(QStringLiteral("inventoryRevision"), toJson(plan.inventoryRevision));
    QJsonArray candidates;
    for (const auto& candidate : plan.candidates)
        candidates.append(toJson(candidate));
    object.insert(QStringLiteral("candidates"), candidates);
    QJsonArray exclusions;
    for (const auto& exclusion : plan.exclusions)
        exclusions.append(toJson(exclusion));
    object.insert(QStringLiteral("exclusions"), exclusions);
    QJsonArray warnings;
    for (const auto& warning : plan.warnings)
        warnings.append(toJson(warning));
    object.insert(QStringLiteral("warnings"), warnings);
    return object;
}

std::expected<FormatCleanupCandidate, JsonError> formatCleanupCandidateFromJson(const QJsonObject& object,
                                                                                const QString& context) {
    JsonReader reader(object, context);
    FormatCleanupCandidate candidate;
    candidate.selection =
        reader.decodedObject<PluginBundleSelection>(u"selection", pluginBundleSelectionFromJson);
    candidate.pluginName = reader.string(u"pluginName");
    candidate.manufacturer = reader.string(u"manufacturer");
    candidate.format = reader.string(u"format");
    candidate.path = reader.string(u"path");
    candidate.sizeInBytes = reader.optionalInteger(u"sizeInBytes");
    candidate.removesLastActiveFormat = reader.boolean(u"removesLastActiveFormat");
    candidate.selectedByDefault = reader.boolean(u"selectedByDefault");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return candidate;
}

std::expected<FormatCleanupExclusion, JsonError> formatCleanupExclusionFromJson(const QJsonObject& object,
                                                                                const QString& context) {
    JsonReader reader(object, context);
    FormatCleanupExclusion exclusion;
    exclusion.selection =
        reader.optionalDecodedObject<PluginBundleSelection>(u"selection", pluginBundleSelectionFromJson);
    exclusion.pluginName = reader.string(u"pluginName");
    exclusion.format = reader.optionalString(u"format");
    exclusion.reason = reader.enumeration(u"reason", formatCleanupExclusionReasonTexts());
    exclusion.detail = reader.string(u"detail");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return exclusion;
}

std::expected<FormatCleanupWarning, JsonError> formatCleanupWarningFromJson(const QJsonObject& object,
                                                                            const QString& context) {
    JsonReader reader(object, context);
    FormatCleanupWarning warning;
    warning.kind = reader.enumeration(u"kind", formatCleanupWarningKindTexts());
    warning.pluginID = reader.optionalUuid(u"pluginID");
    warning.detail = reader.string(u"detail");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return warning;
}

std::expected<FormatCleanupPlan, JsonError> formatCleanupPlanFromJson(const QJsonObject& object,
                                                                      const QString& context) {
    JsonReader reader(object, context);
    FormatCleanupPlan plan;
    plan.id = reader.uuid(u"id");
    plan.preset = reader.enumeration(u"preset", formatCleanupPresetKindTexts());
    for (const QString& format : reader.stringArray(u"customFormatsToQuarantine"))
        plan.customFormatsToQuarantine.insert(format);
    plan.inventoryRevision =
        reader.decodedObject<InventoryRevisionToken>(u"inventoryRevision", inventoryRevisionTokenFromJson);
    plan.candidates =
        reader.objectArray<FormatCleanupCandidate>(u"candidates", formatCleanupCandidateFromJson);
    plan.exclusions =
        reader.objectArray<FormatCleanupExclusion>(u"exclusions", formatCleanupExclusionFromJson);
    plan.warnings = reader.objectArray<FormatCleanupWarning>(u"warnings", formatCleanupWarningFromJson);
    if (!reader.ok())
        return std::unexpected(reader.error());
    return plan;
}

} // namespace quorvane
