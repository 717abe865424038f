#pragma once

#include "Platform/TransactionLockFile.h"
#include "Store/StoreEnvironment.h"

#include <QString>

#include <expected>
#include <memory>

namespace quorvane {

// One running instance per data folder: two would each save their own inventory over the other's,
// and a bundle one of them moved would be left with no record. The lock is an flock on the data
// folder itself, so removing or renaming a file in it cannot lift it, a read-only folder can still
// be locked, and the kernel drops it when the process ends, even by a crash. Earlier builds lock
// instance.lock in the folder; it is locked too where it can be.
class InstanceLock {
public:
    // Takes the lock of `applicationSupport` without waiting, before anything else is written
    // there. An empty folder has nothing to protect: the lock is then empty and the store reports
    // the missing folder. The error is a sentence for the user.
    [[nodiscard]] static std::expected<InstanceLock, QString> acquire(const QString& applicationSupport);

    bool isLocked() const { return m_folder != nullptr; }
    // True while the folder at the data folder's path is still the one locked: once it was moved
    // away or replaced, another instance may lock and write the new one, so this one writes no
    // more (false from then on, even if the folder comes back). Safe on any thread.
    bool holdsDataFolder() const;
    // `write`, refused once the lock no longer holds the data folder.
    StoreEnvironment::StateFileWriter guardedWriter(StoreEnvironment::StateFileWriter write) const;

private:
    struct Folder;
    std::shared_ptr<Folder> m_folder;
    TransactionLockFile m_earlierBuildsFile;
};

// Tells the user why the program cannot start: always on stderr, and in a message box when there
// is a display to show it on (never with the offscreen or minimal platforms, so it cannot wait).
void reportStartFailure(const QString& text);

} // namespace quorvane
