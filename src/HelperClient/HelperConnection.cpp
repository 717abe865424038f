#include "HelperClient/HelperConnection.h"

namespace quorvane {

QString description(HelperConnectionError error) {
    switch (error) {
    case HelperConnectionError::unreachable:
        return QStringLiteral("Quorvane could not connect to the privileged helper.");
    case HelperConnectionError::untrusted:
        return QStringLiteral(
            "The privileged helper’s socket is not protected by the system, so Quorvane did not connect.");
    case HelperConnectionError::interrupted:
        return QStringLiteral("The privileged helper ended the connection before it replied.");
    case HelperConnectionError::invalidated:
        return QStringLiteral("Quorvane closed the connection to the privileged helper.");
    case HelperConnectionError::protocolViolation:
        return QStringLiteral("The privileged helper sent a message Quorvane could not read.");
    }
    return {};
}

} // namespace quorvane
