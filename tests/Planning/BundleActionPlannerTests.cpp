#include "PlanningFixture.h"

#include "Planning/BundleActionPlanner.h"
#include "Planning/PlannerRecords.h"

#include <gtest/gtest.h>

#include <QFile>

namespace quorvane {
namespace {

using testing::PlanningFixture;
using Reason = BundleActionBlockingReason;

class BundleActionPlannerTest : public ::testing::Test, public PlanningFixture {
protected:
    BundleActionPlan plan(BundleActionKind operation, const std::vector<PluginBundleSelection>& selections,
                          const std::vector<Plugin>& plugins, bool verify = true,
                          std::optional<InventoryRevisionToken> previewed = std::nullopt,
                          bool pending = false, std::optional<QString> trash = std::nullopt) {
        return makeBundleActionPlan(operation, selections, plugins, revision, previewed, std::nullopt,
                                    pending, fileSystem, trash, verify, policy);
    }

    InventoryRevisionToken revision = InventoryRevisionToken::fresh();
};

const QString staleText =
    "The inventory changed after this action was previewed. Review the current formats and try again.";
const QString pendingText = "A previous privileged plugin transaction still needs reconciliation.";
const QString duplicateText = "The same format bundle was selected more than once.";
const QString missingText = "This format record changed. Run a new scan and review the action again.";
const QString tooManyText = "One verified transaction can contain no more than 256 format bundles.";
const QString trashUnsafeText = u"The current user\u2019s Finder Trash is unavailable or unsafe."_qs;

// One row per entry of the refusal catalogue, in catalogue order.
TEST_F(BundleActionPlannerTest, EveryRefusalOfTheCatalogueOnceInOrder) {
    QDir().mkpath(trashFolder());
    const QString delay = makeBundle(vst2("Delay X.vst"));
    const Plugin missingRecord = product("Gone", "Acme", {active("VST3", vst3("Gone.vst3"))});
    const Plugin shell =
        product("WaveShell1 14.0", "Waves", {active("VST3", makeBundle(vst3("WaveShell1.vst3")))});
    const Plugin quarantinedDelay = product("Delay X", "Acme", {quarantined("VST2", delay)});
    const Plugin protectedDelay =
        product("Delay P", "Acme", {active("VST2", makeBundle(vst2("P.vst")), true)});
    const Plugin outside =
        product("Stray", "Acme", {active("VST3", makeBundle(tree.path("elsewhere/S.vst3")))});
    const Plugin restoreWithoutOriginal = [&] {
        Plugin p = product("Rev", "Acme", {quarantined("VST3", vst3("Rev.vst3"))});
        p.bundles->front().originalPath.reset();
        return p;
    }();
    const Plugin occupiedOriginal =
        product("Occ", "Acme", {quarantined("VST3", makeBundle(vst3("Occ.vst3")))});
    const Plugin protectedTrash = product("PT", "Acme", {quarantined("VST3", vst3("PT.vst3"), true, true)});
    const Plugin missingCopy = product("MC", "Acme", {quarantined("VST3", vst3("MC.vst3"), false)});

    struct Row {
        BundleActionKind operation;
        std::vector<PluginBundleSelection> selections;
        std::vector<Plugin> plugins;
        std::optional<InventoryRevisionToken> previewed;
        bool pending;
        std::optional<QString> trash;
        Reason reason;
        QString detail;
    };
    const PluginBundleSelection any{makeUuid(), "VST3|/x.vst3"};
    const std::vector<Row> rows{
        {BundleActionKind::quarantine,
         {any},
         {},
         InventoryRevisionToken::fresh(),
         false,
         {},
         Reason::staleInventory,
         staleText},
        {BundleActionKind::quarantine, {any}, {}, {}, true, {}, Reason::pendingTransaction, pendingText},
        {BundleActionKind::quarantine,
         {select(missingRecord), select(missingRecord)},
         {missingRecord},
         {},
         false,
         {},
         Reason::duplicateSelection,
         duplicateText},
        {BundleActionKind::quarantine,
         {any},
         {missingRecord},
         {},
         false,
         {},
         Reason::missingBundle,
         missingText},
        {BundleActionKind::protect,
         {select(shell)},
         {shell},
         {},
         false,
         {},
         Reason::mandatoryProtection,
         u"WaveShell1 14.0 \u2014 VST3: Shared shells and WaveShell-hosted products cannot be moved as "
         u"independent "
         "bundles."_qs},
        {BundleActionKind::quarantine,
         {select(quarantinedDelay)},
         {quarantinedDelay},
         {},
         false,
         {},
         Reason::invalidState,
         u"Delay X \u2014 VST2: This format is already quarantined."_qs},
        {BundleActionKind::quarantine,
         {select(protectedDelay)},
         {protectedDelay},
         {},
         false,
         {},
         Reason::protectedBundle,
         u"Delay P \u2014 VST2: Remove format protection before quarantining this bundle."_qs},
        {BundleActionKind::quarantine,
         {select(outside)},
         {outside},
         {},
         false,
         {},
         Reason::unsafePath,
         u"Stray \u2014 VST3: The scanned path is missing or is not a verified bundle in a standard plugin folder."_qs},
        // The quarantine destination is checked in its own test: its name is only known to the plan.
        {BundleActionKind::restore,
         {select(restoreWithoutOriginal)},
         {restoreWithoutOriginal},
         {},
         false,
         {},
         Reason::invalidState,
         u"Rev \u2014 VST3: The verified quarantine record is missing or no longer matches disk."_qs},
        {BundleActionKind::restore,
         {select(occupiedOriginal)},
         {occupiedOriginal},
         {},
         false,
         {},
         Reason::destinationExists,
         u"Occ \u2014 VST3: A bundle already exists at the recorded original location."_qs},
        {BundleActionKind::trash,
         {select(protectedTrash)},
         {protectedTrash},
         {},
         false,
         {},
         Reason::protectedBundle,
         u"PT \u2014 VST3: Remove format protection before moving this bundle to Trash."_qs},
        {BundleActionKind::trash,
         {select(missingCopy)},
         {missingCopy},
         {},
         false,
         tree.path("no-trash"),
         Reason::unsafePath,
         trashUnsafeText},
        {BundleActionKind::trash,
         {select(missingCopy)},
         {missingCopy},
         {},
         false,
         {},
         Reason::invalidState,
         u"MC \u2014 VST3: The verified quarantine record or a safe Trash destination is unavailable."_qs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.detail.toStdString());
        const BundleActionPlan result =
            plan(row.operation, row.selections, row.plugins, true, row.previewed, row.pending, row.trash);
        ASSERT_FALSE(result.blockedSelections.empty());
        const auto& last = result.blockedSelections.back();
        EXPECT_EQ(last.reason, row.reason);
        EXPECT_EQ(last.detail, row.detail);
        EXPECT_EQ(result.blockingMessage(), result.blockedSelections.front().detail);
    }
}

TEST_F(BundleActionPlannerTest, OccupiedQuarantineDestinationIsRefused) {
    // The plan draws the destination's name itself, so a disk that reports every path present
    // stands in for an occupied operation folder.
    struct EverythingExists final : FileSystemProbe {
        bool fileExists(const QString&) const override { return true; }
        std::optional<LinkFlags> linkFlags(const QString&) const override { return LinkFlags{true, false}; }
        QString homeDirectory() const override { return "/home/nobody"; }
    } disk;
    const Plugin synth = product("Synth", "Acme", {active("VST3", makeBundle(vst3("Synth.vst3")))});
    const auto result =
        makeBundleActionPlan(BundleActionKind::quarantine, {select(synth)}, {synth}, revision, std::nullopt,
                             std::nullopt, false, disk, std::nullopt, true, policy);
    ASSERT_EQ(result.blockedSelections.size(), 1u);
    EXPECT_EQ(result.blockedSelections[0].reason, Reason::destinationExists);
    EXPECT_EQ(result.blockedSelections[0].detail,
              u"Synth \u2014 VST3: The protected quarantine destination already exists."_qs);
}

TEST_F(BundleActionPlannerTest, EmptySelectionHasNothingToDo) {
    const auto result = plan(BundleActionKind::quarantine, {}, {});
    EXPECT_TRUE(result.items.empty());
    EXPECT_TRUE(result.blockedSelections.empty());
    EXPECT_EQ(result.blockingMessage(), "No eligible format bundles are selected.");
    EXPECT_EQ(result.inventoryRevision, revision);
}

TEST_F(BundleActionPlannerTest, TransactionSizeLimit) {
    std::vector<Plugin> plugins;
    std::vector<PluginBundleSelection> selections;
    for (int index = 0; index < 300; ++index) {
        plugins.push_back(product(QString("P%1").arg(index), "Acme",
                                  {active("VST3", vst3(QString("P%1.vst3").arg(index)))}));
        selections.push_back(select(plugins.back()));
    }
    for (const size_t count : {size_t{1}, size_t{256}}) {
        const std::vector<PluginBundleSelection> some(selections.begin(), selections.begin() + count);
        const auto result = plan(BundleActionKind::quarantine, some, plugins, false);
        EXPECT_EQ(result.items.size(), count);
        EXPECT_TRUE(result.blockedSelections.empty());
        EXPECT_EQ(result.blockingMessage(), std::nullopt);
    }
    const std::vector<PluginBundleSelection> over(selections.begin(), selections.begin() + 257);
    const auto refused = plan(BundleActionKind::quarantine, over, plugins, false);
    EXPECT_EQ(refused.items.size(), 257u);
    ASSERT_EQ(refused.blockedSelections.size(), 1u);
    EXPECT_EQ(refused.blockedSelections[0].selection, selections[0]);
    EXPECT_EQ(refused.blockedSelections[0].reason, Reason::tooManyItems);
    EXPECT_EQ(refused.blockingMessage(), tooManyText);

    // Refused and repeated entries count too, and the size entry comes last.
    std::vector<PluginBundleSelection> mixed(selections.begin(), selections.begin() + 255);
    mixed.push_back(selections[0]);
    mixed.push_back({makeUuid(), "VST3|/nowhere.vst3"});
    const auto counted = plan(BundleActionKind::quarantine, mixed, plugins, false);
    ASSERT_EQ(counted.blockedSelections.size(), 3u);
    EXPECT_EQ(counted.blockedSelections[0].reason, Reason::duplicateSelection);
    EXPECT_EQ(counted.blockedSelections[1].reason, Reason::missingBundle);
    EXPECT_EQ(counted.blockedSelections[2].reason, Reason::tooManyItems);

    // A stale preview refuses each selection and nothing else.
    const auto stale =
        plan(BundleActionKind::quarantine, selections, plugins, false, InventoryRevisionToken::fresh());
    EXPECT_EQ(stale.blockedSelections.size(), 300u);
    EXPECT_TRUE(stale.items.empty());
    for (const auto& blocked : stale.blockedSelections)
        EXPECT_EQ(blocked.reason, Reason::staleInventory);
}

TEST_F(BundleActionPlannerTest, StaleWinsOverPendingAndEqualRevisionsAreNotStale) {
    const Plugin synth = product("Synth", "Acme", {active("VST3", vst3("Synth.vst3"))});
    const std::vector<PluginBundleSelection> twice{select(synth), select(synth)};
    const auto stale =
        plan(BundleActionKind::restore, twice, {synth}, true, InventoryRevisionToken::fresh(), true);
    ASSERT_EQ(stale.blockedSelections.size(), 2u);
    EXPECT_EQ(stale.blockedSelections[1].reason, Reason::staleInventory);
    EXPECT_EQ(stale.blockedSelections[1].detail, staleText);

    const auto pending = plan(BundleActionKind::restore, twice, {synth}, true, revision, true);
    ASSERT_EQ(pending.blockedSelections.size(), 2u);
    EXPECT_EQ(pending.blockedSelections[0].reason, Reason::pendingTransaction);
    EXPECT_EQ(pending.blockedSelections[1].reason, Reason::pendingTransaction);
    EXPECT_TRUE(pending.productsLosingAllActiveFormats.empty());

    const auto current = plan(BundleActionKind::quarantine, {select(synth)}, {synth}, false, revision, false);
    EXPECT_EQ(current.items.size(), 1u);
}

TEST_F(BundleActionPlannerTest, ResolutionAndShellRules) {
    const Plugin synth = product("Synth", "Acme", {active("VST3", vst3("Synth.vst3"))});
    const PluginBundleSelection otherCase{synth.id, synth.bundles->front().id().toUpper()};
    const PluginBundleSelection unknownProduct{makeUuid(), synth.bundles->front().id()};
    const Plugin hosted = product("Hosted", "Waves", {active("AU", components("Hosted.component"))},
                                  PluginStatus::hostedByShell);
    Plugin hostedWithoutRecords = hosted;
    hostedWithoutRecords.id = makeUuid();
    hostedWithoutRecords.bundles.reset();
    hostedWithoutRecords.path = components("Hosted.component");

    const auto result = plan(BundleActionKind::removeProtection,
                             {unknownProduct,
                              unknownProduct,
                              otherCase,
                              select(hosted),
                              {hostedWithoutRecords.id, bundleKey("AU", hostedWithoutRecords.path)}},
                             {synth, hosted, hostedWithoutRecords});
    ASSERT_EQ(result.blockedSelections.size(), 5u);
    const std::vector<Reason> reasons{Reason::missingBundle, Reason::duplicateSelection,
                                      Reason::missingBundle, Reason::mandatoryProtection,
                                      Reason::missingBundle};
    for (size_t index = 0; index < reasons.size(); ++index)
        EXPECT_EQ(result.blockedSelections[index].reason, reasons[index]) << index;
    EXPECT_EQ(result.blockedSelections[0].detail, missingText);
}

TEST_F(BundleActionPlannerTest, ProtectionPlansMoveNothing) {
    Plugin single = product("Solo", "Acme", {});
    single.bundles.reset();
    single.formats = QStringList{"AU"};
    single.path = components("Solo.component");
    single.quarantinePath = quarantineRoot() + "/X/Solo.component";
    const Plugin records = product("Duo", "Acme", {active("VST3", vst3("Duo.vst3"), true, "3 gb")});
    const auto result = plan(BundleActionKind::protect,
                             {{single.id, bundleKey("AU", single.path)}, select(records)}, {single, records});
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].sourcePath, single.quarantinePath);
    EXPECT_EQ(result.items[1].sourcePath, records.bundles->front().path);
    EXPECT_EQ(result.items[1].sizeInBytes, 3'000'000'000);
    for (const auto& item : result.items) {
        EXPECT_FALSE(item.destinationPath);
        EXPECT_FALSE(item.operationID);
    }
}

TEST_F(BundleActionPlannerTest, QuarantineItems) {
    const Plugin synth = product("Synth", "Acme",
                                 {active("VST3", makeBundle(vst3("Synth.vst3"))),
                                  active("AU", makeBundle(components("Synth.component"))),
                                  quarantined("VST2", vst2("Synth.vst"))});
    const auto both = plan(BundleActionKind::quarantine, {select(synth, 0), select(synth, 1)}, {synth});
    ASSERT_EQ(both.items.size(), 2u);
    EXPECT_TRUE(both.blockedSelections.empty());
    const auto& item = both.items[0];
    EXPECT_EQ(item.pluginName, "Synth");
    EXPECT_EQ(item.manufacturer, "Acme");
    EXPECT_EQ(item.format, "VST3");
    EXPECT_EQ(item.sourcePath, vst3("Synth.vst3"));
    EXPECT_EQ(item.sizeInBytes, 12'500'000);
    ASSERT_TRUE(item.operationID && parseUuid(*item.operationID));
    EXPECT_EQ(*item.operationID, item.operationID->toUpper());
    EXPECT_EQ(item.destinationPath, quarantineRoot() + "/" + *item.operationID + "/Synth.vst3");
    EXPECT_NE(both.items[0].operationID, both.items[1].operationID);
    EXPECT_EQ(both.productsLosingAllActiveFormats, std::set<QUuid>{synth.id});

    const auto one = plan(BundleActionKind::quarantine, {select(synth, 0)}, {synth});
    EXPECT_TRUE(one.productsLosingAllActiveFormats.empty());

    // A source gone from disk still plans when the disk is not consulted.
    const Plugin gone = product("Gone", "Acme", {active("VST3", vst3("Gone.vst3"))});
    EXPECT_EQ(plan(BundleActionKind::quarantine, {select(gone)}, {gone}, false).items.size(), 1u);
    EXPECT_EQ(plan(BundleActionKind::quarantine, {select(gone)}, {gone}, true).blockedSelections.at(0).reason,
              Reason::unsafePath);

    // The already-quarantined test comes before the protection test.
    const Plugin both2 = product("Both", "Acme", {quarantined("VST3", vst3("Both.vst3"), true, true)});
    EXPECT_EQ(plan(BundleActionKind::quarantine, {select(both2)}, {both2}).blockedSelections.at(0).reason,
              Reason::invalidState);
}

// A plan shares what the disk showed between its bundles, a batch at a time; every bundle is still
// judged by where its own folder leads, in every batch.
TEST_F(BundleActionPlannerTest, LinkedFoldersAreJudgedForEveryBundleOfALargePlan) {
    makeBundle(vst3(""));
    ASSERT_TRUE(QFile::link(tree.makeDirectory("elsewhere"), vst3("Outside")));
    ASSERT_TRUE(QFile::link(makeBundle(vst3("Real")), vst3("Inside")));
    std::vector<Plugin> plugins;
    std::vector<PluginBundleSelection> selections;
    for (int index = 0; index < 150; ++index) {
        const QString name = QStringLiteral("P%1.vst3").arg(index);
        const QString folder = index % 50 == 7 ? "Outside/" : index % 50 == 8 ? "Inside/" : "";
        if (!folder.isEmpty())
            makeBundle((folder == "Outside/" ? tree.path("elsewhere") : vst3("Real")) + "/" + name);
        else
            makeBundle(vst3(name));
        plugins.push_back(product(name, "Acme", {active("VST3", vst3(folder + name))}));
        selections.push_back(select(plugins.back()));
    }
    const auto planned = plan(BundleActionKind::quarantine, selections, plugins);
    ASSERT_EQ(planned.blockedSelections.size(), 3u);
    for (const auto& blocked : planned.blockedSelections)
        EXPECT_EQ(blocked.reason, Reason::unsafePath);
    ASSERT_EQ(planned.items.size(), 147u);
    EXPECT_EQ(planned.items[7].sourcePath, vst3("Real/P8.vst3"));
    EXPECT_EQ(planned.items[146].sourcePath, vst3("P149.vst3"));
}

TEST_F(BundleActionPlannerTest, RestoreAndTrashItems) {
    QDir().mkpath(trashFolder());
    const Plugin synth =
        product("Synth", "Acme",
                {quarantined("VST3", vst3("Name.vst3")), active("AU", components("Name.component"))});
    const Plugin other = product("Other", "Beta", {quarantined("VST3", vst3("Sub/Name.vst3"))});
    const auto& record = synth.bundles->front();

    const auto restore = plan(BundleActionKind::restore, {select(synth)}, {synth});
    ASSERT_EQ(restore.items.size(), 1u);
    EXPECT_EQ(restore.items[0].sourcePath, record.quarantinePath);
    EXPECT_EQ(restore.items[0].destinationPath, vst3("Name.vst3"));
    EXPECT_EQ(restore.items[0].operationID, record.quarantineOperationID);
    EXPECT_TRUE(restore.productsLosingAllActiveFormats.empty());

    const auto trash = plan(BundleActionKind::trash, {select(synth), select(other)}, {synth, other});
    ASSERT_EQ(trash.items.size(), 2u);
    EXPECT_EQ(trash.items[0].sourcePath, record.quarantinePath);
    EXPECT_EQ(trash.items[0].destinationPath, trashFolder() + "/Name.vst3");
    EXPECT_EQ(trash.items[1].destinationPath, trashFolder() + "/Name 2.vst3");
    EXPECT_EQ(trash.items[0].operationID, record.quarantineOperationID);

    // A Trash folder that is a link to a directory is unsafe.
    const QString link = tree.path("linked-trash");
    ASSERT_TRUE(QFile::link(trashFolder(), link));
    const auto linked = plan(BundleActionKind::trash, {select(synth)}, {synth}, true, {}, false, link);
    EXPECT_EQ(linked.blockedSelections.at(0).detail, trashUnsafeText);
}

TEST_F(BundleActionPlannerTest, BundlesTheRecordKeyCannotTellApartAreRefused) {
    // This disk tells case and Unicode forms apart; the record key does not.
    const auto refusal = [](const Plugin& plugin, const QString& path, const QString& other) {
        return bundleSentence(plugin.name, plugin.bundles->front().format,
                              "Quorvane cannot tell this bundle apart from another one it records: " + path +
                                  " and " + other + ". Rename or remove one of them, then scan again.");
    };
    const QString upper = makeBundle(vst3("Surge XT.vst3"));
    const QString lower = makeBundle(vst3("surge xt.vst3"));
    const QString composed = makeBundle(vst3(u"Caf\u00e9.vst3"_qs));
    const QString decomposed = makeBundle(vst3(u"Cafe\u0301.vst3"_qs));
    const Plugin surge = product("Surge XT", "Acme", {active("VST3", upper)});
    const Plugin surgeTwin = product("surge xt", "Acme", {active("VST3", lower)});
    const Plugin cafe = product("Cafe", "Acme", {active("VST3", composed)});
    const Plugin cafeTwin = product("Cafe 2", "Acme", {active("VST3", decomposed)});
    // Quarantined from where an active twin now is, and two quarantined from places that differ in case.
    const Plugin back = product("Back", "Acme", {quarantined("VST3", vst3("SURGE XT.vst3"))});
    const Plugin one = product("One", "Acme", {quarantined("VST3", vst3("Pair.vst3"))});
    const Plugin two = product("Two", "Acme", {quarantined("VST3", vst3("PAIR.vst3"))});
    // The same place once quarantined from and now taken by a new product: not a twin.
    const QString reinstalled = makeBundle(vst3("Again.vst3"));
    const Plugin gone = product("Again", "Acme", {quarantined("VST3", reinstalled)});
    const Plugin again = product("Again 2", "Acme", {active("VST3", reinstalled)});

    struct Row {
        const char* name;
        BundleActionKind operation;
        std::vector<PluginBundleSelection> selections;
        std::vector<QString> refusals;
        std::size_t items;
    };
    const std::vector<Plugin> plugins{surge, surgeTwin, cafe, cafeTwin, back, one, two, gone, again};
    const std::vector<Row> rows{
        {"case twins", BundleActionKind::quarantine, {select(surge)}, {refusal(surge, upper, lower)}, 0},
        {"Unicode twins",
         BundleActionKind::quarantine,
         {select(cafeTwin)},
         {refusal(cafeTwin, decomposed, composed)},
         0},
        {"Unicode twins, the other way",
         BundleActionKind::quarantine,
         {select(cafe)},
         {refusal(cafe, composed, decomposed)},
         0},
        {"restore onto a twin's place",
         BundleActionKind::restore,
         {select(back)},
         {refusal(back, vst3("SURGE XT.vst3"), upper)},
         0},
        {"two items of one place",
         BundleActionKind::restore,
         {select(one), select(two)},
         {refusal(two, vst3("PAIR.vst3"), vst3("Pair.vst3"))},
         1},
        {"a quarantined record's old place", BundleActionKind::quarantine, {select(again)}, {}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const BundleActionPlan planned = plan(row.operation, row.selections, plugins);
        EXPECT_EQ(planned.items.size(), row.items);
        std::vector<QString> refusals;
        for (const BundleActionBlockedSelection& blocked : planned.blockedSelections)
            refusals.push_back(blocked.detail);
        EXPECT_EQ(refusals, row.refusals);
    }
}

TEST(BundleSizeInBytesTest, ReadsSizeTexts) {
    const std::vector<std::pair<QString, std::optional<qint64>>> rows{
        {"12.5 MB", 12'500'000},    {"  3 gb \n", 3'000'000'000}, {"1.9999 KB", 1999},
        {"1.005 KB", 1004},         {"7 KB extra", 7000},         {"2  MB", 2'000'000},
        {"Zero KB", std::nullopt},  {"512 bytes", std::nullopt},  {"7", std::nullopt},
        {"1.5MB", std::nullopt},    {"1,5 MB", std::nullopt},     {"1.5\tMB", std::nullopt},
        {"1e300 GB", std::nullopt}, {"nan GB", std::nullopt},     {"", std::nullopt},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(bundleSizeInBytes(text), expected) << text.toStdString();
}

TEST(PlannerRecordsTest, StoredSynthesisedOrNone) {
    Plugin hosted = PlanningFixture::product("H", "Waves", {PlanningFixture::active("VST3", "/a.vst3")},
                                             PluginStatus::hostedByShell);
    EXPECT_EQ(plannerRecords(hosted).size(), 1u);
    hosted.bundles->clear();
    hosted.formats = QStringList{"VST3"};
    EXPECT_TRUE(plannerRecords(hosted).empty());
    Plugin single = hosted;
    single.status = PluginStatus::ok;
    single.isProtected = true;
    single.originalPath = "/orig.vst3";
    const auto records = plannerRecords(single);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].format, "VST3");
    EXPECT_TRUE(records[0].isProtected);
    EXPECT_EQ(records[0].originalPath, single.originalPath);
    single.formats.append("AU");
    EXPECT_TRUE(plannerRecords(single).empty());
}

} // namespace
} // namespace quorvane
