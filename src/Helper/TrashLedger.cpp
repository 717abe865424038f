#include "Helper/TrashLedger.h"

#include "Support/Paths.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// Ours alone: owned by this process's user and closed to everybody else.
bool isPrivateFolder(const DirectoryHandle& folder, mode_t forbidden) {
    const auto status = folder.status();
    return status && status->st_uid == ::geteuid() && (status->st_mode & forbidden) == 0;
}

} // namespace

TrashLedger::TrashLedger(const QString& quarantineRoot)
    : m_folder(deletingLastPathComponent(quarantineRoot)),
      m_stagingFolder(appendingPathComponent(m_folder, QStringLiteral("Staging"))) {}

std::expected<DirectoryHandle, SyscallError> TrashLedger::openStagingFolder() const {
    auto parent = DirectoryHandle::open(m_folder);
    if (!parent)
        return std::unexpected(parent.error());
    if (!isPrivateFolder(*parent, S_IWGRP | S_IWOTH))
        return std::unexpected(SyscallError{EPERM});
    const QString name = lastPathComponent(m_stagingFolder);
    if (auto made = parent->makeChildDirectory(name, 0700); !made)
        return std::unexpected(made.error());
    auto staging = parent->openChild(name);
    if (!staging)
        return std::unexpected(staging.error());
    if (!isPrivateFolder(*staging, S_IRWXG | S_IRWXO))
        return std::unexpected(SyscallError{EPERM});
    return staging;
}

} // namespace quorvane
