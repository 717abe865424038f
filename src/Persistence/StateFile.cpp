#include "Persistence/StateFile.h"

#include "Platform/RegularFile.h"
#include "Support/JsonReader.h"
#include "Support/Paths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace quorvane {

namespace {

QString systemReason(int error) {
    return error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

// The system's reason when the failing call left one, else the file's own text.
QString reasonOf(int error, const QFileDevice& file) {
    return error != 0 ? systemReason(error) : file.errorString();
}

// The reader says EINVAL for anything but a regular file and EFBIG for one above the limit.
QString readReasonOf(const SyscallError& error) {
    switch (error.code) {
    case EINVAL:
        return QStringLiteral("Not a regular file");
    case EFBIG:
        return QStringLiteral("Larger than %1 MiB").arg(maximumStateFileBytes / (1024 * 1024));
    default:
        return systemReason(error.code);
    }
}

std::unexpected<StateFileError> failure(StateFileFailure kind, const QString& path, const QString& reason) {
    return std::unexpected(StateFileError{kind, path, reason});
}

// Makes the rename itself durable. Filesystems that cannot sync a folder say EINVAL; the file's
// own content is already on disk then, so that is no failure.
[[nodiscard]] std::expected<void, StateFileError> syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failure(StateFileFailure::folderNotSynced, folder, systemReason(errno));
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    ::close(fd);
    if (error != 0)
        return failure(StateFileFailure::folderNotSynced, folder, systemReason(error));
    return {};
}

[[nodiscard]] std::expected<void, StateFileError> writeFileAtomically(const QString& path,
                                                                      const QByteArray& data) {
    if (path.isEmpty())
        return failure(StateFileFailure::noLocation, path, {});
    const QString folder = deletingLastPathComponent(path);
    errno = 0;
    if (!QDir().mkpath(folder))
        return failure(StateFileFailure::folderNotCreated, folder, systemReason(errno));

    // Without the fallback a file that cannot be replaced atomically is refused, never
    // overwritten in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // errno is read right after each failing call: QSaveFile's own error text is often "Unknown
    // error", and any later call may change errno.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failure(StateFileFailure::fileNotOpened, path, reasonOf(errno, file));
    errno = 0;
    if (file.write(data) != data.size() || !file.flush()) {
        const QString reason = reasonOf(errno, file);
        file.cancelWriting();
        return failure(StateFileFailure::fileNotWritten, path, reason);
    }
    // QSaveFile syncs on commit too but ignores the outcome; a failed sync must not be reported
    // as a saved file.
    if (::fsync(file.handle()) != 0) {
        const int error = errno;
        file.cancelWriting();
        return failure(StateFileFailure::fileNotSynced, path, systemReason(error));
    }
    errno = 0;
    if (!file.commit())
        return failure(StateFileFailure::fileNotCommitted, path, reasonOf(errno, file));
    return syncFolder(folder);
}

} // namespace

void removeStaleStateFileCopies(const QString& path) {
    if (path.isEmpty())
        return;
    // The temporary name of an atomic write: the file's name, a dot and six random letters or digits.
    const QRegularExpression copy(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(lastPathComponent(path)) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    const QDir folder(deletingLastPathComponent(path));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (copy.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
    }
}

QString StateFileError::description() const {
    QString sentence;
    switch (failure) {
    case StateFileFailure::noLocation:
        return QStringLiteral(
            "The system reports no Application Support folder for the inventory state file.");
    case StateFileFailure::folderNotCreated:
        sentence = QStringLiteral("The folder %1 could not be created");
        break;
    case StateFileFailure::fileNotOpened:
        sentence = QStringLiteral("The inventory state file %1 could not be opened for writing");
        break;
    case StateFileFailure::fileNotWritten:
        sentence = QStringLiteral("The inventory state file %1 could not be written");
        break;
    case StateFileFailure::fileNotSynced:
        sentence = QStringLiteral("The inventory state file %1 could not be saved to disk");
        break;
    case StateFileFailure::fileNotCommitted:
        sentence = QStringLiteral("The inventory state file %1 could not be replaced");
        break;
    case StateFileFailure::folderNotSynced:
        sentence =
            QStringLiteral("The folder %1 could not be saved to disk after the inventory state file was "
                           "replaced");
        break;
    case StateFileFailure::fileNotRead:
        sentence = QStringLiteral("The inventory state file %1 could not be read");
        break;
    case StateFileFailure::documentNotDecoded:
        sentence = QStringLiteral("The inventory state file %1 is not a readable inventory record");
        break;
    }
    sentence = sentence.arg(path);
    QString detail = reason.trimmed();
    while (detail.endsWith(u'.'))
        detail.chop(1);
    if (!detail.isEmpty())
        sentence += QStringLiteral(": ") + detail;
    return sentence + u'.';
}

std::expected<void, StateFileError> writeStateFile(const PersistedInventory& state, const QString& path) {
    return writeFileAtomically(path, encodePersistedInventory(state));
}

std::expected<PersistedInventory, StateFileError> readStateFile(const QString& path) {
    if (path.isEmpty())
        return failure(StateFileFailure::noLocation, path, {});
    const auto data = readRegularFile(path, maximumStateFileBytes);
    if (!data)
        return failure(StateFileFailure::fileNotRead, path, readReasonOf(data.error()));
    auto state = decodePersistedInventory(*data);
    if (!state)
        return failure(StateFileFailure::documentNotDecoded, path, state.error().description());
    return std::move(*state);
}

} // namespace quorvane
