#include "Helper/HelperServer.h"

#include "Platform/HelperLog.h"
#include "Shared/FrameCodec.h"

#include <chrono>

namespace quorvane {

HelperServer::HelperServer(HelperService& service, ClientRequirement requirement)
    : m_service(service), m_requirement(std::move(requirement)) {}

HelperServer::~HelperServer() {
    stop();
}

void HelperServer::run(UnixSocketListener& listener) {
    {
        std::lock_guard guard(m_mutex);
        m_listener = &listener;
    }
    while (!m_stopping) {
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
        std::lock_guard guard(m_mutex);
        reapFinished();
        auto connection = std::make_unique<Connection>();
        connection->channel = std::move(*accepted);
        Connection* raw = connection.get();
        raw->thread = std::thread([this, raw] {
            serveConnection(raw->channel);
            raw->finished = true;
        });
        m_connections.push_back(std::move(connection));
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

void HelperServer::stop() {
    m_stopping = true;
    std::lock_guard guard(m_mutex);
    if (m_listener)
        m_listener->shutdown();
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

void HelperServer::serveConnection(UnixSocketChannel& channel) {
    const auto peer = verifyClientPeer(channel.fd(), m_requirement);
    if (!peer) {
        // Nothing of the peer's has been read; it sees only the connection close.
        qCDebug(helperListenerLog, "Refused a connection: %s", qUtf8Printable(description(peer.error())));
        channel.shutdown();
        qCDebug(helperListenerLog, "Quorvane XPC connection invalidated");
        return;
    }
    for (;;) {
        const auto body = channel.readFrame(maxFrameBodySize);
        if (!body)
            break;
        const auto call = decodeFrameBody(*body);
        if (!call) {
            qCDebug(helperListenerLog, "Closing a connection that broke the protocol: %s",
                    qUtf8Printable(description(call.error())));
            break;
        }
        const auto reply = m_service.handle(*call);
        if (!reply) {
            qCDebug(helperListenerLog, "Closing a connection that made an unknown call");
            break;
        }
        const auto replyBody = encodeFrameBody(*reply);
        if (!replyBody || !channel.writeFrame(*replyBody))
            break;
    }
    // The descriptor itself is closed by the channel's owner, so that stop() may still shut it down.
    channel.shutdown();
    qCDebug(helperListenerLog, "Quorvane XPC connection invalidated");
}

} // namespace quorvane
