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
// record type by the call it made, never by the keys it sees.

struct PrivilegedQuarantineResult {
    static constexpr const char* pathsKey = "movedDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList movedDestinationPaths;
    QString message;

    bool operator==(const PrivilegedQuarantineResult&) const = default;
};

struct PrivilegedRestoreResult {
    static constexpr const char* pathsKey = "restoredDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList restoredDestinationPaths;
    QString message;

    bool operator==(const PrivilegedRestoreResult&) const = default;
};

struct PrivilegedTrashResult {
    static constexpr const char* pathsKey = "trashedDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList trashedDestinationPaths;
    QString message;

    bool operator==(const PrivilegedTrashResult&) const = default;
};

struct PrivilegedTrashRestoreResult {
    static constexpr const char* pathsKey = "restoredDestinationPaths";

    QString transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    QStringList restoredDestinationPaths;
    QString message;

    bool operator==(const PrivilegedTrashRestoreResult&) const = default;
};

// The transaction identifier of a reply to a request that could not be decoded, and of the fallback.
QString invalidTransactionID();

QJsonObject toJson(const PrivilegedQuarantineResult& result);
QJsonObject toJson(const PrivilegedRestoreResult& result);
QJsonObject toJson(const PrivilegedTrashResult& result);
QJsonObject toJson(const PrivilegedTrashRestoreResult& result);

std::expected<PrivilegedQuarantineResult, JsonError>
privilegedQuarantineResultFromJson(const QJsonObject& object, const QString& context = {});
std::expected<PrivilegedRestoreResult, JsonError>
privilegedRestoreResultFromJson(const QJsonObject& object, const QString& context = {});
std::expected<PrivilegedTrashResult, JsonError> privilegedTrashResultFromJson(const QJsonObject& object,
                                                                              const QString& context = {});
std::expected<PrivilegedTrashRestoreResult, JsonError>
privilegedTrashRestoreResultFromJson(const QJsonObject& object, const QString& context = {});

// One compact JSON document each.
QByteArray encode(const PrivilegedQuarantineResult& result);
QByteArray encode(const PrivilegedRestoreResult& result);
QByteArray encode(const PrivilegedTrashResult& result);
QByteArray encode(const PrivilegedTrashRestoreResult& result);

std::expected<PrivilegedQuarantineResult, JsonError> decodePrivilegedQuarantineResult(const QByteArray& data);
std::expected<PrivilegedRestoreResult, JsonError> decodePrivilegedRestoreResult(const QByteArray& data);
std::expected<PrivilegedTrashResult, JsonError> decodePrivilegedTrashResult(const QByteArray& data);
std::expected<PrivilegedTrashRestoreResult, JsonError>
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
