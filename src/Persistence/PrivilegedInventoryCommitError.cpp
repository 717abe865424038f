#include "Persistence/PrivilegedInventoryCommitError.h"

namespace quorvane {

QString description(PrivilegedInventoryCommitError error) {
    switch (error) {
    case PrivilegedInventoryCommitError::missingInventoryRecord:
        return QStringLiteral("A plugin bundle no longer has a matching inventory record.");
    case PrivilegedInventoryCommitError::duplicateInventoryRecord:
        return QStringLiteral("A plugin bundle matches more than one inventory record.");
    }
    return {};
}

} // namespace quorvane
