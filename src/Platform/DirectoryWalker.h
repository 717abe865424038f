#pragma once

#include "Platform/SyscallError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <dirent.h>
#include <sys/types.h>

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

// One item of a walk, with the facts read when its folder was listed (lstat: links are never
// followed, so a link to a folder is an item of its own and is not entered).
struct DirectoryEntry {
    QString path;
    QString name;
    bool isDirectory = false;
    bool isRegularFile = false;
    bool isSymbolicLink = false;
    // A folder whose extension is one of the walk's package extensions.
    bool isPackage = false;
    // Logical size of anything that is not a folder.
    std::optional<qint64> fileSize;
    // 1 for the items directly inside the root.
    int depth = 0;

    bool operator==(const DirectoryEntry&) const = default;
};

// A pre-order walk of everything beneath a folder, in byte order of the names within each folder.
// Hidden items (names starting with ".") are neither yielded nor entered. An item that cannot be
// read (a folder that cannot be listed, a name that cannot be examined or is not UTF-8, a folder
// that leads back to one of its ancestors) goes to the error handler, and the walk goes on when
// the handler says so. Unlike QDirIterator, which passes over unreadable folders in silence.
class DirectoryWalker {
public:
    // Returns true to continue the walk.
    using ErrorHandler = std::function<bool(const QString& path, const SyscallError& error)>;
    // Opens a folder for listing like ::open(path, flags); a seam for tests that need a folder
    // to be unreadable although they run as root.
    using DirectoryOpener = std::function<int(const QByteArray& path, int flags)>;

    struct Options {
        QStringList packageExtensions; // lower case, without the dot
        ErrorHandler errorHandler;     // none: unreadable items are passed over
        DirectoryOpener openDirectory; // none: ::open
    };

    // Lists the root (following a link at the root itself, as the root is named by the caller).
    [[nodiscard]] static std::expected<DirectoryWalker, SyscallError> open(const QString& root,
                                                                           Options options = {});

    DirectoryWalker(DirectoryWalker&&) noexcept = default;
    DirectoryWalker& operator=(DirectoryWalker&&) noexcept = default;

    // The next item, or none when the walk is over or the error handler stopped it.
    std::optional<DirectoryEntry> next();
    // Do not enter the folder that next() returned last.
    void skipDescendants() { m_enterPending = false; }

private:
    struct Child {
        QByteArray name;
        DirectoryEntry entry;
        dev_t device = 0;
        ino_t inode = 0;
    };
    struct CloseDirectory {
        void operator()(DIR* dir) const;
    };
    struct Level {
        // Kept open while the level is walked (up to a depth), so that its folders are opened
        // relative to it rather than by their whole path.
        std::unique_ptr<DIR, CloseDirectory> dir;
        QByteArray nativePath;
        QString path;
        std::vector<Child> children;
        size_t index = 0;
        int depth = 0;
        dev_t device = 0;
        ino_t inode = 0;
    };

    explicit DirectoryWalker(Options options) : m_options(std::move(options)) {}

    // The folder `name` of the open folder `parentFd`, or `path` when there is none.
    int openFolder(int parentFd, const QByteArray& name, const QByteArray& path, int flags) const;
    // false when the walk must stop.
    bool report(const QString& path, int code);
    // Lists one folder into a new level; false when the walk must stop.
    [[nodiscard]] std::expected<void, SyscallError>
    list(int parentFd, const QByteArray& name, const QByteArray& nativePath, const QString& path, int depth);

    Options m_options;
    std::vector<Level> m_levels;
    bool m_stopped = false;
    // The folder returned last, entered on the next call unless skipped.
    bool m_enterPending = false;
    QByteArray m_lastName;
    QByteArray m_lastNativePath;
    QString m_lastPath;
    int m_lastDepth = 0;
    dev_t m_lastDevice = 0;
    ino_t m_lastInode = 0;
};

} // namespace quorvane
