#include "Helper/PrivateFile.h"

#include "Platform/DirectoryHandle.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// The whole of `data` through the open descriptor, which stays open.
bool writeAll(int fd, const QByteArray& data) {
    QFile file;
    return file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) &&
           file.write(data) == data.size() && file.flush();
}

std::optional<QByteArray> readAll(int fd, qint64 size) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return std::nullopt;
    QByteArray data = file.read(size);
    return data.size() == size ? std::optional(std::move(data)) : std::nullopt;
}

// A rename or an unlink is durable only once its folder is.
std::expected<void, SyscallError> syncFolder(const DirectoryHandle& folder) {
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

std::expected<DirectoryHandle, SyscallError> openOwnFolder(const QString& path) {
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

std::expected<void, SyscallError> writePrivateFile(const QString& folder, const QString& name,
                                                   const QByteArray& data) {
    const auto handle = openOwnFolder(folder);
    if (!handle)
        return std::unexpected(handle.error());
    const QByteArray temporary = temporaryName(name);
    if (::unlinkat(handle->fd(), temporary.constData(), 0) != 0 && errno != ENOENT)
        return std::unexpected(SyscallError::fromErrno());
    const int fd = ::openat(handle->fd(), temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
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
