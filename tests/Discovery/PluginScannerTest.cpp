#include "DiscoveryTestSupport.h"

#include "Discovery/PluginOrders.h"
#include "Discovery/ScannerTexts.h"

#include <QFile>

#include <gmock/gmock.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

using PluginScanner::DiscoveredBundle;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScanFixture;

const QString components = QStringLiteral("/Library/Audio/Plug-Ins/Components");
const QString vst = QStringLiteral("/Library/Audio/Plug-Ins/VST");
const QString vst3 = QStringLiteral("/Library/Audio/Plug-Ins/VST3");
const QString aax = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins");
const QString clap = QStringLiteral("/Library/Audio/Plug-Ins/CLAP");

QStringList names(const std::vector<Plugin>& plugins) {
    QStringList result;
    for (const Plugin& plugin : plugins)
        result.append(plugin.manufacturer + QLatin1Char('|') + plugin.name);
    return result;
}

QStringList bundlePaths(const std::vector<Plugin>& plugins, const QString& root) {
    QStringList result;
    for (const Plugin& plugin : plugins) {
        if (plugin.bundles) {
            for (const PluginBundleRecord& record : *plugin.bundles)
                result.append(record.path.mid(root.size()));
        }
    }
    result.sort();
    return result;
}

class PluginScannerTest : public ScanFixture {
protected:
    // `count` AU bundles, then one VST3 bundle; the scan is cancelled on the report of ten bundles.
    ScanSummary scanCancellingAtTenBundles(int count, std::vector<ScanProgress>& reports) {
        for (int i = 0; i < count; ++i)
            writePlugin(components, QStringLiteral("P%1.component").arg(i, 2, 10, QLatin1Char('0')),
                        QStringLiteral("P%1").arg(i), "com.acme.p");
        writePlugin(vst3, "Later.vst3", "Later", "com.acme.later");
        return PluginScanner::scan(
            {systemUrl("/Library")}, control,
            [&](const ScanProgress& progress) {
                reports.push_back(progress);
                if (progress.discoveredBundles == 10)
                    control.requestCancellation();
            },
            environment);
    }
};

TEST_F(PluginScannerTest, StandardLocationsAreTheTenRowsInOrder) {
    const auto locations = PluginScanner::standardLocations(environment);
    ASSERT_EQ(locations.size(), 10u);
    const QStringList literals{components, vst, vst3, aax, clap};
    const QStringList formats{"AU", "VST2", "VST3", "AAX", "CLAP"};
    const QStringList extensions{"component", "vst", "vst3", "aaxplugin", "clap"};
    for (int i = 0; i < 10; ++i) {
        const auto& location = locations[static_cast<size_t>(i)];
        const QString expected = i < 5 ? system(literals[i % 5]) : home + literals[i % 5];
        EXPECT_EQ(location.url.toLocalFile(), expected) << i;
        EXPECT_EQ(location.format, formats[i % 5]);
        EXPECT_EQ(location.fileExtension, extensions[i % 5]);
    }
}

TEST_F(PluginScannerTest, AuthorisedFoldersSelectStandardLocations) {
    struct Row {
        const char* name;
        QList<QUrl> folders;
        QStringList formats; // of the selected rows, "~" marking the home rows
    };
    const QList<Row> rows{
        {"none", {}, {}},
        {"the plug-ins folder", {systemUrl("/Library/Audio/Plug-Ins")}, {"AU", "VST2", "VST3", "CLAP"}},
        {"/Library", {systemUrl("/Library")}, {"AU", "VST2", "VST3", "AAX", "CLAP"}},
        {"a subfolder of a location", {systemUrl(vst3 + "/Vendor")}, {}},
        {"a location, not standardised", {QUrl::fromLocalFile(system(vst3) + "/./x/../")}, {"VST3"}},
        {"a sibling with a common prefix", {systemUrl("/Library/Audio/Plug-Ins/VS")}, {}},
        {"the home folder and AAX",
         {QUrl::fromLocalFile(home), systemUrl(aax)},
         {"AAX", "~AU", "~VST2", "~VST3", "~AAX", "~CLAP"}},
        {"a web address", {QUrl("https://example.com/Library")}, {}},
    };
    for (const Row& row : rows) {
        QStringList selected;
        for (const auto& location : PluginScanner::selectLocations(row.folders, environment)) {
            const bool isHome = location.url.toLocalFile().startsWith(home);
            selected.append((isHome ? QStringLiteral("~") : QString()) + location.format);
        }
        EXPECT_EQ(selected, row.formats) << row.name;
    }
}

TEST_F(PluginScannerTest, TheRootFolderSelectsEveryLocation) {
    const PluginScanner::Environment production{SystemRoots::production(), "/home/someone", nullptr, {}};
    EXPECT_EQ(PluginScanner::selectLocations({QUrl::fromLocalFile("/")}, production).size(), 10u);
    EXPECT_EQ(PluginScanner::selectLocations({QUrl::fromLocalFile("/home")}, production).size(), 5u);
}

TEST_F(PluginScannerTest, WithoutAuthorisedFoldersOnlyTheRegistryIsAsked) {
    setRegistry({{"Waves", "Waves: CLA-2A", "14.0.1"}});
    writePlugin(vst3, "Synth.vst3", "Synth", "com.acme.synth");
    std::vector<ScanProgress> reports;
    const ScanSummary summary = scan({}, &reports);
    EXPECT_THAT(reports, IsEmpty());
    EXPECT_THAT(names(summary.plugins), ElementsAre("Waves|CLA-2A"));
    EXPECT_FALSE(summary.wasCancelled);
    EXPECT_THAT(summary.inaccessibleLocations, IsEmpty());
}

TEST_F(PluginScannerTest, ReportsProgressBeforeAndAfterEachLocationAndPerTenBundles) {
    for (int i = 0; i < 25; ++i)
        writePlugin(components, QStringLiteral("AU %1.component").arg(i, 2, 10, QLatin1Char('0')),
                    QStringLiteral("AU %1").arg(i), "com.acme.au");
    for (int i = 0; i < 7; ++i)
        writePlugin(vst3, QStringLiteral("V%1.vst3").arg(i), QStringLiteral("V%1").arg(i), "com.acme.v");
    tree.makeDirectory(systemRelative(vst)); // exists, holds nothing

    std::vector<ScanProgress> reports;
    const ScanSummary summary = scan({systemUrl("/Library/Audio/Plug-Ins")}, &reports);

    const auto progress = [&](const char* format, const QString& literal, int completed, int bundles) {
        return ScanProgress{format, system(literal), completed, 4, bundles};
    };
    EXPECT_THAT(reports, ElementsAre(progress("AU", components, 0, 0), progress("AU", components, 0, 10),
                                     progress("AU", components, 0, 20), progress("AU", components, 1, 25),
                                     progress("VST2", vst, 1, 25), progress("VST2", vst, 2, 25),
                                     progress("VST3", vst3, 2, 25), progress("VST3", vst3, 2, 30),
                                     progress("VST3", vst3, 3, 32), progress("CLAP", clap, 3, 32),
                                     progress("CLAP", clap, 4, 32)));
    EXPECT_EQ(summary.plugins.size(), 32u);
    EXPECT_THAT(summary.inaccessibleLocations, IsEmpty()); // missing CLAP folder is no failure
}

TEST_F(PluginScannerTest, ABundleCountsOnceItHasBeenRead) {
    // The names are in the Info.plist files, which go away at the first report within the
    // location: a bundle read after that report is named after its file instead.
    QStringList infoFiles;
    for (int i = 0; i < 25; ++i)
        infoFiles.append(writePlugin(components, QStringLiteral("File %1.component").arg(i),
                                     QStringLiteral("Read %1").arg(i), "com.acme.p") +
                         QStringLiteral("/Contents/Info.plist"));
    std::vector<int> counts;
    const ScanSummary summary = PluginScanner::scan(
        {systemUrl(components)}, control,
        [&](const ScanProgress& progress) {
            counts.push_back(progress.discoveredBundles);
            if (counts.size() == 2) {
                for (const QString& file : infoFiles)
                    ASSERT_TRUE(QFile::remove(file));
            }
        },
        environment);
    EXPECT_THAT(counts, ElementsAre(0, 10, 20, 25));
    const auto readByThen =
        std::count_if(summary.plugins.begin(), summary.plugins.end(),
                      [](const Plugin& plugin) { return plugin.name.startsWith(QLatin1String("Read ")); });
    EXPECT_GE(readByThen, 10);
    EXPECT_EQ(summary.plugins.size(), 25u);
}

TEST_F(PluginScannerTest, FindsBundlesByExtensionWithoutEnteringThemOrHiddenItems) {
    writePlugin(vst3, "Synth.VST3", "Synth", "com.acme.synth");
    writePlugin(vst3, "Extra.component/Inner.vst3", "Inner", "com.acme.inner");
    writePlugin(vst3, "Outer.vst3", "Outer", "com.acme.outer");
    writePlugin(vst3, "Outer.vst3/Contents/Nested.vst3", "Nested", "com.acme.nested");
    writePlugin(vst3, ".Hidden.vst3", "Hidden", "com.acme.hidden");
    writePlugin(vst3, "Vendor/.cache/Cached.vst3", "Cached", "com.acme.cached");
    writePlugin(vst3, "Vendor/Deep/Found.vst3", "Found", "com.acme.found");
    tree.writeFile(systemRelative(vst3) + "/Loose.vst3", testing::thinMachO(testing::cpuTypeX86_64));

    const ScanSummary summary = scan({systemUrl(vst3)});
    const QString root = system(vst3);
    EXPECT_THAT(bundlePaths(summary.plugins, root),
                ElementsAre("/Extra.component/Inner.vst3", "/Loose.vst3", "/Outer.vst3", "/Synth.VST3",
                            "/Vendor/Deep/Found.vst3"));
}

TEST_F(PluginScannerTest, GroupsBundlesAcrossFormatsAndLetterCase) {
    const QString au = writeBundle(tree, systemRelative(components) + "/Thing.component",
                                   {testing::bundleInfo("Thing", "com.acme.thing", "2.0"),
                                    {},
                                    testing::thinMachO(testing::cpuTypeArm64),
                                    {{"Contents/Resources/a", "1234"}}});
    QVariantMap vst3Info = testing::bundleInfo("thing", "com.acme.thing", "2.1");
    vst3Info.insert("Manufacturer", "ACME");
    const QString v3 = writeBundle(tree, systemRelative(vst3) + "/thing.vst3",
                                   {vst3Info, {}, testing::thinMachO(testing::cpuTypeX86_64), {}});
    // Identifier words lead to the manufacturer: "acme" → "Acme" for the AU, "ACME" from the plist
    // for the VST3 — their group keys agree.
    const ScanSummary summary = scan({systemUrl("/Library")});
    ASSERT_EQ(summary.plugins.size(), 1u);
    const Plugin& plugin = summary.plugins.front();
    EXPECT_EQ(plugin.name, "Thing");
    EXPECT_EQ(plugin.manufacturer, "Acme");
    EXPECT_EQ(plugin.version, "2.0");
    EXPECT_EQ(plugin.path, au);
    EXPECT_EQ(plugin.formats, QStringList({"AU", "VST3"}));
    EXPECT_EQ(plugin.architecture, ScannerTexts::mixed);
    EXPECT_EQ(plugin.status, PluginStatus::ok);
    ASSERT_TRUE(plugin.bundles);
    ASSERT_EQ(plugin.bundles->size(), 2u);
    EXPECT_EQ(plugin.bundles->at(0).path, au);
    EXPECT_EQ(plugin.bundles->at(0).architecture, ScannerTexts::appleSilicon);
    EXPECT_EQ(plugin.bundles->at(1).path, v3);
    EXPECT_EQ(plugin.bundles->at(1).format, "VST3");
    EXPECT_FALSE(plugin.bundles->at(1).isProtected);
    EXPECT_FALSE(plugin.bundles->at(1).originalPath);
    EXPECT_FALSE(plugin.originalPath);
}

TEST_F(PluginScannerTest, TheFirstBundleFoundLeadsAmongEqualFormats) {
    // Enough bundles for several readers at once; the lead must still be the first in walk order.
    for (int i = 0; i < 40; ++i) {
        writeBundle(tree,
                    systemRelative(components) +
                        QStringLiteral("/A%1.component").arg(i, 2, 10, QLatin1Char('0')),
                    {testing::bundleInfo("Same", "com.acme.same", QStringLiteral("v%1").arg(i)), {}, {}, {}});
    }
    const ScanSummary summary = scan({systemUrl(components)});
    ASSERT_EQ(summary.plugins.size(), 1u);
    EXPECT_EQ(summary.plugins.front().version, "v0");
    EXPECT_EQ(summary.plugins.front().path, system(components) + "/A00.component");
    EXPECT_EQ(summary.plugins.front().bundles->size(), 40u);
}

DiscoveredBundle bundle(const QString& format, const QString& architecture, const QString& path = "/p",
                        const QString& name = "Thing", const QString& manufacturer = "Acme",
                        qint64 size = 1000) {
    return DiscoveredBundle{name, manufacturer, "1.0", format, architecture, size, path};
}

TEST(PluginScannerProducts, ArchitectureSummaryAndStatus) {
    struct Row {
        QStringList architectures;
        QString summary;
        PluginStatus status;
    };
    const QList<Row> rows{
        {{"Apple Silicon", "Intel"}, "Mixed", PluginStatus::ok},
        {{"Universal", "Unknown"}, "Mixed", PluginStatus::ok},
        {{"Unknown", "Intel"}, "Intel, Unknown", PluginStatus::ok},
        {{"Unknown", "Apple Silicon"}, "Apple Silicon, Unknown", PluginStatus::ok},
        {{"Intel"}, "Intel", PluginStatus::legacy},
        {{"Intel", "Intel"}, "Intel", PluginStatus::legacy},
        {{"Universal"}, "Universal", PluginStatus::ok},
    };
    for (const Row& row : rows) {
        std::vector<DiscoveredBundle> group;
        for (const QString& architecture : row.architectures)
            group.push_back(bundle(QStringLiteral("VST%1").arg(group.size() + 2), architecture));
        const auto plugin = PluginScanner::makePlugin(group);
        ASSERT_TRUE(plugin);
        EXPECT_EQ(plugin->architecture, row.summary) << row.architectures.join(",").toStdString();
        EXPECT_EQ(plugin->status, row.status) << row.architectures.join(",").toStdString();
        EXPECT_FALSE(plugin->isProtected);
    }
    EXPECT_FALSE(PluginScanner::makePlugin({}));
}

TEST(PluginScannerProducts, LeadBundleRecordsSizesAndSharedShells) {
    const auto plugin = PluginScanner::makePlugin({
        bundle("VST3", "Intel", "/b.vst3", "Thing", "Acme", 500),
        bundle("AU", "Intel", "/z.component", "Thing AU", "Acme", 1500),
        bundle("AU", "Intel", "/a.component", "Thing AU 2", "Acme", 1000),
    });
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->name, "Thing AU"); // the first found among the AU bundles
    EXPECT_EQ(plugin->path, "/z.component");
    EXPECT_EQ(plugin->formats, QStringList({"AU", "VST3"}));
    EXPECT_EQ(plugin->size, "3 KB");
    ASSERT_TRUE(plugin->bundles);
    QStringList records;
    for (const PluginBundleRecord& record : *plugin->bundles)
        records.append(record.format + " " + record.path + " " + record.size);
    EXPECT_EQ(records,
              QStringList({"AU /a.component 1 KB", "AU /z.component 2 KB", "VST3 /b.vst3 500 bytes"}));
    EXPECT_FALSE(plugin->id.isNull());

    const auto shell =
        PluginScanner::makePlugin({bundle("VST3", "Intel", "/w.vst3", "WaveShell1-VST3 14.0", "Waves")});
    EXPECT_EQ(shell->status, PluginStatus::sharedShell);
    EXPECT_TRUE(shell->isProtected);
    const auto notShell =
        PluginScanner::makePlugin({bundle("VST3", "Intel", "/w.vst3", "WaveShell1", "waves")});
    EXPECT_EQ(notShell->status, PluginStatus::legacy);
}

TEST(PluginScannerProducts, GroupingKeysAndOrders) {
    const std::vector<Plugin> products = PluginScanner::groupBundles({
        bundle("AU", "Intel", "/1", "Verb", "acme"),
        bundle("VST3", "Intel", "/2", "Verb", "Waves"),
        bundle("VST3", "Intel", "/3", "VERB", "ACME"),
        bundle("AU", "Intel", "/4", "Alpha", "Waves"),
    });
    // Plain order: upper case before lower case.
    EXPECT_THAT(names(products), ElementsAre("Waves|Alpha", "Waves|Verb", "acme|Verb"));
    EXPECT_EQ(products[2].bundles->size(), 2u);
    EXPECT_NE(products[0].id, products[1].id);

    Plugin waves;
    waves.manufacturer = "Waves";
    Plugin acme;
    acme.manufacturer = "acme";
    EXPECT_TRUE(pluginManufacturerOrder(waves, acme));
    EXPECT_TRUE(pluginLocalizedManufacturerOrder(acme, waves));
}

TEST_F(PluginScannerTest, RegistryProductsAreAddedUnlessAScannedProductHasTheirKey) {
    setRegistry({
        {"Waves", "Waves: SSL Channel", "14.0"},
        {"Waves", "Waves SSL Channel", "14.1"}, // the same product: the later one stays
        {"Waves", "WaveShell1-V14", "14.0"},
        {"Waves", "CLA-2A", ""},
        {"Waves", "H-Reverb", "1"},
        {"Acme", "Verb", "1.0"},
        {"", "Waves: Abbey Road", "2.0"},
    });
    // "waves" in the identifier makes the manufacturer Waves; the name differs in case only.
    writeBundle(tree, systemRelative(vst3) + "/H-Reverb.vst3",
                {testing::bundleInfo("h-reverb", "com.waves.hreverb", "3.0"), {}, {}, {}});
    writeBundle(tree, systemRelative(vst3) + "/Other.vst3",
                {testing::bundleInfo("Other", "com.zeta.other", "1"), {}, {}, {}});

    const ScanSummary summary = scan({systemUrl(vst3)});
    EXPECT_THAT(names(summary.plugins), ElementsAre("Waves|Abbey Road", "Waves|CLA-2A", "Waves|h-reverb",
                                                    "Waves|SSL Channel", "Zeta|Other"));
    const Plugin& channel = summary.plugins[3];
    EXPECT_EQ(channel.version, "14.1");
    EXPECT_EQ(channel.formats, QStringList{"AU"});
    EXPECT_EQ(channel.architecture, "Via WaveShell");
    EXPECT_EQ(channel.size, "Shared");
    EXPECT_EQ(channel.path, "macOS Audio Unit Registry");
    EXPECT_EQ(channel.status, PluginStatus::hostedByShell);
    EXPECT_TRUE(channel.isProtected);
    ASSERT_TRUE(channel.bundles);
    EXPECT_TRUE(channel.bundles->empty());
    EXPECT_EQ(summary.plugins[1].version, "Unavailable");
    EXPECT_EQ(summary.plugins[2].path, system(vst3) + "/H-Reverb.vst3");
    EXPECT_EQ(registry->queries(), 1);
}

TEST_F(PluginScannerTest, RegistryKeyIgnoresLetterCaseOfTheScannedProduct) {
    setRegistry({{"Waves", "Waves: SSL Channel", "14.0"}});
    QVariantMap info = testing::bundleInfo("ssl channel", "com.example.ssl", "1");
    info.insert("Manufacturer", "waves"); // not in the display table's search text
    writeBundle(tree, systemRelative(vst3) + "/SSL.vst3", {info, {}, {}, {}});
    const ScanSummary summary = scan({systemUrl(vst3)});
    EXPECT_THAT(names(summary.plugins), ElementsAre("waves|ssl channel"));
}

TEST_F(PluginScannerTest, TheFinalOrderIsLocalizedAndKeepsCaseVariantsInPlace) {
    for (const auto& [file, manufacturer, name] :
         {std::tuple{"1.vst3", "Waves", "Zeta"}, std::tuple{"2.vst3", "acme", "Beta"},
          std::tuple{"3.vst3", "ACME", "Alpha"}, std::tuple{"4.vst3", "Bravo", "Solo"}}) {
        QVariantMap info = testing::bundleInfo(name, "com.x.y", "1");
        info.insert("Manufacturer", manufacturer);
        writeBundle(tree, systemRelative(vst3) + "/" + file, {info, {}, {}, {}});
    }
    const ScanSummary summary = scan({systemUrl(vst3)});
    // Grouping sorts ACME before acme; the localized sort keeps the two in that order.
    EXPECT_THAT(names(summary.plugins), ElementsAre("ACME|Alpha", "acme|Beta", "Bravo|Solo", "Waves|Zeta"));
}

TEST_F(PluginScannerTest, CancellingDuringTheReadingReturnsNoProducts) {
    setRegistry({{"Waves", "Waves: SSL Channel", "14.0"}});
    std::vector<ScanProgress> reports;
    const ScanSummary summary = scanCancellingAtTenBundles(15, reports);
    EXPECT_TRUE(summary.wasCancelled);
    EXPECT_THAT(summary.plugins, IsEmpty());
    EXPECT_EQ(registry->queries(), 0);
    // The reading stopped: no end-of-location report, no later location.
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports.back().discoveredBundles, 10);
    EXPECT_EQ(reports.back().completedLocations, 0);
}

TEST_F(PluginScannerTest, CancellingAtTheLastBundleOfALocationEndsAtTheNextLocation) {
    std::vector<ScanProgress> reports;
    const ScanSummary summary = scanCancellingAtTenBundles(10, reports);
    EXPECT_TRUE(summary.wasCancelled);
    EXPECT_THAT(reports, ElementsAre(ScanProgress{"AU", system(components), 0, 5, 0},
                                     ScanProgress{"AU", system(components), 0, 5, 10},
                                     ScanProgress{"AU", system(components), 1, 5, 10}));
}

TEST_F(PluginScannerTest, CancellingBeforeTheStartWalksNothing) {
    writePlugin(vst3, "Synth.vst3", "Synth", "com.acme.synth");
    control.requestCancellation();
    std::vector<ScanProgress> reports;
    const ScanSummary summary = scan({systemUrl("/Library")}, &reports);
    EXPECT_TRUE(summary.wasCancelled);
    EXPECT_THAT(reports, IsEmpty());
    EXPECT_THAT(summary.plugins, IsEmpty());
}

TEST_F(PluginScannerTest, UnreadableFoldersAreListedOnceAndSorted) {
    writePlugin(vst3, "Vendor B/Locked/Hidden.vst3", "Hidden", "com.acme.hidden");
    writePlugin(vst3, "Vendor A/Open.vst3", "Open", "com.acme.open");
    tree.makeDirectory(systemRelative(clap));
    const QByteArray locked = system(vst3 + "/Vendor B/Locked").toUtf8();
    const QByteArray lockedLocation = system(clap).toUtf8();
    opener = [&](const QByteArray& path, int flags) {
        if (path == locked || path == lockedLocation) {
            errno = EACCES;
            return -1;
        }
        return ::open(path.constData(), flags);
    };
    // The home folder is the system root here, so each location is walked twice.
    home = roots.prefix;
    rebuildEnvironment();

    const ScanSummary summary = scan({QUrl::fromLocalFile(roots.prefix)});
    EXPECT_THAT(summary.inaccessibleLocations, ElementsAre(system(clap), system(vst3 + "/Vendor B/Locked")));
    EXPECT_THAT(names(summary.plugins), ElementsAre("Acme|Open"));
    EXPECT_EQ(summary.plugins.front().bundles->size(), 2u); // found through both rows
}

TEST_F(PluginScannerTest, TheErrorHandlerStopsTheWalkOnceCancelled) {
    QStringList inaccessible;
    EXPECT_TRUE(PluginScanner::enumerationErrorHandler("/a", SyscallError{EACCES}, inaccessible, control));
    control.requestCancellation();
    EXPECT_FALSE(PluginScanner::enumerationErrorHandler("/b", SyscallError{EACCES}, inaccessible, control));
    EXPECT_EQ(inaccessible, QStringList({"/a", "/b"}));
}

TEST_F(PluginScannerTest, ALocationThatIsAFileIsInaccessible) {
    tree.writeFile(systemRelative(vst3), "not a folder");
    ASSERT_TRUE(QFile::link(system("/nowhere"), system(clap)));
    const ScanSummary summary = scan({systemUrl("/Library")});
    EXPECT_THAT(summary.inaccessibleLocations, ElementsAre(system(vst3))); // the dangling link is missing
}

} // namespace
} // namespace quorvane
