#include "Helper/TrashLedger.h"

#include "Helper/PrivateFile.h"

#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"
#include "Support/Paths.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
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

const QString recordName = QStringLiteral("TrashLedger.json");
// Far beyond any real record; a larger file is not ours.
constexpr qint64 largestRecordFile = 64 * 1024 * 1024;

std::optional<std::vector<TrashLedgerRecord>> decodeRecords(const QByteArray& data) {
    const auto object = parseJsonObject(data);
    if (!object || !object->value(QStringLiteral("records")).isArray())
        return std::nullopt;
    std::vector<TrashLedgerRecord> records;
    for (const QJsonValueConstRef element : object->value(QStringLiteral("records")).toArray()) {
        const QJsonObject record = element.toObject();
        const QJsonValue path = record.value(QStringLiteral("trashPath"));
        const auto identity = identityFields(record);
        if (!path.isString() || !identity)
            return std::nullopt;
        records.push_back({path.toString(), identity->first, identity->second});
    }
    return records;
}

QByteArray encodeRecords(const std::vector<TrashLedgerRecord>& records) {
    QJsonArray array;
    for (const TrashLedgerRecord& record : records) {
        QJsonObject object{{QStringLiteral("trashPath"), record.trashPath}};
        addIdentityFields(object, record.identity, record.owner);
        array.append(object);
    }
    return compactJson(QJsonObject{{QStringLiteral("records"), array}});
}

} // namespace

TrashLedger::TrashLedger(const QString& quarantineRoot)
    : m_folder(deletingLastPathComponent(quarantineRoot)),
      m_stagingFolder(appendingPathComponent(m_folder, QStringLiteral("Staging"))),
      m_recordPath(appendingPathComponent(m_folder, recordName)) {}

std::expected<std::vector<TrashLedgerRecord>, SyscallError> TrashLedger::records() const {
    const auto data = readPrivateFile(m_folder, recordName, largestRecordFile);
    if (!data)
        return std::unexpected(data.error());
    if (!*data)
        return std::vector<TrashLedgerRecord>{};
    auto records = decodeRecords(**data);
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
    return writePrivateFile(m_folder, recordName, encodeRecords(records));
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
