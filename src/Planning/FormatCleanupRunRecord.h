#pragma once

#include "Model/ModelHash.h"
#include "Model/PluginBundleSelection.h"
#include "Planning/FormatCleanupPlan.h"
#include "Support/EnumText.h"
#include "Support/JsonReader.h"
#include "Support/Timestamp.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <expected>
#include <vector>

namespace quorvane {

enum class FormatCleanupRunStatus { pending, completed, partiallyCompleted, canceled };

// Raw values equal the case names.
const EnumTextTable<FormatCleanupRunStatus>& formatCleanupRunStatusTexts();

// The journal of one preset run, kept in the state file's formatCleanupRuns.
struct FormatCleanupRunRecord {
    QUuid id;
    QUuid planID;
    FormatCleanupPresetKind preset = FormatCleanupPresetKind::auOnly;
    Timestamp createdAt;
    FormatCleanupRunStatus status = FormatCleanupRunStatus::pending;
    std::vector<PluginBundleSelection> selections;
    // Child quarantine transactions in the order they were begun.
    std::vector<QUuid> childTransactionIDs;

    bool operator==(const FormatCleanupRunRecord&) const = default;
};

size_t qHash(const FormatCleanupRunRecord& record, size_t seed = 0);

// All seven keys are written and required; createdAt is a number of seconds since 2001-01-01.
QJsonObject toJson(const FormatCleanupRunRecord& record);
[[nodiscard]] std::expected<FormatCleanupRunRecord, JsonError>
formatCleanupRunRecordFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane

template <>
struct std::hash<quorvane::FormatCleanupRunRecord>
    : quorvane::HashThroughQHash<quorvane::FormatCleanupRunRecord> {};
