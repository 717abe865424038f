#include "Helper/TrashLedger.h"

#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"
#include "Support/Paths.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// Ours alone: owned by this process's user and closed to everybody else.
bool isPrivateFolder(const DirectoryHandle& folder, mode_t forbidden) {
    const auto status = folder.status();
    return status && status->st_uid == ::geteuid() && (status->st_mode & forbidden) == 0;
}

const QString recordName = QStringLiteral("TrashLedger.json");
const QString temporaryName = QStringLiteral("TrashLedger.json.new");
// Far beyond any real record; a larger file is not ours.
constexpr qint64 largestRecordFile = 64 * 1024 * 1024;

// Device and inode travel as decimal text: JSON numbers lose integers beyond 2^53.
std::optional<quint64> unsignedOf(const QJsonValue& value) {
    bool ok = false;
    const quint64 number = value.toString().toULongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

std::optional<std::vector<TrashLedgerRecord>> decodeRecords(const QByteArray& data) {
    const auto object = parseJsonObject(data, DuplicateKeys::refuse);
    if (!object || !object->value(QStringLiteral("records")).isArray())
        return std::nullopt;
    std::vector<TrashLedgerRecord> records;
    for (const QJsonValueConstRef element : object->value(QStringLiteral("records")).toArray()) {
        const QJsonObject record = element.toObject();
        const QJsonValue path = record.value(QStringLiteral("trashPath"));
        const auto device = unsignedOf(record.value(QStringLiteral("device")));
        const auto inode = unsignedOf(record.value(QStringLiteral("inode")));
        const auto owner = unsignedOf(record.value(QStringLiteral("owner")));
        if (!path.isString() || !device || !inode || !owner)
            return std::nullopt;
        records.push_back({path.toString(), FileIdentity{dev_t(*device), ino_t(*inode)}, uid_t(*owner)});
    }
    return records;
}

QByteArray encodeRecords(const std::vector<TrashLedgerRecord>& records) {
    QJsonArray array;
    for (const TrashLedgerRecord& record : records)
        array.append(QJsonObject{{QStringLiteral("trashPath"), record.trashPath},
                                 {QStringLiteral("device"), QString::number(quint64(record.identity.device))},
                                 {QStringLiteral("inode"), QString::number(quint64(record.identity.inode))},
                                 {QStringLiteral("owner"), QString::number(quint64(record.owner))}});
    return compactJson(QJsonObject{{QStringLiteral("records"), array}});
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

TrashLedger::TrashLedger(const QString& quarantineRoot)
    : m_folder(deletingLastPathComponent(quarantineRoot)),
      m_stagingFolder(appendingPathComponent(m_folder, QStringLiteral("Staging"))),
      m_recordPath(appendingPathComponent(m_folder, recordName)) {}

std::expected<std::vector<TrashLedgerRecord>, SyscallError> TrashLedger::records() const {
    const auto folder = DirectoryHandle::open(m_folder);
    if (!folder)
        return folder.error().code == ENOENT ? std::expected<std::vector<TrashLedgerRecord>, SyscallError>{}
                                             : std::unexpected(folder.error());
    const int fd = ::openat(folder->fd(), recordName.toUtf8().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::expected<std::vector<TrashLedgerRecord>, SyscallError>{}
                               : std::unexpected(SyscallError::fromErrno());
    struct stat status {};
    QByteArray data;
    bool readable = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
                    status.st_size <= largestRecordFile;
    if (readable) {
        data.resize(qsizetype(status.st_size));
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t got = ::read(fd, data.data() + done, std::size_t(data.size() - done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
        readable = done == data.size();
    }
    ::close(fd);
    if (!readable)
        return std::unexpected(SyscallError{EPERM});
    auto records = decodeRecords(data);
    if (!records)
        return std::unexpected(SyscallError{EBADMSG});
    return std::move(*records);
}

const TrashLedgerRecord* TrashLedger::find(const std::vector<TrashLedgerRecord>& records,
                                           const QString& trashPath) {
    const auto found = std::find_if(records.begin(), records.end(), [&](const TrashLedgerRecord& record) {
        return record.trashPath == trashPath;
    });
    return found == records.end() ? nullptr : &*found;
}

std::optional<TrashLedgerRecord> TrashLedger::find(const QString& trashPath) const {
    const auto all = records();
    const TrashLedgerRecord* found = all ? find(*all, trashPath) : nullptr;
    return found ? std::optional(*found) : std::nullopt;
}

std::expected<void, SyscallError> TrashLedger::add(const std::vector<TrashLedgerRecord>& added) const {
    auto all = records();
    if (!all)
        return std::unexpected(all.error());
    // One pass over the ledger whatever its length; of records added twice, the last one stays.
    QSet<QString> paths;
    std::vector<TrashLedgerRecord> latest;
    for (auto record = added.rbegin(); record != added.rend(); ++record) {
        if (!paths.contains(record->trashPath)) {
            paths.insert(record->trashPath);
            latest.push_back(*record);
        }
    }
    std::erase_if(*all, [&](const TrashLedgerRecord& old) { return paths.contains(old.trashPath); });
    all->insert(all->end(), latest.rbegin(), latest.rend());
    return write(*all);
}

std::expected<void, SyscallError> TrashLedger::remove(const QStringList& trashPaths) const {
    auto all = records();
    if (!all)
        return std::unexpected(all.error());
    const auto before = all->size();
    const QSet<QString> gone(trashPaths.begin(), trashPaths.end());
    std::erase_if(*all, [&](const TrashLedgerRecord& record) { return gone.contains(record.trashPath); });
    if (all->size() == before)
        return {};
    return write(*all);
}

std::expected<void, SyscallError> TrashLedger::write(const std::vector<TrashLedgerRecord>& records) const {
    const auto folder = DirectoryHandle::open(m_folder);
    if (!folder)
        return std::unexpected(folder.error());
    if (!isPrivateFolder(*folder, S_IWGRP | S_IWOTH))
        return std::unexpected(SyscallError{EPERM});
    const QByteArray temporary = temporaryName.toUtf8();
    if (::unlinkat(folder->fd(), temporary.constData(), 0) != 0 && errno != ENOENT)
        return std::unexpected(SyscallError::fromErrno());
    const int fd = ::openat(folder->fd(), temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::unexpected(SyscallError::fromErrno());
    const bool written = writeAll(fd, encodeRecords(records)) && ::fsync(fd) == 0;
    const SyscallError writeError = SyscallError::fromErrno();
    ::close(fd);
    if (!written) {
        ::unlinkat(folder->fd(), temporary.constData(), 0);
        return std::unexpected(writeError);
    }
    if (::renameat(folder->fd(), temporary.constData(), folder->fd(), recordName.toUtf8().constData()) != 0) {
        const SyscallError error = SyscallError::fromErrno();
        ::unlinkat(folder->fd(), temporary.constData(), 0);
        return std::unexpected(error);
    }
    // The rename is durable only once the folder is.
    const int folderFd = ::openat(folder->fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return std::unexpected(SyscallError::fromErrno());
    const bool synced = ::fsync(folderFd) == 0;
    const SyscallError syncError = SyscallError::fromErrno();
    ::close(folderFd);
    if (!synced)
        return std::unexpected(syncError);
    return {};
}

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
