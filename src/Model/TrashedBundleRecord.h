#pragma once

#include "Support/JsonReader.h"
#include "Support/Timestamp.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <cstddef>
#include <expected>
#include <optional>

namespace quorvane {

class PathPolicy;

// One format bundle the helper moved to the user's Trash, kept so that it can be put back.
struct TrashedBundleRecord {
    QUuid id;
    QString pluginName;
    QString manufacturer;
    QString format;
    QString originalPath; // the recovery destination
    QString trashPath;
    Timestamp operationDate;
    std::optional<QString> trashTransactionID;
    std::optional<QUuid> presetRunID;
    std::optional<Timestamp> reconciledDate;
    std::optional<QString> restoreTransactionID;
    std::optional<Timestamp> missingDetectedDate;

    // Both paths absolute with the format's bundle extension, and the original location a
    // verified system plug-in path under `policy` (it need not exist). Reads nothing of the Trash
    // path on disk.
    bool hasSafeRecoveryPaths(const PathPolicy& policy) const;

    bool operator==(const TrashedBundleRecord& other) const;
};

size_t qHash(const TrashedBundleRecord& record, size_t seed = 0);

// Fields 1-7 always written and required; the others only when present.
QJsonObject toJson(const TrashedBundleRecord& record);
[[nodiscard]] std::expected<TrashedBundleRecord, JsonError>
trashedBundleRecordFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane
