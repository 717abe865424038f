#include "Model/SampleInventory.h"

#include <gtest/gtest.h>

#include <set>

namespace quorvane {
namespace {

struct SampleRow {
    const char* name;
    const char* manufacturer;
    const char* version;
    QStringList formats;
    const char* architecture;
    const char* size;
    const char* path;
    PluginStatus status;
    bool isProtected;
};

TEST(SampleInventory, HoldsTheEightProductsInOrder) {
    const QStringList auVst3 = {"AU", "VST3"};
    const QStringList auVst3Aax = {"AU", "VST3", "AAX"};
    const std::vector<SampleRow> expected = {
        {"FabFilter Pro-Q 3", "FabFilter", "3.28", auVst3Aax, "Universal", "39.8 MB",
         "/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3", PluginStatus::protected_, true},
        {"Waves SSL EV2", "Waves", "11.0.0", auVst3, "Universal", "51.2 MB",
         "/Library/Audio/Plug-Ins/Components/SSL EV2.component", PluginStatus::ok, false},
        {"UAD API Vision", "Universal Audio", "1.0.2", auVst3Aax, "Apple Silicon", "78.1 MB",
         "/Library/Audio/Plug-Ins/VST3/API Vision.vst3", PluginStatus::ok, false},
        {"Native Instruments Kontakt 8", "Native Instruments", "8.1.0", auVst3Aax, "Universal", "653.9 MB",
         "/Library/Audio/Plug-Ins/VST3/Kontakt 8.vst3", PluginStatus::protected_, true},
        {"Cradle The God Particle", "Cradle", "1.2.1", auVst3, "Intel", "12.7 MB",
         "/Library/Audio/Plug-Ins/VST3/Cradle The God Particle.vst3", PluginStatus::legacy, false},
        {"Soundtoys Decapitator", "Soundtoys", "5.3.0", auVst3Aax, "Universal", "22.1 MB",
         "/Library/Audio/Plug-Ins/Components/Decapitator.component", PluginStatus::ok, false},
        {"iZotope Ozone 11", "iZotope", "11.0.0", auVst3Aax, "Apple Silicon", "292.4 MB",
         "/Library/Audio/Plug-Ins/VST3/Ozone 11.vst3", PluginStatus::ok, false},
        {"ValhallaVintageVerb", "Valhalla DSP", "2.2.0", auVst3, "Universal", "5.4 MB",
         "/Library/Audio/Plug-Ins/VST3/ValhallaVintageVerb.vst3", PluginStatus::ok, false},
    };
    const std::vector<Plugin>& samples = sampleInventory();
    ASSERT_EQ(samples.size(), expected.size());
    std::set<QString> ids;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Plugin& plugin = samples[i];
        const SampleRow& row = expected[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(plugin.name, QString::fromUtf8(row.name));
        EXPECT_EQ(plugin.manufacturer, QString::fromUtf8(row.manufacturer));
        EXPECT_EQ(plugin.version, QString::fromUtf8(row.version));
        EXPECT_EQ(plugin.formats, row.formats);
        EXPECT_EQ(plugin.architecture, QString::fromUtf8(row.architecture));
        EXPECT_EQ(plugin.size, QString::fromUtf8(row.size));
        EXPECT_EQ(plugin.path, QString::fromUtf8(row.path));
        EXPECT_EQ(plugin.status, row.status);
        EXPECT_EQ(plugin.isProtected, row.isProtected);
        EXPECT_EQ(plugin.originalPath, std::nullopt);
        EXPECT_EQ(plugin.quarantinePath, std::nullopt);
        EXPECT_EQ(plugin.quarantineOperationID, std::nullopt);
        EXPECT_EQ(plugin.bundles, std::nullopt);
        EXPECT_TRUE(plugin.bundleRecords().empty());
        EXPECT_FALSE(plugin.id.isNull());
        ids.insert(plugin.id.toString());
    }
    EXPECT_EQ(ids.size(), samples.size());
}

TEST(SampleInventory, IsBuiltOnceAndShared) {
    const std::vector<Plugin>& first = sampleInventory();
    EXPECT_EQ(&first, &sampleInventory());
    EXPECT_EQ(first.front().id, sampleInventory().front().id);
}

} // namespace
} // namespace quorvane
