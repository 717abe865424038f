#include "HelperClient/UnixSocketHelperConnection.h"

#include "Platform/PeerIdentity.h"
#include "Shared/FrameCodec.h"

#include <cerrno>
#include <sys/stat.h>

namespace quorvane {

UnixSocketHelperConnection::UnixSocketHelperConnection(HelperEndpoint endpoint)
    : m_endpoint(std::move(endpoint)) {}

UnixSocketHelperConnection::~UnixSocketHelperConnection() {
    invalidate();
    if (m_writer.joinable())
        m_writer.join();
}

HelperConnectionFactory UnixSocketHelperConnection::factory() {
    return
        [](const HelperEndpoint& endpoint) { return std::make_unique<UnixSocketHelperConnection>(endpoint); };
}

void UnixSocketHelperConnection::setInterruptionHandler(EventHandler handler) {
    std::lock_guard lock(m_mutex);
    m_onInterruption = std::move(handler);
}

void UnixSocketHelperConnection::setInvalidationHandler(EventHandler handler) {
    std::lock_guard lock(m_mutex);
    m_onInvalidation = std::move(handler);
}

void UnixSocketHelperConnection::resume() {
    std::lock_guard lock(m_mutex);
    if (m_resumed || m_invalidated)
        return;
    m_resumed = true;
    m_writer = std::thread(&UnixSocketHelperConnection::runWriter, this);
}

bool UnixSocketHelperConnection::call(const QString& method, const QStringList& arguments,
                                      ReplyHandler handler) {
    std::lock_guard lock(m_mutex);
    if (m_invalidated)
        return false;
    m_outgoing.push_back(OutgoingCall{m_nextID++, method, arguments, std::move(handler)});
    m_wake.notify_all();
    return true;
}

void UnixSocketHelperConnection::invalidate() {
    std::vector<ReplyHandler> open;
    EventHandler invalidation;
    {
        std::lock_guard lock(m_mutex);
        if (m_invalidated)
            return;
        m_invalidated = true;
        if (m_channelOpen)
            m_channel.shutdown();
        if (!m_resumed) {
            // No thread will ever answer these, so they are answered here.
            for (OutgoingCall& call : m_outgoing)
                open.push_back(std::move(call.handler));
            m_outgoing.clear();
            invalidation = m_onInvalidation;
        }
        m_wake.notify_all();
    }
    for (const ReplyHandler& handler : open)
        handler(std::unexpected(HelperConnectionError::invalidated));
    if (invalidation)
        invalidation();
}

std::expected<UnixSocketChannel, HelperConnectionError> UnixSocketHelperConnection::connectVerified() const {
    struct stat status {};
    if (::lstat(m_endpoint.socketPath.toUtf8().constData(), &status) != 0)
        return std::unexpected(errno == ENOENT ? HelperConnectionError::unreachable
                                               : HelperConnectionError::untrusted);
    if (!verifyHelperSocketPath(m_endpoint.socketPath, m_endpoint.ownerUid))
        return std::unexpected(HelperConnectionError::untrusted);
    auto channel = UnixSocketChannel::connectTo(m_endpoint.socketPath);
    if (!channel)
        return std::unexpected(HelperConnectionError::unreachable);
    if (!verifyHelperPeer(channel->fd(), m_endpoint.ownerUid))
        return std::unexpected(HelperConnectionError::untrusted);
    return std::move(*channel);
}

std::vector<HelperConnection::ReplyHandler>
UnixSocketHelperConnection::breakLocked(HelperConnectionError error) {
    if (!m_brokenBy)
        m_brokenBy = error;
    return takeOpenCallsLocked();
}

std::vector<HelperConnection::ReplyHandler> UnixSocketHelperConnection::takeOpenCallsLocked() {
    std::vector<ReplyHandler> open;
    for (auto& [id, handler] : m_awaitingReply)
        open.push_back(std::move(handler));
    m_awaitingReply.clear();
    for (OutgoingCall& call : m_outgoing)
        open.push_back(std::move(call.handler));
    m_outgoing.clear();
    if (m_channelOpen)
        m_channel.shutdown();
    return open;
}

void UnixSocketHelperConnection::runWriter() {
    auto connected = connectVerified();
    {
        std::vector<ReplyHandler> failed;
        EventHandler interruption;
        {
            std::lock_guard lock(m_mutex);
            if (!connected && !m_invalidated) {
                failed = breakLocked(connected.error());
                interruption = m_onInterruption;
            } else if (connected && !m_invalidated) {
                m_channel = std::move(*connected);
                m_channelOpen = true;
                m_reader = std::thread(&UnixSocketHelperConnection::runReader, this);
            }
        }
        for (const ReplyHandler& handler : failed)
            handler(std::unexpected(connected.error()));
        if (interruption)
            interruption();
    }

    for (;;) {
        OutgoingCall call;
        std::optional<HelperConnectionError> failure;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_invalidated || !m_outgoing.empty(); });
            if (m_invalidated)
                break;
            call = std::move(m_outgoing.front());
            m_outgoing.pop_front();
            if (m_brokenBy)
                failure = m_brokenBy;
            else
                m_awaitingReply.emplace(call.id, call.handler);
        }
        if (failure) {
            call.handler(std::unexpected(*failure));
            continue;
        }
        const auto body = encodeFrameBody(FrameEnvelope{call.id, call.method, call.arguments});
        if (!body) {
            ReplyHandler handler;
            {
                std::lock_guard lock(m_mutex);
                if (const auto found = m_awaitingReply.find(call.id); found != m_awaitingReply.end()) {
                    handler = std::move(found->second);
                    m_awaitingReply.erase(found);
                }
            }
            if (handler)
                handler(std::unexpected(HelperConnectionError::protocolViolation));
            continue;
        }
        if (!m_channel.writeFrame(*body)) {
            // The reader sees the shut-down socket and answers every open call.
            std::lock_guard lock(m_mutex);
            m_channel.shutdown();
        }
    }

    std::vector<ReplyHandler> open;
    EventHandler invalidation;
    {
        std::lock_guard lock(m_mutex);
        open = takeOpenCallsLocked();
        invalidation = m_onInvalidation;
    }
    if (m_reader.joinable())
        m_reader.join();
    {
        std::lock_guard lock(m_mutex);
        m_channel.close();
        m_channelOpen = false;
    }
    for (const ReplyHandler& handler : open)
        handler(std::unexpected(HelperConnectionError::invalidated));
    if (invalidation)
        invalidation();
}

void UnixSocketHelperConnection::runReader() {
    for (;;) {
        const auto frame = m_channel.readFrame(maxFrameBodySize);
        std::optional<HelperConnectionError> error;
        std::optional<FrameEnvelope> envelope;
        if (!frame) {
            error = frame.error() == ChannelError::frameTooLarge ? HelperConnectionError::protocolViolation
                                                                 : HelperConnectionError::interrupted;
        } else if (auto decoded = decodeFrameBody(*frame);
                   !decoded || decoded->method != FrameMethod::reply) {
            error = HelperConnectionError::protocolViolation;
        } else {
            envelope = std::move(*decoded);
        }

        ReplyHandler handler;
        std::vector<ReplyHandler> failed;
        EventHandler interruption;
        {
            std::lock_guard lock(m_mutex);
            // A local close: the writer answers whatever is still open.
            if (m_invalidated)
                return;
            if (!error) {
                const auto found = m_awaitingReply.find(envelope->id);
                if (found == m_awaitingReply.end()) {
                    error = HelperConnectionError::protocolViolation;
                } else {
                    handler = std::move(found->second);
                    m_awaitingReply.erase(found);
                }
            }
            if (error) {
                failed = breakLocked(*error);
                interruption = m_onInterruption;
            }
        }
        if (handler) {
            handler(envelope->arguments);
            continue;
        }
        for (const ReplyHandler& open : failed)
            open(std::unexpected(*error));
        if (interruption)
            interruption();
        return;
    }
}

} // namespace quorvane
