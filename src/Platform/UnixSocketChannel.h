#pragma once

#include "Platform/SyscallError.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>

#include <sys/un.h>

namespace quorvane {

enum class ChannelError {
    // The peer closed its end (between frames, or in the middle of one).
    closedByPeer,
    // The frame header announced more than the reader allows; nothing of the body was read.
    frameTooLarge,
    // A read or write failed, or this end was closed.
    ioFailure,
    // A frame was begun but not finished in the time allowed.
    timedOut,
};

QString description(ChannelError error);

// The address of the socket file at `path`; ENAMETOOLONG when the path is empty, holds a NUL or
// does not fit.
[[nodiscard]] std::expected<sockaddr_un, SyscallError> unixSocketAddress(const QString& path);

// One connected Unix stream socket carrying length-prefixed frames: a 4-byte big-endian body length,
// then the body. Blocking I/O, meant for one thread per connection (the helper) or a worker thread
// (the application). Writes never raise SIGPIPE. Shared by both ends: the helper wraps what it
// accepts, the application what it connects.
class UnixSocketChannel {
public:
    UnixSocketChannel() = default;
    explicit UnixSocketChannel(int connectedFd) : m_fd(connectedFd) {}
    UnixSocketChannel(const UnixSocketChannel&) = delete;
    UnixSocketChannel& operator=(const UnixSocketChannel&) = delete;
    UnixSocketChannel(UnixSocketChannel&& other) noexcept;
    UnixSocketChannel& operator=(UnixSocketChannel&& other) noexcept;
    ~UnixSocketChannel();

    // Client side: a blocking connect to the socket at `path`.
    [[nodiscard]] static std::expected<UnixSocketChannel, SyscallError> connectTo(const QString& path);

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // The next frame's body. The header is checked against `maxBodySize` before any body byte is
    // read or any memory is reserved for it.
    // With `partialFrameTimeout`, the wait for a frame's first byte is unlimited, but the rest of
    // the frame must arrive within that time of it, so a peer that stalls mid-frame is given up.
    [[nodiscard]] std::expected<QByteArray, ChannelError>
    readFrame(std::uint32_t maxBodySize,
              std::optional<std::chrono::milliseconds> partialFrameTimeout = std::nullopt);
    // Header and body in one piece.
    [[nodiscard]] std::expected<void, ChannelError> writeFrame(const QByteArray& body);
    // Raw bytes, for tests that speak the protocol wrongly on purpose.
    [[nodiscard]] std::expected<void, ChannelError> writeRaw(const QByteArray& bytes);

    // Wakes a reader blocked in readFrame on another thread; the fd stays valid until close().
    void shutdown();
    void close();

private:
    [[nodiscard]] std::expected<void, ChannelError>
    readExactly(char* data, std::size_t size,
                std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

    int m_fd = -1;
};

} // namespace quorvane
