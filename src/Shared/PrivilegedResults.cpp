#include "Shared/PrivilegedResults.h"

#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace quorvane {

namespace {

// Each result names its paths list after what the transaction did with the bundles; the member
// pointer picks it, the type's pathsKey names it in JSON.
template <class Result, QStringList Result::*paths>
QJsonObject resultToJson(const Result& result) {
    return QJsonObject{
        {QStringLiteral("transactionID"), result.transactionID},
        {QStringLiteral("succeeded"), result.succeeded},
        {QStringLiteral("rollbackComplete"), result.rollbackComplete},
        {QLatin1String(Result::pathsKey), QJsonArray::fromStringList(result.*paths)},
        {QStringLiteral("message"), result.message},
    };
}

template <class Result, QStringList Result::*paths>
std::expected<Result, JsonError> resultFromJson(const QJsonObject& object, const QString& context) {
    JsonReader reader(object, context);
    Result result;
    result.transactionID = reader.string(u"transactionID");
    result.succeeded = reader.boolean(u"succeeded");
    result.rollbackComplete = reader.boolean(u"rollbackComplete");
    result.*paths = reader.stringArray(QString::fromLatin1(Result::pathsKey));
    result.message = reader.string(u"message");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return result;
}

// Written out by hand, in the documented key order: this is what goes out when encoding itself has
// failed, so it must not depend on the encoder.
QByteArray fallbackReply(const char* pathsKey) {
    return QByteArray(R"({"transactionID":"invalid","succeeded":false,"rollbackComplete":false,")") +
           pathsKey + QByteArray(R"(":[],"message":")") + fallbackReplyMessage().toUtf8() +
           QByteArray(R"("})");
}

} // namespace

QString invalidTransactionID() {
    return QStringLiteral("invalid");
}

QJsonObject toJson(const PrivilegedQuarantineResult& result) {
    return resultToJson<PrivilegedQuarantineResult, &PrivilegedQuarantineResult::movedDestinationPaths>(
        result);
}

QJsonObject toJson(const PrivilegedRestoreResult& result) {
    return resultToJson<PrivilegedRestoreResult, &PrivilegedRestoreResult::restoredDestinationPaths>(result);
}

QJsonObject toJson(const PrivilegedTrashResult& result) {
    return resultToJson<PrivilegedTrashResult, &PrivilegedTrashResult::trashedDestinationPaths>(result);
}

QJsonObject toJson(const PrivilegedTrashRestoreResult& result) {
    return resultToJson<PrivilegedTrashRestoreResult,
                        &PrivilegedTrashRestoreResult::restoredDestinationPaths>(result);
}

std::expected<PrivilegedQuarantineResult, JsonError>
privilegedQuarantineResultFromJson(const QJsonObject& object, const QString& context) {
    return resultFromJson<PrivilegedQuarantineResult, &PrivilegedQuarantineResult::movedDestinationPaths>(
        object, context);
}

std::expected<PrivilegedRestoreResult, JsonError> privilegedRestoreResultFromJson(const QJsonObject& object,
                                                                                  const QString& context) {
    return resultFromJson<PrivilegedRestoreResult, &PrivilegedRestoreResult::restoredDestinationPaths>(
        object, context);
}

std::expected<PrivilegedTrashResult, JsonError> privilegedTrashResultFromJson(const QJsonObject& object,
                                                                              const QString& context) {
    return resultFromJson<PrivilegedTrashResult, &PrivilegedTrashResult::trashedDestinationPaths>(object,
                                                                                                  context);
}

std::expected<PrivilegedTrashRestoreResult, JsonError>
privilegedTrashRestoreResultFromJson(const QJsonObject& object, const QString& context) {
    return resultFromJson<PrivilegedTrashRestoreResult,
                          &PrivilegedTrashRestoreResult::restoredDestinationPaths>(object, context);
}

QByteArray encode(const PrivilegedQuarantineResult& result) {
    return compactJson(toJson(result));
}
QByteArray encode(const PrivilegedRestoreResult& result) {
    return compactJson(toJson(result));
}
QByteArray encode(const PrivilegedTrashResult& result) {
    return compactJson(toJson(result));
}
QByteArray encode(const PrivilegedTrashRestoreResult& result) {
    return compactJson(toJson(result));
}

std::expected<PrivilegedQuarantineResult, JsonError>
decodePrivilegedQuarantineResult(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedQuarantineResult>(data, privilegedQuarantineResultFromJson);
}

std::expected<PrivilegedRestoreResult, JsonError> decodePrivilegedRestoreResult(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedRestoreResult>(data, privilegedRestoreResultFromJson);
}

std::expected<PrivilegedTrashResult, JsonError> decodePrivilegedTrashResult(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedTrashResult>(data, privilegedTrashResultFromJson);
}

std::expected<PrivilegedTrashRestoreResult, JsonError>
decodePrivilegedTrashRestoreResult(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedTrashRestoreResult>(data, privilegedTrashRestoreResultFromJson);
}

QByteArray quarantineFallbackReply() {
    return fallbackReply(PrivilegedQuarantineResult::pathsKey);
}
QByteArray restoreFallbackReply() {
    return fallbackReply(PrivilegedRestoreResult::pathsKey);
}
QByteArray trashFallbackReply() {
    return fallbackReply(PrivilegedTrashResult::pathsKey);
}
QByteArray trashRestoreFallbackReply() {
    return fallbackReply(PrivilegedTrashRestoreResult::pathsKey);
}

QString fallbackReplyMessage() {
    return QStringLiteral("The helper could not encode its response.");
}

} // namespace quorvane
