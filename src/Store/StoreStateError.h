#pragma once

#include "Persistence/InventoryStateMigration.h"
#include "Persistence/StateFile.h"

#include <QString>

#include <variant>

namespace quorvane {

// The state file may not be written: it could not be read at start-up and is kept as it is, or its
// folder is on a read-only file system.
struct StateWritesBlocked {
    bool readOnlyFolder = false;
    bool operator==(const StateWritesBlocked&) const = default;
};

// Why the store could not load or save its state.
struct StoreStateError {
    std::variant<StateFileError, InventoryStateMigration::MigrationError, StateWritesBlocked> cause;

    // The sentence kept in lastStorageError and shown in the notices.
    QString description() const;
    bool operator==(const StoreStateError&) const = default;
};

} // namespace quorvane
