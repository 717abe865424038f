#include "Views/Screens/PermanentQuarantine/PermanentQuarantineView.h"
#include "TransactionScreenTest.h"

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

TEST_F(PermanentQuarantineScreenTest, BackToInventoryWritesTheSection) {
    open({});
    model().backToInventory();
    EXPECT_EQ(section, AppSection::inventory);
}

} // namespace
} // namespace quorvane
