#include "Helper/PrivateFile.h"

#include "Platform/DirectoryHandle.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

std::optional<QByteArray> readAll(int fd, qint64 size) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return std::nullopt;
    QByteArray data = file.read(size);
    return data.size() == size ? std::optional(std::move(data)) : std::nullopt;
}

// A rename or an unlink is durable only once its folder is.
[[nodiscard]] std::expected<void, SyscallError> syncFolder(const DirectoryHandle& folder) {
    const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    const bool synced = ::fsync(fd) == 0;
    const SyscallError error = SyscallError::fromErrno();
    ::close(fd);
    if (!synced)
        return std::unexpected(error);
    return {};
}

QByteArray temporaryName(const QString& name) {
    return (name + QStringLiteral(".new")).toUtf8();
}

std::optional<quint64> unsignedOf(const QJsonValue& value) {
    bool ok = false;
    const quint64 number = value.toString().toULongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

[[nodiscard]] std::expected<DirectoryHandle, SyscallError> openOwnFolder(const QString& path) {
    auto folder = DirectoryHandle::open(path);
    if (!folder)
        return std::unexpected(folder.error());
    const auto status = folder->status();
    if (!status || status->st_uid != ::geteuid() || (status->st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return std::unexpected(SyscallError{EPERM});
    return folder;
}

} // namespace

std::expected<std::optional<QByteArray>, SyscallError> readPrivateFile(const QString& folder,
                                                                       const QString& name, qint64 maxBytes) {
    using Result = std::expected<std::optional<QByteArray>, SyscallError>;
    const auto handle = DirectoryHandle::open(folder);
    if (!handle)
        return handle.error().code == ENOENT ? Result{std::nullopt} : std::unexpected(handle.error());
    // Without blocking: a FIFO planted under the name would hold the helper's start in open().
    const int fd =
        ::openat(handle->fd(), name.toUtf8().constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Result{std::nullopt} : std::unexpected(SyscallError::fromErrno());
    struct stat status {};
    std::optional<QByteArray> data;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
        status.st_size <= maxBytes)
        data = readAll(fd, status.st_size);
    ::close(fd);
    if (!data)
        return std::unexpected(SyscallError{EPERM});
    return data;
}

namespace {

// An open file of ours: regular, this process's user's, with no other name.
bool isOwnFile(int fd, struct stat& status) {
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
           status.st_nlink == 1;
}

bool writeAllAt(int fd, const QByteArray& data, qint64 offset) {
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t written =
            ::pwrite(fd, data.constData() + done, std::size_t(data.size() - done), off_t(offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// Written whole to the temporary name, synced, renamed over `name` and the folder synced. With
// `reuse`, a temporary file that is there (set aside earlier) is overwritten in place, padded with
// spaces to its length, instead of being replaced.
[[nodiscard]] std::expected<void, SyscallError> replaceWhole(const QString& folder, const QString& name,
                                                             const QByteArray& data, bool reuse) {
    const auto handle = openOwnFolder(folder);
    if (!handle)
        return std::unexpected(handle.error());
    const QByteArray temporary = temporaryName(name);
    QByteArray padded = data;
    int fd = reuse ? ::openat(handle->fd(), temporary.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
    struct stat status {};
    if (fd >= 0 && isOwnFile(fd, status)) {
        if (status.st_size > padded.size())
            padded.append(QByteArray(status.st_size - padded.size(), ' '));
    } else {
        if (fd >= 0)
            ::close(fd);
        if (::unlinkat(handle->fd(), temporary.constData(), 0) != 0 && errno != ENOENT)
            return std::unexpected(SyscallError::fromErrno());
        fd = ::openat(handle->fd(), temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return std::unexpected(SyscallError::fromErrno());
    }
    const bool written = writeAllAt(fd, padded, 0) && ::fdatasync(fd) == 0;
    const SyscallError writeError = SyscallError::fromErrno();
    ::close(fd);
    if (!written) {
        ::unlinkat(handle->fd(), temporary.constData(), 0);
        return std::unexpected(writeError);
    }
    if (::renameat(handle->fd(), temporary.constData(), handle->fd(), name.toUtf8().constData()) != 0) {
        const SyscallError error = SyscallError::fromErrno();
        ::unlinkat(handle->fd(), temporary.constData(), 0);
        return std::unexpected(error);
    }
    return syncFolder(*handle);
}

} // namespace

std::expected<void, SyscallError> writePrivateFile(const QString& folder, const QString& name,
                                                   const QByteArray& data) {
    return replaceWhole(folder, name, data, false);
}

std::expected<void, SyscallError> rewritePrivateFile(const QString& folder, const QString& name,
                                                     const QByteArray& data) {
    return replaceWhole(folder, name, data, true);
}

std::expected<void, SyscallError> patchPrivateFile(const QString& folder, const QString& name, qint64 offset,
                                                   const QByteArray& from, const QByteArray& to) {
    const auto handle = openOwnFolder(folder);
    if (!handle)
        return std::unexpected(handle.error());
    const int fd = ::openat(handle->fd(), name.toUtf8().constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    struct stat status {};
    QByteArray found(from.size(), '\0');
    bool holds =
        isOwnFile(fd, status) && from.size() == to.size() &&
        ::pread(fd, found.data(), std::size_t(found.size()), off_t(offset)) == ssize_t(found.size()) &&
        found == from;
    const bool patched = holds && writeAllAt(fd, to, offset) && ::fdatasync(fd) == 0;
    const SyscallError error = holds ? SyscallError::fromErrno() : SyscallError{EBADMSG};
    ::close(fd);
    if (!patched)
        return std::unexpected(error);
    return {};
}

std::expected<void, SyscallError> setAsidePrivateFile(const QString& folder, const QString& name) {
    const auto handle = openOwnFolder(folder);
    if (!handle)
        return handle.error().code == ENOENT ? std::expected<void, SyscallError>{}
                                             : std::unexpected(handle.error());
    const QByteArray path = name.toUtf8();
    if (::renameat2(handle->fd(), path.constData(), handle->fd(), temporaryName(name).constData(),
                    RENAME_NOREPLACE) == 0 ||
        errno == ENOENT)
        return {};
    if (::unlinkat(handle->fd(), path.constData(), 0) != 0 && errno != ENOENT)
        return std::unexpected(SyscallError::fromErrno());
    return {};
}

void removeUnfinishedPrivateFile(const QString& folder, const QString& name) {
    if (const auto handle = openOwnFolder(folder))
        (void)::unlinkat(handle->fd(), temporaryName(name).constData(), 0);
}

std::expected<void, SyscallError> removePrivateFile(const QString& folder, const QString& name) {
    const auto handle = openOwnFolder(folder);
    if (!handle)
        return handle.error().code == ENOENT ? std::expected<void, SyscallError>{}
                                             : std::unexpected(handle.error());
    if (::unlinkat(handle->fd(), name.toUtf8().constData(), 0) != 0)
        return errno == ENOENT ? std::expected<void, SyscallError>{}
                               : std::unexpected(SyscallError::fromErrno());
    return syncFolder(*handle);
}

void addIdentityFields(QJsonObject& object, const FileIdentity& identity, uid_t owner) {
    object.insert(QStringLiteral("device"), QString::number(quint64(identity.device)));
    object.insert(QStringLiteral("inode"), QString::number(quint64(identity.inode)));
    object.insert(QStringLiteral("owner"), QString::number(quint64(owner)));
}

std::optional<std::pair<FileIdentity, uid_t>> identityFields(const QJsonObject& object) {
    const auto device = unsignedOf(object.value(QStringLiteral("device")));
    const auto inode = unsignedOf(object.value(QStringLiteral("inode")));
    const auto owner = unsignedOf(object.value(QStringLiteral("owner")));
    if (!device || !inode || !owner)
        return std::nullopt;
    return std::pair(FileIdentity{dev_t(*device), ino_t(*inode)}, uid_t(*owner));
}

} // namespace quorvane
