#include "Views/Screens/Protected/ProtectedView.h"
#include "TransactionScreenTest.h"
#include "Views/Kit/ProtectedDetailPane.h"
#include "Views/Kit/SymbolLabel.h"

namespace quorvane {
namespace {

using testing::bundleRecord;
using testing::productOfRecords;

class ProtectedScreenTest : public testing::TransactionScreenTest {
protected:
    Plugin protectedProduct(const QString& name, const QString& manufacturer, std::vector<bool> protection) {
        std::vector<PluginBundleRecord> records;
        const QStringList formats{QStringLiteral("AU"), QStringLiteral("VST3")};
        for (std::size_t index = 0; index < protection.size(); ++index)
            records.push_back(bundleRecord(formats.at(qsizetype(index)),
                                           index == 0 ? component(name + QStringLiteral(".component"))
                                                      : vst3(name + QStringLiteral(".vst3")),
                                           protection[index]));
        return productOfRecords(name, manufacturer, std::move(records));
    }
    Plugin hostedByShell(const QString& name) {
        Plugin plugin = productOfRecords(name, QStringLiteral("Waves"), {});
        plugin.status = PluginStatus::hostedByShell;
        return plugin;
    }
    ProtectedViewModel model() {
        return ProtectedViewModel(*store,
                                  {[this] { return selected; },
                                   [this](std::optional<Plugin> plugin) { selected = std::move(plugin); }});
    }
    QStringList names(const std::vector<Plugin>& plugins) const {
        QStringList result;
        for (const Plugin& plugin : plugins)
            result << plugin.name;
        return result;
    }

    std::optional<Plugin> selected;
};

TEST_F(ProtectedScreenTest, ListsEveryProtectedProductInStoreOrderAndCountsItsFormatsAndManufacturers) {
    struct Case {
        const char* name;
        std::vector<Plugin> plugins;
        QStringList listed;
        ProtectedViewModel::Counts counts;
    };
    Plugin quarantinedProtected =
        protectedProduct(QStringLiteral("Held"), QStringLiteral("Orsolind"), {true});
    quarantinedProtected.status = PluginStatus::quarantined;
    const std::vector<Case> cases{
        {"nothing protected",
         {protectedProduct(QStringLiteral("Free"), QStringLiteral("Orsolind"), {false, false})},
         {},
         {0, 0, 0}},
        {"partial, full and a quarantined one",
         {protectedProduct(QStringLiteral("Part"), QStringLiteral("Orsolind"), {true, false}),
          protectedProduct(QStringLiteral("Free"), QStringLiteral("Orsolind"), {false}),
          protectedProduct(QStringLiteral("Full"), QStringLiteral("Fernhill"), {true, true}),
          quarantinedProtected},
         {QStringLiteral("Part"), QStringLiteral("Full"), QStringLiteral("Held")},
         {3, 4, 2}},
        {"a shell-hosted product counts but adds no format",
         {hostedByShell(QStringLiteral("SSL Channel"))},
         {QStringLiteral("SSL Channel")},
         {1, 0, 1}},
        {"manufacturers differing in case count twice",
         {protectedProduct(QStringLiteral("One"), QStringLiteral("orsolind"), {true}),
          protectedProduct(QStringLiteral("Two"), QStringLiteral("Orsolind"), {true})},
         {QStringLiteral("One"), QStringLiteral("Two")},
         {2, 2, 2}},
    };
    for (const Case& test : cases) {
        open(test.plugins);
        const auto screen = model();
        const auto listed = screen.protectedPlugins();
        EXPECT_EQ(names(listed), test.listed) << test.name;
        EXPECT_EQ(ProtectedViewModel::counts(listed), test.counts) << test.name;
    }
}

TEST_F(ProtectedScreenTest, AppearingSelectsTheFirstProtectedProductWhateverWasSelected) {
    const Plugin free = protectedProduct(QStringLiteral("Free"), QStringLiteral("Orsolind"), {false});
    open({free, protectedProduct(QStringLiteral("Part"), QStringLiteral("Orsolind"), {true, false})});
    selected = free;
    auto screen = model();
    screen.appear();
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->name, QStringLiteral("Part"));
    EXPECT_EQ(screen.inspectorBundles().size(), 2u);

    open({free});
    auto empty = model();
    empty.appear();
    EXPECT_FALSE(selected.has_value());
    EXPECT_TRUE(empty.inspectorBundles().empty());
}

TEST_F(ProtectedScreenTest, AfterAChangeTheInspectorShowsTheFreshRecordOrMovesToTheFirstStillProtected) {
    const Plugin first = protectedProduct(QStringLiteral("First"), QStringLiteral("Orsolind"), {true});
    const Plugin second =
        protectedProduct(QStringLiteral("Second"), QStringLiteral("Orsolind"), {true, true});
    open({first, second});
    auto screen = model();

    // Unprotecting one of two formats leaves the product listed: the fresh record is shown.
    screen.setBundleProtection(second, second.bundleRecords().at(0), false);
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->id, second.id);
    EXPECT_FALSE(selected->bundleRecords().at(0).isProtected);

    // Removing its last protected format drops it: the first protected product is shown.
    screen.setProtection(*selected, false);
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->id, first.id);

    screen.setBundleProtection(first, first.bundleRecords().at(0), false);
    EXPECT_FALSE(selected.has_value());
}

TEST_F(ProtectedScreenTest, TheInspectorFollowsProtectionChangedOnAnotherScreen) {
    const Plugin first = protectedProduct(QStringLiteral("First"), QStringLiteral("Orsolind"), {true});
    const Plugin second =
        protectedProduct(QStringLiteral("Second"), QStringLiteral("Orsolind"), {true, true});
    open({first, second});
    ProtectedView view(*store, {[this] { return selected; },
                                [this](std::optional<Plugin> plugin) { selected = std::move(plugin); }});
    view.model().select(second);
    const auto badges = [&view] {
        QStringList texts;
        for (auto* badge : view.findChild<ProtectedDetailPane*>()->findChildren<SymbolLabel*>(
                 QStringLiteral("protectionBadge")))
            texts << badge->text();
        return texts;
    };

    // The store changes without this screen's actions: the inspector shows the fresh record...
    store->setFormatProtection(selection(second), false);
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->id, second.id);
    EXPECT_EQ(badges(), (QStringList{QStringLiteral("Not Protected"), QStringLiteral("Protected")}));

    // ...and moves on once the product has left this screen's list.
    store->setFormatProtection(selection(second, 1), false);
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->id, first.id);
    EXPECT_EQ(badges(), QStringList{QStringLiteral("Protected")});
}

} // namespace
} // namespace quorvane
