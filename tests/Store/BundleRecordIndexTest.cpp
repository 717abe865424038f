#include "Store/BundleRecordIndex.h"

#include <gtest/gtest.h>

#include <tuple>
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
    const auto pathOf = [](const PluginBundleRecord& record) { return record.path; };
    const auto any = [](const PluginBundleRecord&) { return true; };
    for (const auto& [name, wanted, recorded, found] : rows) {
        SCOPED_TRACE(name);
        const std::vector<Plugin> plugins{productAt({QStringLiteral("/L/Other.vst3")}),
                                          productAt({QStringLiteral("/L/Else.vst3"), recorded})};
        const BundleRecordIndex index(plugins, pathOf, {wanted});
        const auto match = index.matchOne(plugins, wanted, any);
        ASSERT_EQ(match.has_value(), found);
        if (found) {
            EXPECT_EQ(*match, (BundleRecordIndex::Location{1, 1}));
        }
    }
}

} // namespace
} // namespace quorvane
