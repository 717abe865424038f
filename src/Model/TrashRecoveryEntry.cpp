#include "Model/TrashRecoveryEntry.h"

#include "Model/ModelHash.h"
#include "Support/PlainText.h"

namespace quorvane {

const EnumTextTable<TrashRecoveryState>& trashRecoveryStateTable() {
    static const EnumTextTable<TrashRecoveryState> table{
        {TrashRecoveryState::readyToRestore, QStringLiteral("Ready to Restore")},
        {TrashRecoveryState::alreadyRestored, QStringLiteral("Already Restored")},
        {TrashRecoveryState::destinationOccupied, QStringLiteral("Destination Occupied")},
        {TrashRecoveryState::missingFromTrash, QStringLiteral("Missing from Trash")},
        {TrashRecoveryState::needsVerification, QStringLiteral("Needs Verification")},
    };
    return table;
}

QString rawValue(TrashRecoveryState state) {
    return trashRecoveryStateTable().text(state);
}

std::optional<TrashRecoveryState> trashRecoveryStateFromRawValue(const QString& text) {
    return trashRecoveryStateTable().parse(text);
}

size_t qHash(const TrashRecoveryEntry& entry, size_t seed) {
    return modelhash::combine(qHash(entry.record, seed), plainHash(rawValue(entry.state)));
}

} // namespace quorvane
