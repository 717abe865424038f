#include "Platform/FolderBookmark.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace quorvane {

namespace {

const QString pathKey = QStringLiteral("path");
const QString deviceKey = QStringLiteral("device");
const QString inodeKey = QStringLiteral("inode");

[[nodiscard]] std::expected<struct stat, FolderBookmarkError> folderStatus(const QString& path) {
    struct stat status {};
    if (path.isEmpty() || path.contains(QChar(0)) || ::stat(path.toUtf8().constData(), &status) != 0)
        return std::unexpected(FolderBookmarkError::folderMissing);
    if (!S_ISDIR(status.st_mode))
        return std::unexpected(FolderBookmarkError::notAFolder);
    return status;
}

// Device and inode numbers are written as decimal text: JSON numbers cannot hold every 64-bit one.
std::optional<quint64> decimal(const QJsonValue& value) {
    if (!value.isString())
        return std::nullopt;
    bool ok = false;
    const quint64 number = value.toString().toULongLong(&ok);
    return ok ? std::optional<quint64>(number) : std::nullopt;
}

} // namespace

QString description(FolderBookmarkError error) {
    switch (error) {
    case FolderBookmarkError::folderMissing:
        return QStringLiteral("The folder could not be found.");
    case FolderBookmarkError::notAFolder:
        return QStringLiteral("The item is not a folder.");
    case FolderBookmarkError::damagedBookmark:
        return QStringLiteral("The saved folder authorization is damaged.");
    }
    return {};
}

std::expected<QByteArray, FolderBookmarkError> makeFolderBookmark(const QString& folderPath) {
    if (!folderPath.startsWith(QLatin1Char('/')))
        return std::unexpected(FolderBookmarkError::folderMissing);
    auto status = folderStatus(folderPath);
    if (!status)
        return std::unexpected(status.error());
    QJsonObject token;
    token.insert(pathKey, folderPath);
    token.insert(deviceKey, QString::number(quint64(status->st_dev)));
    token.insert(inodeKey, QString::number(quint64(status->st_ino)));
    return QJsonDocument(token).toJson(QJsonDocument::Compact);
}

std::expected<ResolvedFolderBookmark, FolderBookmarkError> resolveFolderBookmark(const QByteArray& bookmark) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bookmark, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::unexpected(FolderBookmarkError::damagedBookmark);
    const QJsonObject token = document.object();
    const QJsonValue path = token.value(pathKey);
    const auto device = decimal(token.value(deviceKey));
    const auto inode = decimal(token.value(inodeKey));
    if (!path.isString() || !path.toString().startsWith(QLatin1Char('/')) || !device || !inode)
        return std::unexpected(FolderBookmarkError::damagedBookmark);
    auto status = folderStatus(path.toString());
    if (!status)
        return std::unexpected(status.error());
    const bool same = quint64(status->st_dev) == *device && quint64(status->st_ino) == *inode;
    return ResolvedFolderBookmark{path.toString(), !same};
}

} // namespace quorvane
