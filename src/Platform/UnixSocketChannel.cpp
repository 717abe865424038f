#include "Platform/UnixSocketChannel.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvane {

QString description(ChannelError error) {
    switch (error) {
    case ChannelError::closedByPeer:
        return QStringLiteral("The other end closed the connection.");
    case ChannelError::frameTooLarge:
        return QStringLiteral("The other end sent a message larger than the protocol allows.");
    case ChannelError::ioFailure:
        return QStringLiteral("The connection failed.");
    case ChannelError::timedOut:
        return QStringLiteral("The other end stopped in the middle of a message.");
    }
    return {};
}

UnixSocketChannel::UnixSocketChannel(UnixSocketChannel&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

UnixSocketChannel& UnixSocketChannel::operator=(UnixSocketChannel&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

UnixSocketChannel::~UnixSocketChannel() {
    close();
}

std::expected<sockaddr_un, SyscallError> unixSocketAddress(const QString& path) {
    const QByteArray native = path.toUtf8();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || native.contains('\0') || std::size_t(native.size()) >= sizeof(address.sun_path))
        return std::unexpected(SyscallError{ENAMETOOLONG});
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    return address;
}

std::expected<UnixSocketChannel, SyscallError> UnixSocketChannel::connectTo(const QString& path) {
    const auto address = unixSocketAddress(path);
    if (!address)
        return std::unexpected(address.error());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const SyscallError error = SyscallError::fromErrno();
        ::close(fd);
        return std::unexpected(error);
    }
    return UnixSocketChannel(fd);
}

std::expected<void, ChannelError>
UnixSocketChannel::readExactly(char* data, std::size_t size,
                               std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::size_t done = 0;
    while (done < size) {
        if (m_fd < 0)
            return std::unexpected(ChannelError::ioFailure);
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::unexpected(ChannelError::timedOut);
            pollfd watched{m_fd, POLLIN, 0};
            const int ready = ::poll(&watched, 1, int(std::min<long long>(left.count(), 1 << 30)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return std::unexpected(ChannelError::ioFailure);
            if (ready == 0)
                return std::unexpected(ChannelError::timedOut);
        }
        const ssize_t got = ::recv(m_fd, data + done, size - done, 0);
        if (got > 0) {
            done += std::size_t(got);
            continue;
        }
        if (got == 0)
            return std::unexpected(ChannelError::closedByPeer);
        if (errno == EINTR)
            continue;
        return std::unexpected(errno == ECONNRESET ? ChannelError::closedByPeer : ChannelError::ioFailure);
    }
    return {};
}

std::expected<QByteArray, ChannelError>
UnixSocketChannel::readFrame(std::uint32_t maxBodySize,
                             std::optional<std::chrono::milliseconds> partialFrameTimeout) {
    char header[4];
    if (auto read = readExactly(header, 1); !read)
        return std::unexpected(read.error());
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (partialFrameTimeout)
        deadline = std::chrono::steady_clock::now() + *partialFrameTimeout;
    if (auto read = readExactly(header + 1, sizeof(header) - 1, deadline); !read)
        return std::unexpected(read.error());
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length > maxBodySize)
        return std::unexpected(ChannelError::frameTooLarge);
    QByteArray body(qsizetype(length), Qt::Uninitialized);
    if (length > 0) {
        if (auto read = readExactly(body.data(), length, deadline); !read)
            return std::unexpected(read.error());
    }
    return body;
}

std::expected<void, ChannelError> UnixSocketChannel::writeRaw(const QByteArray& bytes) {
    std::size_t done = 0;
    const std::size_t size = std::size_t(bytes.size());
    while (done < size) {
        if (m_fd < 0)
            return std::unexpected(ChannelError::ioFailure);
        const ssize_t sent = ::send(m_fd, bytes.constData() + done, size - done, MSG_NOSIGNAL);
        if (sent >= 0) {
            done += std::size_t(sent);
            continue;
        }
        if (errno == EINTR)
            continue;
        return std::unexpected(errno == EPIPE || errno == ECONNRESET ? ChannelError::closedByPeer
                                                                     : ChannelError::ioFailure);
    }
    return {};
}

std::expected<void, ChannelError> UnixSocketChannel::writeFrame(const QByteArray& body) {
    QByteArray frame(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(body.size()), frame.data());
    frame.append(body);
    return writeRaw(frame);
}

void UnixSocketChannel::shutdown() {
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void UnixSocketChannel::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace quorvane
