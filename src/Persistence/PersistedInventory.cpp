#include "Persistence/PersistedInventory.h"

#include "Model/ModelHash.h"
#include "Support/JsonWriter.h"
#include "Support/ParallelFor.h"

#include <QJsonArray>

namespace quorvane {

namespace {

// The records are encoded on several threads when there are many; the array keeps their order.
template <class Values>
QJsonArray arrayOf(const Values& values) {
    std::vector<QJsonObject> objects(values.size());
    forEachIndexInParallel(values.size(), helperThreadsFor(values.size(), jsonRecordsPerThread),
                           [&](std::size_t index) { objects[index] = toJson(values[index]); });
    QJsonArray array;
    for (const QJsonObject& object : objects)
        array.append(object);
    return array;
}

template <class T>
void setOptionalArray(QJsonObject& object, const QString& key, const std::optional<std::vector<T>>& values) {
    if (values)
        object.insert(key, arrayOf(*values));
}

template <class T>
void setOptionalRecord(QJsonObject& object, const QString& key, const std::optional<T>& value) {
    if (value)
        object.insert(key, toJson(*value));
}

bool equalOptionalLists(const std::optional<QStringList>& a, const std::optional<QStringList>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || modelhash::equal(*a, *b);
}

} // namespace

bool PersistedInventory::operator==(const PersistedInventory& other) const {
    return schemaVersion == other.schemaVersion && plugins == other.plugins &&
           lastScanDate == other.lastScanDate && modelhash::equal(protectedKeys, other.protectedKeys) &&
           history == other.history &&
           equalOptionalLists(inaccessibleLocations, other.inaccessibleLocations) &&
           lastReconciliation == other.lastReconciliation && trashedBundles == other.trashedBundles &&
           formatCleanupRuns == other.formatCleanupRuns &&
           permanentQuarantineRules == other.permanentQuarantineRules &&
           pendingPrivilegedQuarantine == other.pendingPrivilegedQuarantine &&
           pendingPrivilegedRestore == other.pendingPrivilegedRestore &&
           pendingPrivilegedTrash == other.pendingPrivilegedTrash &&
           pendingPrivilegedTrashRestore == other.pendingPrivilegedTrashRestore;
}

QJsonObject toJson(const PersistedInventory& state) {
    QJsonObject object;
    setOptional(object, QStringLiteral("schemaVersion"), state.schemaVersion);
    object.insert(QStringLiteral("plugins"), arrayOf(state.plugins));
    setOptional(object, QStringLiteral("lastScanDate"), state.lastScanDate);
    object.insert(QStringLiteral("protectedKeys"), QJsonArray::fromStringList(state.protectedKeys));
    object.insert(QStringLiteral("history"), arrayOf(state.history));
    if (state.inaccessibleLocations)
        object.insert(QStringLiteral("inaccessibleLocations"),
                      QJsonArray::fromStringList(*state.inaccessibleLocations));
    setOptionalRecord(object, QStringLiteral("lastReconciliation"), state.lastReconciliation);
    setOptionalArray(object, QStringLiteral("trashedBundles"), state.trashedBundles);
    setOptionalArray(object, QStringLiteral("formatCleanupRuns"), state.formatCleanupRuns);
    setOptionalArray(object, QStringLiteral("permanentQuarantineRules"), state.permanentQuarantineRules);
    setOptionalRecord(object, QStringLiteral("pendingPrivilegedQuarantine"),
                      state.pendingPrivilegedQuarantine);
    setOptionalRecord(object, QStringLiteral("pendingPrivilegedRestore"), state.pendingPrivilegedRestore);
    setOptionalRecord(object, QStringLiteral("pendingPrivilegedTrash"), state.pendingPrivilegedTrash);
    setOptionalRecord(object, QStringLiteral("pendingPrivilegedTrashRestore"),
                      state.pendingPrivilegedTrashRestore);
    return object;
}

std::expected<PersistedInventory, JsonError> persistedInventoryFromJson(const QJsonObject& object,
                                                                        const QString& context) {
    JsonReader reader(object, context);
    PersistedInventory state;
    state.schemaVersion = reader.optionalInteger(u"schemaVersion");
    state.plugins = reader.objectArrayInParallel<Plugin>(u"plugins", pluginFromJson);
    state.lastScanDate = reader.optionalTimestamp(u"lastScanDate");
    state.protectedKeys = reader.stringArray(u"protectedKeys");
    state.history = reader.objectArrayInParallel<HistoryItem>(u"history", historyItemFromJson);
    state.inaccessibleLocations = reader.optionalStringArray(u"inaccessibleLocations");
    state.lastReconciliation = reader.optionalDecodedObject<ScanReconciliationSummary>(
        u"lastReconciliation", scanReconciliationSummaryFromJson);
    state.trashedBundles =
        reader.optionalObjectArray<TrashedBundleRecord>(u"trashedBundles", trashedBundleRecordFromJson);
    state.formatCleanupRuns = reader.optionalObjectArray<FormatCleanupRunRecord>(
        u"formatCleanupRuns", formatCleanupRunRecordFromJson);
    state.permanentQuarantineRules = reader.optionalObjectArray<PermanentQuarantineRule>(
        u"permanentQuarantineRules", permanentQuarantineRuleFromJson);
    state.pendingPrivilegedQuarantine = reader.optionalDecodedObject<PrivilegedQuarantineRequest>(
        u"pendingPrivilegedQuarantine", privilegedQuarantineRequestFromJson);
    state.pendingPrivilegedRestore = reader.optionalDecodedObject<PrivilegedRestoreRequest>(
        u"pendingPrivilegedRestore", privilegedRestoreRequestFromJson);
    state.pendingPrivilegedTrash = reader.optionalDecodedObject<PrivilegedTrashRequest>(
        u"pendingPrivilegedTrash", privilegedTrashRequestFromJson);
    state.pendingPrivilegedTrashRestore = reader.optionalDecodedObject<PrivilegedTrashRestoreRequest>(
        u"pendingPrivilegedTrashRestore", privilegedTrashRestoreRequestFromJson);
    if (!reader.ok())
        return std::unexpected(reader.error());
    return state;
}

QByteArray encodePersistedInventory(const PersistedInventory& state) {
    return prettyJson(toJson(state));
}

std::expected<PersistedInventory, JsonError> decodePersistedInventory(const QByteArray& data) {
    return decodeJsonDocument<PersistedInventory>(data, persistedInventoryFromJson);
}

} // namespace quorvane
