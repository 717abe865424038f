#include "Platform/HomeTrash.h"

#include "Shared/HomeTrashLocation.h"
#include "Support/Paths.h"

#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::HomeTrash {

namespace {

QString infoName(const QString& itemName) {
    return itemName + QStringLiteral(".trashinfo");
}

} // namespace

QString filesFolder(const QString& home) {
    return homeTrashFilesFolder(home);
}

QString infoFolder(const QString& home) {
    return homeTrashInfoFolder(home);
}

QString infoFolderForFilesFolder(const QString& filesFolder) {
    return appendingPathComponent(deletingLastPathComponent(filesFolder), QStringLiteral("info"));
}

QByteArray trashInfoText(const QString& originalPath, const QDateTime& deletionTime) {
    // Path is percent-encoded like a URL path; the date is local time without a zone.
    const QByteArray encodedPath = QUrl::toPercentEncoding(originalPath, "/");
    return QByteArray("[Trash Info]\nPath=") + encodedPath + "\nDeletionDate=" +
           deletionTime.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";
}

void writeTrashInfo(const QString& filesFolder, const QString& itemName, const QString& originalPath,
                    uid_t ownerUid) {
    const auto folder = DirectoryHandle::open(infoFolderForFilesFolder(filesFolder));
    if (!folder)
        return;
    const auto folderStatus = folder->status();
    if (!folderStatus || folderStatus->st_uid != ownerUid)
        return;
    const int fd = ::openat(folder->fd(), infoName(itemName).toUtf8().constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray text = trashInfoText(originalPath, QDateTime::currentDateTime());
    const bool written = ::fchown(fd, ownerUid, gid_t(-1)) == 0 &&
                         ::write(fd, text.constData(), std::size_t(text.size())) == ssize_t(text.size());
    ::close(fd);
    if (!written)
        ::unlinkat(folder->fd(), infoName(itemName).toUtf8().constData(), 0);
}

void removeTrashInfo(const QString& filesFolder, const QString& itemName) {
    const auto folder = DirectoryHandle::open(infoFolderForFilesFolder(filesFolder));
    if (!folder)
        return;
    const auto status = folder->entryStatus(infoName(itemName));
    if (!status || !S_ISREG(status->st_mode))
        return;
    ::unlinkat(folder->fd(), infoName(itemName).toUtf8().constData(), 0);
}

} // namespace quorvane::HomeTrash
