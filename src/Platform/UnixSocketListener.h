#pragma once

#include "Platform/SyscallError.h"
#include "Platform/UnixSocketChannel.h"

#include <QString>

#include <sys/types.h>

#include <expected>
#include <optional>

namespace quorvane {

// The listening Unix stream socket of a daemon: the one systemd hands over by socket activation,
// or, for development and tests, one bound here at a given path.
class UnixSocketListener {
public:
    UnixSocketListener() = default;
    UnixSocketListener(const UnixSocketListener&) = delete;
    UnixSocketListener& operator=(const UnixSocketListener&) = delete;
    UnixSocketListener(UnixSocketListener&& other) noexcept;
    UnixSocketListener& operator=(UnixSocketListener&& other) noexcept;
    ~UnixSocketListener();

    // The single stream socket passed by systemd (sd_listen_fds), or nothing when the process was
    // not socket-activated or was handed anything else.
    static std::optional<UnixSocketListener> fromSocketActivation();
    // Binds `path` (replacing only a stale socket left there, never another kind of file) and gives
    // the socket `mode`.
    [[nodiscard]] static std::expected<UnixSocketListener, SyscallError> listenAt(const QString& path,
                                                                                  mode_t mode);

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Blocks until a client connects; fails once shutdown() was called.
    [[nodiscard]] std::expected<UnixSocketChannel, SyscallError> accept();
    // Ends a blocked accept() on another thread.
    void shutdown();

private:
    explicit UnixSocketListener(int fd, QString boundPath = {})
        : m_fd(fd), m_boundPath(std::move(boundPath)) {}

    int m_fd = -1;
    QString m_boundPath;
};

} // namespace quorvane
