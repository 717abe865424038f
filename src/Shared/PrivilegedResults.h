#pragma once

#include "Shared/PrivilegedKinds.h"
#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <expected>

namespace quorvane {

// The result documents of the helper protocol, one type per kind. Every reply is a whole result,
// failures included: the failure travels as `message`, and `destinationPaths` is empty unless
// `succeeded`. In JSON the paths list is named after what the kind's transaction did (its
// description's pathsKey).
//
// `transactionID` echoes the request's, or is "invalid" when the request could not be decoded.
// `rollbackComplete` is false only when a rollback step failed (and in the encoding fallback).
//
// The Trash recovery result shares its paths key with the restore result, so a reader picks the
// record type by the call it made, never by the keys it sees. The kinds' results stay distinct
// types for that reason.
template <PrivilegedKind kind>
struct PrivilegedResult {
    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList destinationPaths;
    QString message;

    bool operator==(const PrivilegedResult&) const = default;
};

using PrivilegedQuarantineResult = PrivilegedResult<PrivilegedKind::quarantine>;
using PrivilegedRestoreResult = PrivilegedResult<PrivilegedKind::restore>;
using PrivilegedTrashResult = PrivilegedResult<PrivilegedKind::trash>;
using PrivilegedTrashRestoreResult = PrivilegedResult<PrivilegedKind::trashRecovery>;

// The transaction identifier of a reply to a request that could not be decoded, and of the fallback.
QString invalidTransactionID();

// A failed result with no paths and nothing to roll back: the helper's rejection of a request, and
// the client's own failure when no real result can be had (nothing is known to have moved).
template <class Result>
Result failureWithNothingMoved(const QString& transactionID, const QString& message) {
    Result result;
    result.transactionID = transactionID;
    result.succeeded = false;
    result.rollbackComplete = true;
    result.message = message;
    return result;
}

template <PrivilegedKind kind>
QJsonObject toJson(const PrivilegedResult<kind>& result) {
    return QJsonObject{
        {QStringLiteral("transactionID"), result.transactionID},
        {QStringLiteral("succeeded"), result.succeeded},
        {QStringLiteral("rollbackComplete"), result.rollbackComplete},
        {QLatin1String(PrivilegedKindDescription<kind>::pathsKey),
         QJsonArray::fromStringList(result.destinationPaths)},
        {QStringLiteral("message"), result.message},
    };
}

template <PrivilegedKind kind>
[[nodiscard]] std::expected<PrivilegedResult<kind>, JsonError>
privilegedResultFromJson(const QJsonObject& object, const QString& context = {}) {
    JsonReader reader(object, context);
    PrivilegedResult<kind> result;
    result.transactionID = reader.string(u"transactionID");
    result.succeeded = reader.boolean(u"succeeded");
    result.rollbackComplete = reader.boolean(u"rollbackComplete");
    result.destinationPaths =
        reader.stringArray(QString::fromLatin1(PrivilegedKindDescription<kind>::pathsKey));
    result.message = reader.string(u"message");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return result;
}

// One compact JSON document each.
template <PrivilegedKind kind>
QByteArray encode(const PrivilegedResult<kind>& result) {
    return compactJson(toJson(result));
}

template <PrivilegedKind kind>
[[nodiscard]] std::expected<PrivilegedResult<kind>, JsonError>
decodePrivilegedResult(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedResult<kind>>(data, privilegedResultFromJson<kind>);
}

// The fixed document the helper replies when it cannot encode a result, byte for byte: "invalid",
// not succeeded, rollback not complete, no paths, and the fallback message. Restore and Trash
// recovery share one document.
namespace detail {
QByteArray fallbackReply(const char* pathsKey);
} // namespace detail
template <PrivilegedKind kind>
QByteArray privilegedFallbackReply() {
    return detail::fallbackReply(PrivilegedKindDescription<kind>::pathsKey);
}
// "The helper could not encode its response."
QString fallbackReplyMessage();

// The kinds by name.
[[nodiscard]] inline auto privilegedQuarantineResultFromJson(const QJsonObject& object,
                                                             const QString& context = {}) {
    return privilegedResultFromJson<PrivilegedKind::quarantine>(object, context);
}
[[nodiscard]] inline auto privilegedRestoreResultFromJson(const QJsonObject& object,
                                                          const QString& context = {}) {
    return privilegedResultFromJson<PrivilegedKind::restore>(object, context);
}
[[nodiscard]] inline auto privilegedTrashResultFromJson(const QJsonObject& object,
                                                        const QString& context = {}) {
    return privilegedResultFromJson<PrivilegedKind::trash>(object, context);
}
[[nodiscard]] inline auto privilegedTrashRestoreResultFromJson(const QJsonObject& object,
                                                               const QString& context = {}) {
    return privilegedResultFromJson<PrivilegedKind::trashRecovery>(object, context);
}
[[nodiscard]] inline auto decodePrivilegedQuarantineResult(const QByteArray& data) {
    return decodePrivilegedResult<PrivilegedKind::quarantine>(data);
}
[[nodiscard]] inline auto decodePrivilegedRestoreResult(const QByteArray& data) {
    return decodePrivilegedResult<PrivilegedKind::restore>(data);
}
[[nodiscard]] inline auto decodePrivilegedTrashResult(const QByteArray& data) {
    return decodePrivilegedResult<PrivilegedKind::trash>(data);
}
[[nodiscard]] inline auto decodePrivilegedTrashRestoreResult(const QByteArray& data) {
    return decodePrivilegedResult<PrivilegedKind::trashRecovery>(data);
}
inline QByteArray quarantineFallbackReply() {
    return privilegedFallbackReply<PrivilegedKind::quarantine>();
}
inline QByteArray restoreFallbackReply() {
    return privilegedFallbackReply<PrivilegedKind::restore>();
}
inline QByteArray trashFallbackReply() {
    return privilegedFallbackReply<PrivilegedKind::trash>();
}
inline QByteArray trashRestoreFallbackReply() {
    return privilegedFallbackReply<PrivilegedKind::trashRecovery>();
}

} // namespace quorvane
