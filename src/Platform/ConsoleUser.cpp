#include "Platform/ConsoleUser.h"

#include <systemd/sd-login.h>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace quorvane {

std::optional<ConsoleUser> passwordEntryOf(uid_t uid) {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(std::size_t(suggested > 0 ? suggested : 16384));
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found)
        return std::nullopt;
    return ConsoleUser{uid, QString::fromLocal8Bit(found->pw_name),
                       found->pw_dir ? QString::fromLocal8Bit(found->pw_dir) : QString()};
}

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
    if (auto user = passwordEntryOf(uid))
        return user;
    return ConsoleUser{uid, {}, {}};
}

} // namespace quorvane
