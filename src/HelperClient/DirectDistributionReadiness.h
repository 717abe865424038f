#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace quorvane {

// What the release-readiness checks are computed from.
struct DirectDistributionReadinessInput {
    QString appBuild;
    QString expectedBuild;
    // The build of the last handshake reply; none without one.
    std::optional<QString> helperBuild;
    bool helperExecutableEmbedded = false;
    bool daemonPlistEmbedded = false;
    bool helperRegistered = false;
    bool secureHandshakeConnected = false;

    bool operator==(const DirectDistributionReadinessInput&) const = default;
};

struct DirectDistributionReadinessCheck {
    QString id;
    QString title;
    QString detail;
    bool passed = false;

    bool operator==(const DirectDistributionReadinessCheck&) const = default;
};

// Always the six checks, in their fixed order.
std::vector<DirectDistributionReadinessCheck>
makeReleaseReadinessChecks(const DirectDistributionReadinessInput& input);
qsizetype passedReadinessCheckCount(const std::vector<DirectDistributionReadinessCheck>& checks);
QString releaseReadinessSummary(const std::vector<DirectDistributionReadinessCheck>& checks);

} // namespace quorvane
