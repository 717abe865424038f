#pragma once

#include <QString>

#include <optional>

#include <sys/types.h>

namespace quorvane {

// One account of the password database.
struct PasswordEntry {
    QString name;
    // Empty when the account has no home folder.
    QString home;
};

// The account of `uid`, looked up with getpwuid_r; none when the account is unknown or the lookup
// fails. The application finds its user's home folder this way and the helper its console user's,
// so both read the entry alike.
std::optional<PasswordEntry> passwordEntryOf(uid_t uid);

} // namespace quorvane
