#include "InventoryTestSupport.h"
#include "Views/Kit/Palette.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

using namespace Qt::StringLiterals;
using Filter = InventoryViewModel::Filter;
using Area = InventoryViewModel::ScanStatusArea;

class InventoryViewModelTest : public InventoryFixture {};

TEST_F(InventoryViewModelTest, CardsCountActiveProductsByExactArchitecture) {
    Plugin quarantined = listed(QStringLiteral("Gone"), QStringLiteral("Orsolind"), {QStringLiteral("AU")},
                                QStringLiteral("Apple Silicon"), PluginStatus::quarantined);
    (*quarantined.bundles)[0] = quarantinedUnderOperation((*quarantined.bundles)[0], QStringLiteral("OP"));
    openScreen(
        {listed(QStringLiteral("Two"), QStringLiteral("A"), {QStringLiteral("AU"), QStringLiteral("VST3")}),
         listed(QStringLiteral("Native"), QStringLiteral("A"), {QStringLiteral("VST3")},
                QStringLiteral("Apple Silicon")),
         listed(QStringLiteral("Old"), QStringLiteral("B"), {QStringLiteral("AU")}, QStringLiteral("Intel")),
         listed(QStringLiteral("Odd"), QStringLiteral("B"), {QStringLiteral("AU")},
                QStringLiteral("Unknown")),
         listed(QStringLiteral("Lower"), QStringLiteral("B"), {QStringLiteral("AU")},
                QStringLiteral("universal")),
         quarantined},
        ServiceRegistrationStatus::notRegistered);
    const std::vector<InventoryViewModel::Metric> expected{
        {QStringLiteral("externaldrive"), QStringLiteral("Plugin Products"), QStringLiteral("5"),
         QStringLiteral("Active inventory"), Palette::accent()},
        {QStringLiteral("doc.on.doc"), QStringLiteral("Multiple Formats"), QStringLiteral("1"),
         QStringLiteral("More than one format"), Palette::amber()},
        {QStringLiteral("cpu"), QStringLiteral("Apple Silicon"), QStringLiteral("2"),
         QStringLiteral("Native or Universal"), Palette::green()},
        {QStringLiteral("exclamationmark.circle"), QStringLiteral("Needs Review"), QStringLiteral("2"),
         QStringLiteral("Informational notes"), Palette::amber()},
    };
    EXPECT_EQ(model->metrics(), expected);
    // Before the first scan; the helper is not enabled, which blocks only quarantine.
    EXPECT_EQ(model->subtitle(),
              QStringLiteral("Sample inventory — run a read-only scan to inspect this Mac."));
    EXPECT_FALSE(model->canExport());
    EXPECT_TRUE(model->canScan());
    EXPECT_EQ(model->folderLabel(), std::nullopt);
    EXPECT_EQ(
        model->helperBlockingText(),
        QStringLiteral("Enable Plugin Management before moving system plugin bundles. Scanning, search, "
                       "export, and protection remain available."));
    EXPECT_EQ(model->scanStatusArea(), Area::none);
}

TEST_F(InventoryViewModelTest, AfterAScanTheSubtitleDatesItAndUnreadableFoldersShow) {
    openScreen({}, ServiceRegistrationStatus::enabled, [](PersistedInventory& state) {
        state.lastScanDate = Timestamp{725900645};
        state.inaccessibleLocations = QStringList{QStringLiteral("/Library/Audio/Plug-Ins/VST3/Vendor")};
    });
    EXPECT_TRUE(model->subtitle().startsWith(QStringLiteral("Read-only scan completed ")));
    EXPECT_TRUE(model->subtitle().endsWith(u'.'));
    EXPECT_TRUE(model->canExport());
    EXPECT_EQ(model->helperBlockingText(), std::nullopt);
    EXPECT_EQ(model->scanStatusArea(), Area::limitedAccess);

    const InstalledFolderRecorder files;
    model->openParentFolder(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Vendor"));
    EXPECT_EQ(files->opened, QStringList{QStringLiteral("/Library/Audio/Plug-Ins/VST3")});
}

TEST_F(InventoryViewModelTest, ScanStatusFollowsTheRunningScanAndCancelSetsTheFlag) {
    ScanHold hold;
    scan = hold.function(
        ScanProgress{QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3"), 0, 0, 7});
    openScreen({}, ServiceRegistrationStatus::enabled, [](PersistedInventory& state) {
        state.inaccessibleLocations = QStringList{QStringLiteral("/x/y")};
    });
    model->cancelScan(); // nothing runs: nothing to cancel
    model->scanPlugins();
    EXPECT_TRUE(model->isScanning());
    EXPECT_FALSE(model->canExport());
    // The running scan hides the limited-access panel; its first report replaces the preparing bar.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->scanStatusArea() == Area::progress; }, 5000));
    EXPECT_EQ(model->scanProgressTitle(), QStringLiteral("Scanning VST3 plugins…"));
    EXPECT_EQ(model->scanProgressCount(), QStringLiteral("7 bundles found"));
    EXPECT_EQ(model->scanProgressTotal(), 1);
    model->cancelScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isScanning(); }, 5000));
    EXPECT_EQ(model->messageBars(),
              (std::vector<InventoryViewModel::MessageBar>{
                  {QStringLiteral("Scan canceled. The previous inventory was kept unchanged."),
                   Palette::accent()}}));
}

TEST_F(InventoryViewModelTest, MessageBarsComeInTheirOrderWithTheirPrefixes) {
    const Plugin synth = this->synth();
    openScreen({synth});
    failSaves = true;
    store->setProtection(synth, true);
    store->waitForIdle();
    ASSERT_TRUE(store->lastStorageError().has_value());
    folderAccess->setLastError(QStringLiteral("No access."));
    store->reportOperationError(QStringLiteral("Blocked"), QStringLiteral("Refused here."));
    EXPECT_EQ(model->messageBars(),
              (std::vector<InventoryViewModel::MessageBar>{
                  {QStringLiteral("Quorvane could not save its local inventory state: ") +
                       *store->lastStorageError(),
                   Palette::amber()},
                  {QStringLiteral("Folder authorization failed: No access."), Palette::amber()},
                  {QStringLiteral("Refused here."), Palette::amber()}}));

    // A state file that cannot be read was never written to: the bar says it was a read.
    model.reset();
    store->waitForIdle();
    store.reset();
    {
        QFile file(statePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("{\"schemaVersion\": ");
    }
    store = std::make_unique<PluginInventoryStore>(isolatedEnvironment());
    ASSERT_TRUE(store->fileActionsBlockedByStorage());
    openModel();
    EXPECT_EQ(model->messageBars(),
              (std::vector<InventoryViewModel::MessageBar>{
                  {QStringLiteral("Quorvane could not read its local inventory state: ") +
                       *store->lastStorageError(),
                   Palette::amber()},
                  {QStringLiteral("Folder authorization failed: No access."), Palette::amber()}}));

    // A read-only data folder was neither misread nor failed to save: its own sentence stands.
    model.reset();
    store.reset();
    QFile::remove(statePath());
    StoreEnvironment readOnly = isolatedEnvironment();
    readOnly.isReadOnlyFolder = [](const QString&) { return true; };
    store = std::make_unique<PluginInventoryStore>(readOnly);
    openModel();
    ASSERT_TRUE(store->lastStorageError().has_value());
    EXPECT_EQ(model->messageBars().front(),
              (InventoryViewModel::MessageBar{*store->lastStorageError(), Palette::amber()}));
}

TEST_F(InventoryViewModelTest, TheFolderLabelNamesOneFolderAndCountsSeveral) {
    openScreen({});
    const struct {
        QStringList folders;
        std::optional<QString> label;
    } cases[] = {
        {{}, std::nullopt},
        {{QStringLiteral("/Volumes/Studio/Plug-Ins")}, QStringLiteral("/Volumes/Studio/Plug-Ins")},
        {{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")},
         QStringLiteral("3 folders authorized")},
    };
    for (const auto& test : cases) {
        QList<QUrl> urls;
        for (const QString& folder : test.folders)
            urls << QUrl::fromLocalFile(folder);
        folderAccess->setAuthorizedFolders(urls);
        EXPECT_EQ(model->folderLabel(), test.label) << test.folders.join(u',').toStdString();
    }
}

// A scan reads only the standard locations within an authorised folder; choosing one says which
// it covers, or that it covers none.
TEST_F(InventoryViewModelTest, AuthorizingAFolderSaysWhichStandardLocationsItCovers) {
    openScreen({});
    const QString plugIns = roots.path(QStringLiteral("/Library/Audio/Plug-Ins"));
    const QString vst3 = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/VST3"));
    const QString elsewhere = tree.makeDirectory(QStringLiteral("Samples"));
    QDir().mkpath(vst3);
    const struct {
        QStringList chosen;
        QString message;
        NoticeStyle style;
    } cases[] = {
        {{vst3},
         QStringLiteral("Scans now look in the standard plugin locations within “%1”: %1 (VST3).").arg(vst3),
         NoticeStyle::success},
        {{elsewhere},
         QStringLiteral(
             "“%1” holds none of the standard plugin locations, so a scan finds nothing in it. Scans "
             "look only in the standard locations (such as Library/Audio/Plug-Ins/VST3) within the "
             "folders you authorize.")
             .arg(elsewhere),
         NoticeStyle::warning},
        // Already authorised: only the new one is told about.
        {{vst3, plugIns},
         QStringLiteral(
             "Scans now look in the standard plugin locations within “%1”: %1/Components (AU), %1/VST "
             "(VST2), %1/VST3 (VST3), %1/CLAP (CLAP).")
             .arg(plugIns),
         NoticeStyle::success},
    };
    for (const auto& test : cases) {
        QList<QUrl> urls;
        for (const QString& folder : test.chosen)
            urls << QUrl::fromLocalFile(folder);
        picker->answer = urls;
        model->authorizeFolders();
        ASSERT_TRUE(store->notice().has_value()) << test.chosen.join(u',').toStdString();
        EXPECT_EQ(store->notice()->title, QStringLiteral("Folder Authorized"));
        EXPECT_EQ(store->notice()->message, test.message);
        EXPECT_EQ(store->notice()->style, test.style);
        store->dismissNotice(store->notice()->id);
    }
    // A cancelled panel says nothing.
    picker->answer.reset();
    model->authorizeFolders();
    EXPECT_FALSE(store->notice().has_value());
}

TEST_F(InventoryViewModelTest, FiltersMatchExactlyAndSearchNameOrManufacturerOnly) {
    const std::vector<Plugin> plugins{
        listed(QStringLiteral("Alpha Verb"), QStringLiteral("Orsolind"),
               {QStringLiteral("AU"), QStringLiteral("VST3")}),
        listed(QStringLiteral("Beta"), QStringLiteral("orsolind"), {QStringLiteral("VST3")},
               QStringLiteral("Intel")),
        listed(QStringLiteral("Gamma"), QStringLiteral("Fernhill Audio"), {QStringLiteral("CLAP")},
               QStringLiteral("Universal"), PluginStatus::partiallyProtected),
        listed(QStringLiteral("Delta"), QStringLiteral("Zed"), {QStringLiteral("AAX")},
               QStringLiteral("Universal"), PluginStatus::protected_),
    };
    openScreen(plugins);
    EXPECT_EQ(model->options(Filter::format),
              (QStringList{QStringLiteral("All"), QStringLiteral("AAX"), QStringLiteral("AU"),
                           QStringLiteral("CLAP"), QStringLiteral("VST3")}));
    EXPECT_EQ(model->options(Filter::manufacturer),
              (QStringList{QStringLiteral("All"), QStringLiteral("Fernhill Audio"),
                           QStringLiteral("Orsolind"), QStringLiteral("Zed"), QStringLiteral("orsolind")}));
    EXPECT_EQ(model->options(Filter::status),
              (QStringList{QStringLiteral("All"), QStringLiteral("OK"), QStringLiteral("Partially Protected"),
                           QStringLiteral("Protected")}));

    const struct {
        QString query;
        Filter filter;
        QString value;
        QStringList shown;
    } cases[] = {
        {QStringLiteral("ORSO"),
         Filter::format,
         QStringLiteral("All"),
         {QStringLiteral("Alpha Verb"), QStringLiteral("Beta")}},
        {QStringLiteral(" "),
         Filter::format,
         QStringLiteral("All"),
         {QStringLiteral("Alpha Verb"), QStringLiteral("Gamma")}},
        {QStringLiteral("1.0"), Filter::format, QStringLiteral("All"), {}},  // the version is not searched
        {QStringLiteral("vst3"), Filter::format, QStringLiteral("All"), {}}, // nor are the formats
        {QString(),
         Filter::format,
         QStringLiteral("VST3"),
         {QStringLiteral("Alpha Verb"), QStringLiteral("Beta")}},
        {QString(), Filter::format, QStringLiteral("vst3"), {}},
        {QString(), Filter::manufacturer, QStringLiteral("orsolind"), {QStringLiteral("Beta")}},
        {QString(), Filter::architecture, QStringLiteral("Intel"), {QStringLiteral("Beta")}},
        {QString(), Filter::status, QStringLiteral("Protected"), {QStringLiteral("Delta")}},
        {QString(), Filter::status, QStringLiteral("Partially Protected"), {QStringLiteral("Gamma")}},
        {QStringLiteral("a"),
         Filter::architecture,
         QStringLiteral("Universal"),
         {QStringLiteral("Alpha Verb"), QStringLiteral("Gamma"), QStringLiteral("Delta")}},
    };
    for (const auto& test : cases) {
        model->clearFilters();
        model->setQuery(test.query);
        model->setFilter(test.filter, test.value);
        EXPECT_EQ(names(model->filteredPlugins()), test.shown)
            << test.query.toStdString() << test.value.toStdString();
        for (const Plugin& plugin : plugins)
            EXPECT_EQ(model->matchesFilters(plugin), test.shown.contains(plugin.name))
                << plugin.name.toStdString();
        EXPECT_EQ(model->shownCountText(),
                  QStringLiteral("%1 of 4 active plugins shown").arg(test.shown.size()));
        EXPECT_TRUE(model->hasActiveFilters());
    }
    model->clearFilters();
    EXPECT_FALSE(model->hasActiveFilters());
    EXPECT_TRUE(searchText.isEmpty());
    EXPECT_EQ(model->shownCountText(), QStringLiteral("4 of 4 active plugins shown"));
}

TEST_F(InventoryViewModelTest, AnEmptyInventoryOffersOnlyAll) {
    openScreen({});
    for (Filter filter : {Filter::format, Filter::manufacturer, Filter::architecture, Filter::status})
        EXPECT_EQ(model->options(filter), QStringList{QStringLiteral("All")});
    EXPECT_EQ(model->shownCountText(), QStringLiteral("0 of 0 active plugins shown"));
    EXPECT_FALSE(model->hasActiveFilters());
}

TEST_F(InventoryViewModelTest, SelectionFollowsTheFiltersAndTheInspectorFollowsTheSelection) {
    const Plugin a = listed(QStringLiteral("Alpha"), QStringLiteral("North"), {QStringLiteral("AU")});
    const Plugin b = listed(QStringLiteral("Beta"), QStringLiteral("South"), {QStringLiteral("AU")});
    const Plugin c = listed(QStringLiteral("Gamma"), QStringLiteral("North"), {QStringLiteral("AU")});
    inspected = c; // left by another screen
    openScreen({a, b, c});
    EXPECT_EQ(inspected, std::nullopt);

    model->setSelectedPluginIDs(ids({a, b, c}));
    EXPECT_EQ(inspected->id, a.id);
    model->setQuery(QStringLiteral("north")); // hides Beta
    EXPECT_EQ(model->selectedPluginIDs(), ids({a, c}));
    EXPECT_EQ(model->selectedPlugins().size(), 2u);
    model->clearFilters(); // hidden rows stay deselected
    EXPECT_EQ(model->selectedPluginIDs(), ids({a, c}));
    model->setSelectedPluginIDs(ids({c}));
    EXPECT_EQ(inspected->id, c.id);
    model->clearSelection();
    EXPECT_TRUE(model->selectedPluginIDs().isEmpty());
    EXPECT_EQ(inspected, std::nullopt);
}

TEST_F(InventoryViewModelTest, BatchProtectionRulesAndTheQuarantineMessage) {
    const Plugin open =
        listed(QStringLiteral("Open"), QStringLiteral("M"), {QStringLiteral("AU"), QStringLiteral("VST3")});
    Plugin partly = open;
    partly.id = makeUuid();
    partly.name = QStringLiteral("Partly");
    (*partly.bundles)[0].isProtected = true;
    Plugin fully = partly;
    fully.id = makeUuid();
    fully.name = QStringLiteral("Fully");
    (*fully.bundles)[1].isProtected = true;
    Plugin shell = listed(QStringLiteral("WaveShell 14"), QStringLiteral("Waves"), {QStringLiteral("VST3")});
    Plugin hosted = listed(QStringLiteral("Hosted"), QStringLiteral("Waves"), {}, QStringLiteral("Universal"),
                           PluginStatus::hostedByShell);
    openScreen({open, partly, fully, shell, hosted}, ServiceRegistrationStatus::notRegistered);

    const struct {
        QSet<QUuid> selection;
        bool canProtect;
        bool canRemove;
    } cases[] = {
        {ids({fully, shell}), false, true},
        {ids({shell, hosted}), false, false},
        {ids({partly}), true, true},
        {ids({open}), true, false},
    };
    for (const auto& test : cases) {
        model->setSelectedPluginIDs(test.selection);
        EXPECT_EQ(model->canProtectSelected(), test.canProtect);
        EXPECT_EQ(model->canRemoveProtectionFromSelected(), test.canRemove);
    }
    // Protecting the selection changes what the same selection can do next.
    model->setBatchProtection(true);
    EXPECT_FALSE(model->canProtectSelected());
    EXPECT_TRUE(model->canRemoveProtectionFromSelected());
    model->setSelectedPluginIDs(ids({hosted, open}));
    EXPECT_EQ(
        model->batchQuarantineMessage(),
        QStringLiteral("Quorvane will move 2 selected plugins (2 format bundles) into reversible quarantine. "
                       "Every bundle has been preflighted; no permanent deletion will occur."));
    // The helper's reason comes first.
    EXPECT_EQ(model->batchQuarantineReason(),
              QStringLiteral("Enable Plugin Management before moving system plugin bundles."));
}

// The menus follow a change of one product: an option goes with its last product and comes with
// its first.
TEST_F(InventoryViewModelTest, FilterOptionsFollowAChangeOfOneProduct) {
    const std::vector<Plugin> plugins{
        listed(QStringLiteral("Alpha"), QStringLiteral("North"), {QStringLiteral("AU")}),
        listed(QStringLiteral("Beta"), QStringLiteral("South"), {QStringLiteral("VST3")}),
        listed(QStringLiteral("Delta"), QStringLiteral("Zed"), {QStringLiteral("AAX")},
               QStringLiteral("Universal"), PluginStatus::protected_),
    };
    openScreen(plugins);
    const QString all = QStringLiteral("All");
    const struct {
        const char* name;
        QString product;
        bool protect;
        QStringList statuses;
    } steps[] = {
        {"the last protected one unprotected", QStringLiteral("Delta"), false, {all, QStringLiteral("OK")}},
        {"one protected",
         QStringLiteral("Beta"),
         true,
         {all, QStringLiteral("OK"), QStringLiteral("Protected")}},
        {"two protected",
         QStringLiteral("Alpha"),
         true,
         {all, QStringLiteral("OK"), QStringLiteral("Protected")}},
        {"all protected", QStringLiteral("Delta"), true, {all, QStringLiteral("Protected")}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const auto product = std::find_if(model->activePlugins().begin(), model->activePlugins().end(),
                                          [&](const Plugin& plugin) { return plugin.name == step.product; });
        ASSERT_NE(product, model->activePlugins().end());
        const Plugin chosen = *product; // the action replaces the list it came from
        model->setProtection(chosen, step.protect);
        EXPECT_EQ(model->options(Filter::status), step.statuses);
        EXPECT_EQ(
            model->options(Filter::manufacturer),
            (QStringList{all, QStringLiteral("North"), QStringLiteral("South"), QStringLiteral("Zed")}));
        EXPECT_EQ(model->options(Filter::format),
                  (QStringList{all, QStringLiteral("AAX"), QStringLiteral("AU"), QStringLiteral("VST3")}));
    }
}

// A large inventory is worked out on several threads, and neighbours sharing a value skip it; the
// options and what a selection can do come out as for a small one.
TEST_F(InventoryViewModelTest, ALargeInventoryHasEveryOptionAndTheSameProtectionRules) {
    std::vector<Plugin> plugins;
    QStringList makers;
    for (int index = 0; index < 2100; ++index) {
        // Forty makers, each but the last named once.
        const QString maker = QStringLiteral("Maker %1").arg(std::min(index, 39), 2, 10, QLatin1Char('0'));
        plugins.push_back(listed(QStringLiteral("Filler %1").arg(index), maker,
                                 {index % 3 ? QStringLiteral("VST3") : QStringLiteral("CLAP")}));
        if (index < 40)
            makers << maker;
    }
    Plugin fully = listed(QStringLiteral("Fully"), QStringLiteral("Maker 07"), {QStringLiteral("AU")});
    (*fully.bundles)[0].isProtected = true;
    fully.isProtected = true;
    fully.status = PluginStatus::protected_;
    const Plugin shell =
        listed(QStringLiteral("WaveShell 14"), QStringLiteral("Waves"), {QStringLiteral("VST3")});
    plugins.insert(plugins.begin() + 1000, fully);
    plugins.push_back(shell);
    openScreen(plugins, ServiceRegistrationStatus::notRegistered);

    makers << QStringLiteral("Waves");
    EXPECT_EQ(model->options(Filter::manufacturer), QStringList{QStringLiteral("All")} + makers);
    EXPECT_EQ(model->options(Filter::format), (QStringList{QStringLiteral("All"), QStringLiteral("AU"),
                                                           QStringLiteral("CLAP"), QStringLiteral("VST3")}));
    EXPECT_EQ(model->options(Filter::status),
              (QStringList{QStringLiteral("All"), QStringLiteral("OK"), QStringLiteral("Protected")}));
    const struct {
        QSet<QUuid> selection;
        bool canProtect;
        bool canRemove;
    } cases[] = {
        {ids({fully}), false, true}, {ids({shell}), false, false}, {ids({plugins[1999]}), true, false}};
    for (const auto& test : cases) {
        model->setSelectedPluginIDs(test.selection);
        EXPECT_EQ(model->canProtectSelected(), test.canProtect);
        EXPECT_EQ(model->canRemoveProtectionFromSelected(), test.canRemove);
    }
}

TEST_F(InventoryViewModelTest, TheStoresPlanGivesTheReasonOnceTheHelperIsReady) {
    Plugin guarded = synth(QStringLiteral("Guarded"));
    (*guarded.bundles)[0].isProtected = true;
    Plugin hosted = listed(QStringLiteral("Hosted"), QStringLiteral("Waves"), {}, QStringLiteral("Universal"),
                           PluginStatus::hostedByShell);
    const Plugin free = synth(QStringLiteral("Free"));
    openScreen({guarded, hosted, free});
    model->setSelectedPluginIDs(ids({free, guarded}));
    ASSERT_TRUE(model->batchQuarantineReason().has_value());
    EXPECT_TRUE(model->batchQuarantineReason()->startsWith(QStringLiteral("Guarded — VST3")));
    model->setSelectedPluginIDs(ids({hosted}));
    EXPECT_EQ(model->batchQuarantineReason(), QStringLiteral("No eligible format bundles are selected."));
    model->setSelectedPluginIDs(ids({free}));
    EXPECT_EQ(model->batchQuarantineReason(), std::nullopt);
    EXPECT_EQ(model->quarantineReason(guarded),
              model->bundleQuarantineReason(guarded, guarded.bundleRecords()[0]));
}

TEST_F(InventoryViewModelTest, ProtectingTheInspectedProductKeepsItWithItsNewState) {
    const Plugin a = synth(QStringLiteral("Alpha"));
    const Plugin b = synth(QStringLiteral("Beta"));
    openScreen({a, b});
    model->setSelectedPluginIDs(ids({a}));
    model->setProtection(*inspected, true);
    ASSERT_TRUE(inspected.has_value());
    EXPECT_EQ(inspected->id, a.id);
    EXPECT_EQ(inspected->protectionLevel(), 2);
    model->setBundleProtection(*inspected, inspected->bundleRecords()[0], false);
    EXPECT_EQ(inspected->protectionLevel(), 0);
}

// Each part of the screen hears only of changes to what it shows: a change of one product with
// nothing selected touches the rows, a search that keeps the selection neither the batch bar nor
// the inspector.
TEST_F(InventoryViewModelTest, EachPartHearsOnlyOfItsOwnChanges) {
    const Plugin a = synth(QStringLiteral("Alpha"));
    const Plugin b = synth(QStringLiteral("Beta"));
    openScreen({a, b});
    using Signal = void (InventoryViewModel::*)();
    const Signal parts[] = {
        &InventoryViewModel::headerChanged,         &InventoryViewModel::scanStatusChanged,
        &InventoryViewModel::helperBlockingChanged, &InventoryViewModel::filtersChanged,
        &InventoryViewModel::selectionChanged,      &InventoryViewModel::inspectorChanged,
        &InventoryViewModel::alertsChanged};
    const struct {
        const char* name;
        std::function<void()> change;
        // Emissions of each signal of `parts`, in that order.
        std::array<int, 7> expected;
    } steps[] = {
        {"one product changed, nothing selected",
         [&] { store->setProtection(b, true); },
         {0, 0, 0, 1, 0, 0, 0}},
        {"a folder error", [&] { folderAccess->setLastError(QStringLiteral("No access.")); }, {}},
        {"a selection", [&] { model->setSelectedPluginIDs(ids({a})); }, {0, 0, 0, 0, 1, 1, 0}},
        {"the same selection", [&] { model->setSelectedPluginIDs(ids({a})); }, {}},
        {"a search keeping the selection",
         [&] { model->setQuery(QStringLiteral("alp")); },
         {0, 0, 0, 1, 0, 0, 0}},
        {"the same filter again", [&] { model->setFilter(Filter::status, QStringLiteral("All")); }, {}},
        {"a search hiding the selection",
         [&] { model->setQuery(QStringLiteral("bet")); },
         {0, 0, 0, 1, 1, 1, 0}},
        {"the batch alert asked for", [&] { model->setConfirmBatchQuarantine(true); }, {0, 0, 0, 0, 0, 0, 1}},
        {"the helper disabled",
         [&] {
             registry->status = ServiceRegistrationStatus::notRegistered;
             service->refreshStatus();
         },
         {0, 0, 1, 0, 0, 0, 0}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (Signal part : parts)
            spies.push_back(std::make_unique<QSignalSpy>(model.get(), part));
        step.change();
        store->waitForIdle();
        drainEvents();
        for (size_t index = 0; index < spies.size(); ++index)
            EXPECT_EQ(spies[index]->count(), step.expected[index]) << "signal " << index;
    }
}

// A change that takes a product out of the active list moves the others: what the batch buttons
// allow follows each product to its new place.
TEST_F(InventoryViewModelTest, TheProtectionRulesFollowProductsThatMoved) {
    const Plugin open = synth(QStringLiteral("Open"));
    Plugin guarded = synth(QStringLiteral("Guarded"));
    (*guarded.bundles)[0].isProtected = true;
    openScreen({open, guarded});
    quarantineThroughJournal({selection(open)});
    model->setSelectedPluginIDs(ids({guarded}));
    EXPECT_FALSE(model->canProtectSelected());
    EXPECT_TRUE(model->canRemoveProtectionFromSelected());
}

// The cards follow products that leave the active inventory, with what each of them counted.
TEST_F(InventoryViewModelTest, TheCardsFollowProductsThatLeave) {
    Plugin both = product(QStringLiteral("Both"), {QStringLiteral("VST3"), QStringLiteral("AU")},
                          {vst3(QStringLiteral("Both.vst3")), component(QStringLiteral("Both.component"))});
    both.architecture = QStringLiteral("Intel");
    Plugin native = synth(QStringLiteral("Native"));
    native.architecture = QStringLiteral("Apple Silicon");
    Plugin odd = synth(QStringLiteral("Odd"));
    odd.architecture = QStringLiteral("Unknown");
    openScreen({both, native, odd});
    // Products, multiple formats, Apple Silicon, needs review.
    const auto values = [&] {
        QStringList shown;
        for (const InventoryViewModel::Metric& metric : model->metrics())
            shown << metric.value;
        return shown;
    };
    EXPECT_EQ(values(), (QStringList{u"3"_s, u"1"_s, u"1"_s, u"2"_s}));
    quarantineThroughJournal({selection(both, 0), selection(both, 1)});
    EXPECT_EQ(values(), (QStringList{u"2"_s, u"0"_s, u"1"_s, u"1"_s}));
    quarantineThroughJournal({selection(native)});
    EXPECT_EQ(values(), (QStringList{u"1"_s, u"0"_s, u"0"_s, u"1"_s}));
}

// The quarantine road through the real store and service, with the helper's answers made here.
class InventoryQuarantineTest : public InventoryFixture {
protected:
    void SetUp() override {
        InventoryFixture::SetUp();
        a = synth(QStringLiteral("Alpha"));
        b = synth(QStringLiteral("Beta"));
    }
    void selectBothAndConfirm() {
        model->setSelectedPluginIDs(ids({a, b}));
        model->quarantinePlugins(model->selectedPlugins());
        // The request leaves once its journal is on disk.
        store->waitForIdle();
    }
    // Answers the request the service sent, moving the bundles first when it succeeds.
    void answer(bool succeed) {
        ASSERT_TRUE(store->pendingPrivilegedQuarantine().has_value());
        const PrivilegedQuarantineRequest request = *store->pendingPrivilegedQuarantine();
        PrivilegedQuarantineResult result = failedResult<PrivilegedQuarantineResult>(
            request.transactionID, QStringLiteral("Helper refused."));
        if (succeed) {
            moveAll(request);
            result = succeededResult<PrivilegedQuarantineResult>(request);
        }
        helper().reply(helper().calls.size() - 1, {QString::fromUtf8(encode(result))});
        drainEvents();
        store->waitForIdle();
    }
    std::size_t sentRequests() { return connections.made.empty() ? 0 : helper().calls.size() - 1; }

    Plugin a;
    Plugin b;
};

TEST_F(InventoryQuarantineTest, NotReadyOrRefusedSendsNothing) {
    openScreen({a, b}, ServiceRegistrationStatus::notRegistered);
    selectBothAndConfirm();
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    model.reset();
    service.reset();

    Plugin guarded = a;
    (*guarded.bundles)[0].isProtected = true;
    openScreen({guarded, b});
    model->setSelectedPluginIDs(ids({guarded, b}));
    model->quarantinePlugins(model->selectedPlugins());
    EXPECT_EQ(sentRequests(), 0u);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Quarantine Blocked"));
    EXPECT_EQ(model->selectedPluginIDs(), ids({guarded, b}));
}

TEST_F(InventoryQuarantineTest, ACommitClearsTheSelectionAndAFailureKeepsIt) {
    openScreen({a, b});
    selectBothAndConfirm();
    EXPECT_EQ(sentRequests(), 1u);
    EXPECT_TRUE(service->quarantineBlockingReason().has_value()); // a transaction is in flight
    answer(false);
    EXPECT_EQ(model->selectedPluginIDs(), ids({a, b}));
    EXPECT_TRUE(inspected.has_value());

    selectBothAndConfirm();
    answer(true);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Moved to Quarantine"));
    EXPECT_TRUE(model->selectedPluginIDs().isEmpty());
    EXPECT_EQ(inspected, std::nullopt);
    EXPECT_TRUE(model->activePlugins().empty());
}

TEST_F(InventoryQuarantineTest, AnAnswerAfterTheScreenHasGoneStillCommits) {
    openScreen({a, b});
    selectBothAndConfirm();
    model.reset();
    answer(true);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Moved to Quarantine"));
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_EQ(store->activePlugins().size(), 0u);
}

TEST_F(InventoryQuarantineTest, AnAnswerBeforeTheSendReturnsIsHandledAlike) {
    openScreen({a, b});
    // The connection carries no call: the service answers with a failure before the send returns.
    helper().refuseCalls = true;
    selectBothAndConfirm();
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Failed Safely"));
    EXPECT_EQ(model->selectedPluginIDs(), ids({a, b}));
}

TEST_F(InventoryViewModelTest, CsvRowsFollowTheColumns) {
    Plugin mixed = listed(QStringLiteral("Mixed"), QStringLiteral("=cmd"),
                          {QStringLiteral("AU"), QStringLiteral("VST3")});
    (*mixed.bundles)[0].isProtected = true;
    (*mixed.bundles)[1] = quarantinedUnderOperation((*mixed.bundles)[1], QStringLiteral("OP"));
    mixed.status = PluginStatus::partiallyQuarantined;
    mixed.version = QStringLiteral("2.0");
    EXPECT_EQ(
        InventoryViewModel::csvRow(mixed),
        QStringLiteral("Mixed,'=cmd,2.0,AU | VST3,Universal,10 MB,Partially Quarantined,Partially Protected,"
                       "AU [Protected]: /Library/Audio/Plug-Ins/AU/Mixed.au | VST3 [Not Protected]: "
                       "/Library/Application Support/Quorvane/Quarantine/OP/Mixed.vst3"));
    Plugin quoted = listed(QStringLiteral("Say \"Hi\", Now"), QStringLiteral("M"), {});
    EXPECT_TRUE(InventoryViewModel::csvRow(quoted).startsWith(QStringLiteral("\"Say \"\"Hi\"\", Now\",M,")));
    Plugin hosted = listed(QStringLiteral("Hosted"), QStringLiteral("Waves"), {QStringLiteral("VST3")},
                           QStringLiteral("Universal"), PluginStatus::hostedByShell);
    Plugin shell = listed(QStringLiteral("WaveShell1"), QStringLiteral("Waves"), {QStringLiteral("VST3")});
    EXPECT_TRUE(InventoryViewModel::csvRow(hosted).endsWith(
        QStringLiteral(",Hosted by WaveShell,Mandatory Protection,")));
    EXPECT_TRUE(InventoryViewModel::csvRow(shell).contains(QStringLiteral(",Mandatory Protection,")));
    EXPECT_EQ(
        InventoryViewModel::csvDocument({}),
        QByteArray(
            "Plugin,Manufacturer,Version,Formats,Architecture,Size,Status,Protected,Bundle Locations\n"));
}

TEST_F(InventoryViewModelTest, ExportWritesEveryActiveProductIgnoringFiltersAndReportsTheOutcome) {
    const Plugin a = listed(QStringLiteral("Alpha"), QStringLiteral("M"), {QStringLiteral("AU")});
    const Plugin b = listed(QStringLiteral("Beta"), QStringLiteral("M"), {QStringLiteral("AU")});
    openScreen({a, b});
    model->setQuery(QStringLiteral("Alpha"));

    model->exportCSV(nullptr); // cancelled
    EXPECT_EQ(store->notice(), std::nullopt);
    EXPECT_EQ(model->exportError(), std::nullopt);
    ASSERT_EQ(fakes.panel->asked.size(), 1u);
    EXPECT_EQ(fakes.panel->asked[0].title, QStringLiteral("Export Quorvane Inventory"));
    EXPECT_EQ(fakes.panel->asked[0].defaultFileName, QStringLiteral("Quorvane-Plugin-Inventory.csv"));

    fakes.panel->answer = tree.path(QStringLiteral("export.csv"));
    model->exportCSV(nullptr);
    QFile file(*fakes.panel->answer);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), InventoryViewModel::csvDocument({a, b}));
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Inventory Exported"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("The CSV report was saved to the location you selected."));

    fakes.panel->answer = tree.path(QStringLiteral("missing/export.csv"));
    const QUuid before = store->notice()->id;
    model->exportCSV(nullptr);
    EXPECT_TRUE(model->exportError().has_value());
    EXPECT_EQ(store->notice()->id, before);
    model->dismissExportError();
    EXPECT_EQ(model->exportError(), std::nullopt);
}

} // namespace
} // namespace quorvane::testing
