#pragma once

#include "Platform/TransactionLockFile.h"

#include <QString>

#include <expected>

namespace quorvane {

// One running instance per data folder: two would each save their own inventory over the other's,
// and a bundle one of them moved would be left with no record. The lock is an flock on a file in
// the folder, so the kernel drops it when the process ends, even by a crash.
class InstanceLock {
public:
    // Takes the lock of `applicationSupport` without waiting, before anything else is written
    // there. An empty folder has nothing to protect: the lock is then empty and the store reports
    // the missing folder. The error is a sentence for the user.
    static std::expected<InstanceLock, QString> acquire(const QString& applicationSupport);

    bool isLocked() const { return m_file.isLocked(); }

private:
    TransactionLockFile m_file;
};

// Tells the user why the program cannot start: always on stderr, and in a message box when there
// is a display to show it on (never with the offscreen or minimal platforms, so it cannot wait).
void reportStartFailure(const QString& text);

} // namespace quorvane
