#include "Platform/TransactionLockFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quorvane {

TransactionLockFile::TransactionLockFile(TransactionLockFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

TransactionLockFile& TransactionLockFile::operator=(TransactionLockFile&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

TransactionLockFile::~TransactionLockFile() {
    release();
}

std::expected<TransactionLockFile, SyscallError> TransactionLockFile::acquire(const QString& path) {
    return lock(path, LOCK_EX);
}

std::expected<TransactionLockFile, SyscallError> TransactionLockFile::tryAcquire(const QString& path) {
    return lock(path, LOCK_EX | LOCK_NB);
}

std::expected<TransactionLockFile, SyscallError> TransactionLockFile::lock(const QString& path,
                                                                           int operation) {
    const int fd = ::open(path.toUtf8().constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const SyscallError error = SyscallError::fromErrno();
        ::close(fd);
        return std::unexpected(error);
    }
    return TransactionLockFile(fd);
}

bool TransactionLockFile::isHeld(const QString& path) {
    const int fd = ::open(path.toUtf8().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void TransactionLockFile::release() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace quorvane
