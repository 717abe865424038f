#include "Views/Screens/PluginManagement/PluginManagementView.h"

#include "HelperClient/FakeHelperClient.h"
#include "ScreenTestSupport.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Screens/Shared/SafetyStep.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::drainEvents;

DirectDistributionReadinessInput readyInput() {
    return {QStringLiteral("40"), QStringLiteral("40"), QStringLiteral("40"), true, true, true, true};
}

PluginManagementSnapshot snapshot(PluginManagementStatus status, bool reachable = false,
                                  std::optional<QString> version = std::nullopt, bool needsUpdate = false,
                                  bool working = false) {
    PluginManagementSnapshot value;
    value.status = status;
    value.helperIsReachable = reachable;
    value.helperVersion = std::move(version);
    value.needsHelperUpdate = needsUpdate;
    value.isWorking = working;
    value.checks = makeReleaseReadinessChecks(readyInput());
    value.appBuildNumber = QStringLiteral("40");
    return value;
}

std::vector<QString> noticeNames(const PluginManagementContent& content) {
    std::vector<QString> names;
    for (const PluginManagementNotice& notice : content.notices)
        names.push_back(notice.objectName);
    return names;
}

// One table drives the status card, the status panel and the primary button.
TEST(PluginManagementContentTest, StatusCardsAndPrimaryActionFollowTheService) {
    using S = PluginManagementStatus;
    using A = PluginManagementAction;
    const QString v40 = QStringLiteral("40");
    struct Case {
        PluginManagementSnapshot snapshot;
        QString title, description, statusDetail;
        QColor statusColor;
        QString handshake, handshakeDetail;
        QColor handshakeColor;
        A action;
        QString label;
        bool enabled;
    } cases[] = {
        {snapshot(S::notRegistered), "Not Enabled", "Plugin management has not been enabled on this Mac.",
         "Action required", Palette::accent(), "Not Connected", "No helper response", Palette::amber(),
         A::enable, "Enable Plugin Management", true},
        {snapshot(S::notRegistered, false, {}, false, true), "Not Enabled",
         "Plugin management has not been enabled on this Mac.", "Action required", Palette::accent(),
         "Not Connected", "No helper response", Palette::amber(), A::enable, "Enable Plugin Management",
         false},
        {snapshot(S::requiresApproval, false, {}, false, true), "Approval Required",
         "Approve Quorvane under System Settings \u2192 General \u2192 Login Items & Extensions.",
         "Action required", Palette::amber(), "Not Connected", "No helper response", Palette::amber(),
         A::openApprovalSettings, "Open System Settings", true},
        {snapshot(S::enabled, false, QStringLiteral("39"), true, true), "Enabled",
         "The administrator-approved helper is registered with macOS.", "Registered with macOS",
         Palette::accent(), "Not Connected", "Helper Build 39", Palette::amber(), A::repairOrUpdate,
         "Repair / Update Plugin Management", true},
        {snapshot(S::enabled, true, v40, false, true), "Enabled",
         "The administrator-approved helper is registered with macOS.", "Registered with macOS",
         Palette::green(), "Connected", "Helper Build 40", Palette::green(), A::testSecureHelper,
         "Test Secure Helper", true},
        // A reachable helper whose version went missing still reads "No helper response".
        {snapshot(S::enabled, true, {}, false), "Enabled",
         "The administrator-approved helper is registered with macOS.", "Registered with macOS",
         Palette::green(), "Connected", "No helper response", Palette::green(), A::testSecureHelper,
         "Test Secure Helper", true},
        {snapshot(S::notFound), "Helper Missing",
         "The embedded helper or launch daemon property list could not be found.", "Action required",
         Palette::red(), "Not Connected", "No helper response", Palette::amber(), A::enable,
         "Enable Plugin Management", true},
        {snapshot(S::unavailable), "Status Unavailable",
         "macOS returned a helper status Quorvane does not recognize.", "Action required", Palette::red(),
         "Not Connected", "No helper response", Palette::amber(), A::enable, "Enable Plugin Management",
         true},
    };
    for (const Case& expected : cases) {
        const PluginManagementContent content = pluginManagementContent(expected.snapshot);
        SCOPED_TRACE(expected.title.toStdString() + " / " + expected.label.toStdString());
        EXPECT_EQ(content.status.title, expected.title);
        EXPECT_EQ(content.status.description, expected.description);
        EXPECT_EQ(content.statusColor, expected.statusColor);
        ASSERT_EQ(content.cards.size(), 3u);
        EXPECT_EQ(content.cards[0].title, QStringLiteral("Helper Status"));
        EXPECT_EQ(content.cards[0].value, expected.title);
        EXPECT_EQ(content.cards[0].icon, content.status.symbol);
        EXPECT_EQ(content.cards[0].detail, expected.statusDetail);
        EXPECT_EQ(content.cards[0].color, expected.statusColor);
        EXPECT_EQ(content.cards[1].value, expected.handshake);
        EXPECT_EQ(content.cards[1].detail, expected.handshakeDetail);
        EXPECT_EQ(content.cards[1].color, expected.handshakeColor);
        EXPECT_EQ(content.cards[2].value, QStringLiteral("Direct"));
        EXPECT_EQ(content.cards[2].detail, QStringLiteral("Developer ID + notarization path"));
        EXPECT_EQ(content.primary.action, expected.action);
        EXPECT_EQ(content.primary.label, expected.label);
        EXPECT_EQ(content.primary.enabled, expected.enabled);
    }
}

TEST(PluginManagementContentTest, NoticesAppearOnlyWhileTheirSourceIsSet) {
    using S = PluginManagementStatus;
    EXPECT_TRUE(pluginManagementContent(snapshot(S::notRegistered)).notices.empty());

    PluginManagementSnapshot approval = snapshot(S::requiresApproval);
    approval.lastError = QStringLiteral("The administrator approval was refused.");
    approval.lastHandshakeNotice =
        QStringLiteral("Secure helper test unavailable until Plugin Management is enabled.");
    const PluginManagementContent content = pluginManagementContent(approval);
    EXPECT_EQ(noticeNames(content),
              (std::vector<QString>{"approvalInfoBar", "lastErrorInfoBar", "handshakeNoticeInfoBar"}));
    EXPECT_EQ(content.notices[0].text, QStringLiteral("In Login Items & Extensions, allow Quorvane under App "
                                                      "Background Activity, then return here and refresh."));
    EXPECT_EQ(content.notices[1].text, *approval.lastError);
    EXPECT_EQ(content.notices[2].color, Palette::amber());

    PluginManagementSnapshot passed = snapshot(S::enabled, true, QStringLiteral("40"));
    passed.lastHandshakeNotice =
        QStringLiteral("Secure helper test passed. QuorvaneHelper Build 40 is connected.");
    const PluginManagementContent green = pluginManagementContent(passed);
    EXPECT_EQ(noticeNames(green), std::vector<QString>{"handshakeNoticeInfoBar"});
    EXPECT_EQ(green.notices[0].color, Palette::green());
}

TEST(PluginManagementContentTest, ReadinessCountRowsAndSummary) {
    DirectDistributionReadinessInput oneMissing = readyInput();
    oneMissing.helperExecutableEmbedded = false;
    DirectDistributionReadinessInput unreached = readyInput();
    unreached.helperBuild.reset();
    unreached.secureHandshakeConnected = false;
    struct Case {
        std::vector<DirectDistributionReadinessCheck> checks;
        QString count;
        bool allPassed;
        QString summary;
        std::vector<QString> failing;
    } cases[] = {
        {makeReleaseReadinessChecks(readyInput()),
         "6/6",
         true,
         "Ready for controlled release-candidate archive testing.",
         {}},
        {makeReleaseReadinessChecks(oneMissing),
         "5/6",
         false,
         "1 release-readiness check requires attention.",
         {"helper-executable"}},
        {makeReleaseReadinessChecks(unreached),
         "4/6",
         false,
         "2 release-readiness checks require attention.",
         {"secure-handshake", "helper-build"}},
        {{}, "0/0", true, "Ready for controlled release-candidate archive testing.", {}},
    };
    for (const Case& expected : cases) {
        PluginManagementSnapshot value =
            snapshot(PluginManagementStatus::enabled, true, QStringLiteral("40"));
        value.checks = expected.checks;
        const PluginManagementContent content = pluginManagementContent(value);
        SCOPED_TRACE(expected.count.toStdString());
        EXPECT_EQ(content.readinessTitle, QStringLiteral("Build 40 Release Readiness"));
        EXPECT_EQ(content.readinessCount, expected.count);
        EXPECT_EQ(content.allChecksPassed, expected.allPassed);
        EXPECT_EQ(content.readinessSummary, expected.summary);
        ASSERT_EQ(content.readinessRows.size(), expected.checks.size());
        std::vector<QString> failing;
        for (size_t index = 0; index < content.readinessRows.size(); ++index) {
            const ReadinessRow& row = content.readinessRows[index];
            EXPECT_EQ(row.id, expected.checks[index].id);
            const bool passed = row.symbol == QStringLiteral("checkmark.circle.fill");
            EXPECT_EQ(row.color, passed ? Palette::green() : Palette::amber());
            if (!passed) {
                EXPECT_EQ(row.symbol, QStringLiteral("exclamationmark.circle.fill"));
                failing.push_back(row.id);
            }
        }
        EXPECT_EQ(failing, expected.failing);
    }
}

class RecordingDocuments : public DocumentOpener {
public:
    QStringList opened;
    bool open(const QString& path) override {
        opened << path;
        return true;
    }
};

class PluginManagementScreenTest : public testing::FakeServiceTest {
protected:
    ScreenServices services() const {
        ScreenServices value = fakes.services();
        value.documents = documents;
        return value;
    }
    testing::FakeScreenServices fakes;
    std::shared_ptr<RecordingDocuments> documents = std::make_shared<RecordingDocuments>();
};

// Each control makes exactly its one call; opening the approval page touches the service not at all.
TEST_F(PluginManagementScreenTest, EachActionIsOneCallIntoTheServiceOrTheDesktop) {
    start(ServiceRegistrationStatus::requiresApproval);
    PluginManagementViewModel model(*service, documents);
    const int reads = registry->statusReads;
    model.perform(PluginManagementAction::openApprovalSettings);
    EXPECT_EQ(documents->opened,
              QStringList{tree.path() + QStringLiteral("/share/quorvane/helper-approval.html")});
    EXPECT_EQ(registry->statusReads, reads);
    EXPECT_TRUE(registry->changes.empty());

    model.refreshStatus();
    EXPECT_EQ(registry->statusReads, reads + 1);

    registry->statusAfterRegister = ServiceRegistrationStatus::enabled;
    model.perform(PluginManagementAction::enable);
    EXPECT_EQ(registry->changes, std::vector<QString>{"register"});
    answerHandshake();
    EXPECT_EQ(model.content().primary.action, PluginManagementAction::testSecureHelper);

    model.perform(PluginManagementAction::testSecureHelper);
    connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
    drainEvents();
    EXPECT_EQ(service->lastHandshakeNotice(),
              QStringLiteral("Secure helper test passed. QuorvaneHelper Build 40 is connected."));

    model.perform(PluginManagementAction::repairOrUpdate);
    EXPECT_EQ(registry->changes, (std::vector<QString>{"register", "unregister", "register"}));
}

template <class T = QWidget>
T* find(const QWidget& root, const char* name) {
    return root.findChild<T*>(QLatin1String(name));
}

// The widget follows what the service publishes: the approval bar and the settings button while
// approval is required, the enabled and connected state after a refresh, and the enable button
// disabled while the service works, with Refresh Status still enabled.
TEST_F(PluginManagementScreenTest, WidgetFollowsTheServiceAndRefreshesOnAppearance) {
    start(ServiceRegistrationStatus::requiresApproval);
    PluginManagementView view(*service, services());
    const int reads = registry->statusReads;
    view.show();
    EXPECT_EQ(registry->statusReads, reads + 1);

    ASSERT_NE(find(view, "approvalInfoBar"), nullptr);
    auto* settings = find<KitButton>(view, "openSystemSettingsButton");
    ASSERT_NE(settings, nullptr);
    settings->click();
    EXPECT_EQ(documents->opened.size(), 1);
    EXPECT_EQ(find<SymbolLabel>(view, "managementStatusTitle")->text(), QStringLiteral("Approval Required"));

    registry->status = ServiceRegistrationStatus::enabled;
    find<KitButton>(view, "refreshStatusButton")->click();
    answerHandshake();
    EXPECT_EQ(find(view, "approvalInfoBar"), nullptr);
    EXPECT_EQ(find<SymbolLabel>(view, "managementStatusTitle")->color(), Palette::green());
    ASSERT_NE(find<KitButton>(view, "testSecureHelperButton"), nullptr);
    std::vector<QColor> cardColours;
    for (const MetricCard* card : find(view, "pluginManagementMetrics")->findChildren<MetricCard*>())
        cardColours.push_back(card->color());
    EXPECT_EQ(cardColours, (std::vector<QColor>{Palette::green(), Palette::green(), Palette::accent()}));
    EXPECT_EQ(find<QLabel>(view, "releaseReadinessCount")->text(), QStringLiteral("4/6"));
    EXPECT_EQ(find<QLabel>(view, "releaseReadinessTitle")->text(),
              QStringLiteral("Build 40 Release Readiness"));
    std::vector<std::pair<int, QString>> steps;
    for (const SafetyStep* step : view.findChildren<SafetyStep*>())
        steps.emplace_back(step->number(), step->text());
    EXPECT_EQ(steps, (std::vector<std::pair<int, QString>>{
                         {1, "Enable Plugin Management and approve Quorvane in System Settings."},
                         {2, "Refresh Status and confirm all six release-readiness checks pass."},
                         {3, "Authorize only the plugin folder needed for a complete inventory scan."},
                         {4, "Test one disposable plugin before managing production tools."}}));

    registry->status = ServiceRegistrationStatus::notRegistered;
    registry->answerAtOnce = false;
    find<KitButton>(view, "refreshStatusButton")->click();
    find<KitButton>(view, "enablePluginManagementButton")->click();
    ASSERT_TRUE(service->isWorking());
    EXPECT_FALSE(find<KitButton>(view, "enablePluginManagementButton")->isEnabled());
    EXPECT_TRUE(find<KitButton>(view, "refreshStatusButton")->isEnabled());
    registry->registerFailure = ServiceRegistryError::approvalDenied;
    registry->finishPending();
    drainEvents();
    EXPECT_TRUE(find<KitButton>(view, "enablePluginManagementButton")->isEnabled());
    ASSERT_NE(find<InfoBar>(view, "lastErrorInfoBar"), nullptr);
    EXPECT_EQ(find<InfoBar>(view, "lastErrorInfoBar")->text(),
              description(ServiceRegistryError::approvalDenied));
}

// In a window of the smallest height (720 pixels, less the sidebar's width) the panels are
// taller than the screen: they scroll, and the readiness summary keeps its whole height.
TEST_F(PluginManagementScreenTest, ScrollsRatherThanSqueezingAtTheSmallestWindow) {
    start(ServiceRegistrationStatus::enabled);
    answerHandshake();
    PluginManagementView view(*service, services());
    view.resize(925, 720);
    view.show();
    drainEvents();
    auto* summary = find<InfoBar>(view, "releaseReadinessSummary");
    ASSERT_NE(summary, nullptr);
    EXPECT_GE(summary->height(), summary->heightForWidth(summary->width()));
}

} // namespace
} // namespace quorvane
