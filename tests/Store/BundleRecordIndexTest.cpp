#include "Store/BundleRecordIndex.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

namespace quorvane {
namespace {

Plugin productAt(const std::vector<QString>& paths) {
    Plugin plugin;
    std::vector<PluginBundleRecord> records;
    for (const QString& path : paths) {
        PluginBundleRecord record;
        record.format = QStringLiteral("VST3");
        record.path = path;
        records.push_back(record);
    }
    plugin.bundles = records;
    return plugin;
}

// Records are passed over by their file name before their key is made: every spelling the key
// folds must still be found, and nothing else.
TEST(BundleRecordIndexTest, FindsTheRecordsUnderEveryFoldedSpellingOfAPath) {
    // The path a transaction names, the path a record holds, and whether the one finds the other.
    const std::vector<std::tuple<const char*, QString, QString, bool>> rows{
        {"same path", QStringLiteral("/L/Foo.vst3"), QStringLiteral("/L/Foo.vst3"), true},
        {"other case", QStringLiteral("/L/Foo.vst3"), QStringLiteral("/l/FOO.VST3"), true},
        {"trailing slash", QStringLiteral("/L/Foo.vst3"), QStringLiteral("/L/Foo.vst3/"), true},
        {"dot after the name", QStringLiteral("/L/Foo.vst3"), QStringLiteral("/L/Foo.vst3/."), true},
        {"plain name wanted by a canonical twin", u"/L/a\u037E.vst3"_qs, QStringLiteral("/L/a;.vst3"), true},
        {"canonical twin wanted by a plain name", QStringLiteral("/L/a;.vst3"), u"/L/a\u037E.vst3"_qs, true},
        {"composed and decomposed", u"/L/Caf\u00e9.vst3"_qs, u"/L/Cafe\u0301.vst3"_qs, true},
        {"another name", QStringLiteral("/L/Foo.vst3"), QStringLiteral("/L/Bar.vst3"), false},
        {"another folder", QStringLiteral("/L/Foo.vst3"), QStringLiteral("/M/Foo.vst3"), false},
    };
    const auto any = [](const PluginBundleRecord&) { return true; };
    for (const auto& [name, wanted, recorded, found] : rows) {
        SCOPED_TRACE(name);
        const PluginListEdit plugins(PluginList{productAt({QStringLiteral("/L/Other.vst3")}),
                                                productAt({QStringLiteral("/L/Else.vst3"), recorded})});
        const BundleRecordIndex index(plugins, BundleRecordIndex::By::scannedPath, {wanted});
        const auto match = index.matchOne(plugins, wanted, any);
        ASSERT_EQ(match.has_value(), found);
        if (found) {
            EXPECT_EQ(*match, (BundleRecordIndex::Location{1, 1}));
        }
    }
}

// A quarantined record lies elsewhere, under another name, yet is still found by where it was
// scanned; and by where it lies, whether the list holds it so or the edit has just made it so.
TEST(BundleRecordIndexTest, FindsAQuarantinedRecordByEitherPath) {
    const QString scanned = QStringLiteral("/L/Foo.vst3");
    const QString held = QStringLiteral("/Q/op/Foo (2).vst3");
    const auto quarantine = [&](PluginBundleRecord& record) {
        record.path = scanned;
        record.quarantinePath = held;
        record.quarantineOperationID = QStringLiteral("op");
    };
    Plugin product = productAt({QStringLiteral("/L/Old.vst3")});
    const auto any = [](const PluginBundleRecord&) { return true; };
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited" : "listed");
        Plugin listed = product;
        if (!edited)
            quarantine((*listed.bundles)[0]);
        PluginListEdit plugins(PluginList{productAt({QStringLiteral("/L/Other.vst3")}), listed});
        if (edited)
            quarantine((*plugins.change(1).bundles)[0]);
        for (const auto& [by, path] : {std::pair{BundleRecordIndex::By::scannedPath, scanned},
                                       std::pair{BundleRecordIndex::By::quarantinePath, held}}) {
            const BundleRecordIndex index(plugins, by, {path});
            EXPECT_EQ(index.matchOne(plugins, path, any), (BundleRecordIndex::Location{1, 0}));
        }
    }
}

} // namespace
} // namespace quorvane
