#include "Model/HistoryItem.h"

#include "Model/ModelHash.h"
#include "Model/SortedKeyWriter.h"
#include "Support/JsonWriter.h"
#include "Support/PlainText.h"

namespace quorvane {

bool HistoryItem::operator==(const HistoryItem& other) const {
    return id == other.id && plainEqual(plugin, other.plugin) && kind == other.kind &&
           plainEqual(detail, other.detail) && plainEqual(time, other.time) &&
           modelhash::equal(transactionID, other.transactionID) && modelhash::equal(format, other.format) &&
           presetRunID == other.presetRunID && date == other.date;
}

QJsonObject toJson(const HistoryItem& item) {
    // Lines written now all carry their moment, so it takes the shared-keys road too.
    static const QJsonObject keys = alwaysWrittenKeys({u"detail", u"id", u"kind", u"plugin", u"time"});
    static const QJsonObject datedKeys =
        alwaysWrittenKeys({u"date", u"detail", u"id", u"kind", u"plugin", u"time"});
    QJsonObject object = item.date ? datedKeys : keys;
    SortedKeyWriter writer(object);
    if (item.date)
        writer.set(u"date", toJson(*item.date));
    writer.set(u"detail", item.detail);
    writer.set(u"id", toJson(item.id));
    writer.set(u"kind", rawValue(item.kind));
    writer.set(u"plugin", item.plugin);
    writer.set(u"time", item.time);
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
    item.date = reader.optionalTimestamp(u"date");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return item;
}

} // namespace quorvane
