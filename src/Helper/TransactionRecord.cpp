#include "Helper/TransactionRecord.h"

#include "Helper/PrivateFile.h"
#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"
#include "Support/Paths.h"

#include <QJsonArray>
#include <QJsonObject>

#include <array>
#include <cerrno>
#include <utility>

namespace quorvane {

namespace {

const QString recordName = QStringLiteral("Transaction.json");
// A transaction carries a few hundred bundles at most; a larger file is not ours.
constexpr qint64 largestRecordFile = 16 * 1024 * 1024;
// Where the value of "committed" starts: {"committed":false,…
constexpr qint64 committedMarkOffset = 13;

constexpr std::array<std::pair<TransactionKind, const char*>, 4> kindTexts{{
    {TransactionKind::quarantine, "quarantine"},
    {TransactionKind::restore, "restore"},
    {TransactionKind::trash, "trash"},
    {TransactionKind::trashRestore, "trashRestore"},
}};

template <class Value, std::size_t Size>
std::optional<Value> valueOf(const std::array<std::pair<Value, const char*>, Size>& table,
                             const QJsonValue& text) {
    for (const auto& [value, name] : table)
        if (text.toString() == QLatin1String(name))
            return value;
    return std::nullopt;
}

template <class Value, std::size_t Size>
QString textOf(const std::array<std::pair<Value, const char*>, Size>& table, Value value) {
    for (const auto& [candidate, name] : table)
        if (candidate == value)
            return QString::fromLatin1(name);
    return {};
}

QByteArray encodeTransaction(const RecordedTransaction& transaction) {
    QJsonArray entries;
    for (const TransactionRecordEntry& entry : transaction.entries) {
        QJsonObject object{{QStringLiteral("source"), entry.source},
                           {QStringLiteral("destination"), entry.destination},
                           {QStringLiteral("stagingName"), entry.stagingName}};
        addIdentityFields(object, entry.identity, entry.owner);
        entries.append(object);
    }
    return compactJson(QJsonObject{{QStringLiteral("kind"), textOf(kindTexts, transaction.kind)},
                                   {QStringLiteral("transactionID"), transaction.transactionID},
                                   {QStringLiteral("committed"), transaction.committed},
                                   {QStringLiteral("entries"), entries}});
}

std::optional<RecordedTransaction> decodeTransaction(const QByteArray& data) {
    const auto object = parseJsonObject(data);
    if (!object)
        return std::nullopt;
    const auto kind = valueOf(kindTexts, object->value(QStringLiteral("kind")));
    const QJsonValue id = object->value(QStringLiteral("transactionID"));
    const QJsonValue committed = object->value(QStringLiteral("committed"));
    const QJsonValue entries = object->value(QStringLiteral("entries"));
    if (!kind || !id.isString() || !committed.isBool() || !entries.isArray())
        return std::nullopt;
    RecordedTransaction transaction{*kind, id.toString(), committed.toBool(), {}};
    for (const QJsonValueConstRef element : entries.toArray()) {
        const QJsonObject entry = element.toObject();
        const QJsonValue source = entry.value(QStringLiteral("source"));
        const QJsonValue destination = entry.value(QStringLiteral("destination"));
        const QJsonValue stagingName = entry.value(QStringLiteral("stagingName"));
        // A record of an earlier build also has each entry's "step", which recovery never needed.
        const auto identity = identityFields(entry);
        if (!source.isString() || !destination.isString() || !stagingName.isString() || !identity)
            return std::nullopt;
        transaction.entries.push_back({source.toString(), destination.toString(), stagingName.toString(),
                                       identity->first, identity->second});
    }
    return transaction;
}

} // namespace

TransactionRecord::TransactionRecord(const QString& folder) : m_folder(folder) {}

QString TransactionRecord::path() const {
    return appendingPathComponent(m_folder, recordName);
}

std::expected<std::optional<RecordedTransaction>, SyscallError> TransactionRecord::read() const {
    const auto data = readPrivateFile(m_folder, recordName, largestRecordFile);
    if (!data)
        return std::unexpected(data.error());
    if (!*data)
        return std::optional<RecordedTransaction>{};
    auto transaction = decodeTransaction(**data);
    if (!transaction)
        return std::unexpected(SyscallError{EBADMSG});
    return transaction;
}

std::expected<void, SyscallError> TransactionRecord::write(const RecordedTransaction& transaction) const {
    return rewritePrivateFile(m_folder, recordName, encodeTransaction(transaction));
}

std::expected<void, SyscallError> TransactionRecord::markCommitted() const {
    // The keys are written in order, so the record always starts with the mark; "true " keeps the
    // length, and JSON allows the space.
    return patchPrivateFile(m_folder, recordName, committedMarkOffset, "false", "true ");
}

std::expected<void, SyscallError> TransactionRecord::remove() const {
    return setAsidePrivateFile(m_folder, recordName);
}

QString transactionKindText(TransactionKind kind) {
    return textOf(kindTexts, kind);
}

} // namespace quorvane
