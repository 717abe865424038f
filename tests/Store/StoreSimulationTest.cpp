#include "StoreSimulation.h"

#include <QProcessEnvironment>

// Random walks through the store, checked against the disk after every step. The environment
// chooses the walks: QUORVANE_SIM_SEED (one seed, to replay a failure), QUORVANE_SIM_SEEDS (how
// many seeds from 1), QUORVANE_SIM_STEPS and QUORVANE_SIM_KINDS (the fault kinds, comma-separated,
// or "all").

namespace quorvane::testing {
namespace {

// Every fault kind, as a long search runs them.
const QString defaultKinds = QStringLiteral("all");

TEST(StoreSimulation, RandomWalksKeepTheStateTrueToTheDisk) {
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto number = [&](const char* name, qulonglong fallback) {
        bool ok = false;
        const qulonglong value = environment.value(QLatin1String(name)).toULongLong(&ok);
        return ok ? value : fallback;
    };
    const auto kinds = parseFaultKinds(environment.value(QStringLiteral("QUORVANE_SIM_KINDS"), defaultKinds));
    ASSERT_TRUE(kinds.has_value()) << kinds.error().toStdString();
    std::vector<std::uint64_t> seeds;
    if (environment.contains(QStringLiteral("QUORVANE_SIM_SEED")))
        seeds.push_back(number("QUORVANE_SIM_SEED", 1));
    else
        for (std::uint64_t seed = 1; seed <= number("QUORVANE_SIM_SEEDS", 60); ++seed)
            seeds.push_back(seed);
    for (const std::uint64_t seed : seeds) {
        const SimulationOptions options{seed, int(number("QUORVANE_SIM_STEPS", 150)), *kinds};
        const std::optional<QString> failure = runSimulation(options);
        ASSERT_FALSE(failure.has_value()) << failure->toStdString();
    }
}

} // namespace
} // namespace quorvane::testing
