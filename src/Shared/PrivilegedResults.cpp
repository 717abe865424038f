#include "Shared/PrivilegedResults.h"

#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QJsonArray>

namespace quorvane {

namespace {

// The type's paths member picks its list, its pathsKey names the list in JSON.
template <class Result>
QJsonObject resultToJson(const Result& result) {
    return QJsonObject{
        {QStringLiteral("transactionID"), result.transactionID},
        {QStringLiteral("succeeded"), result.succeeded},
        {QStringLiteral("rollbackComplete"), result.rollbackComplete},
        {QLatin1String(Result::pathsKey), QJsonArray::fromStringList(result.*Result::paths)},
        {QStringLiteral("message"), result.message},
    };
}

template <class Result>
[[nodiscard]] std::expected<Result, JsonError> resultFromJson(const QJsonObject& object,
                                                              const QString& context) {
    JsonReader reader(object, context);
    Result result;
    result.transactionID = reader.string(u"transactionID");
    result.succeeded = reader.boolean(u"succeeded");
    result.rollbackComplete = reader.boolean(u"rollbackComplete");
    result.*Result::paths = reader.stringArray(QString::fromLatin1(Result::pathsKey));
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
    return resultToJson(result);
}

QJsonObject toJson(const PrivilegedRestoreResult& result) {
    return resultToJson(result);
}

QJsonObject toJson(const PrivilegedTrashResult& result) {
    return resultToJson(result);
}

QJsonObject toJson(const PrivilegedTrashRestoreResult& result) {
    return resultToJson(result);
}

std::expected<PrivilegedQuarantineResult, JsonError>
privilegedQuarantineResultFromJson(const QJsonObject& object, const QString& context) {
    return resultFromJson<PrivilegedQuarantineResult>(object, context);
}

std::expected<PrivilegedRestoreResult, JsonError> privilegedRestoreResultFromJson(const QJsonObject& object,
                                                                                  const QString& context) {
    return resultFromJson<PrivilegedRestoreResult>(object, context);
}

std::expected<PrivilegedTrashResult, JsonError> privilegedTrashResultFromJson(const QJsonObject& object,
                                                                              const QString& context) {
    return resultFromJson<PrivilegedTrashResult>(object, context);
}

std::expected<PrivilegedTrashRestoreResult, JsonError>
privilegedTrashRestoreResultFromJson(const QJsonObject& object, const QString& context) {
    return resultFromJson<PrivilegedTrashRestoreResult>(object, context);
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
