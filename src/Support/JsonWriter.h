#pragma once

#include "Support/Timestamp.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>
#include <type_traits>

namespace quorvane {

// Indented, with the keys of every object sorted.
QByteArray prettyJson(const QJsonObject& object);
// One line, no spaces: the form that crosses the helper connection.
QByteArray compactJson(const QJsonObject& object);
// Upper case, without braces.
QJsonValue toJson(const QUuid& uuid);
// Seconds since the reference date as a number; Qt writes doubles so that they read back exactly.
QJsonValue toJson(Timestamp timestamp);

// Sets `key` when `value` holds one and leaves it out otherwise. For QString, bool, qint64, int,
// double, QUuid and Timestamp.
template <class T>
void setOptional(QJsonObject& object, const QString& key, const std::optional<T>& value) {
    if (!value)
        return;
    if constexpr (std::is_same_v<T, QUuid> || std::is_same_v<T, Timestamp>)
        object.insert(key, toJson(*value));
    else if constexpr (std::is_same_v<T, qint64> || std::is_same_v<T, int> || std::is_same_v<T, bool> ||
                       std::is_same_v<T, double> || std::is_same_v<T, QString>)
        object.insert(key, QJsonValue(*value));
    else
        static_assert(sizeof(T) == 0,
                      "setOptional supports QString, bool, qint64, int, double, QUuid and Timestamp");
}

} // namespace quorvane
