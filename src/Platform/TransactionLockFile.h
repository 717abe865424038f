#pragma once

#include "Platform/SyscallError.h"

#include <QString>

#include <expected>

namespace quorvane {

// An exclusive flock on a file, held by the helper for the whole of a transaction. The application
// probes it before it concludes that a transaction whose reply never came has ended: while the lock
// is held, the helper is still moving bundles.
class TransactionLockFile {
public:
    TransactionLockFile() = default;
    TransactionLockFile(const TransactionLockFile&) = delete;
    TransactionLockFile& operator=(const TransactionLockFile&) = delete;
    TransactionLockFile(TransactionLockFile&& other) noexcept;
    TransactionLockFile& operator=(TransactionLockFile&& other) noexcept;
    ~TransactionLockFile();

    // Creates the file (mode 0644, never through a link) and blocks until the lock is ours.
    [[nodiscard]] static std::expected<TransactionLockFile, SyscallError> acquire(const QString& path);
    // The same without waiting: EWOULDBLOCK while another open file description holds it.
    [[nodiscard]] static std::expected<TransactionLockFile, SyscallError> tryAcquire(const QString& path);
    // True while another open file description holds the lock; a missing file is not held.
    static bool isHeld(const QString& path);

    bool isLocked() const { return m_fd >= 0; }
    void release();

private:
    explicit TransactionLockFile(int fd) : m_fd(fd) {}
    [[nodiscard]] static std::expected<TransactionLockFile, SyscallError> lock(const QString& path,
                                                                               int operation);

    int m_fd = -1;
};

} // namespace quorvane
