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

// A JSON string: quote, backslash and control characters escaped, the rest as UTF-8.
void appendJsonString(QByteArray& out, const QString& text) {
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    const QByteArray utf8 = text.toUtf8();
    for (const char byte : utf8) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == '"' || code == '\\') {
            out.append('\\');
            out.append(byte);
        } else if (code < 0x20) {
            out.append("\\u00");
            out.append(hex[code >> 4]);
            out.append(hex[code & 0xF]);
        } else {
            out.append(byte);
        }
    }
    out.append('"');
}

void appendJsonNumberText(QByteArray& out, const char* key, quint64 value) {
    out.append(key);
    out.append('"');
    out.append(QByteArray::number(value));
    out.append('"');
}

// Written directly rather than through QJsonObject, which costs about a millisecond for a few hundred
// entries on every transaction. The same document: keys sorted, compact, the identity fields as
// decimal text, so that "committed" comes first (see committedMarkOffset).
QByteArray encodeTransaction(const RecordedTransaction& transaction) {
    QByteArray out;
    out.reserve(128 + qsizetype(transaction.entries.size()) * 256);
    out.append(transaction.committed ? R"({"committed":true,"entries":[)"
                                     : R"({"committed":false,"entries":[)");
    bool first = true;
    for (const TransactionRecordEntry& entry : transaction.entries) {
        out.append(first ? R"({"destination":)" : R"(,{"destination":)");
        first = false;
        appendJsonString(out, entry.destination);
        appendJsonNumberText(out, R"(,"device":)", quint64(entry.identity.device));
        appendJsonNumberText(out, R"(,"inode":)", quint64(entry.identity.inode));
        appendJsonNumberText(out, R"(,"owner":)", quint64(entry.owner));
        out.append(R"(,"source":)");
        appendJsonString(out, entry.source);
        out.append(R"(,"stagingName":)");
        appendJsonString(out, entry.stagingName);
        out.append('}');
    }
    out.append(R"(],"kind":)");
    appendJsonString(out, textOf(kindTexts, transaction.kind));
    out.append(R"(,"transactionID":)");
    appendJsonString(out, transaction.transactionID);
    out.append('}');
    return out;
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
