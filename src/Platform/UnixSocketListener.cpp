#include "Platform/UnixSocketListener.h"

#include <systemd/sd-daemon.h>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

UnixSocketListener::UnixSocketListener(UnixSocketListener&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_boundPath(std::move(other.m_boundPath)) {}

UnixSocketListener& UnixSocketListener::operator=(UnixSocketListener&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_boundPath = std::move(other.m_boundPath);
    }
    return *this;
}

UnixSocketListener::~UnixSocketListener() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_boundPath.isEmpty())
        ::unlink(m_boundPath.toUtf8().constData());
}

std::optional<UnixSocketListener> UnixSocketListener::fromSocketActivation() {
    if (sd_listen_fds(1) != 1)
        return std::nullopt;
    const int fd = SD_LISTEN_FDS_START;
    if (sd_is_socket_unix(fd, SOCK_STREAM, 1, nullptr, 0) <= 0)
        return std::nullopt;
    return UnixSocketListener(fd);
}

std::expected<UnixSocketListener, SyscallError> UnixSocketListener::listenAt(const QString& path,
                                                                             mode_t mode) {
    const auto address = unixSocketAddress(path);
    if (!address)
        return std::unexpected(address.error());
    const char* native = address->sun_path; // NUL-terminated: the path is shorter than the field

    struct stat existing {};
    if (::lstat(native, &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode))
            return std::unexpected(SyscallError{EEXIST});
        ::unlink(native);
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0 ||
        ::chmod(native, mode) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        const SyscallError error = SyscallError::fromErrno();
        ::close(fd);
        return std::unexpected(error);
    }
    return UnixSocketListener(fd, path);
}

std::expected<UnixSocketChannel, SyscallError> UnixSocketListener::accept() {
    for (;;) {
        if (m_fd < 0)
            return std::unexpected(SyscallError{EBADF});
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            return UnixSocketChannel(client);
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        return std::unexpected(SyscallError::fromErrno());
    }
}

void UnixSocketListener::shutdown() {
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

} // namespace quorvane
