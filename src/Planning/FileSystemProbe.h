#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace quorvane {

// The planners' read-only view of the disk, so that tests can choose the home folder. Nothing here
// writes, creates or follows a link the caller did not ask to follow.
class FileSystemProbe {
public:
    struct LinkFlags {
        bool isDirectory = false;
        bool isSymbolicLink = false;
        bool operator==(const LinkFlags&) const = default;
    };

    virtual ~FileSystemProbe() = default;

    // stat(2): follows links, so a dangling link counts as missing.
    virtual bool fileExists(const QString& path) const = 0;
    // lstat(2) of the item itself; none when it cannot be read.
    virtual std::optional<LinkFlags> linkFlags(const QString& path) const = 0;
    // The current user's home folder; empty when it cannot be found.
    virtual QString homeDirectory() const = 0;
};

// The real disk. The home folder comes from the password database (getpwuid_r of the real user
// id), never from $HOME or $XDG_DATA_HOME, so the application and the helper agree on it; tests
// may pass their own.
class SystemFileSystemProbe final : public FileSystemProbe {
public:
    SystemFileSystemProbe() = default;
    explicit SystemFileSystemProbe(QString homeDirectory) : m_home(std::move(homeDirectory)) {}

    bool fileExists(const QString& path) const override;
    std::optional<LinkFlags> linkFlags(const QString& path) const override;
    QString homeDirectory() const override;

    static QString passwordDatabaseHome();

private:
    std::optional<QString> m_home;
};

} // namespace quorvane
