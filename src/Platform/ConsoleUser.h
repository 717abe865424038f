#pragma once

#include <QString>

#include <sys/types.h>

#include <optional>

namespace quorvane {

// The user at the machine's console: the one whose Trash the helper may use.
struct ConsoleUser {
    uid_t uid = 0;
    QString name;
    // Empty when the account has no home folder.
    QString home;

    bool operator==(const ConsoleUser&) const = default;
};

class ConsoleUserProvider {
public:
    virtual ~ConsoleUserProvider() = default;
    // Looked up afresh on every call; nothing when nobody is logged in.
    virtual std::optional<ConsoleUser> consoleUser() const = 0;
};

// logind: the active session of seat0. No active session or a greeter's session is nobody; the home
// folder comes from the password database.
class LogindConsoleUserProvider final : public ConsoleUserProvider {
public:
    std::optional<ConsoleUser> consoleUser() const override;
};

// A fixed answer, for tests and the testbed.
class FixedConsoleUserProvider final : public ConsoleUserProvider {
public:
    explicit FixedConsoleUserProvider(std::optional<ConsoleUser> user) : m_user(std::move(user)) {}
    std::optional<ConsoleUser> consoleUser() const override { return m_user; }

private:
    std::optional<ConsoleUser> m_user;
};

} // namespace quorvane
