#pragma once

// What every fixture of a store under test shares: its folders beneath a temporary tree, the text
// locale pinned to en_US, a fixed clock and a state-file writer that counts its calls and can be
// made to fail. Header-only; users link quorvane_store (or a library above it).

#include "Persistence/PersistedInventory.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/StoreEnvironment.h"
#include "Support/Fixtures/FixtureQtPrinters.h"
#include "Support/Fixtures/FixtureTextLocale.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

namespace quorvane::testing {

inline PersistedInventory stateWith(std::vector<Plugin> plugins) {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = std::move(plugins);
    return state;
}

// Application Support at support/, the system folders under <rootsFolder>/, the home folder at home/.
class IsolatedStoreTest : public ::testing::Test {
protected:
    IsolatedStoreTest(const QString& rootsFolder, Timestamp fixedClock)
        : roots(SystemRoots::underPrefix(tree.makeDirectory(rootsFolder))), clock(fixedClock) {}

    // The isolated environment on this fixture's folders, clock and state-file writer.
    StoreEnvironment isolatedEnvironment() {
        StoreEnvironment environment = StoreEnvironment::isolated(support, roots, home);
        environment.now = [this] {
            const Timestamp now = clock;
            clock = Timestamp{clock.sinceReferenceDate + tickSeconds};
            return now;
        };
        environment.writeStateFile = [this](const PersistedInventory& state,
                                            const QString& path) -> std::expected<void, StateFileError> {
            ++writeAttempts;
            if (duringWrite)
                duringWrite(state);
            if (failSaves)
                return std::unexpected(
                    StateFileError{StateFileFailure::fileNotWritten, path, QStringLiteral("Disk full")});
            return writeStateFile(state, path);
        };
        return environment;
    }

    QString statePath() const { return inventoryStateFileURL(support); }
    PersistedInventory storedState() const {
        auto read = readStateFile(statePath());
        EXPECT_TRUE(read.has_value());
        return read.value_or(PersistedInventory{});
    }

private:
    PinnedTextLocale m_locale;

protected:
    TemporaryTree tree;
    QString support = tree.makeDirectory(QStringLiteral("support"));
    SystemRoots roots;
    QString home = tree.makeDirectory(QStringLiteral("home"));
    Timestamp clock;
    // How far the clock moves on each reading; 0 keeps it still.
    double tickSeconds = 0;
    // The writes run on the store's writer thread.
    std::atomic<bool> failSaves = false;
    std::atomic<int> writeAttempts = 0;
    // Runs on the writer thread before each write (set it while the store is idle): a test makes
    // the writer slow or watches what it is handed.
    std::function<void(const PersistedInventory& state)> duringWrite;
};

} // namespace quorvane::testing
