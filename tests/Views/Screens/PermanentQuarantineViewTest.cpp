#include "Views/Screens/PermanentQuarantine/PermanentQuarantineView.h"
#include "TransactionScreenTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

namespace quorvane {
namespace {

namespace T = PermanentQuarantineTexts;
using Row = PermanentQuarantineViewModel::Row;

class PermanentQuarantineScreenTest : public testing::TransactionScreenTest {
protected:
    Plugin made(const QString& name, const QString& manufacturer, PluginStatus status = PluginStatus::ok) {
        Plugin plugin = testing::productWithoutRecords(name, manufacturer, {QStringLiteral("VST3")},
                                                       vst3(name + QStringLiteral(".vst3")));
        plugin.status = status;
        return plugin;
    }
    PermanentQuarantineViewModel model() {
        return PermanentQuarantineViewModel(
            *store,
            {[this] { return section; }, [this](std::optional<AppSection> value) { section = value; }});
    }

    std::optional<AppSection> section = AppSection::permanentQuarantine;
};

TEST_F(PermanentQuarantineScreenTest, RowsAreTheDistinctManufacturerStringsInPlainOrderWithADividerButLast) {
    open({made(QStringLiteral("A"), QStringLiteral("fernhill")),
          made(QStringLiteral("B"), QStringLiteral("Oxbow")),
          made(QStringLiteral("C"), QStringLiteral("Fernhill"), PluginStatus::quarantined),
          made(QStringLiteral("D"), QStringLiteral("Oxbow"))});
    EXPECT_EQ(model().rows(), (std::vector<Row>{{QStringLiteral("Fernhill"), false, T::offCaption, true},
                                                {QStringLiteral("Oxbow"), false, T::offCaption, true},
                                                {QStringLiteral("fernhill"), false, T::offCaption, false}}));

    open({made(QStringLiteral("Only"), QStringLiteral("Oxbow"))});
    EXPECT_EQ(model().rows(), (std::vector<Row>{{QStringLiteral("Oxbow"), false, T::offCaption, false}}));

    open({});
    EXPECT_TRUE(model().rows().empty());
}

TEST_F(PermanentQuarantineScreenTest, SpellingsOfOneManufacturerShareOneRuleAndItsSwitch) {
    open({made(QStringLiteral("A"), QStringLiteral("Universal Audio")),
          made(QStringLiteral("B"), QStringLiteral("Universal Audio, Inc.")),
          made(QStringLiteral("C"), QStringLiteral("Oxbow"))});
    auto screen = model();
    screen.setEnabled(QStringLiteral("Universal Audio, Inc."), true);
    EXPECT_EQ(screen.rows(),
              (std::vector<Row>{{QStringLiteral("Oxbow"), false, T::offCaption, true},
                                {QStringLiteral("Universal Audio"), true, T::enabledCaption, true},
                                {QStringLiteral("Universal Audio, Inc."), true, T::enabledCaption, false}}));
    ASSERT_EQ(store->permanentQuarantineRules().size(), 1u);
    EXPECT_EQ(store->permanentQuarantineRules()[0].manufacturer, QStringLiteral("Universal Audio, Inc."));

    screen.setEnabled(QStringLiteral("Universal Audio"), false);
    EXPECT_TRUE(store->permanentQuarantineRules().empty());
    EXPECT_FALSE(screen.rows()[1].enabled);
}

TEST_F(PermanentQuarantineScreenTest, ARefusedSaveLeavesTheSwitchWhereItWas) {
    open({made(QStringLiteral("A"), QStringLiteral("Oxbow"))});
    auto screen = model();
    failSaves = true;
    screen.setEnabled(QStringLiteral("Oxbow"), true);
    store->waitForIdle();
    EXPECT_FALSE(screen.rows()[0].enabled);
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Rule Change Not Saved"));
}

// A switch flipped from the keyboard keeps the focus, so the next rule is one Tab away: the rows
// are updated where they stand, the sibling spelling's switch and caption with them, and a refused
// change puts the switch back.
TEST_F(PermanentQuarantineScreenTest, SwitchesFollowTheRulesInPlaceAndKeepTheKeyboardFocus) {
    open({made(QStringLiteral("A"), QStringLiteral("Universal Audio")),
          made(QStringLiteral("B"), QStringLiteral("Universal Audio, Inc.")),
          made(QStringLiteral("C"), QStringLiteral("Oxbow"))});
    PermanentQuarantineView view(
        *store, {[this] { return section; }, [this](std::optional<AppSection> value) { section = value; }});
    view.show();
    const auto row = [&](const char* manufacturer) {
        for (QWidget* line : view.findChildren<QWidget*>(QStringLiteral("ruleRow")))
            if (line->property("manufacturer").toString() == QLatin1String(manufacturer))
                return line;
        return static_cast<QWidget*>(nullptr);
    };
    const auto toggle = [&](const char* manufacturer) {
        return row(manufacturer)->findChild<QCheckBox*>(QStringLiteral("ruleSwitch"));
    };
    const auto flip = [&](const char* manufacturer) {
        QCheckBox* rule = toggle(manufacturer);
        rule->setFocus();
        QTest::keyClick(rule, Qt::Key_Space);
        store->waitForIdle();
        testing::drainEvents();
        return rule;
    };

    QCheckBox* flipped = flip("Universal Audio, Inc.");
    EXPECT_EQ(toggle("Universal Audio, Inc."), flipped);
    EXPECT_TRUE(flipped->hasFocus());
    EXPECT_TRUE(toggle("Universal Audio")->isChecked());
    EXPECT_EQ(row("Universal Audio")->findChild<QLabel*>(QStringLiteral("ruleCaption"))->text(),
              T::enabledCaption);

    failSaves = true;
    EXPECT_FALSE(flip("Oxbow")->isChecked());
    EXPECT_EQ(row("Oxbow")->findChild<QLabel*>(QStringLiteral("ruleCaption"))->text(), T::offCaption);
}

TEST_F(PermanentQuarantineScreenTest, BackToInventoryWritesTheSection) {
    open({});
    model().backToInventory();
    EXPECT_EQ(section, AppSection::inventory);
}

} // namespace
} // namespace quorvane
