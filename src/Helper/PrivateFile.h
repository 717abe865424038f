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
[[nodiscard]] std::expected<std::optional<QByteArray>, SyscallError>
readPrivateFile(const QString& folder, const QString& name, qint64 maxBytes);
// Written in full to a temporary file, synced, renamed over `name` and the folder synced, so that the
// file on disk is always either the old one or the new one. Refused (EPERM) in a folder that is not
// ours or that others may write to.
[[nodiscard]] std::expected<void, SyscallError> writePrivateFile(const QString& folder, const QString& name,
                                                                 const QByteArray& data);
// The same for a file rewritten once per transaction, whose old copy is set aside as the temporary
// file by setAsidePrivateFile: that file is overwritten in place (padded with spaces to its length)
// rather than made anew, so that no block is freed and given back to the device on every write.
[[nodiscard]] std::expected<void, SyscallError> rewritePrivateFile(const QString& folder, const QString& name,
                                                                   const QByteArray& data);
// Replaces `from` with `to`, of the same length, at `offset` in the file, in place, and syncs it; EBADMSG
// when the file does not hold `from` there.
[[nodiscard]] std::expected<void, SyscallError> patchPrivateFile(const QString& folder, const QString& name,
                                                                 qint64 offset, const QByteArray& from,
                                                                 const QByteArray& to);
// Renames the file to its temporary name, for rewritePrivateFile to reuse; unsynced. A file that is
// not there is no failure.
[[nodiscard]] std::expected<void, SyscallError> setAsidePrivateFile(const QString& folder,
                                                                    const QString& name);
// Removes the temporary file a write stopped before its rename left behind, if any.
void removeUnfinishedPrivateFile(const QString& folder, const QString& name);
// Removes the file and syncs the folder; a file that is not there is no failure.
[[nodiscard]] std::expected<void, SyscallError> removePrivateFile(const QString& folder, const QString& name);

// The "device", "inode" and "owner" fields of a record of an object, as decimal text: JSON numbers
// lose integers beyond 2^53.
void addIdentityFields(QJsonObject& object, const FileIdentity& identity, uid_t owner);
// Those fields read back; none when one is missing or not a decimal number.
std::optional<std::pair<FileIdentity, uid_t>> identityFields(const QJsonObject& object);

} // namespace quorvane
