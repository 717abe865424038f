#pragma once

#include "Model/TrashedBundleRecord.h"
#include "Support/EnumText.h"

#include <QString>
#include <QUuid>

#include <cstddef>
#include <optional>

namespace quorvane {

// Assigned by the store from what is on disk; the raw text is the title on the recovery screen.
enum class TrashRecoveryState {
    readyToRestore,
    alreadyRestored,
    destinationOccupied,
    missingFromTrash,
    needsVerification,
};

// The five cases in order ("Ready to Restore" … "Needs Verification").
const EnumTextTable<TrashRecoveryState>& trashRecoveryStateTable();
QString rawValue(TrashRecoveryState state);
std::optional<TrashRecoveryState> trashRecoveryStateFromRawValue(const QString& text);

// One row of the Trash recovery screen. Computed, never stored.
struct TrashRecoveryEntry {
    TrashedBundleRecord record;
    TrashRecoveryState state = TrashRecoveryState::needsVerification;

    QUuid id() const { return record.id; }

    bool operator==(const TrashRecoveryEntry&) const = default;
};

size_t qHash(const TrashRecoveryEntry& entry, size_t seed = 0);

} // namespace quorvane
