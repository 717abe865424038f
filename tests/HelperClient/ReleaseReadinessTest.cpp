#include "FakeHelperClient.h"
#include "HelperClient/DirectDistributionReadiness.h"
#include "HelperClient/PluginManagementService.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QFile>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

DirectDistributionReadinessInput allPassing() {
    return {QStringLiteral("40"), QStringLiteral("40"), QStringLiteral("40"), true, true, true, true};
}

TEST(ReleaseReadinessTest, EveryCheckPassingGivesTheReadySummary) {
    const auto checks = makeReleaseReadinessChecks(allPassing());
    const std::vector<DirectDistributionReadinessCheck> expected{
        {"app-build", "App Build", "Quorvane reports Build 40.", true},
        {"helper-executable", "Embedded Helper", "The helper executable is embedded in the app bundle.",
         true},
        {"daemon-plist", "Launch Daemon", "The launch daemon property list is embedded.", true},
        {"helper-registration", "Helper Approval", "Plugin Management is approved and registered with macOS.",
         true},
        {"secure-handshake", "Secure Handshake", "The code-signing-locked XPC connection is active.", true},
        {"helper-build", "Helper Build", "QuorvaneHelper reports Build 40.", true},
    };
    EXPECT_EQ(checks, expected);
    EXPECT_EQ(passedReadinessCheckCount(checks), 6);
    EXPECT_EQ(releaseReadinessSummary(checks),
              QStringLiteral("Ready for controlled release-candidate archive testing."));
}

TEST(ReleaseReadinessTest, EveryCheckFailingSaysWhy) {
    const DirectDistributionReadinessInput input{
        QStringLiteral("41"), QStringLiteral("40"), std::nullopt, false, false, false, false};
    const auto checks = makeReleaseReadinessChecks(input);
    const QStringList details{
        QStringLiteral("Expected Build 40, but the app reports Build 41."),
        QStringLiteral("The helper executable is missing from the app bundle."),
        QStringLiteral("The launch daemon property list is missing."),
        QStringLiteral("Plugin Management still requires registration or approval."),
        QStringLiteral("The secure helper handshake is not connected."),
        QStringLiteral("Expected helper Build 40, but received no response."),
    };
    ASSERT_EQ(checks.size(), 6u);
    for (std::size_t index = 0; index < checks.size(); ++index) {
        EXPECT_FALSE(checks[index].passed);
        EXPECT_EQ(checks[index].detail, details[qsizetype(index)]);
    }
    EXPECT_EQ(releaseReadinessSummary(checks),
              QStringLiteral("6 release-readiness checks require attention."));
}

TEST(ReleaseReadinessTest, HelperBuildAndHandshakeAreJudgedApart) {
    auto input = allPassing();
    input.helperBuild = QStringLiteral("39");
    const auto checks = makeReleaseReadinessChecks(input);
    EXPECT_TRUE(checks[4].passed);
    EXPECT_FALSE(checks[5].passed);
    EXPECT_EQ(checks[5].detail, QStringLiteral("Expected helper Build 40, but received 39."));
    EXPECT_EQ(releaseReadinessSummary(checks),
              QStringLiteral("1 release-readiness check requires attention."));

    input.secureHandshakeConnected = false;
    EXPECT_EQ(releaseReadinessSummary(makeReleaseReadinessChecks(input)),
              QStringLiteral("2 release-readiness checks require attention."));
}

class ReadinessOfTheServiceTest : public FakeServiceTest {
protected:
    void install() {
        const QString helper =
            tree.writeFile(QStringLiteral("libexec/quorvane/quorvane-helper"), "#!/bin/sh\n");
        QFile::setPermissions(helper, QFile::permissions(helper) | QFileDevice::ExeOwner);
        tree.writeFile(QStringLiteral("lib/systemd/system/com.orsolind.Quorvane.helper.socket"),
                       "[Socket]\n");
        tree.writeFile(QStringLiteral("lib/systemd/system/com.orsolind.Quorvane.helper.service"),
                       "[Service]\n");
    }
};

TEST_F(ReadinessOfTheServiceTest, SectionOfAHelperThatIsNotRegistered) {
    start(ServiceRegistrationStatus::notRegistered);
    EXPECT_EQ(service->diagnosticsSection(), QStringLiteral("Plugin Management\n"
                                                            "Helper status: Not Enabled\n"
                                                            "Secure handshake: Not Connected\n"
                                                            "Expected helper build: 40\n"
                                                            "Reported helper build: No response\n"
                                                            "Release readiness: 1/6\n"
                                                            "- App Build: Pass\n"
                                                            "- Embedded Helper: Action Required\n"
                                                            "- Launch Daemon: Action Required\n"
                                                            "- Helper Approval: Action Required\n"
                                                            "- Secure Handshake: Action Required\n"
                                                            "- Helper Build: Action Required"));
}

TEST_F(ReadinessOfTheServiceTest, SectionOfAConnectedInstalledHelper) {
    install();
    start(ServiceRegistrationStatus::enabled);
    answerHandshake();
    EXPECT_EQ(passedReadinessCheckCount(service->releaseReadinessChecks()), 6);
    EXPECT_EQ(service->diagnosticsSection(), QStringLiteral("Plugin Management\n"
                                                            "Helper status: Enabled\n"
                                                            "Secure handshake: Connected\n"
                                                            "Expected helper build: 40\n"
                                                            "Reported helper build: 40\n"
                                                            "Release readiness: 6/6\n"
                                                            "- App Build: Pass\n"
                                                            "- Embedded Helper: Pass\n"
                                                            "- Launch Daemon: Pass\n"
                                                            "- Helper Approval: Pass\n"
                                                            "- Secure Handshake: Pass\n"
                                                            "- Helper Build: Pass"));
}

TEST_F(ReadinessOfTheServiceTest, InstallationChecksLookAtTheFiles) {
    install();
    const InstallLayout layout{tree.path()};
    EXPECT_TRUE(layout.hasHelperExecutable());
    EXPECT_TRUE(layout.hasServiceUnits());
    QFile::setPermissions(layout.helperExecutable(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_FALSE(layout.hasHelperExecutable());
    QFile::remove(layout.serviceUnitFile());
    EXPECT_FALSE(layout.hasServiceUnits());
}

} // namespace
} // namespace quorvane::testing
