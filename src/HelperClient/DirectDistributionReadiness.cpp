#include "HelperClient/DirectDistributionReadiness.h"

#include "HelperClient/PluginManagementTexts.h"

#include <algorithm>

namespace quorvane {

std::vector<DirectDistributionReadinessCheck>
makeReleaseReadinessChecks(const DirectDistributionReadinessInput& input) {
    namespace Texts = PluginManagementTexts::Readiness;
    const QString& expected = input.expectedBuild;
    const bool appBuildMatches = input.appBuild == expected;
    const bool helperBuildMatches = input.helperBuild.has_value() && *input.helperBuild == expected;
    return {
        {Texts::appBuildID, Texts::appBuildTitle,
         appBuildMatches ? Texts::appBuildPassed(expected) : Texts::appBuildFailed(expected, input.appBuild),
         appBuildMatches},
        {Texts::helperExecutableID, Texts::helperExecutableTitle,
         input.helperExecutableEmbedded ? Texts::helperExecutablePassed : Texts::helperExecutableFailed,
         input.helperExecutableEmbedded},
        {Texts::daemonPlistID, Texts::daemonPlistTitle,
         input.daemonPlistEmbedded ? Texts::daemonPlistPassed : Texts::daemonPlistFailed,
         input.daemonPlistEmbedded},
        {Texts::registrationID, Texts::registrationTitle,
         input.helperRegistered ? Texts::registrationPassed : Texts::registrationFailed,
         input.helperRegistered},
        {Texts::handshakeID, Texts::handshakeTitle,
         input.secureHandshakeConnected ? Texts::handshakePassed : Texts::handshakeFailed,
         input.secureHandshakeConnected},
        {Texts::helperBuildID, Texts::helperBuildTitle,
         helperBuildMatches
             ? Texts::helperBuildPassed(expected)
             : Texts::helperBuildFailed(expected, input.helperBuild.value_or(Texts::noResponse)),
         helperBuildMatches},
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
