#include "Shared/PasswordDatabase.h"

#include <QFile>

#include <cerrno>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace quorvane {

std::optional<PasswordEntry> passwordEntryOf(uid_t uid) {
    // The buffer grows while it is too small, up to 64 times the suggested size.
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    for (int attempt = 0; attempt < 7; ++attempt) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr)
            return std::nullopt;
        return PasswordEntry{QString::fromLocal8Bit(found->pw_name),
                             found->pw_dir ? QFile::decodeName(found->pw_dir) : QString()};
    }
    return std::nullopt;
}

} // namespace quorvane
