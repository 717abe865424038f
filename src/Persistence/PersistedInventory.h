#pragma once

#include "Model/HistoryItem.h"
#include "Model/PermanentQuarantineRule.h"
#include "Model/Plugin.h"
#include "Model/PluginList.h"
#include "Model/ScanReconciliationSummary.h"
#include "Model/TrashedBundleRecord.h"
#include "Planning/FormatCleanupRunRecord.h"
#include "Shared/PrivilegedRequests.h"
#include "Support/JsonReader.h"
#include "Support/Timestamp.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <expected>
#include <optional>
#include <vector>

namespace quorvane {

// The schema that every document written by this build carries.
inline constexpr qint64 currentInventorySchemaVersion = 3;

// The root record of the state file.
struct PersistedInventory {
    // Absent in the first schema; migration reads an absent version as 1.
    std::optional<qint64> schemaVersion;
    // Shared with the store's published list, so that handing a state to the writer copies nothing.
    PluginList plugins;
    std::optional<Timestamp> lastScanDate;
    // productProtectionKey of every protected product.
    QStringList protectedKeys;
    std::vector<HistoryItem> history;
    std::optional<QStringList> inaccessibleLocations;
    std::optional<ScanReconciliationSummary> lastReconciliation;
    std::optional<std::vector<TrashedBundleRecord>> trashedBundles;
    std::optional<std::vector<FormatCleanupRunRecord>> formatCleanupRuns;
    std::optional<std::vector<PermanentQuarantineRule>> permanentQuarantineRules;
    // A helper transaction sent, or about to be sent, whose outcome is not committed yet.
    std::optional<PrivilegedQuarantineRequest> pendingPrivilegedQuarantine;
    std::optional<PrivilegedRestoreRequest> pendingPrivilegedRestore;
    std::optional<PrivilegedTrashRequest> pendingPrivilegedTrash;
    std::optional<PrivilegedTrashRestoreRequest> pendingPrivilegedTrashRestore;

    // Memberwise; text compares as plain text.
    bool operator==(const PersistedInventory& other) const;
};

// Absent optional fields are left out, never written as null.
QJsonObject toJson(const PersistedInventory& state);
// plugins, protectedKeys and history are required; a missing or null optional key reads as absent;
// unknown keys are ignored; any ill-typed value fails the whole document.
[[nodiscard]] std::expected<PersistedInventory, JsonError>
persistedInventoryFromJson(const QJsonObject& object, const QString& context = {});

// The state file's bytes: pretty-printed, with the keys of every object sorted.
QByteArray encodePersistedInventory(const PersistedInventory& state);
[[nodiscard]] std::expected<PersistedInventory, JsonError> decodePersistedInventory(const QByteArray& data);

} // namespace quorvane
