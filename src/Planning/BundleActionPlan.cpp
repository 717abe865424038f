#include "Planning/BundleActionPlan.h"

#include "Support/JsonWriter.h"
#include "Support/Uuid.h"

#include <QJsonArray>

namespace quorvane {

const EnumTextTable<BundleActionKind>& bundleActionKindTexts() {
    static const EnumTextTable<BundleActionKind> table{
        {BundleActionKind::protect, QStringLiteral("protect")},
        {BundleActionKind::removeProtection, QStringLiteral("removeProtection")},
        {BundleActionKind::quarantine, QStringLiteral("quarantine")},
        {BundleActionKind::restore, QStringLiteral("restore")},
        {BundleActionKind::trash, QStringLiteral("trash")},
    };
    return table;
}

const EnumTextTable<BundleActionBlockingReason>& bundleActionBlockingReasonTexts() {
    using R = BundleActionBlockingReason;
    static const EnumTextTable<BundleActionBlockingReason> table{
        {R::staleInventory, QStringLiteral("staleInventory")},
        {R::missingBundle, QStringLiteral("missingBundle")},
        {R::protectedBundle, QStringLiteral("protectedBundle")},
        {R::mandatoryProtection, QStringLiteral("mandatoryProtection")},
        {R::unsafePath, QStringLiteral("unsafePath")},
        {R::pendingTransaction, QStringLiteral("pendingTransaction")},
        {R::invalidState, QStringLiteral("invalidState")},
        {R::destinationExists, QStringLiteral("destinationExists")},
        {R::duplicateSelection, QStringLiteral("duplicateSelection")},
        {R::tooManyItems, QStringLiteral("tooManyItems")},
    };
    return table;
}

bool BundleActionBlockedSelection::operator==(const BundleActionBlockedSelection& other) const {
    return selection == other.selection && reason == other.reason && plainEqual(detail, other.detail);
}

size_t qHash(const BundleActionBlockedSelection& blocked, size_t seed) {
    return modelhash::ofAll(seed, blocked.selection, blocked.reason, blocked.detail);
}

bool BundleActionPlanItem::operator==(const BundleActionPlanItem& other) const {
    return selection == other.selection && plainEqual(pluginName, other.pluginName) &&
           plainEqual(manufacturer, other.manufacturer) && plainEqual(format, other.format) &&
           plainEqual(sourcePath, other.sourcePath) &&
           modelhash::equal(destinationPath, other.destinationPath) && sizeInBytes == other.sizeInBytes &&
           modelhash::equal(operationID, other.operationID);
}

size_t qHash(const BundleActionPlanItem& item, size_t seed) {
    return modelhash::ofAll(seed, item.selection, item.pluginName, item.manufacturer, item.format,
                            item.sourcePath, item.destinationPath, item.sizeInBytes, item.operationID);
}

size_t qHash(const BundleActionPlan& plan, size_t seed) {
    return modelhash::ofAll(seed, plan.id, plan.operation, plan.inventoryRevision, plan.items,
                            plan.blockedSelections, plan.presetRunID, plan.productsLosingAllActiveFormats);
}

std::optional<QString> BundleActionPlan::blockingMessage() const {
    if (!blockedSelections.empty())
        return blockedSelections.front().detail;
    if (items.empty())
        return QStringLiteral("No eligible format bundles are selected.");
    return std::nullopt;
}

QJsonObject toJson(const BundleActionBlockedSelection& blocked) {
    QJsonObject object;
    object.insert(QStringLiteral("selection"), toJson(blocked.selection));
    object.insert(QStringLiteral("reason"), bundleActionBlockingReasonTexts().text(blocked.reason));
    object.insert(QStringLiteral("detail"), blocked.detail);
    return object;
}

QJsonObject toJson(const BundleActionPlanItem& item) {
    QJsonObject object;
    object.insert(QStringLiteral("selection"), toJson(item.selection));
    object.insert(QStringLiteral("pluginName"), item.pluginName);
    object.insert(QStringLiteral("manufacturer"), item.manufacturer);
    object.insert(QStringLiteral("format"), item.format);
    object.insert(QStringLiteral("sourcePath"), item.sourcePath);
    setOptional(object, QStringLiteral("destinationPath"), item.destinationPath);
    setOptional(object, QStringLiteral("sizeInBytes"), item.sizeInBytes);
    setOptional(object, QStringLiteral("operationID"), item.operationID);
    return object;
}

QJsonObject toJson(const BundleActionPlan& plan) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), toJson(plan.id));
    object.insert(QStringLiteral("operation"), bundleActionKindTexts().text(plan.operation));
    object.insert(QStringLiteral("inventoryRevision"), toJson(plan.inventoryRevision));
    QJsonArray items;
    for (const auto& item : plan.items)
        items.append(toJson(item));
    object.insert(QStringLiteral("items"), items);
    QJsonArray blocked;
    for (const auto& entry : plan.blockedSelections)
        blocked.append(toJson(entry));
    object.insert(QStringLiteral("blockedSelections"), blocked);
    setOptional(object, QStringLiteral("presetRunID"), plan.presetRunID);
    // Sorted by text so that equal plans always write the same bytes.
    QStringList losing;
    for (const auto& uuid : plan.productsLosingAllActiveFormats)
        losing.append(uuidText(uuid));
    losing.sort();
    object.insert(QStringLiteral("productsLosingAllActiveFormats"), QJsonArray::fromStringList(losing));
    return object;
}

std::expected<BundleActionBlockedSelection, JsonError>
bundleActionBlockedSelectionFromJson(const QJsonObject& object, const QString& context) {
    JsonReader reader(object, context);
    BundleActionBlockedSelection blocked;
    blocked.selection =
        reader.decodedObject<PluginBundleSelection>(u"selection", pluginBundleSelectionFromJson);
    blocked.reason = reader.enumeration(u"reason", bundleActionBlockingReasonTexts());
    blocked.detail = reader.string(u"detail");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return blocked;
}

std::expected<BundleActionPlanItem, JsonError> bundleActionPlanItemFromJson(const QJsonObject& object,
                                                                            const QString& context) {
    JsonReader reader(object, context);
    BundleActionPlanItem item;
    item.selection = reader.decodedObject<PluginBundleSelection>(u"selection", pluginBundleSelectionFromJson);
    item.pluginName = reader.string(u"pluginName");
    item.manufacturer = reader.string(u"manufacturer");
    item.format = reader.string(u"format");
    item.sourcePath = reader.string(u"sourcePath");
    item.destinationPath = reader.optionalString(u"destinationPath");
    item.sizeInBytes = reader.optionalInteger(u"sizeInBytes");
    item.operationID = reader.optionalString(u"operationID");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return item;
}

std::expected<BundleActionPlan, JsonError> bundleActionPlanFromJson(const QJsonObject& object,
                                                                    const QString& context) {
    JsonReader reader(object, context);
    BundleActionPlan plan;
    plan.id = reader.uuid(u"id");
    plan.operation = reader.enumeration(u"operation", bundleActionKindTexts());
    plan.inventoryRevision =
        reader.decodedObject<InventoryRevisionToken>(u"inventoryRevision", inventoryRevisionTokenFromJson);
    plan.items = reader.objectArray<BundleActionPlanItem>(u"items", bundleActionPlanItemFromJson);
    plan.blockedSelections = reader.objectArray<BundleActionBlockedSelection>(
        u"blockedSelections", bundleActionBlockedSelectionFromJson);
    plan.presetRunID = reader.optionalUuid(u"presetRunID");
    const QStringList losing = reader.stringArray(u"productsLosingAllActiveFormats");
    for (qsizetype index = 0; reader.ok() && index < losing.size(); ++index) {
        if (const auto uuid = parseUuid(losing.at(index)))
            plan.productsLosingAllActiveFormats.insert(*uuid);
        else
            reader.fail(u"productsLosingAllActiveFormats", QStringLiteral("must hold UUID texts"));
    }
    if (!reader.ok())
        return std::unexpected(reader.error());
    return plan;
}

} // namespace quorvane
