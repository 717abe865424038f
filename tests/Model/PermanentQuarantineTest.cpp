#include "Model/PermanentQuarantineMatch.h"
#include "Model/PermanentQuarantineRule.h"

#include "ModelFixtures.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::activeRecord;
using testing::PinnedTextLocale;
using testing::product;
using testing::quarantinedRecord;

const QString kSystemVst3 = "/Library/Audio/Plug-Ins/VST3/";
const QString kUserVst3 = "/Users/ada/Library/Audio/Plug-Ins/VST3/";
const QString kQuarantine =
    "/Library/Application Support/Quorvane/Quarantine/0F8C2C1E-4D57-4C3B-9C43-2D3B1D7A9E01/";

PermanentQuarantineRule rule(const QString& manufacturer) {
    return {manufacturer, Timestamp{700000000}};
}

class PermanentQuarantineMatchTest : public ::testing::Test {
protected:
    PinnedTextLocale locale;
    // The reinstalled copy and the older quarantined copy live in two product records.
    Plugin reinstalled =
        product("Pro-Q 3", "FabFilter", std::vector{activeRecord("VST3", kSystemVst3 + "Pro-Q 3.vst3")});
    Plugin retired = product(
        "Pro-Q 3", "FabFilter",
        std::vector{quarantinedRecord("VST3", kSystemVst3 + "PRO-Q 3.VST3", kQuarantine + "PRO-Q 3.VST3")});
};

TEST_F(PermanentQuarantineMatchTest, NoRulesNoMatches) {
    EXPECT_TRUE(permanentQuarantineMatches({reinstalled, retired}, {}).empty());
    EXPECT_TRUE(permanentQuarantineMatches({reinstalled, retired}, {rule("Xfer")}).empty());
}

TEST_F(PermanentQuarantineMatchTest, OneActiveAndOneQuarantinedCopyMatch) {
    const auto matches = permanentQuarantineMatches({reinstalled, retired}, {rule("fabfilter")});
    ASSERT_EQ(matches.size(), 1u);
    const PermanentQuarantineMatch expected{
        {reinstalled.id, "VST3|/library/audio/plug-ins/vst3/pro-q 3.vst3"},
        {retired.id, "VST3|/library/audio/plug-ins/vst3/pro-q 3.vst3"},
        "Pro-Q 3",
        "FabFilter",
        "VST3",
    };
    EXPECT_EQ(matches.front(), expected);
}

TEST_F(PermanentQuarantineMatchTest, AmbiguousKeysGiveNoMatch) {
    const Plugin userCopy =
        product("Pro-Q 3", "FabFilter", std::vector{activeRecord("VST3", kUserVst3 + "Pro-Q 3.vst3")});
    EXPECT_TRUE(permanentQuarantineMatches({reinstalled, userCopy, retired}, {rule("FabFilter")}).empty());
    const Plugin secondRetired = product(
        "Pro-Q 3", "FabFilter",
        std::vector{quarantinedRecord("VST3", kUserVst3 + "Pro-Q 3.vst3", kQuarantine + "x/Pro-Q 3.vst3")});
    EXPECT_TRUE(
        permanentQuarantineMatches({reinstalled, retired, secondRetired}, {rule("FabFilter")}).empty());
}

TEST_F(PermanentQuarantineMatchTest, KeyFoldsNameAndFormatCaseButNotAFormatBlank) {
    const auto key = [](const QString& name, const QString& format) {
        return permanentQuarantineMatchKey(product(name, "FabFilter"),
                                           activeRecord(format, kSystemVst3 + "Pro-Q 3.vst3"));
    };
    EXPECT_EQ(key("Pro-Q 3", "VST3"), "fabfilter|pro-q 3|VST3|pro-q 3.vst3");
    EXPECT_EQ(key("PRO-Q 3 ", "vst3"), key("Pro-Q 3", "VST3"));
    EXPECT_EQ(key(QString::fromUtf8("Pr\u00F3-Q 3"), "VST3"), key("Pro-Q 3", "VST3"));
    EXPECT_NE(key("Pro-Q 3", " VST3"), key("Pro-Q 3", "VST3"));

    Plugin accented = retired;
    accented.name = QString::fromUtf8("PR\u00D3-Q 3 ");
    (*accented.bundles)[0].format = "vst3";
    EXPECT_EQ(permanentQuarantineMatches({reinstalled, accented}, {rule("FabFilter")}).size(), 1u);
    (*accented.bundles)[0].format = " VST3";
    EXPECT_TRUE(permanentQuarantineMatches({reinstalled, accented}, {rule("FabFilter")}).empty());
}

TEST_F(PermanentQuarantineMatchTest, ProtectionShellsAndUnstoredRecordsKeepProductsOut) {
    const std::vector<PermanentQuarantineRule> rules{rule("FabFilter"), rule("Waves")};
    Plugin protectedProduct = retired;
    protectedProduct.isProtected = true;
    EXPECT_TRUE(permanentQuarantineMatches({reinstalled, protectedProduct}, rules).empty());
    Plugin protectedRecord = reinstalled;
    (*protectedRecord.bundles)[0].isProtected = true;
    EXPECT_TRUE(permanentQuarantineMatches({protectedRecord, retired}, rules).empty());

    for (const PluginStatus status : {PluginStatus::sharedShell, PluginStatus::hostedByShell}) {
        Plugin shell = reinstalled;
        shell.status = status;
        EXPECT_TRUE(permanentQuarantineMatches({shell, retired}, rules).empty());
    }
    Plugin wavesActive = product("WaveShell1-VST3", "Waves",
                                 std::vector{activeRecord("VST3", kSystemVst3 + "WaveShell.vst3")});
    Plugin wavesRetired = product("WaveShell1-VST3", "Waves",
                                  std::vector{quarantinedRecord("VST3", kSystemVst3 + "WaveShell.vst3",
                                                                kQuarantine + "WaveShell.vst3")});
    EXPECT_TRUE(permanentQuarantineMatches({wavesActive, wavesRetired}, rules).empty());

    Plugin unstored = product("Pro-Q 3", "FabFilter");
    unstored.path = kSystemVst3 + "Pro-Q 3.vst3";
    EXPECT_TRUE(permanentQuarantineMatches({unstored, retired}, rules).empty());
}

TEST_F(PermanentQuarantineMatchTest, UniversalAudioAliasesCoverEachOther) {
    const Plugin active =
        product("LA-2A", "UAD", std::vector{activeRecord("VST3", kSystemVst3 + "LA-2A.vst3")});
    const Plugin old = product(
        "LA-2A", "Universal Audio, Inc.",
        std::vector{quarantinedRecord("VST3", kSystemVst3 + "LA-2A.vst3", kQuarantine + "LA-2A.vst3")});
    const auto matches = permanentQuarantineMatches({old, active}, {rule("Universal Audio Inc.")});
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches.front().active.pluginID, active.id);
    EXPECT_EQ(matches.front().manufacturer, "UAD");
}

TEST_F(PermanentQuarantineMatchTest, MatchesSortByManufacturerThenNameCaseSensitively) {
    const auto pair = [](const QString& name, const QString& manufacturer) {
        return std::pair{
            product(name, manufacturer, std::vector{activeRecord("VST3", kSystemVst3 + name + ".vst3")}),
            product(name, manufacturer,
                    std::vector{quarantinedRecord("VST3", kSystemVst3 + name + ".vst3",
                                                  kQuarantine + name + ".vst3")})};
    };
    std::vector<Plugin> products;
    for (const auto& [name, manufacturer] :
         std::vector<std::pair<QString, QString>>{{"Zeta", "fabFilter"},
                                                  {"Beta", "FabFilter"},
                                                  {"Alpha", "FabFilter"},
                                                  {"Aardvark", "fabFilter"}}) {
        const auto [active, old] = pair(name, manufacturer);
        products.push_back(old);
        products.push_back(active);
    }
    QStringList order;
    for (const PermanentQuarantineMatch& match : permanentQuarantineMatches(products, {rule("FABFILTER")}))
        order.append(match.manufacturer + "/" + match.pluginName);
    EXPECT_EQ(order,
              QStringList({"FabFilter/Alpha", "FabFilter/Beta", "fabFilter/Aardvark", "fabFilter/Zeta"}));
}

TEST(PermanentQuarantineMatchHelperTest, SingleEntriesOnBothSidesOnly) {
    const Plugin plugin = product("X", "Y", std::vector{activeRecord("VST3", "/a/X.vst3")});
    const PermanentQuarantineEntry entry{{plugin.id, "VST3|/a/x.vst3"}, plugin, (*plugin.bundles)[0]};
    PermanentQuarantineTable active{{"k", {entry}}};
    PermanentQuarantineTable retired{{"k", {entry}}};
    EXPECT_TRUE(permanentQuarantineMatch("k", active, retired).has_value());
    EXPECT_FALSE(permanentQuarantineMatch("other", active, retired).has_value());
    retired["k"].push_back(entry);
    EXPECT_FALSE(permanentQuarantineMatch("k", active, retired).has_value());
    EXPECT_FALSE(permanentQuarantineMatch("k", active, {}).has_value());
}

TEST(PermanentQuarantineRuleTest, IdentityEqualityAndJson) {
    PinnedTextLocale locale;
    const PermanentQuarantineRule uad{"UAD", Timestamp{700000000.5}};
    const PermanentQuarantineRule ua{"Universal Audio", Timestamp{700000000.5}};
    EXPECT_EQ(uad.id(), "universal audio");
    EXPECT_EQ(uad.id(), ua.id());
    EXPECT_NE(uad, ua);
    EXPECT_NE(uad, (PermanentQuarantineRule{"UAD", Timestamp{700000001}}));

    EXPECT_EQ(QJsonDocument(toJson(uad)).toJson(QJsonDocument::Compact),
              QByteArray(R"({"enabledAt":700000000.5,"manufacturer":"UAD"})"));
    EXPECT_EQ(permanentQuarantineRuleFromJson(toJson(uad)), uad);
    EXPECT_FALSE(
        permanentQuarantineRuleFromJson(testing::jsonObject(R"({"manufacturer":"UAD"})")).has_value());
    EXPECT_FALSE(permanentQuarantineRuleFromJson(testing::jsonObject(R"({"enabledAt":1})")).has_value());
}

} // namespace
} // namespace quorvane
