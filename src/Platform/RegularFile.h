#pragma once

#include "Platform/SyscallError.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <fcntl.h>

namespace quorvane {

// A regular file open for reading. Files in plug-in folders are untrusted: anything that is not a
// regular file (a FIFO, a device, a folder) is refused before a byte is read, so nothing blocks;
// and the file is read, never mapped, so one truncated while it is examined cannot fault us.
class RegularFile {
public:
    RegularFile() = default;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    ~RegularFile();

    // Follows links, as reading a file by its name does. EINVAL for anything but a regular file.
    // A relative path is taken from the open folder `directoryFd`.
    [[nodiscard]] static std::expected<RegularFile, SyscallError> open(const QString& path,
                                                                       int directoryFd = AT_FDCWD);

    // The size when the file was opened.
    qint64 size() const { return m_size; }
    // Up to `length` bytes from `offset`; fewer at the end of the file.
    [[nodiscard]] std::expected<QByteArray, SyscallError> read(qint64 offset, qint64 length) const;

private:
    int m_fd = -1;
    qint64 m_size = 0;
};

// The whole of a regular file of at most `maxBytes` bytes; EFBIG when it is larger.
[[nodiscard]] std::expected<QByteArray, SyscallError> readRegularFile(const QString& path, qint64 maxBytes,
                                                                      int directoryFd = AT_FDCWD);

} // namespace quorvane
