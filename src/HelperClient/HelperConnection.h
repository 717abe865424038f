#pragma once

#include "Platform/ServiceRegistry.h"

#include <QString>
#include <QStringList>

#include <expected>
#include <functional>
#include <memory>

namespace quorvane {

enum class HelperConnectionError {
    // Nothing listens at the socket.
    unreachable,
    // The socket, its folder or the process behind it is not owned as the endpoint demands.
    untrusted,
    // The helper closed its end (or refused us) before it answered.
    interrupted,
    // This end closed the connection before the answer came.
    invalidated,
    // The helper sent something that is not a frame of the protocol; the connection was closed.
    protocolViolation,
};

QString description(HelperConnectionError error);

// One connection to the helper, in the manner of the platform connection it replaces: created
// suspended, handlers set, then resumed; calls are queued until the connection is up. Every call
// gets exactly one answer, its reply's arguments or the error that ended it, delivered on the
// connection's own thread, never inside call(). An end caused by the helper (its EOF, a broken
// frame, a failed connect) and a local close are reported through distinct handlers.
class HelperConnection {
public:
    using Reply = std::expected<QStringList, HelperConnectionError>;
    using ReplyHandler = std::function<void(const Reply& reply)>;
    using EventHandler = std::function<void()>;

    virtual ~HelperConnection() = default;

    // The helper went away or could not be reached. An empty handler silences the event.
    virtual void setInterruptionHandler(EventHandler handler) = 0;
    // The connection was closed on this side.
    virtual void setInvalidationHandler(EventHandler handler) = 0;
    virtual void resume() = 0;
    // False, with no answer to come, when the connection was already invalidated.
    virtual bool call(const QString& method, const QStringList& arguments, ReplyHandler handler) = 0;
    // Fails every call still open with `invalidated`; idempotent.
    virtual void invalidate() = 0;
};

// Makes a new, suspended connection to the helper that the registry currently names.
using HelperConnectionFactory =
    std::function<std::unique_ptr<HelperConnection>(const HelperEndpoint& endpoint)>;

} // namespace quorvane
