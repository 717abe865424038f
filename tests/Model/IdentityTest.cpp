#include "Model/Identity.h"
#include "Model/Plugin.h"

#include "ModelFixtures.h"

#include <gtest/gtest.h>

#include <utility>

namespace quorvane {
namespace {

using testing::activeRecord;
using testing::PinnedTextLocale;
using testing::product;

TEST(BundleKeyTest, NormalisesFormatAndPath) {
    EXPECT_EQ(bundleKey(" vst3", "/Library/Audio/Plug-Ins/VST3/./Foo.vst3"),
              "VST3|/library/audio/plug-ins/vst3/foo.vst3");
    const QString expected = "AU|/library/audio/plug-ins/components/x.component";
    EXPECT_EQ(bundleKey("AU", "/Library/Audio/Plug-Ins/Components/X.component"), expected);
    EXPECT_EQ(bundleKey(" au\n", "/library/audio/plug-ins/components//x.component"), expected);
    EXPECT_EQ(bundleKey("AU", "/Library/Audio/Plug-Ins/Other/../Components/X.component/"), expected);
}

TEST(BundleKeyTest, PathIsNotTrimmed) {
    EXPECT_EQ(bundleKey("VST3", "/Plug-Ins/Foo.vst3 "), "VST3|/plug-ins/foo.vst3 ");
}

TEST(FormatTableTest, FiveFormatsInCanonicalOrderWithTheirExtensions) {
    EXPECT_EQ(canonicalPluginFormats(), QStringList({"AU", "VST2", "VST3", "AAX", "CLAP"}));
    const QMap<QString, QString> expected{
        {"AU", "component"}, {"VST2", "vst"}, {"VST3", "vst3"}, {"AAX", "aaxplugin"}, {"CLAP", "clap"}};
    EXPECT_EQ(pluginFormatExtensions(), expected);
    EXPECT_EQ(normalizedFormat("\tclap \n"), "CLAP");
}

TEST(ManufacturerKeyTest, UniversalAudioAliasesShareOneKey) {
    PinnedTextLocale locale;
    for (const char* name : {"  Universal Audio, Inc.  ", "UAD", "Universal Audio", "universal audio inc.",
                             "UNIVERSAL AUDIO, INC.", "\tuad\n"})
        EXPECT_EQ(manufacturerKey(QString::fromUtf8(name)), "universal audio") << name;
    EXPECT_EQ(manufacturerKey("Universal Audio Inc"), "universal audio inc");
    EXPECT_EQ(manufacturerKey("Universal  Audio"), "universal  audio");
    EXPECT_EQ(manufacturerKey("UAD-2"), "uad-2");
}

TEST(ManufacturerKeyTest, FoldsCaseAndDiacritics) {
    PinnedTextLocale locale;
    EXPECT_EQ(manufacturerKey(QString::fromUtf8("\u00C9clat Sound")), "eclat sound");
    EXPECT_EQ(manufacturerKey("ECLAT SOUND"), "eclat sound");
    EXPECT_EQ(manufacturerKey(QString::fromUtf8("E\u0301clat Sound ")), "eclat sound");
}

TEST(ManufacturerKeyTest, FoldingFollowsTheTextLocale) {
    {
        PinnedTextLocale locale("en_US");
        EXPECT_EQ(manufacturerKey("IZOTOPE"), manufacturerKey("iZotope"));
    }
    PinnedTextLocale locale("tr_TR");
    // Turkish folds a capital I to the dotless i.
    EXPECT_EQ(manufacturerKey("IZOTOPE"), QString::fromUtf8("\u0131zotope"));
    EXPECT_EQ(manufacturerKey(QString::fromUtf8("\u0130ZOTOPE")), "izotope");
}

TEST(ProductProtectionKeyTest, LowercasesTheWholeUntrimmedKey) {
    EXPECT_EQ(productProtectionKey("FabFilter ", "Pro-Q 3"), "fabfilter |pro-q 3");
    EXPECT_EQ(productProtectionKey(product("Serum", "Xfer Records")), "xfer records|serum");
}

TEST(ProductProtectionKeyTest, TheKeyBuiltInPlaceIsTheStoredKey) {
    const std::pair<QString, QString> cases[] = {
        {"FabFilter ", "Pro-Q 3"}, {"", ""},          {"ACME@[Z]", "`a{z}|"},
        {"Äpfel", "Saft"},         {"Maker", "ÉCHO"}, {"İZOTOPE", "Ozone"},
    };
    for (const auto& [manufacturer, name] : cases) {
        SCOPED_TRACE(qPrintable(manufacturer + '/' + name));
        const QString inPlace = withProductProtectionKey(
            manufacturer, name, [](const QString& key) { return QString(key.constData(), key.size()); });
        EXPECT_EQ(inPlace, productProtectionKey(manufacturer, name));
    }
}

struct ShellCase {
    const char* manufacturer;
    const char* name;
    PluginStatus status;
    bool sharedShell;
    bool mandatoryShell;
};

TEST(ShellRuleTest, SharedAndMandatoryShells) {
    PinnedTextLocale locale;
    const ShellCase cases[] = {
        {"Waves", "WaveShell1-VST3 14.12", PluginStatus::ok, true, true},
        {"waves", "WaveShell1-VST3 14.12", PluginStatus::ok, false, false},
        {"Waves ", "WaveShell1-VST3 14.12", PluginStatus::ok, false, false},
        {"Waves", "Eggshells", PluginStatus::ok, true, true},
        {"Waves", "SHELLAC", PluginStatus::legacy, true, true},
        {"Waves", "CLA-76", PluginStatus::ok, false, false},
        {"Waves", "CLA-76", PluginStatus::hostedByShell, false, true},
        {"Other", "Anything", PluginStatus::sharedShell, true, true},
        {"Other", "WaveShell", PluginStatus::ok, false, false},
    };
    for (const ShellCase& c : cases) {
        Plugin plugin = product(c.name, c.manufacturer);
        plugin.status = c.status;
        EXPECT_EQ(plugin.isSharedShell(), c.sharedShell) << c.manufacturer << "/" << c.name;
        EXPECT_EQ(plugin.isMandatoryShell(), c.mandatoryShell) << c.manufacturer << "/" << c.name;
    }
}

TEST(ProtectionLevelTest, LevelsFromShellsRecordsAndProductFlag) {
    PinnedTextLocale locale;
    Plugin hosted = product("CLA-76", "Waves");
    hosted.status = PluginStatus::hostedByShell;
    EXPECT_EQ(hosted.protectionLevel(), 3);
    EXPECT_FALSE(hosted.isSharedShell());

    Plugin single = product("Serum", "Xfer");
    EXPECT_EQ(single.protectionLevel(), 0);
    single.isProtected = true;
    EXPECT_EQ(single.protectionLevel(), 2);
    single.bundles = std::vector<PluginBundleRecord>{};
    EXPECT_EQ(single.protectionLevel(), 2);

    Plugin twoRecords = product("Diva", "u-he",
                                std::vector{activeRecord("AU", "/a/Diva.component", true),
                                            activeRecord("VST3", "/a/Diva.vst3", false)});
    for (const bool productFlag : {false, true}) {
        twoRecords.isProtected = productFlag;
        EXPECT_EQ(twoRecords.protectionLevel(), 1);
    }
    (*twoRecords.bundles)[1].isProtected = true;
    twoRecords.isProtected = false;
    EXPECT_EQ(twoRecords.protectionLevel(), 2);
    for (PluginBundleRecord& record : *twoRecords.bundles)
        record.isProtected = false;
    twoRecords.isProtected = true;
    EXPECT_EQ(twoRecords.protectionLevel(), 0);
}

} // namespace
} // namespace quorvane
