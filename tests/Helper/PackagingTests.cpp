#include "Shared/FrameCodec.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

QString unitFile(const char* name) {
    QFile file(QStringLiteral(QUORVANE_SOURCE_DIR "/packaging/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList values(const QString& unit, const QString& key) {
    QStringList found;
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    for (auto match = line.globalMatch(unit); match.hasNext();)
        found.append(match.next().captured(1).trimmed());
    return found;
}

TEST(PackagingTest, TheSocketUnitListensWhereTheApplicationConnects) {
    const QString socket = unitFile("com.orsolind.Quorvane.helper.socket");
    EXPECT_EQ(values(socket, "ListenStream"), QStringList{helperSocketPath(SystemRoots::production())});
    EXPECT_EQ(values(socket, "SocketUser"), QStringList{"root"});
    EXPECT_EQ(values(socket, "DirectoryMode"), QStringList{"0755"});
}

TEST(PackagingTest, TheServiceLetsATransactionFinishAndKeepsItsSandbox) {
    const QString service = unitFile("com.orsolind.Quorvane.helper.service.in");
    EXPECT_EQ(values(service, "KillMode"), QStringList{"mixed"});
    EXPECT_EQ(values(service, "TimeoutStopSec"), QStringList{"10min"});
    EXPECT_EQ(values(service, "NoNewPrivileges"), QStringList{"yes"});
    EXPECT_EQ(values(service, "ProtectSystem"), QStringList{"strict"});
    EXPECT_EQ(values(service, "ProtectHome"), QStringList{"read-only"});
    EXPECT_EQ(values(service, "PrivateTmp"), QStringList{"yes"});
    EXPECT_EQ(values(service, "CapabilityBoundingSet"),
              QStringList{"CAP_DAC_OVERRIDE CAP_CHOWN CAP_SYS_PTRACE"});
    // The lock file the application probes lives in the runtime folder the unit keeps.
    EXPECT_EQ(values(service, "RuntimeDirectory"), QStringList{"quorvane"});
    EXPECT_TRUE(helperTransactionLockPath(SystemRoots::production()).startsWith("/run/quorvane/"));
}

// The approval page names the units and the commands the application really runs.
TEST(PackagingTest, TheApprovalPageNamesTheRealUnitsAndCommands) {
    const QString page = unitFile("quorvane-helper-approval.html");
    for (const char* expected :
         {"pkexec systemctl enable --now com.orsolind.Quorvane.helper.socket",
          "systemctl status com.orsolind.Quorvane.helper.socket", "com.orsolind.Quorvane.helper.service"})
        EXPECT_TRUE(page.contains(QLatin1String(expected))) << expected;
}

} // namespace
} // namespace quorvane::testing
