#include "Helper/HelperServer.h"

#include "Platform/HelperLog.h"
#include "Shared/FrameCodec.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <system_error>

namespace quorvane {

namespace {

// The peer has closed its end, whatever it left unread behind it.
bool peerClosed(int fd) {
    pollfd watched{fd, 0, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLHUP | POLLERR)) != 0;
}

} // namespace

HelperServer::HelperServer(HelperService& service, ClientRequirement requirement, HelperServerLimits limits)
    : m_service(service), m_requirement(std::move(requirement)), m_limits(std::move(limits)) {}

HelperServer::~HelperServer() {
    stop();
}

void HelperServer::run(UnixSocketListener& listener) {
    {
        std::lock_guard guard(m_mutex);
        m_listener = &listener;
    }
    const std::size_t cap = std::size_t(std::max(1, m_limits.maxConnections));
    while (!m_stopping) {
        // Always accepted: idle or stalled connections, however many, must not keep a client waiting
        // in the listen queue.
        auto accepted = listener.accept();
        if (!accepted) {
            if (m_stopping)
                break;
            qCWarning(helperListenerLog, "Accepting a connection failed: %s",
                      qUtf8Printable(accepted.error().description()));
            // Out of descriptors or memory: give the connections in progress time to end.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        {
            std::unique_lock lock(m_mutex);
            m_connectionEnded.wait(lock, [&] { return makeRoom(cap); });
        }
        if (m_stopping)
            break;
        startConnection(std::move(*accepted));
    }
    std::list<std::unique_ptr<Connection>> remaining;
    {
        std::lock_guard guard(m_mutex);
        m_listener = nullptr;
        for (auto& connection : m_connections)
            connection->channel.shutdown();
        remaining.swap(m_connections);
    }
    for (auto& connection : remaining)
        connection->thread.join();
}

void HelperServer::startConnection(UnixSocketChannel channel) {
    auto connection = std::make_unique<Connection>();
    connection->channel = std::move(channel);
    connection->idleSince = std::chrono::steady_clock::now();
    Connection* raw = connection.get();
    auto serve = [this, raw] {
        serveConnection(*raw);
        {
            std::lock_guard guard(m_mutex);
            raw->finished = true;
        }
        m_connectionEnded.notify_all();
    };
    std::lock_guard guard(m_mutex);
    try {
        raw->thread = m_limits.startThread ? m_limits.startThread(serve) : std::thread(serve);
    } catch (const std::system_error& error) {
        // Out of threads or memory: this client is turned away (the channel closes with
        // `connection`), the others and the daemon go on.
        qCWarning(helperListenerLog, "A connection could not be served and was closed: %s", error.what());
        return;
    }
    m_connections.push_back(std::move(connection));
}

void HelperServer::stop() {
    m_stopping = true;
    std::lock_guard guard(m_mutex);
    if (m_listener)
        m_listener->shutdown();
    m_connectionEnded.notify_all();
}

void HelperServer::reapFinished() {
    for (auto position = m_connections.begin(); position != m_connections.end();) {
        if ((*position)->finished) {
            (*position)->thread.join();
            position = m_connections.erase(position);
        } else {
            ++position;
        }
    }
}

bool HelperServer::makeRoom(std::size_t cap) {
    reapFinished();
    if (m_stopping || m_connections.size() < cap)
        return true;
    Connection* idlest = nullptr;
    for (const auto& connection : m_connections) {
        // One on its way out already makes the room; wait for it.
        if (connection->closing)
            return false;
        if (!connection->serving && (!idlest || connection->idleSince < idlest->idleSince))
            idlest = connection.get();
    }
    // Every connection is serving a request: the newcomer waits for one to finish.
    if (!idlest)
        return false;
    qCDebug(helperListenerLog, "Closing the connection idle longest to make room for a new one");
    idlest->closing = true;
    idlest->channel.shutdown();
    return false;
}

void HelperServer::serveConnection(Connection& connection) {
    UnixSocketChannel& channel = connection.channel;
    const auto peer = verifyClientPeer(channel.fd(), m_requirement);
    if (!peer) {
        // Nothing of the peer's has been read; it sees only the connection close.
        qCDebug(helperListenerLog, "Refused a connection: %s", qUtf8Printable(description(peer.error())));
        channel.shutdown();
        qCDebug(helperListenerLog, "Quorvane XPC connection invalidated");
        return;
    }
    for (;;) {
        const auto body = channel.readFrame(maxFrameBodySize, m_limits.partialFrameTimeout);
        if (!body) {
            if (body.error() == ChannelError::timedOut)
                qCDebug(helperListenerLog, "Closing a connection that stalled in the middle of a frame");
            break;
        }
        {
            // A connection closed to make room serves nothing more, even a request read just before.
            std::lock_guard guard(m_mutex);
            if (connection.closing)
                break;
            connection.serving = true;
        }
        const bool answered = [&] {
            const auto call = decodeFrameBody(*body);
            if (!call) {
                qCDebug(helperListenerLog, "Closing a connection that broke the protocol: %s",
                        qUtf8Printable(description(call.error())));
                return false;
            }
            const auto reply = m_service.handle(*call, [&channel] { return peerClosed(channel.fd()); });
            if (!reply) {
                qCDebug(helperListenerLog, "Closing a connection that made an unknown call");
                return false;
            }
            const bool written = channel.writeFrame(*reply).has_value();
            m_service.replySent();
            return written;
        }();
        {
            std::lock_guard guard(m_mutex);
            connection.serving = false;
            connection.idleSince = std::chrono::steady_clock::now();
        }
        // A newcomer waiting because every connection was serving may now take this one's place.
        m_connectionEnded.notify_all();
        if (!answered)
            break;
    }
    // The descriptor itself is closed by the channel's owner, so that stop() may still shut it down.
    channel.shutdown();
    qCDebug(helperListenerLog, "Quorvane XPC connection invalidated");
}

} // namespace quorvane
