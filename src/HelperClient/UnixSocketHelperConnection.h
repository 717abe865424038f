#pragma once

#include "HelperClient/HelperConnection.h"
#include "Platform/UnixSocketChannel.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace quorvane {

// The application's end of the helper's framed Unix socket. resume() starts a thread that checks
// the socket path, connects, checks the peer and then writes queued calls; a second thread reads
// replies and matches them to their calls by id. Nothing times out: a helper that never answers
// leaves its call open until the helper goes away or this end invalidates the connection.
class UnixSocketHelperConnection final : public HelperConnection {
public:
    explicit UnixSocketHelperConnection(HelperEndpoint endpoint);
    // Invalidates and waits for both threads, which end promptly once the socket is shut down.
    ~UnixSocketHelperConnection() override;

    UnixSocketHelperConnection(const UnixSocketHelperConnection&) = delete;
    UnixSocketHelperConnection& operator=(const UnixSocketHelperConnection&) = delete;

    void setInterruptionHandler(EventHandler handler) override;
    void setInvalidationHandler(EventHandler handler) override;
    void resume() override;
    bool call(const QString& method, const QStringList& arguments, ReplyHandler handler) override;
    void invalidate() override;

    static HelperConnectionFactory factory();

private:
    struct OutgoingCall {
        qint64 id = 0;
        QString method;
        QStringList arguments;
        ReplyHandler handler;
    };

    [[nodiscard]] std::expected<UnixSocketChannel, HelperConnectionError> connectVerified() const;
    void runWriter();
    void runReader();
    // Under the lock: marks the connection ended by the helper and takes every open call.
    std::vector<ReplyHandler> breakLocked(HelperConnectionError error);
    // Under the lock: takes every call still to be sent or answered and shuts the socket down, so
    // that no thread waits on it any longer.
    std::vector<ReplyHandler> takeOpenCallsLocked();

    const HelperEndpoint m_endpoint;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<OutgoingCall> m_outgoing;
    std::map<qint64, ReplyHandler> m_awaitingReply;
    qint64 m_nextID = 1;
    bool m_resumed = false;
    bool m_invalidated = false;
    std::optional<HelperConnectionError> m_brokenBy;
    EventHandler m_onInterruption;
    EventHandler m_onInvalidation;

    // Owned by the writer thread once connected; the reader reads it and invalidate() shuts it down.
    UnixSocketChannel m_channel;
    bool m_channelOpen = false;
    std::thread m_writer;
    std::thread m_reader;
};

} // namespace quorvane
