#include "Platform/AudioUnitRegistry.h"

#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/FixtureQtPrinters.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvane {

void PrintTo(const AudioUnitComponent& c, std::ostream* out) {
    *out << "{" << c.manufacturerName.toStdString() << " | " << c.name.toStdString() << " | "
         << c.versionString.toStdString() << "}";
}

namespace {

using ::testing::ElementsAre;

QVariantMap component(const QVariant& name, const QVariant& version = {}) {
    QVariantMap entry;
    entry.insert("name", name);
    entry.insert("type", "aufx");
    if (version.isValid())
        entry.insert("version", version);
    return entry;
}

QVariantMap withComponents(const QVariantList& components) {
    QVariantMap info;
    info.insert("CFBundleName", "Shell");
    info.insert("AudioComponents", components);
    return info;
}

TEST(AudioUnitRegistry, ReadsTheComponentsOfEveryComponentBundle) {
    testing::TemporaryTree tree;
    const QString system = tree.makeDirectory("system/Components");
    const QString user = tree.makeDirectory("user/Components");
    testing::writeBundle(tree, "system/Components/WaveShell1-AU 14.0.component",
                         {withComponents({component("Waves: SSL Channel", 0x000E0102),
                                          component("Waves: Waves SSL Channel", "14.0"), component(42),
                                          component("Plain Name")}),
                          {},
                          {},
                          {}});
    testing::writeBundle(tree, "system/Components/Outer.component/Contents/Inner.component",
                         {withComponents({component("Hidden: Nested")}), {}, {}, {}});
    testing::writeBundle(tree, "system/Components/.Hidden.component",
                         {withComponents({component("Hidden: Dot")}), {}, {}, {}});
    testing::writeBundle(tree, "system/Components/NotAComponent.vst",
                         {withComponents({component("Other: Format")}), {}, {}, {}});
    testing::writeBundle(tree, "user/Components/Acme.component",
                         {withComponents({component("Acme: Verb", 0x00010203)}), {}, {}, {}});
    testing::writeBundle(tree, "user/Components/Broken.component", {{}, QByteArray("garbage"), {}, {}});

    const ComponentFolderRegistry registry({system, tree.path("absent/Components"), user});
    EXPECT_THAT(registry.allComponents(),
                ElementsAre(AudioUnitComponent{"Waves", "SSL Channel", "14.1.2"},
                            AudioUnitComponent{"Waves", "Waves SSL Channel", "14.0"},
                            AudioUnitComponent{"", "Plain Name", ""},
                            AudioUnitComponent{"Acme", "Verb", "1.2.3"}));
}

TEST(AudioUnitRegistry, NoFoldersNoComponents) {
    EXPECT_TRUE(ComponentFolderRegistry({}).allComponents().empty());
    EXPECT_TRUE(audioComponentsOf({{"AudioComponents", "not a list"}}).empty());
}

} // namespace
} // namespace quorvane
