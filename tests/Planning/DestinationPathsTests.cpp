#include "PlanningFixture.h"

#include "Planning/DestinationPaths.h"

#include <gtest/gtest.h>

#include <QFile>

namespace quorvane {
namespace {

class DestinationPathsTest : public ::testing::Test, public testing::PlanningFixture {
protected:
    void SetUp() override { QDir().mkpath(trashFolder()); }
    void occupy(const QString& name) const { makeBundle(trashFolder() + "/" + name); }
    std::optional<QString> destination(const QString& source) {
        return trashDestinationURL(source, trashFolder(), reserved, fileSystem);
    }
    QString inTrash(const QString& name) const { return trashFolder() + "/" + name; }

    ReservedTrashPaths reserved;
};

TEST_F(DestinationPathsTest, QuarantineDestinationIsInItsOwnOperationFolder) {
    EXPECT_EQ(
        quarantineDestinationPath(policy, "1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "Synth.vst3"),
        roots.path("/Library/Application Support/Quorvane/Quarantine/1B4E28BA-2FA1-11D2-883F-0016D3CCA427/"
                   "Synth.vst3"));
    EXPECT_EQ(quarantineDestinationPath(PathPolicy(SystemRoots::production()), "OP", "A.vst"),
              "/Library/Application Support/Quorvane/Quarantine/OP/A.vst");
}

TEST_F(DestinationPathsTest, DefaultTrashIsTheFreedesktopHomeTrash) {
    EXPECT_EQ(defaultTrashFolder(fileSystem), home + "/.local/share/Trash/files");
    EXPECT_EQ(trashFolderForHome("/home/ana/"), "/home/ana/.local/share/Trash/files");
    EXPECT_EQ(defaultTrashFolder(SystemFileSystemProbe("")), std::nullopt);
    EXPECT_EQ(defaultTrashFolder(SystemFileSystemProbe("relative/home")), std::nullopt);
    EXPECT_TRUE(SystemFileSystemProbe::passwordDatabaseHome().startsWith(u'/'));
}

TEST_F(DestinationPathsTest, FreeNamesAndNumberedClashes) {
    EXPECT_EQ(destination("/q/op/Name.vst3"), inTrash("Name.vst3"));

    reserved.clear();
    occupy("Name.vst3");
    EXPECT_EQ(destination("/q/op/Name.vst3"), inTrash("Name 2.vst3"));

    reserved.clear();
    occupy("Name 2.vst3");
    EXPECT_EQ(destination("/q/op/Name.vst3"), inTrash("Name 3.vst3"));
}

TEST_F(DestinationPathsTest, ReservationsIgnoreLetterCaseAndKeepTheSourceCase) {
    EXPECT_EQ(destination("/q/a/Name.vst3"), inTrash("Name.vst3"));
    EXPECT_EQ(destination("/q/b/NAME.vst3"), inTrash("NAME 2.vst3"));
    EXPECT_EQ(destination("/q/c/Name.vst3"), inTrash("Name 3.vst3"));
    EXPECT_EQ(destination("/q/d/My.Synth.vst3"), inTrash("My.Synth.vst3"));
    EXPECT_EQ(destination("/q/e/My.Synth.vst3"), inTrash("My.Synth 2.vst3"));
    EXPECT_EQ(destination("/q/f/Plain"), inTrash("Plain"));
    EXPECT_EQ(destination("/q/g/Plain"), inTrash("Plain 2"));
}

TEST_F(DestinationPathsTest, ExistingNamesAreNotReservedAndDanglingLinksCountAsFree) {
    occupy("Name.vst3");
    EXPECT_EQ(destination("/q/a/Name.vst3"), inTrash("Name 2.vst3"));
    EXPECT_FALSE(reserved.contains(inTrash("Name.vst3").toLower()));
    // Existence follows links, so the helper's no-replace move is what protects a dangling link.
    ASSERT_TRUE(QFile::link(tree.path("nowhere"), inTrash("Dangling.vst3")));
    EXPECT_EQ(destination("/q/b/Dangling.vst3"), inTrash("Dangling.vst3"));
}

TEST_F(DestinationPathsTest, NoDestinationWhenEveryNumberIsTaken) {
    occupy("Name.vst3");
    for (int number = 2; number <= 10000; ++number)
        occupy(QString("Name %1.vst3").arg(number));
    EXPECT_EQ(destination("/q/a/Name.vst3"), std::nullopt);
    reserved.clear();
    EXPECT_EQ(destination("/q/a/Other.vst3"), inTrash("Other.vst3"));
}

TEST_F(DestinationPathsTest, VerifiedBundleDirectory) {
    EXPECT_TRUE(isVerifiedBundleDirectory(trashFolder(), fileSystem));
    const QString link = tree.path("trash-link");
    ASSERT_TRUE(QFile::link(trashFolder(), link));
    EXPECT_FALSE(isVerifiedBundleDirectory(link, fileSystem));
    EXPECT_FALSE(isVerifiedBundleDirectory(tree.writeFile("plain-file"), fileSystem));
    EXPECT_FALSE(isVerifiedBundleDirectory(tree.path("missing"), fileSystem));
}

} // namespace
} // namespace quorvane
