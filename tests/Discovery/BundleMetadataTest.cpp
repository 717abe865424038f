#include "DiscoveryTestSupport.h"

#include "Discovery/ScannerTexts.h"
#include "Platform/PropertyList.h"

#include <QFile>
#include <QStringEncoder>

#include <plist/plist.h>

#include <cstdlib>
#include <sys/stat.h>

namespace quorvane {
namespace {

using PluginScanner::DiscoveredBundle;
using testing::BundleLayout;
using testing::cpuTypeArm64;
using testing::cpuTypeX86_64;
using testing::thinMachO;
using testing::universalMachO;

class BundleMetadataTest : public testing::ScanFixture {
protected:
    DiscoveredBundle read(const QString& relative, const BundleLayout& layout,
                          const QString& format = "VST3") {
        return PluginScanner::readBundle(testing::writeBundle(tree, relative, layout), format, control);
    }
};

TEST_F(BundleMetadataTest, NonBlankStringsAreTrimmedOnlyForTheTest) {
    struct Row {
        QVariant value;
        std::optional<QString> expected;
    };
    const QList<Row> rows{
        {QString("Reverb"), QString("Reverb")},
        {QString("  Padded  "), QString("  Padded  ")},
        {QString("   "), std::nullopt},
        {QString("\t \t"), std::nullopt},
        {QString(QChar(0x00A0)), std::nullopt}, // a no-break space is a space
        {QString("\n"), QString("\n")},         // line breaks are not trimmed
        {QString(), std::nullopt},
        {QVariant(42), std::nullopt},
        {QVariant(QByteArray("bytes")), std::nullopt},
        {QVariant(), std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PluginScanner::nonBlankString(row.value), row.expected)
            << row.value.toString().toStdString();
}

TEST_F(BundleMetadataTest, ABundleWithoutInfoPlistFallsBackEverywhere) {
    const DiscoveredBundle bundle = read("Reverb.vst3", {{}, {}, {}, {{"Contents/Resources/x.bin", "123"}}});
    EXPECT_EQ(bundle.name, "Reverb");
    EXPECT_EQ(bundle.version, ScannerTexts::unavailable);
    EXPECT_EQ(bundle.manufacturer, ScannerTexts::unknown);
    EXPECT_EQ(bundle.architecture, ScannerTexts::unknown);
    EXPECT_EQ(bundle.format, "VST3");
    EXPECT_EQ(bundle.byteSize, 3);
    EXPECT_EQ(bundle.path, tree.path("Reverb.vst3"));
}

TEST_F(BundleMetadataTest, NamesAndVersionsTakeTheFirstNonBlankKey) {
    QVariantMap info;
    info.insert("CFBundleDisplayName", "   ");
    info.insert("CFBundleName", "Fallback Name");
    info.insert("CFBundleShortVersionString", "\t");
    info.insert("CFBundleVersion", "102");
    EXPECT_EQ(read("A.vst3", {info, {}, {}, {}}).name, "Fallback Name");
    EXPECT_EQ(read("B.vst3", {info, {}, {}, {}}).version, "102");

    info.insert("CFBundleDisplayName", " Shown Name ");
    info.insert("CFBundleShortVersionString", "2.5.1");
    const DiscoveredBundle shown = read("C.vst3", {info, {}, {}, {}});
    EXPECT_EQ(shown.name, " Shown Name ");
    EXPECT_EQ(shown.version, "2.5.1");

    QVariantMap wrongTypes;
    wrongTypes.insert("CFBundleName", 12);
    wrongTypes.insert("CFBundleVersion", QVariantList{"1"});
    const DiscoveredBundle typed = read("Plain.Name.vst3", {wrongTypes, {}, {}, {}});
    EXPECT_EQ(typed.name, "Plain.Name");
    EXPECT_EQ(typed.version, ScannerTexts::unavailable);
}

TEST_F(BundleMetadataTest, ManufacturerRulesInOrder) {
    struct Row {
        const char* name;
        QVariantMap info;
        std::optional<QString> identifier;
        QString expected;
    };
    const auto info = [](std::initializer_list<std::pair<QString, QVariant>> pairs) {
        QVariantMap map;
        for (const auto& [key, value] : pairs)
            map.insert(key, value);
        return map;
    };
    const QList<Row> rows{
        {"identifier with a dash", {}, QString("com.acme-labs.reverb"), "Acme Labs"},
        {"only stop words and digits", {}, QString("com.audio.vst3.123"), "Unknown"},
        {"no identifier", {}, std::nullopt, "Unknown"},
        {"display table before the plist keys",
         info({{"CFBundleName", "FabFilter Pro-Q 3"}, {"Manufacturer", "Someone"}}), std::nullopt,
         "FabFilter"},
        {"table searched in the identifier",
         {},
         QString("com.native-instruments.massive"),
         "Native Instruments"},
        {"waveshell row first", info({{"CFBundleDisplayName", "WaveShell1-AU"}}), std::nullopt, "Waves"},
        {"table order, not text order", info({{"CFBundleName", "izotope by fabfilter"}}), std::nullopt,
         "FabFilter"},
        {"blank display name left out",
         info({{"CFBundleDisplayName", "  "}, {"CFBundleName", "Valhalla Room"}}), std::nullopt,
         "Valhalla DSP"},
        {"AudioUnitManufacturer before Manufacturer",
         info({{"AudioUnitManufacturer", " Acme Audio "}, {"Manufacturer", "Other"}}), QString("com.x.y"),
         " Acme Audio "},
        {"Manufacturer", info({{"Manufacturer", "Other"}}), QString("com.x.y"), "Other"},
        {"blank plist manufacturer", info({{"Manufacturer", " "}}), QString("com.zeta.y"), "Zeta"},
        {"capitalised word by word", {}, QString("net.UPPER-case.x"), "Upper Case"},
        {"parts without a letter skipped", {}, QString("org..3.x9"), "X9"},
        {"stop words in any case", {}, QString("COM.Plugins.AAX.vendor"), "Vendor"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PluginScanner::resolveManufacturer(row.info, row.identifier), row.expected) << row.name;
}

TEST_F(BundleMetadataTest, ArchitectureOfTheBundleExecutable) {
    const auto withExecutable = [&](const QString& name, const QByteArray& executable) {
        return read(name, {testing::bundleInfo("X", "com.x.y", "1"), {}, executable, {}}).architecture;
    };
    EXPECT_EQ(withExecutable("Arm.vst3", thinMachO(cpuTypeArm64)), ScannerTexts::appleSilicon);
    EXPECT_EQ(withExecutable("Fat.vst3", universalMachO({cpuTypeX86_64, cpuTypeArm64})),
              ScannerTexts::universal);
    EXPECT_EQ(withExecutable("Intel.vst3", thinMachO(cpuTypeX86_64, false, false)), ScannerTexts::intel);
    EXPECT_EQ(withExecutable("Past.vst3", universalMachO({cpuTypeArm64}, false, false, 2)),
              ScannerTexts::unknown);
    EXPECT_EQ(withExecutable("Short.vst3", QByteArray("\xCF\xFA\xED", 3)), ScannerTexts::unknown);

    // The executable's name may only name a file inside the bundle.
    tree.writeFile("Outside", thinMachO(cpuTypeArm64));
    EXPECT_EQ(read("Escape.vst3", {testing::bundleInfo("X", "com.x.y", "1", "../../Outside"), {}, {}, {}})
                  .architecture,
              ScannerTexts::unknown);
    EXPECT_EQ(
        read("Missing.vst3", {testing::bundleInfo("X", "com.x.y", "1", "Nothing"), {}, {}, {}}).architecture,
        ScannerTexts::unknown);

    // A bundle without Contents keeps its executable at the top.
    tree.writeFile("Shallow.vst3/Info.plist",
                   testing::xmlPropertyList(testing::bundleInfo("Shallow", "a.b", "1")));
    tree.writeFile("Shallow.vst3/Plugin", thinMachO(cpuTypeArm64));
    const DiscoveredBundle shallow = PluginScanner::readBundle(tree.path("Shallow.vst3"), "VST3", control);
    EXPECT_EQ(shallow.name, "Shallow");
    EXPECT_EQ(shallow.architecture, ScannerTexts::appleSilicon);
}

TEST_F(BundleMetadataTest, AClapWithoutExecutableIsExaminedItself) {
    EXPECT_EQ(read("Folder.clap", {QVariantMap{{"CFBundleName", "Folder"}}, {}, {}, {}}, "CLAP").architecture,
              ScannerTexts::unknown);
    const QString file = tree.writeFile("Single.CLAP", thinMachO(cpuTypeArm64));
    const DiscoveredBundle single = PluginScanner::readBundle(file, "CLAP", control);
    EXPECT_EQ(single.architecture, ScannerTexts::appleSilicon);
    EXPECT_EQ(single.name, "Single");
    EXPECT_EQ(single.byteSize, thinMachO(cpuTypeArm64).size());
    // Other formats are not examined without an executable entry.
    const QString vst = tree.writeFile("Single.vst", thinMachO(cpuTypeArm64));
    EXPECT_EQ(PluginScanner::readBundle(vst, "VST2", control).architecture, ScannerTexts::unknown);
}

TEST_F(BundleMetadataTest, FifosNamedLikeBundlesNeverBlock) {
    for (const char* name : {"Pipe.vst3", "Pipe.clap"}) {
        ASSERT_EQ(::mkfifo(tree.path(name).toUtf8().constData(), 0644), 0);
        const DiscoveredBundle bundle = PluginScanner::readBundle(tree.path(name), "CLAP", control);
        EXPECT_EQ(bundle.name, "Pipe");
        EXPECT_EQ(bundle.architecture, ScannerTexts::unknown);
        EXPECT_EQ(bundle.byteSize, 0);
    }
}

TEST_F(BundleMetadataTest, SizesCountVisibleRegularFilesOnly) {
    const QString bundle = testing::writeBundle(tree, "Sized.vst3",
                                                {{},
                                                 {},
                                                 {},
                                                 {{"a.bin", QByteArray(1000, 'a')},
                                                  {"Contents/b.bin", QByteArray(234, 'b')},
                                                  {".DS_Store", QByteArray(50, 'h')},
                                                  {".hidden/c.bin", QByteArray(70, 'c')}}});
    ASSERT_TRUE(QFile::link(tree.path("Sized.vst3/a.bin"), tree.path("Sized.vst3/link.bin")));
    EXPECT_EQ(PluginScanner::bundleByteSize(bundle, control), 1234);
    EXPECT_EQ(PluginScanner::bundleByteSize(tree.path("nothing"), control), 0);

    control.requestCancellation();
    EXPECT_EQ(PluginScanner::bundleByteSize(bundle, control), 0);
    EXPECT_EQ(PluginScanner::bundleByteSize(tree.path("Sized.vst3/a.bin"), control), 1000);
}

TEST_F(BundleMetadataTest, BinaryAndBrokenInfoPlists) {
    const QByteArray xml =
        testing::xmlPropertyList(testing::bundleInfo("Binary Synth", "com.fabfilter.x", "3.1"));
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    plist_free(root);
    const QByteArray binary(bytes, static_cast<qsizetype>(length));
    std::free(bytes);

    const DiscoveredBundle fromBinary = read("Binary.vst3", {{}, binary, {}, {}});
    EXPECT_EQ(fromBinary.name, "Binary Synth");
    EXPECT_EQ(fromBinary.version, "3.1");
    EXPECT_EQ(fromBinary.manufacturer, "FabFilter");

    QByteArray oversized = xml;
    oversized.append(QByteArray(propertyListSizeLimit, ' '));
    const DiscoveredBundle large = read("Large.vst3", {{}, oversized, {}, {}});
    EXPECT_EQ(large.name, "Large");
    EXPECT_EQ(large.version, ScannerTexts::unavailable);

    const DiscoveredBundle truncated = read("Cut.vst3", {{}, binary.left(binary.size() / 2), {}, {}});
    EXPECT_EQ(truncated.name, "Cut");
    const DiscoveredBundle notDictionary =
        read("List.vst3", {{}, testing::xmlPropertyList(QVariantList{"a"}), {}, {}});
    EXPECT_EQ(notDictionary.name, "List");
}

TEST_F(BundleMetadataTest, InfoPlistsAndExecutablesFoundAsThePlatformFindsThem) {
    const QVariantMap synth = testing::bundleInfo("Bom Synth", "com.fabfilter.synth", "2.0");
    const QByteArray xml = testing::xmlPropertyList(synth);
    const auto utf16 = [&](QStringConverter::Encoding encoding) {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        return QByteArray(encoder.encode(QString::fromUtf8(xml).replace("UTF-8", "UTF-16")));
    };
    QVariantMap legacy = synth;
    legacy.remove("CFBundleExecutable");
    QVariantMap unnamed = legacy;
    legacy.insert("NSExecutable", "Old");
    QVariantMap both = synth;
    both.insert("NSExecutable", "Old");

    const QByteArray arm = thinMachO(cpuTypeArm64);
    const QByteArray intel = thinMachO(cpuTypeX86_64);
    const QByteArray fat = universalMachO({cpuTypeX86_64, cpuTypeArm64});
    struct Row {
        const char* folder;
        std::optional<QByteArray> infoPlist; // none: no Info.plist
        QList<std::pair<QString, QByteArray>> files;
        QString name, version, manufacturer, architecture;
    };
    const QString unavailable = ScannerTexts::unavailable;
    const QString unknown = ScannerTexts::unknown;
    const QList<Row> rows{
        {"Mark.vst3",
         "\xEF\xBB\xBF" + xml,
         {{"Contents/MacOS/Plugin", arm}},
         "Bom Synth",
         "2.0",
         "FabFilter",
         ScannerTexts::appleSilicon},
        {"Little.vst3",
         utf16(QStringConverter::Utf16LE),
         {{"Contents/MacOS/Plugin", intel}},
         "Bom Synth",
         "2.0",
         "FabFilter",
         ScannerTexts::intel},
        {"Big.vst3",
         utf16(QStringConverter::Utf16BE),
         {{"Contents/MacOS/Plugin", fat}},
         "Bom Synth",
         "2.0",
         "FabFilter",
         ScannerTexts::universal},
        {"Legacy.vst3",
         testing::xmlPropertyList(legacy),
         {{"Contents/MacOS/Old", intel}, {"Contents/MacOS/Legacy", arm}},
         "Bom Synth",
         "2.0",
         "FabFilter",
         ScannerTexts::intel},
        {"Both.vst3",
         testing::xmlPropertyList(both),
         {{"Contents/MacOS/Old", intel}, {"Contents/MacOS/Plugin", arm}},
         "Bom Synth",
         "2.0",
         "FabFilter",
         ScannerTexts::appleSilicon},
        {"Unnamed.component",
         testing::xmlPropertyList(unnamed),
         {{"Contents/MacOS/Unnamed", fat}},
         "Bom Synth",
         "2.0",
         "FabFilter",
         ScannerTexts::universal},
        {"No Plist.vst3",
         std::nullopt,
         {{"Contents/MacOS/No Plist", arm}},
         "No Plist",
         unavailable,
         unknown,
         ScannerTexts::appleSilicon},
        {"Folder.vst3",
         std::nullopt,
         {{"Contents/Info.plist/x", xml}, {"Contents/MacOS/Folder", intel}},
         "Folder",
         unavailable,
         unknown,
         ScannerTexts::intel},
        {"Damaged.vst3",
         utf16(QStringConverter::Utf16LE).chopped(1),
         {{"Contents/MacOS/Damaged", arm}},
         "Damaged",
         unavailable,
         unknown,
         ScannerTexts::appleSilicon},
        // The bundle's own name is a fallback for a missing key, not for a missing file.
        {"Gone.vst3", xml, {{"Contents/MacOS/Gone", arm}}, "Bom Synth", "2.0", "FabFilter", unknown},
    };
    for (const Row& row : rows) {
        const DiscoveredBundle bundle =
            read(row.folder, {std::nullopt, row.infoPlist, std::nullopt, row.files});
        EXPECT_EQ(bundle.name, row.name) << row.folder;
        EXPECT_EQ(bundle.version, row.version) << row.folder;
        EXPECT_EQ(bundle.manufacturer, row.manufacturer) << row.folder;
        EXPECT_EQ(bundle.architecture, row.architecture) << row.folder;
    }
}

TEST_F(BundleMetadataTest, RegistryDisplayNames) {
    const QList<std::pair<QString, QString>> rows{
        {"  Waves: SSL Channel \n", "SSL Channel"},
        {"waves - CLA-76", "CLA-76"},
        {"WAVES H-Reverb", "H-Reverb"},
        {"Waves  Double Space", "Double Space"},
        {"Waves:NoSpace", "Waves:NoSpace"},
        {"Waves: Waves Tune", "Waves Tune"},
        {"Waves", "Waves"},
        {"Other", "Other"},
        {"   ", ""},
    };
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(PluginScanner::registryDisplayName(name), expected) << name.toStdString();
}

} // namespace
} // namespace quorvane
