#include "Platform/HomeTrash.h"

#include "Shared/HomeTrashLocation.h"
#include "Support/Paths.h"

#include <QCryptographicHash>
#include <QUrl>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::HomeTrash {

namespace {

QString infoName(const QString& itemName) {
    return itemName + QStringLiteral(".trashinfo");
}

// Short whatever the item's name, hidden, and not ending in ".trashinfo", so that nothing lists it.
QByteArray temporaryName(const QString& itemName) {
    return "." + QCryptographicHash::hash(itemName.toUtf8(), QCryptographicHash::Sha256).toHex().left(16) +
           ".trashinfo.new";
}

// A description of the user's that names the same original place is kept (its date with it); an
// empty one, one of another owner or one that names another place is not.
bool describes(int folderFd, const QByteArray& name, const QByteArray& text, uid_t ownerUid) {
    constexpr qint64 largestDescription = 64 * 1024;
    const int fd = ::openat(folderFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    QByteArray contents;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ownerUid &&
        status.st_size > 0 && status.st_size <= largestDescription) {
        contents.resize(status.st_size);
        if (::read(fd, contents.data(), std::size_t(contents.size())) != ssize_t(contents.size()))
            contents.clear();
    }
    ::close(fd);
    const qsizetype pathLine = text.indexOf("\nPath=");
    const QByteArray path = text.mid(pathLine, text.indexOf('\n', pathLine + 1) - pathLine + 1);
    return !contents.isEmpty() && contents.contains(path);
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
    const QByteArray name = infoName(itemName).toUtf8();
    const QByteArray text = trashInfoText(originalPath, QDateTime::currentDateTime());
    const auto existing = folder->entryStatus(infoName(itemName));
    if (existing && (!S_ISREG(existing->st_mode) || describes(folder->fd(), name, text, ownerUid)))
        return;
    if (!existing && existing.error().code != ENOENT)
        return;
    // Written whole under a name of its own and only then renamed into place, so that a helper
    // stopped half way never leaves an empty description or one the user cannot read.
    const QByteArray temporary = temporaryName(itemName);
    ::unlinkat(folder->fd(), temporary.constData(), 0);
    const int fd = ::openat(folder->fd(), temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const bool written = ::fchown(fd, ownerUid, gid_t(-1)) == 0 &&
                         ::write(fd, text.constData(), std::size_t(text.size())) == ssize_t(text.size());
    ::close(fd);
    if (!written || ::renameat(folder->fd(), temporary.constData(), folder->fd(), name.constData()) != 0)
        ::unlinkat(folder->fd(), temporary.constData(), 0);
}

void removeTrashInfo(const QString& filesFolder, const QString& itemName) {
    const auto folder = DirectoryHandle::open(infoFolderForFilesFolder(filesFolder));
    if (!folder)
        return;
    ::unlinkat(folder->fd(), temporaryName(itemName).constData(), 0);
    const auto status = folder->entryStatus(infoName(itemName));
    if (!status || !S_ISREG(status->st_mode))
        return;
    ::unlinkat(folder->fd(), infoName(itemName).toUtf8().constData(), 0);
}

} // namespace quorvane::HomeTrash
