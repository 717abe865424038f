#include "KitTestSupport.h"

#include "Views/Kit/DetailShell.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/ProtectedDetailPane.h"
#include "Views/Kit/ProtectionControl.h"
#include "Views/Kit/SymbolLabel.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;

struct ProtectionCalls {
    std::vector<std::pair<QString, bool>> product;
    std::vector<std::tuple<QString, QString, bool>> format;
    SetProtection setProtection() {
        return [this](const Plugin& p, bool on) { product.emplace_back(p.name, on); };
    }
    SetBundleProtection setBundleProtection() {
        return [this](const Plugin& p, const PluginBundleRecord& b, bool on) {
            format.emplace_back(p.name, b.format, on);
        };
    }
};

QStringList infoTexts(const QWidget* root) {
    QStringList texts;
    for (InfoBar* bar : root->findChildren<InfoBar*>())
        texts << bar->text();
    return texts;
}

QStringList buttonTexts(const QWidget* root) {
    QStringList texts;
    for (QPushButton* button : root->findChildren<QPushButton*>(Qt::FindChildrenRecursively)) {
        if (!button->text().isEmpty())
            texts << button->text();
    }
    return texts;
}

Plugin partlyProtected() {
    return plugin(QStringLiteral("Tidewater"),
                  {bundle(QStringLiteral("AU"), QStringLiteral("/p/T.component"), true),
                   bundle(QStringLiteral("VST3"), QStringLiteral("/p/T.vst3"))});
}

Plugin fullyProtected() {
    return plugin(QStringLiteral("Tidewater"),
                  {bundle(QStringLiteral("AU"), QStringLiteral("/p/T.component"), true),
                   bundle(QStringLiteral("VST3"), QStringLiteral("/p/T.vst3"), true)});
}

TEST(ProtectionControl, NothingProtectedOffersOnlyProtectAllWhichActsAtOnce) {
    ProtectionCalls calls;
    const Plugin product =
        plugin(QStringLiteral("Larkspur"), {bundle(QStringLiteral("AU"), QStringLiteral("/p/L.component"))});
    ProtectionControl control(product, calls.setProtection());
    EXPECT_EQ(buttonTexts(&control), QStringList{QStringLiteral("Protect All Formats")});
    EXPECT_TRUE(infoTexts(&control).isEmpty());
    auto* protect = child<KitButton>(&control, QStringLiteral("protectAllButton"));
    EXPECT_EQ(protect->buttonStyle(), ButtonStyle::borderedProminent);
    EXPECT_EQ(protect->symbol(), QStringLiteral("shield.checkered"));
    protect->click();
    EXPECT_EQ(calls.product, (std::vector<std::pair<QString, bool>>{{QStringLiteral("Larkspur"), true}}));
    EXPECT_EQ(openAlert(&control), nullptr);
}

TEST(ProtectionControl, PartlyProtectedOffersBothAndAsksBeforeRemoving) {
    ProtectionCalls calls;
    ProtectionControl control(partlyProtected(), calls.setProtection());
    control.show();
    EXPECT_EQ(infoTexts(&control),
              QStringList{QStringLiteral("Some formats are protected. Use each format card for precision, or "
                                         "change every format together.")});
    EXPECT_EQ(control.findChild<InfoBar*>()->color(), Palette::amber());
    EXPECT_EQ(buttonTexts(&control), (QStringList{QStringLiteral("Protect All Formats"),
                                                  QStringLiteral("Remove All Protection\u2026")}));

    auto* remove = child<KitButton>(&control, QStringLiteral("removeAllProtectionButton"));
    EXPECT_EQ(remove->buttonStyle(), ButtonStyle::bordered);
    remove->click();
    QMessageBox* alert = openAlert(&control);
    ASSERT_NO_FATAL_FAILURE(expectAlert(
        alert, QStringLiteral("Remove All Protection?"),
        QStringLiteral("Protection will be removed from every Tidewater format. No files will be moved now."),
        QStringLiteral("Remove All Protection")));
    EXPECT_TRUE(calls.product.empty());
    press(alert, QStringLiteral("cancelButton"));
    EXPECT_TRUE(calls.product.empty());

    remove->click();
    press(openAlert(&control), QStringLiteral("actionButton"));
    EXPECT_EQ(calls.product, (std::vector<std::pair<QString, bool>>{{QStringLiteral("Tidewater"), false}}));
    EXPECT_EQ(openAlert(&control), nullptr);
}

TEST(ProtectionControl, FullyProtectedOffersOnlyRemovalWithItsOwnMessage) {
    ProtectionCalls calls;
    ProtectionControl control(fullyProtected(), calls.setProtection());
    control.show();
    EXPECT_EQ(infoTexts(&control), QStringList{QStringLiteral("All detected formats are protected.")});
    EXPECT_EQ(buttonTexts(&control), QStringList{QStringLiteral("Remove All Protection\u2026")});
    child<QPushButton>(&control, QStringLiteral("removeAllProtectionButton"))->click();
    EXPECT_EQ(openAlert(&control)->informativeText(),
              QStringLiteral("Every Tidewater format will become eligible for future file actions. No files "
                             "will be moved now."));
    press(openAlert(&control), QStringLiteral("cancelButton"));
    EXPECT_TRUE(calls.product.empty());
}

TEST(ProtectionControl, MandatoryShellsGetANoteWordedByStatus) {
    ProtectionCalls calls;
    const Plugin hosted = plugin(QStringLiteral("SSL Channel"), {}, PluginStatus::hostedByShell);
    Plugin byName = plugin(QStringLiteral("WaveShell1-AU 15"));
    byName.manufacturer = QStringLiteral("Waves");
    const Plugin shared = plugin(QStringLiteral("Shell"), {}, PluginStatus::sharedShell);
    const std::vector<std::pair<Plugin, QString>> rows = {
        {hosted, QStringLiteral("Hosted by WaveShell: mandatory protection cannot be removed.")},
        {byName, QStringLiteral("Shared shell: mandatory protection cannot be removed.")},
        {shared, QStringLiteral("Shared shell: mandatory protection cannot be removed.")},
    };
    for (const auto& [product, note] : rows) {
        ProtectionControl control(product, calls.setProtection());
        EXPECT_EQ(infoTexts(&control), QStringList{note});
        EXPECT_EQ(control.findChild<InfoBar*>()->color(), Palette::accent());
        EXPECT_TRUE(buttonTexts(&control).isEmpty());
    }
}

TEST(BundleProtectionControl, MandatoryShellShowsTheLabelWhateverTheBundleSays) {
    ProtectionCalls calls;
    Plugin shell =
        plugin(QStringLiteral("WaveShell"), {bundle(QStringLiteral("AU"), QStringLiteral("/p/W.component"))});
    shell.manufacturer = QStringLiteral("Waves");
    for (bool isProtected : {false, true}) {
        PluginBundleRecord record = shell.bundleRecords().front();
        record.isProtected = isProtected;
        BundleProtectionControl control(shell, record, calls.setBundleProtection());
        auto* label = control.findChild<SymbolLabel*>(QStringLiteral("mandatoryProtectionLabel"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QStringLiteral("Mandatory protection"));
        EXPECT_EQ(label->symbol(), QStringLiteral("lock.shield.fill"));
        EXPECT_EQ(label->color(), Palette::accent());
        EXPECT_TRUE(buttonTexts(&control).isEmpty());
    }
}

TEST(BundleProtectionControl, ProtectIsBorderedAndImmediateRemoveAsksFirst) {
    ProtectionCalls calls;
    const Plugin product = partlyProtected();
    const auto records = product.bundleRecords();
    const PluginBundleRecord& au = records[0];
    const PluginBundleRecord& vst3 = records[1];

    BundleProtectionControl protect(product, vst3, calls.setBundleProtection());
    auto* protectButton = child<KitButton>(&protect, QStringLiteral("protectFormatButton"));
    EXPECT_EQ(protectButton->text(), QStringLiteral("Protect VST3 Format"));
    EXPECT_EQ(protectButton->buttonStyle(), ButtonStyle::bordered);
    protectButton->click();
    EXPECT_EQ(calls.format, (std::vector<std::tuple<QString, QString, bool>>{{"Tidewater", "VST3", true}}));

    BundleProtectionControl remove(product, au, calls.setBundleProtection());
    remove.show();
    auto* removeButton = child<KitButton>(&remove, QStringLiteral("removeFormatProtectionButton"));
    EXPECT_EQ(removeButton->text(), QStringLiteral("Remove AU Protection\u2026"));
    EXPECT_EQ(removeButton->symbol(), QStringLiteral("shield.slash"));
    removeButton->click();
    QMessageBox* alert = openAlert(&remove);
    ASSERT_NO_FATAL_FAILURE(expectAlert(
        alert, QStringLiteral("Remove AU Protection?"),
        QStringLiteral(
            "Only the AU format will become eligible for future file actions. No files will be moved now."),
        QStringLiteral("Remove Protection")));
    press(alert, QStringLiteral("cancelButton"));
    EXPECT_EQ(calls.format.size(), 1u);
    removeButton->click();
    press(openAlert(&remove), QStringLiteral("actionButton"));
    EXPECT_EQ(calls.format.back(), (std::tuple<QString, QString, bool>{"Tidewater", "AU", false}));
}

TEST(DetailShell, EmptyStateWithoutAProductAndHeaderWithOne) {
    DetailShell shell;
    EXPECT_NE(child<QWidget>(&shell, QStringLiteral("emptyState")), nullptr);
    EXPECT_EQ(child<QLabel>(&shell, QStringLiteral("emptyStateTitle"))->text(),
              QStringLiteral("Select a Plugin"));
    EXPECT_EQ(child<QLabel>(&shell, QStringLiteral("emptyStateDescription"))->text(),
              QStringLiteral("Choose a row to inspect its metadata."));

    auto* content = new QLabel(QStringLiteral("content"));
    shell.setPlugin(plugin(QStringLiteral("<Larkspur>")), content);
    EXPECT_EQ(child<QWidget>(&shell, QStringLiteral("emptyState")), nullptr);
    EXPECT_EQ(child<QLabel>(&shell, QStringLiteral("inspectorName"))->text(), QStringLiteral("<Larkspur>"));
    EXPECT_EQ(child<QLabel>(&shell, QStringLiteral("inspectorName"))->textFormat(), Qt::PlainText);
    EXPECT_EQ(child<QLabel>(&shell, QStringLiteral("inspectorManufacturer"))->text(),
              QStringLiteral("Fernhill Audio"));
    EXPECT_EQ(shell.content(), content);
    EXPECT_EQ(shell.fillColor(), Palette::panel());
}

TEST(ProtectedDetailPane, NoProductBuildsNoProtectionControl) {
    ProtectedDetailPane inspector({}, {});
    inspector.setPlugin(std::nullopt, {});
    EXPECT_NE(child<QWidget>(&inspector, QStringLiteral("emptyState")), nullptr);
    EXPECT_EQ(child<QWidget>(&inspector, QStringLiteral("protectionControl")), nullptr);
}

TEST(ProtectedDetailPane, HostedProductShowsItsSourceAndNeverCards) {
    const Plugin hosted = plugin(QStringLiteral("SSL Channel"), {}, PluginStatus::hostedByShell);
    ProtectedDetailPane inspector({}, {});
    inspector.setPlugin(hosted, {bundle(QStringLiteral("AU"), QStringLiteral("/p/x.component"))});
    EXPECT_TRUE(inspector.findChildren<QWidget*>(QStringLiteral("bundleCard")).isEmpty());
    EXPECT_EQ(child<QWidget>(&inspector, QStringLiteral("revealInFinderButton")), nullptr);
    EXPECT_EQ(infoTexts(&inspector),
              (QStringList{QStringLiteral(
                               "Hosted product: automatically protected with its shared WaveShell. There is "
                               "no independent plugin bundle to reveal or move."),
                           QStringLiteral("Hosted by WaveShell: mandatory protection cannot be removed.")}));
    auto* source = inspector.findChild<PathBox*>();
    EXPECT_EQ(source->title(), QStringLiteral("Discovery Source"));
    EXPECT_EQ(source->path(), hosted.path);
}

TEST(ProtectedDetailPane, NoRecordsShowsTheProductPathAndARevealButton) {
    testing::FileManagerRecorder recorder;
    const Plugin product = plugin(QStringLiteral("Larkspur"));
    ProtectedDetailPane inspector({}, {});
    inspector.setPlugin(product, {});
    auto* box = inspector.findChild<PathBox*>();
    EXPECT_EQ(box->title(), QStringLiteral("Protected Bundle"));
    EXPECT_EQ(box->path(), product.path);
    auto* reveal = child<QPushButton>(&inspector, QStringLiteral("revealInFinderButton"));
    EXPECT_EQ(reveal->text(), QStringLiteral("Reveal in Finder"));
    reveal->click();
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls.front().path, QStringLiteral("/Library/Audio/Plug-Ins/VST3"));
}

TEST(ProtectedDetailPane, CardsUseTheQuarantinePathAndDropControlsOnlyForQuarantinedRecords) {
    testing::FileManagerRecorder recorder;
    PluginBundleRecord pathOnly = bundle(QStringLiteral("AU"), QStringLiteral("/p/A.component"), true);
    pathOnly.quarantinePath = QStringLiteral("/q/A.component");
    PluginBundleRecord moved =
        testing::quarantinedBundle(QStringLiteral("VST3"), QStringLiteral("/p/A.vst3"));
    const Plugin product = plugin(QStringLiteral("Aster"), {pathOnly, moved});
    ProtectedDetailPane inspector({}, {});
    inspector.setPlugin(product, {pathOnly, moved});

    const auto cards = inspector.findChildren<QWidget*>(QStringLiteral("bundleCard"));
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(child<QLabel>(cards[0], QStringLiteral("bundleFormat"))->text(), QStringLiteral("AU Format"));
    auto* badge = cards[0]->findChild<SymbolLabel*>(QStringLiteral("protectionBadge"));
    EXPECT_EQ(badge->text(), QStringLiteral("Protected"));
    EXPECT_EQ(badge->color(), Palette::amber());
    EXPECT_EQ(cards[0]->findChild<PathBox*>()->title(), QStringLiteral("Bundle Location"));
    EXPECT_EQ(cards[0]->findChild<PathBox*>()->path(), QStringLiteral("/q/A.component"));
    EXPECT_NE(child<QWidget>(cards[0], QStringLiteral("bundleProtectionControl")), nullptr);
    auto* reveal = child<QPushButton>(cards[0], QStringLiteral("revealFormatButton"));
    EXPECT_EQ(reveal->text(), QStringLiteral("Reveal AU in Finder"));
    reveal->click();
    EXPECT_EQ(recorder.calls.back().path, QStringLiteral("/q"));

    auto* movedBadge = cards[1]->findChild<SymbolLabel*>(QStringLiteral("protectionBadge"));
    EXPECT_EQ(movedBadge->text(), QStringLiteral("Not Protected"));
    EXPECT_EQ(movedBadge->symbol(), QStringLiteral("shield.slash"));
    EXPECT_EQ(movedBadge->color(), Palette::secondaryText());
    EXPECT_EQ(child<QWidget>(cards[1], QStringLiteral("bundleProtectionControl")), nullptr);
    EXPECT_NE(child<QWidget>(&inspector, QStringLiteral("protectionControl")), nullptr);
}

TEST(ProtectedDetailPane, UnchangedValuesKeepTheBuiltContent) {
    const Plugin product = partlyProtected();
    ProtectedDetailPane inspector({}, {});
    inspector.setPlugin(product, product.bundleRecords());
    QWidget* before = inspector.content();
    inspector.setPlugin(product, product.bundleRecords());
    EXPECT_EQ(inspector.content(), before);
    inspector.setPlugin(fullyProtected(), fullyProtected().bundleRecords());
    EXPECT_NE(inspector.content(), before);
}

} // namespace
} // namespace quorvane
