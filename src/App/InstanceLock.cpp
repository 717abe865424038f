#include "App/InstanceLock.h"

#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Platform/SyscallError.h"
#include "Support/Paths.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

struct InstanceLock::Folder {
    QString path;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    mutable std::atomic<bool> lost = false;

    // Once false, false for good: another instance may have written the folder meanwhile.
    bool stillAtPath() const {
        if (lost.load())
            return false;
        struct stat status {};
        const bool same = ::stat(QFile::encodeName(path).constData(), &status) == 0 &&
                          status.st_dev == device && status.st_ino == inode;
        if (!same)
            lost.store(true);
        return same;
    }

    Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() {
        if (fd >= 0)
            ::close(fd);
    }
};

std::expected<InstanceLock, QString> InstanceLock::acquire(const QString& applicationSupport) {
    InstanceLock instance;
    const QString path = instanceLockFileURL(applicationSupport);
    if (path.isEmpty())
        return instance;
    const QString folder = deletingLastPathComponent(path);
    if (!QDir().mkpath(folder))
        return std::unexpected(QStringLiteral("Quorvane cannot create its data folder %1.").arg(folder));
    const auto alreadyRunning = [&] {
        return std::unexpected(QStringLiteral("Quorvane is already running with the data folder %1. Use its "
                                              "window; only one can run on a data folder at a time.")
                                   .arg(folder));
    };
    const auto cannotLock = [&](const SyscallError& error) {
        return std::unexpected(
            QStringLiteral("Quorvane cannot lock its data folder %1: %2").arg(folder, error.description()));
    };

    auto held = std::make_shared<Folder>();
    held->path = folder;
    held->fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (held->fd < 0)
        return cannotLock(SyscallError::fromErrno());
    int locked;
    do {
        locked = ::flock(held->fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0)
        return errno == EWOULDBLOCK ? alreadyRunning() : cannotLock(SyscallError::fromErrno());
    struct stat status {};
    if (::fstat(held->fd, &status) != 0)
        return cannotLock(SyscallError::fromErrno());
    held->device = status.st_dev;
    held->inode = status.st_ino;
    instance.m_folder = std::move(held);

    // An earlier build running on the folder holds only the file. A file that cannot be created (a
    // read-only folder) is left: no build can write there.
    auto file = TransactionLockFile::tryAcquire(path);
    if (file)
        instance.m_earlierBuildsFile = std::move(*file);
    else if (file.error().code == EWOULDBLOCK)
        return alreadyRunning();
    return instance;
}

bool InstanceLock::holdsDataFolder() const {
    return m_folder && m_folder->stillAtPath();
}

StoreEnvironment::StateFileWriter InstanceLock::guardedWriter(StoreEnvironment::StateFileWriter write) const {
    return [folder = m_folder, write = std::move(write)](
               const PersistedInventory& state, const QString& path) -> std::expected<void, StateFileError> {
        if (folder && !folder->stillAtPath())
            return std::unexpected(StateFileError{
                StateFileFailure::fileNotWritten, path,
                QStringLiteral("The data folder was moved or replaced while Quorvane was running, so "
                               "another Quorvane may be using it now. Nothing more is saved; quit "
                               "Quorvane and start it again.")});
        return write ? write(state, path) : writeStateFile(state, path);
    };
}

void reportStartFailure(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr ||
        platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox::critical(nullptr, QStringLiteral("Quorvane"), text);
}

} // namespace quorvane
