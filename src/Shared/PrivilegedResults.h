#pragma once

#include "Support/JsonReader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <expected>

namespace quorvane {

// The result documents of the helper protocol. Every reply is a whole result, failures included:
// the failure travels as `message`, and the paths list is empty unless `succeeded`.
//
// `transactionID` echoes the request's, or is "invalid" when the request could not be decoded.
// `rollbackComplete` is false only when a rollback step failed (and in the encoding fallback).
//
// The Trash recovery result shares its paths key with the restore result, so a reader picks the
// record type by the call it made, never by the keys it sees. The four stay distinct types for that
// reason; each names its paths list after what its transaction did, and `paths` points at that list
// for code that serves every kind.

struct PrivilegedQuarantineResult {
    static constexpr const char* pathsKey = "movedDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList movedDestinationPaths;
    QString message;
    static constexpr QStringList PrivilegedQuarantineResult::*paths =
        &PrivilegedQuarantineResult::movedDestinationPaths;

    bool operator==(const PrivilegedQuarantineResult&) const = default;
};

struct PrivilegedRestoreResult {
    static constexpr const char* pathsKey = "restoredDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList restoredDestinationPaths;
    QString message;
    static constexpr QStringList PrivilegedRestoreResult::*paths =
        &PrivilegedRestoreResult::restoredDestinationPaths;

    bool operator==(const PrivilegedRestoreResult&) const = default;
};

struct PrivilegedTrashResult {
    static constexpr const char* pathsKey = "trashedDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList trashedDestinationPaths;
    QString message;
    static constexpr QStringList PrivilegedTrashResult::*paths =
        &PrivilegedTrashResult::trashedDestinationPaths;

    bool operator==(const PrivilegedTrashResult&) const = default;
};

struct PrivilegedTrashRestoreResult {
    static constexpr const char* pathsKey = "restoredDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList restoredDestinationPaths;
    QString message;
    static constexpr QStringList PrivilegedTrashRestoreResult::*paths =
        &PrivilegedTrashRestoreResult::restoredDestinationPaths;

    bool operator==(const PrivilegedTrashRestoreResult&) const = default;
};

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

QJsonObject toJson(const PrivilegedQuarantineResult& result);
QJsonObject toJson(const PrivilegedRestoreResult& result);
QJsonObject toJson(const PrivilegedTrashResult& result);
QJsonObject toJson(const PrivilegedTrashRestoreResult& result);

[[nodiscard]] std::expected<PrivilegedQuarantineResult, JsonError>
privilegedQuarantineResultFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedRestoreResult, JsonError>
privilegedRestoreResultFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedTrashResult, JsonError>
privilegedTrashResultFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedTrashRestoreResult, JsonError>
privilegedTrashRestoreResultFromJson(const QJsonObject& object, const QString& context = {});

// One compact JSON document each.
QByteArray encode(const PrivilegedQuarantineResult& result);
QByteArray encode(const PrivilegedRestoreResult& result);
QByteArray encode(const PrivilegedTrashResult& result);
QByteArray encode(const PrivilegedTrashRestoreResult& result);

[[nodiscard]] std::expected<PrivilegedQuarantineResult, JsonError>
decodePrivilegedQuarantineResult(const QByteArray& data);
[[nodiscard]] std::expected<PrivilegedRestoreResult, JsonError>
decodePrivilegedRestoreResult(const QByteArray& data);
[[nodiscard]] std::expected<PrivilegedTrashResult, JsonError>
decodePrivilegedTrashResult(const QByteArray& data);
[[nodiscard]] std::expected<PrivilegedTrashRestoreResult, JsonError>
decodePrivilegedTrashRestoreResult(const QByteArray& data);

// The fixed documents the helper replies when it cannot encode a result, byte for byte: "invalid",
// not succeeded, rollback not complete, no paths, and the fallback message. Restore and Trash
// recovery share one document.
QByteArray quarantineFallbackReply();
QByteArray restoreFallbackReply();
QByteArray trashFallbackReply();
QByteArray trashRestoreFallbackReply();
// "The helper could not encode its response."
QString fallbackReplyMessage();

} // namespace quorvane
