#include "KitTestSupport.h"

#include "Views/Kit/DetailRow.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/PluginDetailPane.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;

struct InspectorCalls {
    std::optional<QString> productReason;
    std::map<QString, QString> bundleReasons; // by format
    int productReasonAsked = 0;
    std::vector<QString> quarantined;
    std::vector<QString> quarantinedBundles;

    PluginDetailPane::Actions actions() {
        PluginDetailPane::Actions result;
        result.quarantineReason = [this](const Plugin&) {
            ++productReasonAsked;
            return productReason;
        };
        result.bundleQuarantineReason = [this](const Plugin&,
                                               const PluginBundleRecord& b) -> std::optional<QString> {
            if (auto found = bundleReasons.find(b.format); found != bundleReasons.end())
                return found->second;
            return std::nullopt;
        };
        result.onQuarantine = [this](const Plugin& p) { quarantined.push_back(p.name); };
        result.onQuarantineBundle = [this](const Plugin& p, const PluginBundleRecord& b) {
            quarantinedBundles.push_back(p.name + QStringLiteral("/") + b.format);
        };
        return result;
    }
};

QWidget* cardFor(const QWidget* root, const QString& format) {
    for (QWidget* card : root->findChildren<QWidget*>(QStringLiteral("bundleCard"))) {
        if (child<QLabel>(card, QStringLiteral("bundleFormat"))->text() == format)
            return card;
    }
    return nullptr;
}

TEST(PluginDetailPane, DetailRowsJoinFormatsInStoredOrder) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    Plugin product =
        plugin(QStringLiteral("Larkspur"), {bundle(QStringLiteral("VST3"), QStringLiteral("/p/L.vst3")),
                                            bundle(QStringLiteral("AU"), QStringLiteral("/p/L.component")),
                                            bundle(QStringLiteral("CLAP"), QStringLiteral("/p/L.clap"))});
    inspector.setPlugin(product, product.bundleRecords());
    std::vector<std::pair<QString, QString>> rows;
    for (DetailRow* row : inspector.findChildren<DetailRow*>())
        rows.emplace_back(row->label(), row->value());
    const std::vector<std::pair<QString, QString>> expected = {
        {"Version", "1.2"}, {"Formats", "VST3, AU, CLAP"}, {"Architecture", "Universal"}, {"Size", "24 MB"}};
    EXPECT_EQ(rows, expected);

    product.formats.clear();
    inspector.setPlugin(product, {});
    EXPECT_EQ(inspector.findChildren<DetailRow*>().at(1)->value(), QString());
}

TEST(PluginDetailPane, NoProductShowsOnlyTheEmptyStateAndItsAlertDoesNothing) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    inspector.show();
    inspector.setPlugin(std::nullopt, {});
    EXPECT_NE(child<QWidget>(&inspector, QStringLiteral("emptyState")), nullptr);
    EXPECT_TRUE(inspector.findChildren<DetailRow*>().isEmpty());
    EXPECT_EQ(calls.productReasonAsked, 0);

    inspector.presentQuarantineConfirmation();
    QMessageBox* alert = openAlert(&inspector);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Move Plugin to Quarantine?"));
    EXPECT_EQ(alert->informativeText(),
              QStringLiteral(
                  "Quorvane will move every active detected format for this plugin as one transaction. If "
                  "any format fails, completed moves will be rolled back."));
    press(alert, QStringLiteral("actionButton"));
    EXPECT_TRUE(calls.quarantined.empty());
}

TEST(PluginDetailPane, HostedProductHasNoQuarantineControlOfAnyKind) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    const Plugin hosted = plugin(QStringLiteral("SSL Channel"), {}, PluginStatus::hostedByShell);
    inspector.setPlugin(hosted, {bundle(QStringLiteral("AU"), QStringLiteral("/p/S.component"))});
    EXPECT_TRUE(testing::labelTexts(&inspector).contains(QStringLiteral("WaveShell Hosting")));
    QStringList infos;
    for (InfoBar* bar : inspector.findChildren<InfoBar*>())
        infos << bar->text();
    EXPECT_TRUE(infos.contains(QStringLiteral("This registered Waves Audio Unit is hosted by a shared "
                                              "WaveShell. Quorvane lists it by product name but "
                                              "never treats it as an independently movable bundle.")));
    EXPECT_EQ(inspector.findChild<PathBox*>()->title(), QStringLiteral("Discovery Source"));
    EXPECT_EQ(inspector.findChild<PathBox*>()->path(), hosted.path);
    EXPECT_EQ(child<QWidget>(&inspector, QStringLiteral("quarantinePluginButton")), nullptr);
    EXPECT_EQ(child<QWidget>(&inspector, QStringLiteral("bundleQuarantineControl")), nullptr);
    EXPECT_TRUE(inspector.findChildren<QWidget*>(QStringLiteral("bundleCard")).isEmpty());
}

TEST(PluginDetailPane, NoRecordsShowsTheRescanHintAndNoWholeProductButton) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    inspector.setPlugin(plugin(QStringLiteral("Larkspur")), {});
    EXPECT_TRUE(testing::labelTexts(&inspector).contains(QStringLiteral("Format Bundles")));
    EXPECT_EQ(inspector.findChildren<InfoBar*>().last()->text(),
              QStringLiteral("Run a new scan to create per-format path records for this plugin."));
    EXPECT_EQ(child<QWidget>(&inspector, QStringLiteral("quarantinePluginButton")), nullptr);
}

TEST(PluginDetailPane, ReasonIsShownAboveTheButtonItDisables) {
    InspectorCalls calls;
    calls.productReason = QStringLiteral("Plugin Management is not enabled.");
    PluginDetailPane inspector(calls.actions());
    const Plugin product =
        plugin(QStringLiteral("Larkspur"), {bundle(QStringLiteral("AU"), QStringLiteral("/p/L.component"))});
    inspector.setPlugin(product, product.bundleRecords());
    EXPECT_EQ(calls.productReasonAsked, 1);
    auto* button = child<KitButton>(&inspector, QStringLiteral("quarantinePluginButton"));
    EXPECT_EQ(button->text(), QStringLiteral("Quarantine Plugin\u2026"));
    EXPECT_EQ(button->buttonStyle(), ButtonStyle::borderedProminent);
    EXPECT_FALSE(button->isEnabled());
    QLabel* reason = nullptr;
    for (QLabel* label : inspector.findChildren<QLabel*>(QStringLiteral("blockingReason"))) {
        if (label->parentWidget() == button->parentWidget())
            reason = label;
    }
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(reason->text(), QStringLiteral("Plugin Management is not enabled."));
    EXPECT_EQ(foreground(reason), Palette::amber());
    EXPECT_EQ(reason->font().pixelSize(), textFont(TextStyle::caption2).pixelSize());
    inspector.show();
    QApplication::processEvents();
    EXPECT_LT(reason->geometry().bottom(), button->geometry().top());

    calls.productReason.reset();
    inspector.refresh();
    button = child<KitButton>(&inspector, QStringLiteral("quarantinePluginButton"));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->parentWidget()
                  ->findChildren<QLabel*>(QStringLiteral("blockingReason"), Qt::FindDirectChildrenOnly)
                  .size(),
              0);
}

TEST(PluginDetailPane, WholeProductQuarantineIsConfirmedFirst) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    inspector.show();
    const Plugin product =
        plugin(QStringLiteral("Larkspur"), {bundle(QStringLiteral("AU"), QStringLiteral("/p/L.component"))});
    inspector.setPlugin(product, product.bundleRecords());
    child<QPushButton>(&inspector, QStringLiteral("quarantinePluginButton"))->click();
    QMessageBox* alert = openAlert(&inspector);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->informativeText(),
              QStringLiteral(
                  "Quorvane will move every active detected format for Larkspur as one transaction. If any "
                  "format fails, completed moves will be rolled back."));
    EXPECT_EQ(alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->text(),
              QStringLiteral("Move All Formats"));
    press(alert, QStringLiteral("cancelButton"));
    EXPECT_TRUE(calls.quarantined.empty());
    child<QPushButton>(&inspector, QStringLiteral("quarantinePluginButton"))->click();
    press(openAlert(&inspector), QStringLiteral("actionButton"));
    EXPECT_EQ(calls.quarantined, std::vector<QString>{QStringLiteral("Larkspur")});
}

TEST(PluginDetailPane, CardStatesFollowTheBothFieldsQuarantineTest) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    PluginBundleRecord moved = quarantinedBundle(QStringLiteral("AU"), QStringLiteral("/p/A.component"));
    PluginBundleRecord pathOnly = bundle(QStringLiteral("VST3"), QStringLiteral("/p/A.vst3"));
    pathOnly.quarantinePath = QStringLiteral("/q/A.vst3");
    PluginBundleRecord idOnly = bundle(QStringLiteral("CLAP"), QStringLiteral("/p/A.clap"), true);
    idOnly.quarantineOperationID = QStringLiteral("OP-9");
    const Plugin product = plugin(QStringLiteral("Aster"), {moved, pathOnly, idOnly});
    inspector.setPlugin(product, {moved, pathOnly, idOnly});

    struct Expect {
        QString format, state, location;
        QColor colour;
        bool controls;
    };
    const std::vector<Expect> rows = {
        {"AU", "Quarantined", *moved.quarantinePath, Palette::amber(), false},
        {"VST3", "Universal", "/q/A.vst3", Palette::secondaryText(), true},
        {"CLAP", "Protected", "/p/A.clap", Palette::amber(), true},
    };
    for (const Expect& row : rows) {
        QWidget* card = cardFor(&inspector, row.format);
        ASSERT_NE(card, nullptr) << row.format.toStdString();
        auto* state = child<QLabel>(card, QStringLiteral("bundleState"));
        EXPECT_EQ(state->text(), row.state);
        EXPECT_EQ(foreground(state), row.colour);
        EXPECT_EQ(child<WrappingText>(card, QStringLiteral("bundleLocation"))->toPlainText(), row.location);
        EXPECT_EQ(child<QWidget>(card, QStringLiteral("bundleQuarantineControl")) != nullptr, row.controls);
        EXPECT_EQ(child<QWidget>(card, QStringLiteral("bundleProtectionControl")) != nullptr, row.controls);
        EXPECT_EQ(child<QWidget>(card, QStringLiteral("managedFromQuarantineLabel")) != nullptr,
                  !row.controls);
        EXPECT_EQ(child<QPushButton>(card, QStringLiteral("revealFormatButton"))->text(),
                  QStringLiteral("Reveal %1 in Finder").arg(row.format));
    }
    auto* managed =
        cardFor(&inspector, "AU")->findChild<SymbolLabel*>(QStringLiteral("managedFromQuarantineLabel"));
    EXPECT_EQ(managed->text(), QStringLiteral("Managed from the Quarantine screen"));
    EXPECT_EQ(managed->color(), Palette::amber());
}

TEST(BundleQuarantineControl, BlockedShowsTheReasonAndAllowedAsksBeforeActing) {
    InspectorCalls calls;
    calls.bundleReasons[QStringLiteral("AU")] =
        QStringLiteral("Aster \u2014 AU: Protected bundles cannot be quarantined.");
    PluginDetailPane inspector(calls.actions());
    inspector.show();
    const Plugin product =
        plugin(QStringLiteral("Aster"), {bundle(QStringLiteral("AU"), QStringLiteral("/p/A.component")),
                                         bundle(QStringLiteral("VST3"), QStringLiteral("/p/A.vst3"))});
    inspector.setPlugin(product, product.bundleRecords());

    QWidget* au = cardFor(&inspector, "AU");
    auto* blocked = child<QPushButton>(au, QStringLiteral("quarantineFormatButton"));
    EXPECT_FALSE(blocked->isEnabled());
    EXPECT_EQ(child<QLabel>(au, QStringLiteral("blockingReason"))->text(),
              QStringLiteral("Aster \u2014 AU: Protected bundles cannot be quarantined."));

    QWidget* vst3 = cardFor(&inspector, "VST3");
    auto* allowed = child<QPushButton>(vst3, QStringLiteral("quarantineFormatButton"));
    EXPECT_EQ(child<QLabel>(vst3, QStringLiteral("blockingReason")), nullptr);
    EXPECT_EQ(allowed->text(), QStringLiteral("Quarantine VST3 Format\u2026"));
    allowed->click();
    QMessageBox* alert = openAlert(&inspector);
    ASSERT_NO_FATAL_FAILURE(expectAlert(
        alert, QStringLiteral("Quarantine VST3 Format?"),
        QStringLiteral("Only the selected VST3 bundle will move. Every other installed format for Aster will "
                       "remain in place."),
        QStringLiteral("Move VST3 to Quarantine")));
    press(alert, QStringLiteral("cancelButton"));
    EXPECT_TRUE(calls.quarantinedBundles.empty());
    allowed->click();
    press(openAlert(&inspector), QStringLiteral("actionButton"));
    EXPECT_EQ(calls.quarantinedBundles, std::vector<QString>{QStringLiteral("Aster/VST3")});
}

TEST(PluginDetailPane, AlertSurvivesARebuildAndActsOnTheProductItWasOpenedFor) {
    InspectorCalls calls;
    PluginDetailPane inspector(calls.actions());
    inspector.show();
    const Plugin product =
        plugin(QStringLiteral("Aster"), {bundle(QStringLiteral("VST3"), QStringLiteral("/p/A.vst3"))});
    inspector.setPlugin(product, product.bundleRecords());
    child<QPushButton>(cardFor(&inspector, "VST3"), QStringLiteral("quarantineFormatButton"))->click();
    calls.productReason = QStringLiteral("Busy.");
    inspector.refresh();
    testing::settle();
    QMessageBox* alert = openAlert(&inspector);
    ASSERT_NE(alert, nullptr);
    press(alert, QStringLiteral("actionButton"));
    EXPECT_EQ(calls.quarantinedBundles, std::vector<QString>{QStringLiteral("Aster/VST3")});
}

} // namespace
} // namespace quorvane
