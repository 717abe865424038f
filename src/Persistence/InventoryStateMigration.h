#pragma once

#include "Model/Plugin.h"
#include "Persistence/PersistedInventory.h"
#include "Support/PlainText.h"

#include <QString>

#include <expected>
#include <unordered_set>

namespace quorvane {

// Brings a decoded state file of an older schema up to the current one. Not instantiable: a
// group of pure functions and their types.
class InventoryStateMigration {
public:
    InventoryStateMigration() = delete;

    using ProtectedKeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;

    struct Result {
        PersistedInventory state;
        // The document was rewritten to the current schema.
        bool didMigrate = false;

        bool operator==(const Result&) const = default;
    };

    struct MigrationError {
        enum class Case { unsupportedSchema };

        Case error = Case::unsupportedSchema;
        // The schema found in the document.
        qint64 schema = 0;

        // "Inventory schema 4 is newer than this Quorvane build supports."
        QString description() const;
        bool operator==(const MigrationError&) const = default;
    };

    // A newer schema is refused; the current one comes back unchanged; any older one (an absent
    // version reads as 1, and 0 or below count as old) has every product upgraded and carries
    // every other field over unchanged.
    [[nodiscard]] static std::expected<Result, MigrationError> migrate(const PersistedInventory& state);

    // Protection from the mandatory-shell rule, the product's own flag or its key in
    // `protectedKeys`, spread over its bundle records; a single-format product without records
    // gains its one record.
    static Plugin upgradePlugin(const Plugin& plugin, const ProtectedKeySet& protectedKeys);
};

} // namespace quorvane
