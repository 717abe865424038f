#pragma once

#include <QString>

namespace quorvane {

// What the helper's request policy makes of each accepted item: the paths the policy vouched for
// (standardised absolute paths). They are consumed by the transactions and never travel.

struct ValidatedPrivilegedQuarantineItem {
    QString source;
    QString destination;

    bool operator==(const ValidatedPrivilegedQuarantineItem&) const = default;
};

struct ValidatedPrivilegedRestoreItem {
    QString source;
    QString destination;

    bool operator==(const ValidatedPrivilegedRestoreItem&) const = default;
};

struct ValidatedPrivilegedTrashItem {
    QString source;
    QString destination;

    bool operator==(const ValidatedPrivilegedTrashItem&) const = default;
};

struct ValidatedPrivilegedTrashRestoreItem {
    QString source;
    QString destination;
    QString recoveryRecordID;

    bool operator==(const ValidatedPrivilegedTrashRestoreItem&) const = default;
};

} // namespace quorvane
