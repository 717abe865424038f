#include "Model/PluginBundleRecord.h"

#include "Model/Identity.h"
#include "Model/ModelHash.h"
#include "Model/SortedKeyWriter.h"
#include "Support/JsonWriter.h"
#include "Support/PlainText.h"

namespace quorvane {

QString PluginBundleRecord::id() const {
    return bundleKey(format, originalPath.value_or(path));
}

bool PluginBundleRecord::isQuarantined() const {
    return quarantinePath && quarantineOperationID;
}

bool PluginBundleRecord::operator==(const PluginBundleRecord& other) const {
    return plainEqual(format, other.format) && plainEqual(architecture, other.architecture) &&
           plainEqual(size, other.size) && plainEqual(path, other.path) &&
           modelhash::equal(originalPath, other.originalPath) &&
           modelhash::equal(quarantinePath, other.quarantinePath) &&
           modelhash::equal(quarantineOperationID, other.quarantineOperationID) &&
           presetRunID == other.presetRunID && isProtected == other.isProtected;
}

size_t qHash(const PluginBundleRecord& record, size_t seed) {
    using namespace modelhash;
    for (const size_t part :
         {of(record.format), of(record.architecture), of(record.size), of(record.path),
          of(record.originalPath), of(record.quarantinePath), of(record.quarantineOperationID),
          of(record.presetRunID), of(record.isProtected)})
        seed = combine(seed, part);
    return seed;
}

QJsonObject toJson(const PluginBundleRecord& record) {
    static const QJsonObject keys =
        alwaysWrittenKeys({u"architecture", u"format", u"isProtected", u"path", u"size"});
    QJsonObject object = keys;
    SortedKeyWriter writer(object);
    writer.set(u"architecture", record.architecture);
    writer.set(u"format", record.format);
    writer.set(u"isProtected", record.isProtected);
    writer.set(u"path", record.path);
    writer.set(u"size", record.size);
    setOptional(object, QStringLiteral("originalPath"), record.originalPath);
    setOptional(object, QStringLiteral("quarantinePath"), record.quarantinePath);
    setOptional(object, QStringLiteral("quarantineOperationID"), record.quarantineOperationID);
    setOptional(object, QStringLiteral("presetRunID"), record.presetRunID);
    return object;
}

std::expected<PluginBundleRecord, JsonError> pluginBundleRecordFromJson(const QJsonObject& object,
                                                                        const QString& context) {
    JsonReader reader(object, context);
    PluginBundleRecord record;
    record.format = reader.string(u"format");
    record.architecture = reader.string(u"architecture");
    record.size = reader.string(u"size");
    record.path = reader.string(u"path");
    record.originalPath = reader.optionalString(u"originalPath");
    record.quarantinePath = reader.optionalString(u"quarantinePath");
    record.quarantineOperationID = reader.optionalString(u"quarantineOperationID");
    record.presetRunID = reader.optionalUuid(u"presetRunID");
    record.isProtected = reader.optionalBoolean(u"isProtected").value_or(false);
    if (!reader.ok())
        return std::unexpected(reader.error());
    return record;
}

} // namespace quorvane
