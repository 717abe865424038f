#include "Shared/PrivilegedRequests.h"

#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QJsonArray>

namespace quorvane {

namespace {

// The three move kinds share one item shape but stay distinct types, so an item can never be sent
// with the wrong kind of request.
template <class Item>
QJsonObject moveItemToJson(const Item& item) {
    return QJsonObject{
        {QStringLiteral("sourcePath"), item.sourcePath},
        {QStringLiteral("destinationPath"), item.destinationPath},
        {QStringLiteral("operationID"), item.operationID},
    };
}

template <class Item>
[[nodiscard]] std::expected<Item, JsonError> moveItemFromJson(const QJsonObject& object,
                                                              const QString& context) {
    JsonReader reader(object, context);
    Item item;
    item.sourcePath = reader.string(u"sourcePath");
    item.destinationPath = reader.string(u"destinationPath");
    item.operationID = reader.string(u"operationID");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return item;
}

template <class Request>
QJsonObject requestToJson(const Request& request) {
    QJsonArray items;
    for (const auto& item : request.items)
        items.append(toJson(item));
    return QJsonObject{
        {QStringLiteral("transactionID"), request.transactionID},
        {QStringLiteral("items"), items},
    };
}

template <class Request, class DecodeItem>
[[nodiscard]] std::expected<Request, JsonError>
requestFromJson(const QJsonObject& object, const QString& context, DecodeItem decodeItem) {
    using Item = typename decltype(Request::items)::value_type;
    JsonReader reader(object, context);
    Request request;
    request.transactionID = reader.string(u"transactionID");
    request.items = reader.objectArray<Item>(u"items", decodeItem);
    if (!reader.ok())
        return std::unexpected(reader.error());
    return request;
}

} // namespace

QJsonObject toJson(const PrivilegedQuarantineItem& item) {
    return moveItemToJson(item);
}
QJsonObject toJson(const PrivilegedRestoreItem& item) {
    return moveItemToJson(item);
}
QJsonObject toJson(const PrivilegedTrashItem& item) {
    return moveItemToJson(item);
}

QJsonObject toJson(const PrivilegedTrashRestoreItem& item) {
    return QJsonObject{
        {QStringLiteral("sourcePath"), item.sourcePath},
        {QStringLiteral("destinationPath"), item.destinationPath},
        {QStringLiteral("recoveryRecordID"), item.recoveryRecordID},
        {QStringLiteral("originalBundleFilename"), item.originalBundleFilename},
        {QStringLiteral("format"), item.format},
    };
}

QJsonObject toJson(const PrivilegedQuarantineRequest& request) {
    return requestToJson(request);
}
QJsonObject toJson(const PrivilegedRestoreRequest& request) {
    return requestToJson(request);
}
QJsonObject toJson(const PrivilegedTrashRequest& request) {
    return requestToJson(request);
}
QJsonObject toJson(const PrivilegedTrashRestoreRequest& request) {
    return requestToJson(request);
}

std::expected<PrivilegedQuarantineItem, JsonError> privilegedQuarantineItemFromJson(const QJsonObject& object,
                                                                                    const QString& context) {
    return moveItemFromJson<PrivilegedQuarantineItem>(object, context);
}

std::expected<PrivilegedRestoreItem, JsonError> privilegedRestoreItemFromJson(const QJsonObject& object,
                                                                              const QString& context) {
    return moveItemFromJson<PrivilegedRestoreItem>(object, context);
}

std::expected<PrivilegedTrashItem, JsonError> privilegedTrashItemFromJson(const QJsonObject& object,
                                                                          const QString& context) {
    return moveItemFromJson<PrivilegedTrashItem>(object, context);
}

std::expected<PrivilegedTrashRestoreItem, JsonError>
privilegedTrashRestoreItemFromJson(const QJsonObject& object, const QString& context) {
    JsonReader reader(object, context);
    PrivilegedTrashRestoreItem item;
    item.sourcePath = reader.string(u"sourcePath");
    item.destinationPath = reader.string(u"destinationPath");
    item.recoveryRecordID = reader.string(u"recoveryRecordID");
    item.originalBundleFilename = reader.string(u"originalBundleFilename");
    item.format = reader.string(u"format");
    if (!reader.ok())
        return std::unexpected(reader.error());
    return item;
}

std::expected<PrivilegedQuarantineRequest, JsonError>
privilegedQuarantineRequestFromJson(const QJsonObject& object, const QString& context) {
    return requestFromJson<PrivilegedQuarantineRequest>(object, context, privilegedQuarantineItemFromJson);
}

std::expected<PrivilegedRestoreRequest, JsonError> privilegedRestoreRequestFromJson(const QJsonObject& object,
                                                                                    const QString& context) {
    return requestFromJson<PrivilegedRestoreRequest>(object, context, privilegedRestoreItemFromJson);
}

std::expected<PrivilegedTrashRequest, JsonError> privilegedTrashRequestFromJson(const QJsonObject& object,
                                                                                const QString& context) {
    return requestFromJson<PrivilegedTrashRequest>(object, context, privilegedTrashItemFromJson);
}

std::expected<PrivilegedTrashRestoreRequest, JsonError>
privilegedTrashRestoreRequestFromJson(const QJsonObject& object, const QString& context) {
    return requestFromJson<PrivilegedTrashRestoreRequest>(object, context,
                                                          privilegedTrashRestoreItemFromJson);
}

QByteArray encode(const PrivilegedQuarantineRequest& request) {
    return compactJson(toJson(request));
}
QByteArray encode(const PrivilegedRestoreRequest& request) {
    return compactJson(toJson(request));
}
QByteArray encode(const PrivilegedTrashRequest& request) {
    return compactJson(toJson(request));
}
QByteArray encode(const PrivilegedTrashRestoreRequest& request) {
    return compactJson(toJson(request));
}

// Requests come from another process: a key given twice is refused, never resolved either way.
std::expected<PrivilegedQuarantineRequest, JsonError>
decodePrivilegedQuarantineRequest(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedQuarantineRequest>(data, privilegedQuarantineRequestFromJson);
}

std::expected<PrivilegedRestoreRequest, JsonError> decodePrivilegedRestoreRequest(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedRestoreRequest>(data, privilegedRestoreRequestFromJson);
}

std::expected<PrivilegedTrashRequest, JsonError> decodePrivilegedTrashRequest(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedTrashRequest>(data, privilegedTrashRequestFromJson);
}

std::expected<PrivilegedTrashRestoreRequest, JsonError>
decodePrivilegedTrashRestoreRequest(const QByteArray& data) {
    return decodeJsonDocument<PrivilegedTrashRestoreRequest>(data, privilegedTrashRestoreRequestFromJson);
}

} // namespace quorvane
