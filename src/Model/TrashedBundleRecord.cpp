#include "Model/TrashedBundleRecord.h"

#include "Model/Identity.h"
#include "Model/ModelHash.h"
#include "Shared/PathPolicy.h"
#include "Support/JsonWriter.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/PlainText.h"

namespace quorvane {

namespace {

bool hasBundleExtension(const QString& path, const QString& extension) {
    return plainEqual(lowercasedLocaleIndependent(pathExtension(standardizedPath(path))), extension);
}

bool equal(const std::optional<Timestamp>& a, const std::optional<Timestamp>& b) {
    return a == b;
}

} // namespace

bool TrashedBundleRecord::hasSafeRecoveryPaths(const PathPolicy& policy) const {
    if (!trashPath.startsWith(QLatin1Char('/')) || !originalPath.startsWith(QLatin1Char('/')))
        return false;
    const auto extension = pluginFormatExtensions().constFind(normalizedFormat(format));
    if (extension == pluginFormatExtensions().constEnd())
        return false;
    if (!hasBundleExtension(trashPath, *extension) || !hasBundleExtension(originalPath, *extension))
        return false;
    return policy.verifiedSystemPluginURL(standardizedPath(originalPath)).has_value();
}

bool TrashedBundleRecord::operator==(const TrashedBundleRecord& other) const {
    return id == other.id && plainEqual(pluginName, other.pluginName) &&
           plainEqual(manufacturer, other.manufacturer) && plainEqual(format, other.format) &&
           plainEqual(originalPath, other.originalPath) && plainEqual(trashPath, other.trashPath) &&
           operationDate == other.operationDate &&
           modelhash::equal(trashTransactionID, other.trashTransactionID) &&
           presetRunID == other.presetRunID && equal(reconciledDate, other.reconciledDate) &&
           modelhash::equal(restoreTransactionID, other.restoreTransactionID) &&
           equal(missingDetectedDate, other.missingDetectedDate);
}

size_t qHash(const TrashedBundleRecord& record, size_t seed) {
    using namespace modelhash;
    const auto date = [](const std::optional<Timestamp>& value) {
        return value ? combine(0x51, of(value->sinceReferenceDate)) : size_t{0x17};
    };
    for (const size_t part :
         {of(record.id), of(record.pluginName), of(record.manufacturer), of(record.format),
          of(record.originalPath), of(record.trashPath), of(record.operationDate.sinceReferenceDate),
          of(record.trashTransactionID), of(record.presetRunID), date(record.reconciledDate),
          of(record.restoreTransactionID), date(record.missingDetectedDate)})
        seed = combine(seed, part);
    return seed;
}

QJsonObject toJson(const TrashedBundleRecord& record) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), toJson(record.id));
    object.insert(QStringLiteral("pluginName"), record.pluginName);
    object.insert(QStringLiteral("manufacturer"), record.manufacturer);
    object.insert(QStringLiteral("format"), record.format);
    object.insert(QStringLiteral("originalPath"), record.originalPath);
    object.insert(QStringLiteral("trashPath"), record.trashPath);
    object.insert(QStringLiteral("operationDate"), toJson(record.operationDate));
    setOptional(object, QStringLiteral("trashTransactionID"), record.trashTransactionID);
    setOptional(object, QStringLiteral("presetRunID"), record.presetRunID);
    setOptional(object, QStringLiteral("reconciledDate"), record.reconciledDate);
    setOptional(object, QStringLiteral("restoreTransactionID"), record.restoreTransactionID);
    setOptional(object, QStringLiteral("missingDetectedDate"), record.missingDetectedDate);
    return object;
}

std::expected<TrashedBundleRecord, JsonError> trashedBundleRecordFromJson(const QJsonObject& object,
                                                                          const QString& context) {
    JsonReader reader(object, context);
    TrashedBundleRecord record;
    record.id = reader.uuid(u"id");
    record.pluginName = reader.string(u"pluginName");
    record.manufacturer = reader.string(u"manufacturer");
    record.format = reader.string(u"format");
    record.originalPath = reader.string(u"originalPath");
    record.trashPath = reader.string(u"trashPath");
    record.operationDate = reader.timestamp(u"operationDate");
    record.trashTransactionID = reader.optionalString(u"trashTransactionID");
    record.presetRunID = reader.optionalUuid(u"presetRunID");
    record.reconciledDate = reader.optionalTimestamp(u"reconciledDate");
    record.restoreTransactionID = reader.optionalString(u"restoreTransactionID");
    record.missingDetectedDate = reader.optionalTimestamp(u"missingDetectedDate");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return record;
}

} // namespace quorvane
