#pragma once

#include "Shared/PrivilegedKinds.h"
#include "Support/JsonReader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <expected>
#include <vector>

namespace quorvane {

// The request documents of the helper protocol. The application also keeps each request, unchanged,
// as the pending journal of its transaction in the state file, so these are a stored format too.
//
// Encoding writes every key, always, even for empty values. Decoding requires every key with its
// exact JSON type and ignores keys it does not know; nothing has a default.

// Quarantine: from an approved system plug-in folder into <quarantine root>/<operationID>/<name>.
struct PrivilegedQuarantineItem {
    QString sourcePath;
    QString destinationPath;
    QString operationID;

    bool operator==(const PrivilegedQuarantineItem&) const = default;
};

// Restore: from its quarantine operation folder back to its original approved folder.
struct PrivilegedRestoreItem {
    QString sourcePath;
    QString destinationPath;
    QString operationID;

    bool operator==(const PrivilegedRestoreItem&) const = default;
};

// Trash move: from its quarantine operation folder to the top level of the console user's Trash.
struct PrivilegedTrashItem {
    QString sourcePath;
    QString destinationPath;
    QString operationID;

    bool operator==(const PrivilegedTrashItem&) const = default;
};

// Trash recovery: from the top level of the console user's Trash back to its original folder.
struct PrivilegedTrashRestoreItem {
    QString sourcePath;
    QString destinationPath;
    QString recoveryRecordID;
    QString originalBundleFilename;
    QString format;

    bool operator==(const PrivilegedTrashRestoreItem&) const = default;
};

// One request per kind: `transactionID` is UUID text (the application writes upper case; the helper
// accepts either); `items` are in the order in which they are to be moved.
template <PrivilegedKind kind>
struct PrivilegedRequest {
    using Item = typename PrivilegedKindDescription<kind>::Item;

    QString transactionID;
    std::vector<Item> items;

    bool operator==(const PrivilegedRequest&) const = default;
};

QJsonObject toJson(const PrivilegedQuarantineItem& item);
QJsonObject toJson(const PrivilegedRestoreItem& item);
QJsonObject toJson(const PrivilegedTrashItem& item);
QJsonObject toJson(const PrivilegedTrashRestoreItem& item);
QJsonObject toJson(const PrivilegedQuarantineRequest& request);
QJsonObject toJson(const PrivilegedRestoreRequest& request);
QJsonObject toJson(const PrivilegedTrashRequest& request);
QJsonObject toJson(const PrivilegedTrashRestoreRequest& request);

[[nodiscard]] std::expected<PrivilegedQuarantineItem, JsonError>
privilegedQuarantineItemFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedRestoreItem, JsonError>
privilegedRestoreItemFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedTrashItem, JsonError>
privilegedTrashItemFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedTrashRestoreItem, JsonError>
privilegedTrashRestoreItemFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedQuarantineRequest, JsonError>
privilegedQuarantineRequestFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedRestoreRequest, JsonError>
privilegedRestoreRequestFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedTrashRequest, JsonError>
privilegedTrashRequestFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<PrivilegedTrashRestoreRequest, JsonError>
privilegedTrashRestoreRequestFromJson(const QJsonObject& object, const QString& context = {});

// The bytes that cross the connection: one compact JSON document.
QByteArray encode(const PrivilegedQuarantineRequest& request);
QByteArray encode(const PrivilegedRestoreRequest& request);
QByteArray encode(const PrivilegedTrashRequest& request);
QByteArray encode(const PrivilegedTrashRestoreRequest& request);

// Fails when the data is not JSON, its top level is not an object, or a record does not decode.
[[nodiscard]] std::expected<PrivilegedQuarantineRequest, JsonError>
decodePrivilegedQuarantineRequest(const QByteArray& data);
[[nodiscard]] std::expected<PrivilegedRestoreRequest, JsonError>
decodePrivilegedRestoreRequest(const QByteArray& data);
[[nodiscard]] std::expected<PrivilegedTrashRequest, JsonError>
decodePrivilegedTrashRequest(const QByteArray& data);
[[nodiscard]] std::expected<PrivilegedTrashRestoreRequest, JsonError>
decodePrivilegedTrashRestoreRequest(const QByteArray& data);

} // namespace quorvane
