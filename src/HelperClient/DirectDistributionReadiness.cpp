#include "HelperClient/DirectDistributionReadiness.h"

#include "HelperClient/PluginManagementTexts.h"

#include <algorithm>

namespace quorvane {

namespace {

DirectDistributionReadinessCheck check(const QString& id, const QString& title, bool passed,
                                       const QString& passedDetail, const QString& failedDetail) {
    return {id, title, passed ? passedDetail : failedDetail, passed};
}

} // namespace

std::vector<DirectDistributionReadinessCheck>
makeReleaseReadinessChecks(const DirectDistributionReadinessInput& input) {
    namespace Texts = PluginManagementTexts::Readiness;
    const QString& expected = input.expectedBuild;
    const bool helperBuildMatches = input.helperBuild.has_value() && *input.helperBuild == expected;
    return {
        check(Texts::appBuildID, Texts::appBuildTitle, input.appBuild == expected,
              Texts::appBuildPassed(expected), Texts::appBuildFailed(expected, input.appBuild)),
        check(Texts::helperExecutableID, Texts::helperExecutableTitle, input.helperExecutableEmbedded,
              Texts::helperExecutablePassed, Texts::helperExecutableFailed),
        check(Texts::daemonPlistID, Texts::daemonPlistTitle, input.daemonPlistEmbedded,
              Texts::daemonPlistPassed, Texts::daemonPlistFailed),
        check(Texts::registrationID, Texts::registrationTitle, input.helperRegistered,
              Texts::registrationPassed, Texts::registrationFailed),
        check(Texts::handshakeID, Texts::handshakeTitle, input.secureHandshakeConnected,
              Texts::handshakePassed, Texts::handshakeFailed),
        check(Texts::helperBuildID, Texts::helperBuildTitle, helperBuildMatches,
              Texts::helperBuildPassed(expected),
              Texts::helperBuildFailed(expected, input.helperBuild.value_or(Texts::noResponse))),
    };
}

qsizetype passedReadinessCheckCount(const std::vector<DirectDistributionReadinessCheck>& checks) {
    return std::ranges::count_if(checks, &DirectDistributionReadinessCheck::passed);
}

QString releaseReadinessSummary(const std::vector<DirectDistributionReadinessCheck>& checks) {
    const qsizetype failed = qsizetype(checks.size()) - passedReadinessCheckCount(checks);
    if (failed < 1)
        return PluginManagementTexts::Readiness::allPassed;
    return PluginManagementTexts::Readiness::needAttention(failed);
}

} // namespace quorvane
