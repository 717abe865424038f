#include "Model/Plugin.h"
#include "Model/PluginList.h"

#include "ModelFixtures.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::activeRecord;
using testing::PinnedTextLocale;
using testing::product;
using testing::quarantinedRecord;

const QString kVst3 = "/Library/Audio/Plug-Ins/VST3/";
const QString kComponents = "/Library/Audio/Plug-Ins/Components/";
const QString kQuarantine = "/Library/Application Support/Quorvane/Quarantine/Op/";

QStringList formatsAndPaths(const std::vector<PluginBundleRecord>& records) {
    QStringList result;
    for (const PluginBundleRecord& record : records)
        result.append(record.format + " " + record.path);
    return result;
}

TEST(BundleRecordsTest, HostedByShellHasNoRecordsAndAppearsNowhere) {
    Plugin hosted = product(
        "CLA-76", "Waves",
        std::vector{activeRecord("AU", kComponents + "A.component"), activeRecord("VST3", kVst3 + "A.vst3"),
                    quarantinedRecord("VST2", "/Library/Audio/Plug-Ins/VST/A.vst", kQuarantine + "A.vst")});
    hosted.status = PluginStatus::hostedByShell;
    EXPECT_TRUE(hosted.bundleRecords().empty());
    EXPECT_TRUE(activeBundlePaths({hosted}).empty());
    EXPECT_TRUE(activeBundleSelections({hosted}).empty());
    EXPECT_TRUE(quarantinedBundleSelections({hosted}).empty());
    EXPECT_EQ(hosted.derivedStatus(), PluginStatus::hostedByShell);
}

TEST(BundleRecordsTest, SingleFormatProductWithoutStoredRecordsSynthesisesOne) {
    Plugin plugin = product("Serum", "Xfer");
    plugin.isProtected = true;
    plugin.originalPath = kVst3 + "Serum.vst3";
    plugin.quarantineOperationID = "op";
    for (const bool emptyList : {false, true}) {
        plugin.bundles = emptyList ? std::optional(std::vector<PluginBundleRecord>{}) : std::nullopt;
        const std::vector<PluginBundleRecord> records = plugin.bundleRecords();
        ASSERT_EQ(records.size(), 1u);
        PluginBundleRecord expected;
        expected.format = "VST3";
        expected.architecture = plugin.architecture;
        expected.size = plugin.size;
        expected.path = plugin.path;
        expected.originalPath = plugin.originalPath;
        expected.quarantineOperationID = "op";
        expected.isProtected = true;
        EXPECT_EQ(records.front(), expected);
    }
    plugin.formats = {"AU", "VST3"};
    EXPECT_TRUE(plugin.bundleRecords().empty());
    plugin.formats = {};
    EXPECT_TRUE(plugin.bundleRecords().empty());
}

TEST(BundleRecordsTest, StoredRecordsComeInDisplayOrderCaseSensitively) {
    const Plugin plugin = product(
        "Diva", "u-he",
        std::vector{activeRecord("VST3", "/b/Diva.vst3"), activeRecord("AU", "/z/Diva.component"),
                    activeRecord("au", "/a/Diva.component"), activeRecord("AU", "/a/Diva.component")});
    EXPECT_EQ(formatsAndPaths(plugin.bundleRecords()),
              QStringList({"AU /a/Diva.component", "AU /z/Diva.component", "VST3 /b/Diva.vst3",
                           "au /a/Diva.component"}));
    EXPECT_EQ(formatsAndPaths(*plugin.bundles).front(), "VST3 /b/Diva.vst3");
}

TEST(DerivedStatusTest, QuarantineThenShellsThenProtectionThenBase) {
    PinnedTextLocale locale;
    Plugin plugin = product(
        "Diva", "u-he",
        std::vector{quarantinedRecord("AU", kComponents + "Diva.component", kQuarantine + "Diva.component"),
                    quarantinedRecord("VST3", kVst3 + "Diva.vst3", kQuarantine + "Diva.vst3")});
    plugin.isProtected = true;
    (*plugin.bundles)[0].isProtected = true;
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::quarantined);
    (*plugin.bundles)[1] = activeRecord("VST3", kVst3 + "Diva.vst3");
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::partiallyQuarantined);
    (*plugin.bundles)[0] = activeRecord("AU", kComponents + "Diva.component", true);
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::partiallyProtected);
    (*plugin.bundles)[1].isProtected = true;
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::protected_);
    (*plugin.bundles)[0].isProtected = false;
    (*plugin.bundles)[1].isProtected = false;
    plugin.architecture = "Intel";
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::legacy);
    plugin.status = PluginStatus::sharedShell;
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::sharedShell);
    EXPECT_EQ(plugin.baseStatus(), PluginStatus::sharedShell);
}

TEST(DerivedStatusTest, OnlyHalfAQuarantineCountsAsActive) {
    PluginBundleRecord halfway = activeRecord("VST3", kVst3 + "X.vst3");
    halfway.quarantinePath = kQuarantine + "X.vst3";
    EXPECT_FALSE(halfway.isQuarantined());
    const Plugin plugin = product("X", "Y", std::vector{halfway});
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::ok);
    EXPECT_EQ(activeBundleSelections({plugin}).size(), 1u);
    EXPECT_TRUE(quarantinedBundleSelections({plugin}).empty());
    EXPECT_EQ(activeBundlePaths({plugin}).size(), 1u);
}

TEST(DerivedStatusTest, LegacyNeedsTheExactArchitectureText) {
    Plugin plugin = product("Old", "Maker", std::nullopt, {});
    plugin.architecture = "Intel";
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::legacy);
    plugin.architecture = "intel";
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::ok);
    plugin.isProtected = true;
    EXPECT_EQ(plugin.derivedStatus(), PluginStatus::protected_);
}

TEST(ApplyFormatProtectionTest, MandatoryShellsAndForeignSelectionsAreRefused) {
    PinnedTextLocale locale;
    Plugin shell = product("WaveShell1-VST3 14.12", "Waves",
                           std::vector{activeRecord("VST3", kVst3 + "WaveShell.vst3")});
    const Plugin before = shell;
    for (const bool protect : {true, false}) {
        EXPECT_EQ(shell.applyFormatProtection({shell.id, "no such key"}, protect),
                  FormatProtectionOutcome::mandatoryShell());
        EXPECT_EQ(shell, before);
    }
    Plugin plugin = product("Diva", "u-he", std::vector{activeRecord("VST3", kVst3 + "Diva.vst3")});
    const QString key = (*plugin.bundles)[0].id();
    EXPECT_EQ(plugin.applyFormatProtection({QUuid::createUuid(), key}, true),
              FormatProtectionOutcome::recordNotFound());
    EXPECT_EQ(plugin.applyFormatProtection({plugin.id, key.toLower()}, true),
              FormatProtectionOutcome::recordNotFound());

    Plugin withoutRecords = product("Serum", "Xfer");
    const QString synthesisedKey = withoutRecords.bundleRecords().front().id();
    EXPECT_EQ(withoutRecords.applyFormatProtection({withoutRecords.id, synthesisedKey}, true),
              FormatProtectionOutcome::recordNotFound());
    EXPECT_FALSE(withoutRecords.isProtected);
}

TEST(ApplyFormatProtectionTest, ChangesTheFirstMatchingRecordAndTheProductFlag) {
    Plugin plugin = product("Diva", "u-he",
                            std::vector{activeRecord(" VST3", kVst3 + "Diva.vst3", true),
                                        activeRecord("AU", kComponents + "Diva.component", true),
                                        activeRecord("VST3", kVst3 + "DIVA.vst3", false)});
    plugin.isProtected = true;
    plugin.status = PluginStatus::protected_;
    const QString vst3Key = "VST3|" + kVst3.toLower() + "diva.vst3";

    EXPECT_EQ(plugin.applyFormatProtection({plugin.id, vst3Key}, true),
              FormatProtectionOutcome::unchanged(" VST3"));
    EXPECT_EQ(plugin.applyFormatProtection({plugin.id, vst3Key}, false),
              FormatProtectionOutcome::changed(" VST3"));
    EXPECT_FALSE((*plugin.bundles)[0].isProtected);
    EXPECT_FALSE((*plugin.bundles)[2].isProtected);
    EXPECT_TRUE(plugin.isProtected);
    EXPECT_EQ(plugin.status, PluginStatus::protected_);

    const QString auKey = (*plugin.bundles)[1].id();
    EXPECT_EQ(plugin.applyFormatProtection({plugin.id, auKey}, false),
              FormatProtectionOutcome::changed("AU"));
    EXPECT_FALSE(plugin.isProtected);
    EXPECT_EQ(plugin.applyFormatProtection({plugin.id, auKey}, true), FormatProtectionOutcome::changed("AU"));
    EXPECT_TRUE(plugin.isProtected);
}

TEST(BundleSelectionsTest, SelectionsFollowProductThenDisplayOrder) {
    Plugin first = product(
        "Diva", "u-he",
        std::vector{activeRecord("VST3", kVst3 + "Diva.vst3"),
                    quarantinedRecord("AU", kComponents + "Diva.component", kQuarantine + "Diva.component"),
                    activeRecord("AAX", "/Library/Application Support/Avid/Audio/Plug-Ins/Diva.aaxplugin")});
    Plugin second = product("Serum", "Xfer");
    Plugin duplicate = second;

    const std::vector<PluginBundleSelection> active = activeBundleSelections({first, second, duplicate});
    const std::vector<PluginBundleSelection> expectedActive{
        {first.id, "AAX|/library/application support/avid/audio/plug-ins/diva.aaxplugin"},
        {first.id, "VST3|/library/audio/plug-ins/vst3/diva.vst3"},
        {second.id, "VST3|/library/audio/plug-ins/vst3/serum.vst3"},
        {second.id, "VST3|/library/audio/plug-ins/vst3/serum.vst3"},
    };
    EXPECT_EQ(active, expectedActive);
    const std::vector<PluginBundleSelection> expectedQuarantined{
        {first.id, "AU|/library/audio/plug-ins/components/diva.component"}};
    EXPECT_EQ(quarantinedBundleSelections({first, second}), expectedQuarantined);
}

TEST(BundleSelectionsTest, ActivePathsUseThePathNotTheOriginal) {
    PluginBundleRecord active = activeRecord("VST3", "/Library/Audio/Plug-Ins/VST3/./Diva.vst3");
    active.originalPath = "/Elsewhere/Diva.vst3";
    const Plugin plugin = product(
        "Diva", "u-he",
        std::vector{active, activeRecord("AU", "/Library/Audio/Plug-Ins/VST3/diva.vst3"),
                    quarantinedRecord("AU", kComponents + "Diva.component", kQuarantine + "Diva.component")});
    const auto paths = activeBundlePaths({plugin});
    EXPECT_EQ(paths.size(), 1u);
    EXPECT_TRUE(paths.contains("/library/audio/plug-ins/vst3/diva.vst3"));
}

TEST(PluginBundleSelectionTest, JsonEqualityAndHashing) {
    const QUuid id("{6f1c3a52-8d4e-4b1a-9a57-0c2e5d7b9f13}");
    const auto decoded = pluginBundleSelectionFromJson(testing::jsonObject(
        R"({"pluginID":"6f1c3a52-8d4e-4b1a-9a57-0c2e5d7b9f13","bundleID":"VST3|/a.vst3"})"));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, (PluginBundleSelection{id, "VST3|/a.vst3"}));
    EXPECT_EQ(toJson(*decoded).value("pluginID").toString(), "6F1C3A52-8D4E-4B1A-9A57-0C2E5D7B9F13");
    EXPECT_FALSE(pluginBundleSelectionFromJson(
        testing::jsonObject(R"({"pluginID":"6f1c3a52-8d4e-4b1a-9a57-0c2e5d7b9f13"})")));
    EXPECT_FALSE(pluginBundleSelectionFromJson(
        testing::jsonObject(R"({"pluginID":"Diva","bundleID":"VST3|/a.vst3"})")));

    std::unordered_set<PluginBundleSelection> set{
        {id, "VST3|/a.vst3"}, {id, "VST3|/a.vst3"}, {id, "VST3|/A.vst3"}};
    EXPECT_EQ(set.size(), 2u);
}

} // namespace
} // namespace quorvane
