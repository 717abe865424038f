#pragma once

#include "Platform/DirectoryHandle.h"
#include "Platform/SyscallError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <expected>
#include <optional>
#include <utility>

namespace quorvane {

// The helper's own small files beside the quarantine root: owned by this process's user, mode 0600,
// in a folder nobody else may write to, and replaced only whole.

// The file `name` in `folder`; none when the folder or the file does not exist. A link, anything but
// a regular file, a file of another owner or one above `maxBytes` is not ours and fails (EPERM;
// ELOOP for a link). Nothing is waited on.
std::expected<std::optional<QByteArray>, SyscallError> readPrivateFile(const QString& folder,
                                                                       const QString& name, qint64 maxBytes);
// Written in full to a temporary file, synced, renamed over `name` and the folder synced, so that the
// file on disk is always either the old one or the new one. Refused (EPERM) in a folder that is not
// ours or that others may write to.
std::expected<void, SyscallError> writePrivateFile(const QString& folder, const QString& name,
                                                   const QByteArray& data);
// Removes the temporary file a write stopped before its rename left behind, if any.
void removeUnfinishedPrivateFile(const QString& folder, const QString& name);
// Removes the file and syncs the folder; a file that is not there is no failure.
std::expected<void, SyscallError> removePrivateFile(const QString& folder, const QString& name);

// The "device", "inode" and "owner" fields of a record of an object, as decimal text: JSON numbers
// lose integers beyond 2^53.
void addIdentityFields(QJsonObject& object, const FileIdentity& identity, uid_t owner);
// Those fields read back; none when one is missing or not a decimal number.
std::optional<std::pair<FileIdentity, uid_t>> identityFields(const QJsonObject& object);

} // namespace quorvane
