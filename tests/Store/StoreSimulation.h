#pragma once

// A seeded random walk through the store: user actions, helper and writer outcomes, app kills and
// changes made outside the application, with the disk checked against the state after each step.

#include "StoreTransactionSupport.h"
#include "Support/Fixtures/FixturePluginBundles.h"

#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <random>

namespace quorvane::testing {

// What can go wrong besides ordinary use; each can be switched on or off.
enum class FaultKind {
    helperFailure, // failed, rolled back
    helperMixed,   // failed, rollback incomplete: part of the items moved
    helperNoReply, // carried out (or not), answer lost
    helperKill,    // killed part-way; it undoes the part at its next start
    writerSlow,    // writes held until the simulation lets each one through
    writerFailure, // the disk refuses writes for a while
    appKill,       // SIGKILL, then a relaunch
    reinstall,     // a bundle written at a path the state knows (new name or vendor)
    removal,       // a bundle deleted
    caseTwin,      // a second bundle whose name differs from one only in case
};

struct SimulationOptions {
    std::uint64_t seed = 1;
    int steps = 120;
    std::vector<FaultKind> kinds;
};

// Parses "helperFailure,appKill" (or "all"); an unknown name is an error.
std::expected<std::vector<FaultKind>, QString> parseFaultKinds(const QString& text);
QString faultKindName(FaultKind kind);

// Runs one seed; the failure (with the steps that led to it) or none.
std::optional<QString> runSimulation(const SimulationOptions& options);

} // namespace quorvane::testing
