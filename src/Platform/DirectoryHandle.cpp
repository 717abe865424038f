#include "Platform/DirectoryHandle.h"

#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {

namespace {

QByteArray nativeName(const QString& name) {
    return name.toUtf8();
}

bool isPlainComponent(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// O_PATH with O_NOFOLLOW reports a link as "not a directory"; say what it is.
int openDirectoryAt(int parent, const QString& name) {
    const QByteArray native = nativeName(name);
    const int fd = ::openat(parent, native.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOTDIR) {
        struct stat status {};
        if (::fstatat(parent, native.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(status.st_mode))
            errno = ELOOP;
        else
            errno = ENOTDIR;
    }
    return fd;
}

} // namespace

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

DirectoryHandle::~DirectoryHandle() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::expected<DirectoryHandle, SyscallError> DirectoryHandle::open(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return std::unexpected(SyscallError{EINVAL});
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    const QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& component : components) {
        if (!isPlainComponent(component)) {
            ::close(fd);
            return std::unexpected(SyscallError{EINVAL});
        }
        const int child = openDirectoryAt(fd, component);
        const int error = errno;
        ::close(fd);
        if (child < 0)
            return std::unexpected(SyscallError{error});
        fd = child;
    }
    return DirectoryHandle(fd, path);
}

std::expected<struct stat, SyscallError> DirectoryHandle::status() const {
    struct stat result {};
    if (::fstat(m_fd, &result) != 0)
        return std::unexpected(SyscallError::fromErrno());
    return result;
}

std::expected<struct stat, SyscallError> DirectoryHandle::entryStatus(const QString& name) const {
    if (!isPlainComponent(name))
        return std::unexpected(SyscallError{EINVAL});
    struct stat result {};
    if (::fstatat(m_fd, nativeName(name).constData(), &result, AT_SYMLINK_NOFOLLOW) != 0)
        return std::unexpected(SyscallError::fromErrno());
    return result;
}

std::expected<DirectoryHandle, SyscallError> DirectoryHandle::openChild(const QString& name) const {
    if (!isPlainComponent(name))
        return std::unexpected(SyscallError{EINVAL});
    const int child = openDirectoryAt(m_fd, name);
    if (child < 0)
        return std::unexpected(SyscallError::fromErrno());
    QString childPath = m_path;
    if (!childPath.endsWith(QLatin1Char('/')))
        childPath.append(QLatin1Char('/'));
    return DirectoryHandle(child, childPath + name);
}

std::expected<void, SyscallError> DirectoryHandle::makeChildDirectory(const QString& name,
                                                                      mode_t mode) const {
    if (!isPlainComponent(name))
        return std::unexpected(SyscallError{EINVAL});
    if (::mkdirat(m_fd, nativeName(name).constData(), mode) == 0)
        return {};
    const SyscallError error = SyscallError::fromErrno();
    if (error.code == EEXIST) {
        const auto existing = entryStatus(name);
        if (existing && S_ISDIR(existing->st_mode))
            return {};
    }
    return std::unexpected(error);
}

std::expected<void, SyscallError> DirectoryHandle::removeEmptyChildDirectory(const QString& name) const {
    if (!isPlainComponent(name))
        return std::unexpected(SyscallError{EINVAL});
    if (::unlinkat(m_fd, nativeName(name).constData(), AT_REMOVEDIR) != 0)
        return std::unexpected(SyscallError::fromErrno());
    return {};
}

std::expected<void, SyscallError> renameNoReplace(const DirectoryHandle& fromFolder, const QString& fromName,
                                                  const DirectoryHandle& toFolder, const QString& toName) {
    if (!isPlainComponent(fromName) || !isPlainComponent(toName))
        return std::unexpected(SyscallError{EINVAL});
    if (::renameat2(fromFolder.fd(), nativeName(fromName).constData(), toFolder.fd(),
                    nativeName(toName).constData(), RENAME_NOREPLACE) != 0)
        return std::unexpected(SyscallError::fromErrno());
    return {};
}

} // namespace quorvane
