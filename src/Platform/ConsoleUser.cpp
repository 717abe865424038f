#include "Platform/ConsoleUser.h"

#include "Shared/PasswordDatabase.h"

#include <systemd/sd-login.h>

#include <cstdlib>

namespace quorvane {

std::optional<ConsoleUser> LogindConsoleUserProvider::consoleUser() const {
    char* session = nullptr;
    uid_t uid = 0;
    if (sd_seat_get_active("seat0", &session, &uid) < 0 || !session)
        return std::nullopt;
    char* sessionClass = nullptr;
    const bool classKnown = sd_session_get_class(session, &sessionClass) >= 0 && sessionClass;
    const bool greeter = !classKnown || QByteArray(sessionClass) == "greeter";
    std::free(sessionClass);
    std::free(session);
    if (greeter)
        return std::nullopt;
    if (const auto entry = passwordEntryOf(uid))
        return ConsoleUser{uid, entry->name, entry->home};
    return ConsoleUser{uid, {}, {}};
}

} // namespace quorvane
