#pragma once

#include <QString>

namespace quorvane {

// Why the result of a helper transaction could not be tied to exactly one inventory record.
enum class PrivilegedInventoryCommitError {
    missingInventoryRecord,
    duplicateInventoryRecord,
};

QString description(PrivilegedInventoryCommitError error);

} // namespace quorvane
