#pragma once

#include "Support/JsonReader.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <cstddef>
#include <expected>
#include <optional>

namespace quorvane {

// One format bundle of a product.
struct PluginBundleRecord {
    QString format;
    QString architecture;
    QString size;
    QString path;
    std::optional<QString> originalPath;
    std::optional<QString> quarantinePath;
    std::optional<QString> quarantineOperationID;
    std::optional<QUuid> presetRunID;
    bool isProtected = false;

    // bundleKey of the format and of originalPath when set, else path: a bundle keeps its identity
    // while it sits in quarantine.
    QString id() const;
    // Both quarantinePath and quarantineOperationID set; a record with only one of them is active.
    // Every count, filter and status uses this one test.
    bool isQuarantined() const;
    bool isActive() const { return !isQuarantined(); }

    // Memberwise over every field (plain text equality), not by identity.
    bool operator==(const PluginBundleRecord& other) const;
};

size_t qHash(const PluginBundleRecord& record, size_t seed = 0);

// Fields 1-4 and isProtected are always written, the optional ones only when present.
QJsonObject toJson(const PluginBundleRecord& record);
// Requires format, architecture, size and path; a missing isProtected reads as false.
[[nodiscard]] std::expected<PluginBundleRecord, JsonError>
pluginBundleRecordFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane
