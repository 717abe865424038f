#include "Views/Screens/About/AboutView.h"

#include "Views/Kit/Palette.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

DirectDistributionReadinessInput readyInput() {
    return {QStringLiteral("40"), QStringLiteral("40"), QStringLiteral("40"), true, true, true, true};
}

AboutSnapshot snapshotOf(const DirectDistributionReadinessInput& input) {
    AboutSnapshot snapshot;
    snapshot.appVersion = QStringLiteral("1.0.1");
    snapshot.appBuildNumber = QStringLiteral("40");
    snapshot.appVersionLabel = QStringLiteral("Quorvane 1.0.1 (Build 40)");
    snapshot.checks = makeReleaseReadinessChecks(input);
    snapshot.helperVersion = input.helperBuild;
    snapshot.helperIsReachable = input.secureHandshakeConnected;
    return snapshot;
}

// Writes the instant plainly, so the test sees which date reached the row.
class StampFormatters : public Formatters {
public:
    QString abbreviatedDateShortTime(Timestamp instant) const override {
        return QStringLiteral("at %1").arg(instant.sinceReferenceDate);
    }
};
const StampFormatters stamp;

TEST(AboutContentTest, ReadinessCardSummaryAndDetailRowsFollowTheHelperState) {
    DirectDistributionReadinessInput unreached = readyInput();
    unreached.helperBuild.reset();
    unreached.helperRegistered = false;
    unreached.secureHandshakeConnected = false;

    struct Case {
        const char* name;
        AboutSnapshot snapshot;
        QString checksValue;
        QString checksDetail;
        QColor checksColor;
        QString summary;
        QString helperBuild;
        QString handshake;
    };
    AboutSnapshot noChecks = snapshotOf(readyInput());
    noChecks.checks.clear();
    const std::vector<Case> cases{
        {"ready", snapshotOf(readyInput()), "6/6", "Ready for archive test", Palette::green(),
         "Ready for controlled release-candidate archive testing.", "40", "Connected"},
        {"never reached", snapshotOf(unreached), "3/6", "Action required", Palette::amber(),
         "3 release-readiness checks require attention.", "No response", "Not Connected"},
        {"no checks count as passed", noChecks, "0/0", "Ready for archive test", Palette::green(),
         "Ready for controlled release-candidate archive testing.", "40", "Connected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AboutContent content = aboutContent(c.snapshot, stamp);
        ASSERT_EQ(content.cards.size(), 4u);
        EXPECT_EQ(content.cards[2].title, "Release Checks");
        EXPECT_EQ(content.cards[2].value, c.checksValue);
        EXPECT_EQ(content.cards[2].detail, c.checksDetail);
        EXPECT_EQ(content.cards[2].color, c.checksColor);
        EXPECT_EQ(content.readinessSummary, c.summary);
        EXPECT_EQ(content.allChecksPassed, c.checksColor == Palette::green());
        ASSERT_EQ(content.detailRows.size(), 5u);
        EXPECT_EQ(content.detailRows[1], std::pair(QStringLiteral("Helper Build"), c.helperBuild));
        EXPECT_EQ(content.detailRows[2], std::pair(QStringLiteral("Secure Handshake"), c.handshake));
    }
}

TEST(AboutContentTest, CountsLastScanReconciliationAndUnreadableFolders) {
    AboutSnapshot snapshot = snapshotOf(readyInput());
    AboutContent content = aboutContent(snapshot, stamp);
    EXPECT_EQ(content.cards[0].value, "1.0.1");
    EXPECT_EQ(content.cards[0].detail, "Build 40");
    EXPECT_FALSE(content.reconciliation);

    snapshot.productCount = 12345;
    snapshot.operationCount = 1200;
    snapshot.quarantinedBundleCount = 7;
    snapshot.lastScanDate = Timestamp{86400.0};
    snapshot.lastReconciliation = ScanReconciliationSummary{2, 1, 0, true};
    snapshot.inaccessibleLocations = {QStringLiteral("/Library/Audio/Plug-Ins/VST3"),
                                      QStringLiteral("/Library/Audio/Plug-Ins/Components")};
    content = aboutContent(snapshot, stamp);
    EXPECT_EQ(content.cards[1].value, "12345"); // plain digits, no grouping
    EXPECT_EQ(content.cards[3].value, "1200");
    EXPECT_EQ(content.detailRows[3].second, "at 86400");
    EXPECT_EQ(content.detailRows[4].second, "7");
    EXPECT_EQ(
        content.reconciliation,
        "Rescan: 2 added, missing-bundle check deferred because some folders were unreadable, 0 manually "
        "restored.");
    EXPECT_EQ(content.unreadableLocations, snapshot.inaccessibleLocations);
}

} // namespace
} // namespace quorvane
