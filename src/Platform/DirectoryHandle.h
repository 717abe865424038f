#pragma once

#include "Platform/SyscallError.h"

#include <QString>

#include <sys/stat.h>

#include <expected>
#include <optional>

namespace quorvane {

// Identity of a file-system object: which object, not which name.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

// An O_PATH handle on a directory, opened one component at a time without following any symbolic
// link. Privileged moves act relative to such handles, so a link planted on the way after the
// check cannot redirect them: what was checked is what is moved into or out of.
class DirectoryHandle {
public:
    DirectoryHandle() = default;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    ~DirectoryHandle();

    // `path` must be absolute and standardised; any link, "." or ".." on the way fails (ELOOP or
    // EINVAL), as does a last component that is not a directory (ENOTDIR).
    [[nodiscard]] static std::expected<DirectoryHandle, SyscallError> open(const QString& path);

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QString& path() const { return m_path; }

    [[nodiscard]] std::expected<struct stat, SyscallError> status() const;
    // lstat of the entry `name` of this directory.
    [[nodiscard]] std::expected<struct stat, SyscallError> entryStatus(const QString& name) const;
    // A child directory, again without following a link.
    [[nodiscard]] std::expected<DirectoryHandle, SyscallError> openChild(const QString& name) const;
    // mkdir of the child with `mode`; an existing directory (not a link) counts as success.
    [[nodiscard]] std::expected<void, SyscallError> makeChildDirectory(const QString& name,
                                                                       mode_t mode) const;
    // rmdir of the child: fails on a folder that is not empty, so nothing that arrived is lost.
    [[nodiscard]] std::expected<void, SyscallError> removeEmptyChildDirectory(const QString& name) const;

private:
    DirectoryHandle(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    QString m_path;
};

// renameat2 with RENAME_NOREPLACE: never replaces anything (not even an empty folder), never follows
// a link, never copies. A file system without RENAME_NOREPLACE fails with EINVAL, and EXDEV stays a
// failure.
[[nodiscard]] std::expected<void, SyscallError> renameNoReplace(const DirectoryHandle& fromFolder,
                                                                const QString& fromName,
                                                                const DirectoryHandle& toFolder,
                                                                const QString& toName);

// The identity of a lstat result.
inline FileIdentity identityOf(const struct stat& status) {
    return FileIdentity{status.st_dev, status.st_ino};
}

} // namespace quorvane
