#pragma once

#include "Platform/DirectoryHandle.h"

#include <QString>

#include <expected>

namespace quorvane {

// The helper's own root-owned place beside the quarantine root for what it takes back from a
// user's Trash: a staging folder that only root can enter, on the same file system as the
// quarantine and the plug-in folders. A bundle taken out of the Trash is renamed into it first and
// checked there, where nobody else can exchange it, before it goes on to a plug-in folder.
class TrashLedger {
public:
    explicit TrashLedger(const QString& quarantineRoot);

    const QString& folder() const { return m_folder; }
    const QString& stagingFolder() const { return m_stagingFolder; }

    // The staging folder, made (mode 0700) when missing; refused unless it is a real folder of this
    // process's user that no one else may enter.
    std::expected<DirectoryHandle, SyscallError> openStagingFolder() const;

private:
    QString m_folder;
    QString m_stagingFolder;
};

} // namespace quorvane
