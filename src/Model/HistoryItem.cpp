#include "Model/HistoryItem.h"

#include "Model/ModelHash.h"
#include "Support/JsonWriter.h"
#include "Support/PlainText.h"

namespace quorvane {

bool HistoryItem::operator==(const HistoryItem& other) const {
    return id == other.id && plainEqual(plugin, other.plugin) && kind == other.kind &&
           plainEqual(detail, other.detail) && plainEqual(time, other.time) &&
           modelhash::equal(transactionID, other.transactionID) && modelhash::equal(format, other.format) &&
           presetRunID == other.presetRunID;
}

QJsonObject toJson(const HistoryItem& item) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), toJson(item.id));
    object.insert(QStringLiteral("plugin"), item.plugin);
    object.insert(QStringLiteral("kind"), rawValue(item.kind));
    object.insert(QStringLiteral("detail"), item.detail);
    object.insert(QStringLiteral("time"), item.time);
    setOptional(object, QStringLiteral("transactionID"), item.transactionID);
    setOptional(object, QStringLiteral("format"), item.format);
    setOptional(object, QStringLiteral("presetRunID"), item.presetRunID);
    return object;
}

std::expected<HistoryItem, JsonError> historyItemFromJson(const QJsonObject& object, const QString& context) {
    JsonReader reader(object, context);
    HistoryItem item;
    item.id = reader.uuid(u"id");
    item.plugin = reader.string(u"plugin");
    item.kind = reader.enumeration(u"kind", historyKindTable());
    item.detail = reader.string(u"detail");
    item.time = reader.string(u"time");
    item.transactionID = reader.optionalString(u"transactionID");
    item.format = reader.optionalString(u"format");
    item.presetRunID = reader.optionalUuid(u"presetRunID");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return item;
}

} // namespace quorvane
