#include "Store/JournalPolicy.h"
#include "Shared/HomeTrashLocation.h"
#include "Support/Fixtures/FixtureQtPrinters.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace quorvane::testing {
namespace {

const QString transactionReason = QStringLiteral("Its transaction identifier is not valid.");
const QString sizeReason = QStringLiteral("It holds more plugin bundles than one transaction may carry.");
const QString sourceReason =
    QStringLiteral("An item\u2019s source is outside the places the helper moves it from.");
const QString destinationReason =
    QStringLiteral("An item\u2019s destination is outside the places the helper moves it to.");
const QString conflictReason = QStringLiteral("It names the same path twice.");
const QString recordReason = QStringLiteral("An item\u2019s recovery record is not valid.");

// One valid journal of each kind, all moving Synth.vst3 between the VST3 folder, the quarantine
// folder of `operation` and the user's Trash; each row breaks one of them in one way.
class JournalPolicyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(trash)); }

    QString plugins(const QString& name) const {
        return policy.approvedSystemPluginRoots().at(2) + u'/' + name;
    }
    QString quarantined(const QString& name, const QString& folder) const {
        return policy.quarantineRoot() + u'/' + folder + u'/' + name;
    }
    QString trashed(const QString& name) const { return trash + u'/' + name; }

    template <class Journal>
    std::optional<QString> refusal(const Journal& journal) const {
        if constexpr (requires { journalRefusal(journal, policy); })
            return journalRefusal(journal, policy);
        else
            return journalRefusal(journal, policy, trash);
    }
    template <class Journal, class Mutation>
    std::function<std::optional<QString>()> after(Journal journal, Mutation mutate) const {
        return [this, journal, mutate]() mutable {
            mutate(journal);
            return refusal(journal);
        };
    }

    TemporaryTree tree;
    PathPolicy policy{SystemRoots::underPrefix(tree.makeDirectory(QStringLiteral("root")))};
    QString home = tree.makeDirectory(QStringLiteral("home"));
    QString trash = homeTrashFilesFolder(home);
    QString operation = uuidText(makeUuid());
    QString synth = QStringLiteral("Synth.vst3");
    PrivilegedQuarantineRequest quarantine{uuidText(makeUuid()),
                                           {{plugins(synth), quarantined(synth, operation), operation}}};
    PrivilegedRestoreRequest restore{uuidText(makeUuid()),
                                     {{quarantined(synth, operation), plugins(synth), operation}}};
    PrivilegedTrashRequest trashMove{uuidText(makeUuid()),
                                     {{quarantined(synth, operation), trashed(synth), operation}}};
    PrivilegedTrashRestoreRequest recovery{
        uuidText(makeUuid()),
        {{trashed(synth), plugins(synth), uuidText(makeUuid()), synth, QStringLiteral("VST3")}}};
};

TEST_F(JournalPolicyTest, RefusesEveryJournalTheHelperCouldNotHaveCarriedOut) {
    const QString elsewhere = home + QStringLiteral("/elsewhere/Synth.vst3");
    const QString otherOperation = uuidText(makeUuid());
    const auto nothing = [](auto&) {};
    struct Row {
        const char* name;
        std::function<std::optional<QString>()> refusal;
        std::optional<QString> expected;
    };
    const std::vector<Row> rows{
        {"a valid quarantine", after(quarantine, nothing), std::nullopt},
        {"a quarantine of as many bundles as one transaction may carry",
         after(quarantine,
               [&](auto& journal) {
                   journal.items.clear();
                   for (int index = 0; index < 256; ++index) {
                       const QString name = QStringLiteral("Synth%1.vst3").arg(index);
                       journal.items.push_back({plugins(name), quarantined(name, operation), operation});
                   }
               }),
         std::nullopt},
        {"a quarantine from outside the plug-in folders",
         after(quarantine, [&](auto& journal) { journal.items[0].sourcePath = elsewhere; }), sourceReason},
        {"a quarantine into another operation's folder",
         after(quarantine,
               [&](auto& journal) { journal.items[0].destinationPath = quarantined(synth, otherOperation); }),
         destinationReason},
        {"a quarantine of two bundles into one place",
         after(quarantine,
               [&](auto& journal) {
                   journal.items.push_back({plugins(QStringLiteral("Nested/Synth.vst3")),
                                            quarantined(synth, operation), operation});
               }),
         conflictReason},

        {"a quarantine naming one bundle twice through a link",
         after(quarantine,
               [&](auto& journal) {
                   const QString folder = policy.approvedSystemPluginRoots().at(2);
                   QDir().mkpath(folder);
                   QFile::link(folder, folder + QStringLiteral("/Linked"));
                   journal.items.push_back({plugins(QStringLiteral("Linked/") + synth),
                                            quarantined(synth, otherOperation), otherOperation});
               }),
         conflictReason},
        {"a quarantine naming one bundle twice with a trailing slash",
         after(quarantine,
               [&](auto& journal) {
                   journal.items.push_back(
                       {plugins(synth) + u'/', quarantined(synth, otherOperation), otherOperation});
               }),
         conflictReason},
        {"a quarantine naming one bundle twice in another case",
         after(quarantine,
               [&](auto& journal) {
                   const QString upper = QStringLiteral("SYNTH.vst3");
                   journal.items.push_back(
                       {plugins(upper), quarantined(upper, otherOperation), otherOperation});
               }),
         conflictReason},
        {"a quarantine naming one bundle twice in another Unicode form",
         after(quarantine,
               [&](auto& journal) {
                   const QString composed = QStringLiteral("Caf\u00e9.vst3");
                   const QString decomposed = QStringLiteral("Cafe\u0301.vst3");
                   journal.items = {
                       {plugins(composed), quarantined(composed, operation), operation},
                       {plugins(decomposed), quarantined(decomposed, otherOperation), otherOperation}};
               }),
         conflictReason},

        {"a valid restore", after(restore, nothing), std::nullopt},
        {"a restore with a malformed transaction identifier",
         after(restore, [](auto& journal) { journal.transactionID = QStringLiteral("not-a-uuid"); }),
         transactionReason},
        {"a restore outside the plug-in folders",
         after(restore, [&](auto& journal) { journal.items[0].destinationPath = elsewhere; }),
         destinationReason},
        {"a restore from another operation's folder",
         after(restore,
               [&](auto& journal) { journal.items[0].sourcePath = quarantined(synth, otherOperation); }),
         sourceReason},
        {"a restore under another name",
         after(restore,
               [&](auto& journal) {
                   journal.items[0].destinationPath = plugins(QStringLiteral("Other.vst3"));
               }),
         sourceReason},

        {"a valid Trash move", after(trashMove, nothing), std::nullopt},
        {"a Trash move of more bundles than one transaction may carry",
         after(trashMove, [](auto& journal) { journal.items.resize(257, journal.items[0]); }), sizeReason},
        {"a Trash move straight from the plug-in folders",
         after(trashMove, [&](auto& journal) { journal.items[0].sourcePath = plugins(synth); }),
         sourceReason},
        {"a Trash move outside the user's Trash",
         after(trashMove, [&](auto& journal) { journal.items[0].destinationPath = elsewhere; }),
         destinationReason},

        {"a valid Trash recovery", after(recovery, nothing), std::nullopt},
        {"a Trash recovery with a malformed record identifier",
         after(recovery, [](auto& journal) { journal.items[0].recoveryRecordID = QStringLiteral("record"); }),
         recordReason},
        {"a Trash recovery of an unknown format",
         after(recovery, [](auto& journal) { journal.items[0].format = QStringLiteral("VST4"); }),
         recordReason},
        {"a Trash recovery naming one record twice",
         after(recovery,
               [&](auto& journal) {
                   const QString other = QStringLiteral("Other.vst3");
                   journal.items.push_back({trashed(other), plugins(other), journal.items[0].recoveryRecordID,
                                            other, QStringLiteral("VST3")});
               }),
         recordReason},
        {"a Trash recovery from a folder inside the Trash",
         after(recovery,
               [&](auto& journal) {
                   journal.items[0].sourcePath = trashed(QStringLiteral("Folder/") + synth);
               }),
         sourceReason},
        {"a Trash recovery from an item of another format",
         after(recovery,
               [&](auto& journal) { journal.items[0].sourcePath = trashed(QStringLiteral("Synth.clap")); }),
         sourceReason},
        {"a Trash recovery outside the plug-in folders",
         after(recovery, [&](auto& journal) { journal.items[0].destinationPath = elsewhere; }),
         destinationReason},
        {"a Trash recovery under another name than the original",
         after(recovery,
               [](auto& journal) { journal.items[0].originalBundleFilename = QStringLiteral("Other.vst3"); }),
         destinationReason},
        {"a Trash recovery to a bundle of another format",
         after(recovery,
               [&](auto& journal) {
                   journal.items[0].destinationPath = plugins(QStringLiteral("Synth.clap"));
                   journal.items[0].originalBundleFilename = QStringLiteral("Synth.clap");
               }),
         destinationReason},
        {"a Trash recovery of two Trash items whose names differ in case",
         after(recovery,
               [&](auto& journal) {
                   const QString lower = QStringLiteral("synth.vst3");
                   journal.items.push_back({trashed(lower), plugins(QStringLiteral("Nested/") + lower),
                                            uuidText(makeUuid()), lower, QStringLiteral("VST3")});
               }),
         std::nullopt},
        {"a Trash recovery of one Trash item twice",
         after(recovery,
               [&](auto& journal) {
                   journal.items.push_back({trashed(synth), plugins(QStringLiteral("Nested/Synth.vst3")),
                                            uuidText(makeUuid()), synth, QStringLiteral("VST3")});
               }),
         conflictReason},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.refusal(), row.expected);
    }
}

TEST_F(JournalPolicyTest, RefusesAJournalThatWouldGiveOneBundleTwoRecords) {
    const QString inUse =
        QStringLiteral("An item\u2019s operation identifier already belongs to another bundle.");
    const QString taken = QStringLiteral("An item\u2019s destination is already another recorded bundle.");
    const QString quarantinedElsewhere = quarantined(QStringLiteral("Other.vst3"), operation);
    const PluginBundleRecord active = bundleRecord(QStringLiteral("VST3"), plugins(synth));
    // Quarantined by this journal's own item already, as a launch that stopped half way leaves it.
    const PluginBundleRecord movedByThis =
        withQuarantine(active, plugins(synth), quarantine.items[0].destinationPath, operation);
    const PluginBundleRecord otherUnderOperation =
        withQuarantine(bundleRecord(QStringLiteral("VST3"), plugins(QStringLiteral("Other.vst3"))),
                       plugins(QStringLiteral("Other.vst3")), quarantinedElsewhere, operation);
    const PluginBundleRecord caseTwin =
        bundleRecord(QStringLiteral("VST3"), plugins(QStringLiteral("synth.VST3")));
    // One product holds `records`; each of `others` is a product of its own.
    const auto inventory = [](std::vector<PluginBundleRecord> records,
                              const std::vector<PluginBundleRecord>& others = {}) {
        std::vector<Plugin> products{
            productOfRecords(QStringLiteral("Synth"), QStringLiteral("Acme"), records)};
        for (const PluginBundleRecord& other : others)
            products.push_back(productOfRecords(QStringLiteral("Other"), QStringLiteral("Beta"), {other}));
        return products;
    };
    struct Row {
        const char* name;
        std::optional<QString> refusal;
        std::optional<QString> expected;
    };
    const std::vector<Row> rows{
        {"a quarantine of an active record", journalRecordRefusal(quarantine, inventory({active})),
         std::nullopt},
        {"a quarantine its own item already applied",
         journalRecordRefusal(quarantine, inventory({movedByThis})), std::nullopt},
        {"a quarantine under an operation another record holds",
         journalRecordRefusal(quarantine, inventory({active, otherUnderOperation})), inUse},
        {"a valid restore", journalRecordRefusal(restore, inventory({movedByThis})), std::nullopt},
        {"a restore onto another record's bundle in another case",
         journalRecordRefusal(restore, inventory({movedByThis, caseTwin})), taken},
        {"a quarantine under an operation another product's record holds",
         journalRecordRefusal(quarantine, inventory({active}, {otherUnderOperation})), inUse},
        {"a restore onto another product's bundle in another case",
         journalRecordRefusal(restore, inventory({movedByThis}, {caseTwin})), taken},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.refusal, row.expected);
    }
}

} // namespace
} // namespace quorvane::testing
