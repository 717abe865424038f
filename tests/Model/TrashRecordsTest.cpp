#include "Model/TrashRecoveryEntry.h"
#include "Model/TrashedBundleRecord.h"
#include "Shared/PathPolicy.h"
#include "Support/Fixtures/TemporaryTree.h"

#include "ModelFixtures.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

class TrashRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tree.isValid());
        policy = PathPolicy(SystemRoots::underPrefix(tree.path()));
        tree.makeDirectory("Library/Audio/Plug-Ins/VST3");
        trash = tree.makeDirectory("home/.local/share/Trash/files");
    }

    TrashedBundleRecord record(const QString& format, const QString& originalPath,
                               const QString& trashPath) const {
        TrashedBundleRecord result;
        result.id = QUuid::createUuid();
        result.pluginName = "Diva";
        result.manufacturer = "u-he";
        result.format = format;
        result.originalPath = originalPath;
        result.trashPath = trashPath;
        result.operationDate = Timestamp{745000000.25};
        return result;
    }

    QString systemVst3(const QString& name) const { return tree.path("Library/Audio/Plug-Ins/VST3/" + name); }

    testing::TemporaryTree tree;
    PathPolicy policy;
    QString trash;
};

TEST_F(TrashRecordTest, SafeWhenBothPathsFitAnApprovedSystemLocation) {
    EXPECT_TRUE(record("VST3", systemVst3("Diva.vst3"), trash + "/Diva.vst3").hasSafeRecoveryPaths(policy));
    EXPECT_TRUE(
        record(" vst3\n", systemVst3("Diva.vst3"), trash + "/Diva.VST3").hasSafeRecoveryPaths(policy));
    EXPECT_TRUE(
        record("VST3", systemVst3("Nested/../Diva.vst3"), trash + "/Diva.vst3").hasSafeRecoveryPaths(policy));
}

TEST_F(TrashRecordTest, UnsafeRecords) {
    const struct {
        const char* what;
        TrashedBundleRecord record;
    } cases[] = {
        {"format VST is not a format", record("VST", systemVst3("Diva.vst3"), trash + "/Diva.vst3")},
        {"trash extension of another format", record("VST3", systemVst3("Diva.vst3"), trash + "/Diva.vst")},
        {"original extension of another format",
         record("VST3", systemVst3("Diva.vst"), trash + "/Diva.vst3")},
        {"relative paths", record("VST3", "Library/Audio/Plug-Ins/VST3/Diva.vst3", "Trash/Diva.vst3")},
        {"relative trash path", record("VST3", systemVst3("Diva.vst3"), "Diva.vst3")},
        {"original under the home folder",
         record("VST3", tree.path("home/Library/Audio/Plug-Ins/VST3/Diva.vst3"), trash + "/Diva.vst3")},
        {"original beside an approved root",
         record("VST3", tree.path("Library/Audio/Plug-Ins/VST3 Extra/Diva.vst3"), trash + "/Diva.vst3")},
        {"leading blank before the slash",
         record("VST3", " " + systemVst3("Diva.vst3"), trash + "/Diva.vst3")},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(c.record.hasSafeRecoveryPaths(policy)) << c.what;
}

TEST_F(TrashRecordTest, OriginalThatIsASymbolicLinkIsUnsafeAndAMissingOneCanBeSafe) {
    const QString target = tree.makeDirectory("Elsewhere/Diva.vst3");
    ASSERT_TRUE(QFile::link(target, systemVst3("Linked.vst3")));
    EXPECT_FALSE(
        record("VST3", systemVst3("Linked.vst3"), trash + "/Diva.vst3").hasSafeRecoveryPaths(policy));
    EXPECT_FALSE(QFile::exists(systemVst3("Missing.vst3")));
    EXPECT_TRUE(
        record("VST3", systemVst3("Missing.vst3"), trash + "/Diva.vst3").hasSafeRecoveryPaths(policy));
}

TEST_F(TrashRecordTest, JsonKeepsOptionalFieldsOutAndRequiresTheDate) {
    TrashedBundleRecord bare = record("VST3", "/Library/Audio/Plug-Ins/VST3/Diva.vst3", "/t/Diva.vst3");
    bare.id = QUuid("{8a1f9a1e-0b4d-4e77-b2f5-3c1d2e3f4a5b}");
    EXPECT_EQ(
        QJsonDocument(toJson(bare)).toJson(QJsonDocument::Compact),
        QByteArray(R"({"format":"VST3","id":"8A1F9A1E-0B4D-4E77-B2F5-3C1D2E3F4A5B","manufacturer":"u-he",)"
                   R"("operationDate":745000000.25,"originalPath":"/Library/Audio/Plug-Ins/VST3/Diva.vst3",)"
                   R"("pluginName":"Diva","trashPath":"/t/Diva.vst3"})"));
    EXPECT_EQ(trashedBundleRecordFromJson(toJson(bare)), bare);

    TrashedBundleRecord full = bare;
    full.trashTransactionID = "TX-TRASH";
    full.presetRunID = QUuid::createUuid();
    full.reconciledDate = Timestamp{745000100.5};
    full.restoreTransactionID = "TX-RESTORE";
    full.missingDetectedDate = Timestamp{-12.125};
    EXPECT_EQ(trashedBundleRecordFromJson(toJson(full)), full);
    EXPECT_NE(full, bare);

    QJsonObject withoutDate = toJson(full);
    withoutDate.remove("operationDate");
    EXPECT_FALSE(trashedBundleRecordFromJson(withoutDate).has_value());
    QJsonObject textDate = toJson(bare);
    textDate.insert("operationDate", "2024-08-10T12:00:00Z");
    EXPECT_FALSE(trashedBundleRecordFromJson(textDate).has_value());
}

TEST(TrashRecoveryStateTest, FiveStatesInOrderWithTheirTitles) {
    QStringList titles;
    int index = 0;
    for (const auto& [state, title] : trashRecoveryStateTable().entries()) {
        EXPECT_EQ(static_cast<int>(state), index++);
        EXPECT_EQ(trashRecoveryStateFromRawValue(title), state);
        titles.append(title);
    }
    EXPECT_EQ(titles, QStringList({"Ready to Restore", "Already Restored", "Destination Occupied",
                                   "Missing from Trash", "Needs Verification"}));
    EXPECT_EQ(trashRecoveryStateFromRawValue("ready to restore"), std::nullopt);
    EXPECT_EQ(trashRecoveryStateFromRawValue("Missing From Trash"), std::nullopt);
}

TEST(TrashRecoveryEntryTest, IdentityIsTheRecordsAndEqualityCoversTheState) {
    TrashedBundleRecord record;
    record.id = QUuid::createUuid();
    const TrashRecoveryEntry ready{record, TrashRecoveryState::readyToRestore};
    const TrashRecoveryEntry occupied{record, TrashRecoveryState::destinationOccupied};
    EXPECT_EQ(ready.id(), record.id);
    EXPECT_EQ(ready.id(), occupied.id());
    EXPECT_NE(ready, occupied);
}

} // namespace
} // namespace quorvane
