#include "Platform/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quorvane {

RegularFile::RegularFile(RegularFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::expected<RegularFile, SyscallError> RegularFile::open(const QString& path, int directoryFd) {
    if (path.isEmpty() || path.contains(QChar(0)))
        return std::unexpected(SyscallError{EINVAL});
    RegularFile file;
    // O_NONBLOCK so that opening a FIFO returns at once; it is then refused as not regular.
    file.m_fd =
        ::openat(directoryFd, path.toUtf8().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file.m_fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    struct stat status {};
    if (::fstat(file.m_fd, &status) != 0)
        return std::unexpected(SyscallError::fromErrno());
    if (!S_ISREG(status.st_mode))
        return std::unexpected(SyscallError{EINVAL});
    file.m_size = static_cast<qint64>(status.st_size);
    return file;
}

std::expected<QByteArray, SyscallError> RegularFile::read(qint64 offset, qint64 length) const {
    if (offset < 0 || length < 0)
        return std::unexpected(SyscallError{EINVAL});
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(length));
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::pread(m_fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled),
                                    static_cast<off_t>(offset + filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(SyscallError::fromErrno());
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

std::expected<QByteArray, SyscallError> readRegularFile(const QString& path, qint64 maxBytes,
                                                        int directoryFd) {
    auto file = RegularFile::open(path, directoryFd);
    if (!file)
        return std::unexpected(file.error());
    if (file->size() > maxBytes)
        return std::unexpected(SyscallError{EFBIG});
    // One byte more than the size tells a file that grew since it was opened; it is then read on
    // up to one byte past the limit.
    auto contents = file->read(0, file->size() + 1);
    if (!contents)
        return std::unexpected(contents.error());
    if (contents->size() > file->size()) {
        auto rest = file->read(contents->size(), maxBytes + 1 - contents->size());
        if (!rest)
            return std::unexpected(rest.error());
        contents->append(*rest);
    }
    if (contents->size() > maxBytes)
        return std::unexpected(SyscallError{EFBIG});
    return contents;
}

} // namespace quorvane
