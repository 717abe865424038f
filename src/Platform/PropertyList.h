#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <expected>
#include <fcntl.h>

namespace quorvane {

enum class PropertyListError { unreadable, tooLarge, tooComplex, malformed, notDictionary };

QString description(PropertyListError error);

// Info.plist files come from plug-in folders and are untrusted: larger ones are not read, and ones
// that nest or share their objects beyond these limits are not handed to the parser (a binary
// list whose objects refer to each other twice per level expands to billions of nodes).
inline constexpr qint64 propertyListSizeLimit = 2 * 1024 * 1024;
inline constexpr int propertyListDepthLimit = 128;
inline constexpr qint64 propertyListNodeLimit = 262144;

// An XML property list (UTF-8, with or without a byte order mark, or UTF-16 with one) or a binary
// one, as Qt values: strings (and keys) as QString, integers as qint64,
// reals as double, booleans as bool, data as QByteArray, dates as QDateTime (UTC), arrays as
// QVariantList, dictionaries as QVariantMap, UIDs as quint64.
[[nodiscard]] std::expected<QVariant, PropertyListError> parsePropertyList(QByteArrayView bytes);

// The dictionary at the top of the property list file at `path` (taken from the open folder
// `directoryFd` when relative).
[[nodiscard]] std::expected<QVariantMap, PropertyListError>
readPropertyListDictionary(const QString& path, int directoryFd = AT_FDCWD);

} // namespace quorvane
