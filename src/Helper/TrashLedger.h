#pragma once

#include "Platform/DirectoryHandle.h"

#include <QString>
#include <QStringList>

#include <expected>
#include <optional>
#include <vector>

namespace quorvane {

// One bundle the helper moved into a user's Trash: where it went, which object it is and whose.
struct TrashLedgerRecord {
    QString trashPath;
    FileIdentity identity;
    uid_t owner = 0;

    bool operator==(const TrashLedgerRecord&) const = default;
};

// The helper's own root-owned place beside the quarantine root for what it moves into and out of
// users' Trash folders. Its record names every bundle the helper put in a Trash, so that only those
// (still the same object with the same owner) are ever taken back into a plug-in folder: the Trash is
// its user's to fill at will. Its staging folder, which only root can enter and which lies on the
// file system of the quarantine, is where a bundle on its way in or out is checked, out of anyone
// else's reach.
class TrashLedger {
public:
    explicit TrashLedger(const QString& quarantineRoot);

    const QString& folder() const { return m_folder; }
    const QString& stagingFolder() const { return m_stagingFolder; }
    const QString& recordPath() const { return m_recordPath; }

    // Every record; none when the record file does not exist yet. A record file that is not ours
    // (a link, another owner) or cannot be read fails, and so do the changes below: the record is
    // never rewritten from a guess.
    [[nodiscard]] std::expected<std::vector<TrashLedgerRecord>, SyscallError> records() const;
    std::optional<TrashLedgerRecord> find(const QString& trashPath) const;
    // The record of `trashPath` among records already read; none when it is not there.
    static const TrashLedgerRecord* find(const std::vector<TrashLedgerRecord>& records,
                                         const QString& trashPath);
    // Replace the records of the same Trash paths; written in full, synced, then renamed into place
    // and the folder synced, so that the record is on disk before anything moves.
    [[nodiscard]] std::expected<void, SyscallError> add(const std::vector<TrashLedgerRecord>& added) const;
    [[nodiscard]] std::expected<void, SyscallError> remove(const QStringList& trashPaths) const;

    // The staging folder, made (mode 0700) when missing; refused unless it is a real folder of this
    // process's user that no one else may enter.
    [[nodiscard]] std::expected<DirectoryHandle, SyscallError> openStagingFolder() const;

private:
    [[nodiscard]] std::expected<void, SyscallError>
    write(const std::vector<TrashLedgerRecord>& records) const;

    QString m_folder;
    QString m_stagingFolder;
    QString m_recordPath;
};

} // namespace quorvane
