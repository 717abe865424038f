#include "Support/JsonWriter.h"

#include "Support/Uuid.h"

#include <QJsonDocument>

namespace quorvane {

QByteArray prettyJson(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray compactJson(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonValue toJson(const QUuid& uuid) {
    return QJsonValue(uuidText(uuid));
}

QJsonValue toJson(Timestamp timestamp) {
    return QJsonValue(timestamp.sinceReferenceDate);
}

} // namespace quorvane
