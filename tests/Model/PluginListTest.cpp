#include "Model/PluginList.h"

#include "Model/BundlePlaces.h"

#include "Model/Identity.h"

#include "ModelFixtures.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorvane::testing {
namespace {

QStringList names(const PluginList& plugins) {
    QStringList result;
    for (const Plugin& plugin : plugins)
        result.append(plugin.name);
    return result;
}

PluginList threeProducts() {
    return {
        product(QStringLiteral("A"), QStringLiteral("M")),
        product(QStringLiteral("B"), QStringLiteral("M"), std::vector{activeRecord("AU", "/b.component")}),
        product(QStringLiteral("C"), QStringLiteral("M"))};
}

TEST(PluginListTest, AnEditMakesANewListSharingWhatItDidNotTouch) {
    struct Row {
        const char* name;
        std::function<void(PluginListEdit&)> edit;
        QStringList names;
        // Indices into the original list of the products the new list still shares, in its order.
        std::vector<std::size_t> shared;
        // Indices into the original list of the products it names as changed.
        std::vector<std::size_t> changed;
    };
    const PluginList original = threeProducts();
    const std::vector<Plugin> copy = original.toVector();
    const Plugin added = product(QStringLiteral("D"), QStringLiteral("M"));
    const std::vector<Row> rows{
        {"change one",
         [](PluginListEdit& edit) { edit.change(1).version = QStringLiteral("2"); },
         {"A", "B", "C"},
         {0, 2},
         {1}},
        {"change the same one twice",
         [](PluginListEdit& edit) {
             edit.change(1).version = QStringLiteral("2");
             edit.change(1).size = QStringLiteral("1 KB");
         },
         {"A", "B", "C"},
         {0, 2},
         {1}},
        {"replace",
         [](PluginListEdit& edit) {
             Plugin renamed = edit[0];
             renamed.name = QStringLiteral("Z");
             edit.replace(0, std::move(renamed));
         },
         {"Z", "B", "C"},
         {1, 2},
         {0}},
        {"erase", [](PluginListEdit& edit) { edit.erase(1); }, {"A", "C"}, {0, 2}, {1}},
        {"add", [&](PluginListEdit& edit) { edit.push_back(added); }, {"A", "B", "C", "D"}, {0, 1, 2}, {}},
        // Only A and C are single-format products without records.
        {"store synthesised records",
         [](PluginListEdit& edit) { edit.materializeBundleRecords(); },
         {"A", "B", "C"},
         {1},
         {0, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const PluginList before = original;
        PluginListEdit edit(before);
        row.edit(edit);
        const PluginList after = edit.list();

        EXPECT_EQ(names(after), row.names);
        EXPECT_EQ(before, copy) << "the list edited from never changes";
        for (const std::size_t index : row.shared) {
            const auto found = std::ranges::find(after.items(), original.item(index));
            EXPECT_NE(found, after.items().end()) << index;
        }
        QSet<QUuid> changed;
        for (const std::size_t index : row.changed)
            changed.insert(original[index].id);
        if (after.size() > original.size())
            changed.insert(after.back().id);
        EXPECT_EQ(edit.changedIDs(), changed);
        EXPECT_FALSE(after.isSameList(before));
    }
}

TEST(PluginListTest, AnEditThatChangesNothingGivesTheVeryList) {
    const PluginList original = {
        product(QStringLiteral("B"), QStringLiteral("M"), std::vector{activeRecord("AU", "/b.component")})};
    PluginListEdit edit(original);
    edit.materializeBundleRecords();
    EXPECT_FALSE(edit.changedAny());
    EXPECT_TRUE(edit.list().isSameList(original));
    EXPECT_TRUE(edit.changedIDs().isEmpty());
}

TEST(PluginListTest, AChangeAfterTheListWasMadeLeavesThatListAlone) {
    PluginListEdit edit(threeProducts());
    edit.change(0).version = QStringLiteral("2");
    const PluginList published = edit.list();
    edit.change(0).version = QStringLiteral("3");
    EXPECT_EQ(published[0].version, QStringLiteral("2"));
    EXPECT_EQ(edit.list()[0].version, QStringLiteral("3"));
}

// Lookups by protection key and by id, the quarantined products and the counts are read from what
// the list keeps beside its products, which every kind of edit, and every list made from an edit,
// must keep in step with the products.
TEST(PluginListTest, LookupsFollowEveryEdit) {
    const auto expected = [](const PluginListEdit& edit, const ProductKeySet& keys) {
        std::vector<std::size_t> indices;
        for (std::size_t index = 0; index < edit.size(); ++index) {
            if (keys.contains(productProtectionKey(edit[index])))
                indices.push_back(index);
        }
        return indices;
    };
    const auto expectLookupsOf = [](const PluginList& list) {
        PluginList::Counts counts;
        for (std::size_t index = 0; index < list.size(); ++index) {
            const Plugin& plugin = list[index];
            EXPECT_EQ(list.idAt(index), plugin.id);
            EXPECT_EQ(list.indexOf(plugin.id), index);
            EXPECT_EQ(list.isQuarantinedAt(index), isQuarantinedProduct(plugin));
            qsizetype quarantined = 0;
            plugin.forEachBundleRecord(
                [&](const PluginBundleRecord& record) { quarantined += record.isQuarantined() ? 1 : 0; });
            EXPECT_EQ(list.quarantinedBundlesAt(index), quarantined);
            EXPECT_EQ(list.placeNameBitsAt(index), placeNameBits(plugin));
            counts.active += isActiveProduct(plugin) ? 1 : 0;
            counts.protectedProducts += plugin.isProtected ? 1 : 0;
            counts.quarantinedBundles += quarantined;
        }
        EXPECT_EQ(list.counts().active, counts.active);
        EXPECT_EQ(list.counts().protectedProducts, counts.protectedProducts);
        EXPECT_EQ(list.counts().quarantinedBundles, counts.quarantinedBundles);
        EXPECT_FALSE(list.indexOf(QUuid()).has_value());
    };
    const ProductKeySet keys{QStringLiteral("m|b"), QStringLiteral("äpfel gmbh|ö"), QStringLiteral("m|z")};
    PluginListEdit edit(PluginList{product(QStringLiteral("A"), QStringLiteral("M")),
                                   product(QStringLiteral("B"), QStringLiteral("m")),
                                   product(QStringLiteral("Ö"), QStringLiteral("ÄPFEL GmbH"))});
    const std::vector<std::pair<const char*, std::function<void()>>> steps{
        {"as loaded", [] {}},
        {"renamed in place", [&] { edit.change(0).name = QStringLiteral("Z"); }},
        {"renamed away", [&] { edit.change(1).name = QStringLiteral("Y"); }},
        {"a list made", [&] { edit = PluginListEdit(edit.list()); }},
        {"erased before others", [&] { edit.erase(0); }},
        {"added", [&] { edit.push_back(product(QStringLiteral("b"), QStringLiteral("M"))); }},
        {"replaced", [&] { edit.replace(0, product(QStringLiteral("Z"), QStringLiteral("M"))); }},
        {"protected and quarantined in place",
         [&] {
             Plugin& protectedOne = edit.change(1);
             protectedOne.isProtected = true;
             // Quarantined by its own fields, without a stored record.
             protectedOne.quarantinePath = QStringLiteral("/q/y.vst3");
             protectedOne.quarantineOperationID = QStringLiteral("OP");
             edit.change(0).bundles = std::vector{quarantinedRecord(
                 QStringLiteral("VST3"), QStringLiteral("/z.vst3"), QStringLiteral("/q/z.vst3"))};
         }},
        {"another list made", [&] { edit = PluginListEdit(edit.list()); }},
        {"only the active kept", [&] { edit = PluginListEdit(edit.list().activeOnly()); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        step();
        EXPECT_EQ(edit.indicesUnderProtectionKeys(keys), expected(edit, keys));
        expectLookupsOf(edit.list());
    }
    EXPECT_TRUE(edit.indicesUnderProtectionKeys({}).empty());
    const PluginList list = edit.list();
    EXPECT_EQ(list.size(), 2u) << "the quarantined product left the active list";
    EXPECT_TRUE(list.activeOnly().isSameList(list));
}

} // namespace
} // namespace quorvane::testing
