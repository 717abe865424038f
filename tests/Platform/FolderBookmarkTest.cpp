#include "Platform/FolderBookmark.h"

#include "Support/Fixtures/TemporaryTree.h"

#include <QDir>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(FolderBookmark, ResolvesToTheFolderAndNoticesAReplacement) {
    testing::TemporaryTree tree;
    const QString folder = tree.makeDirectory("Plug-Ins, \"quoted\" é");
    auto bookmark = makeFolderBookmark(folder);
    ASSERT_TRUE(bookmark);
    EXPECT_EQ(resolveFolderBookmark(*bookmark), (ResolvedFolderBookmark{folder, false}));

    // The old folder is kept so that the new one cannot reuse its inode.
    ASSERT_TRUE(QDir().rename(folder, tree.path("old")));
    tree.makeDirectory("Plug-Ins, \"quoted\" é");
    EXPECT_EQ(resolveFolderBookmark(*bookmark), (ResolvedFolderBookmark{folder, true}));
    auto fresh = makeFolderBookmark(folder);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(resolveFolderBookmark(*fresh), (ResolvedFolderBookmark{folder, false}));
}

TEST(FolderBookmark, FailuresHaveTheirReasons) {
    testing::TemporaryTree tree;
    const QString folder = tree.makeDirectory("gone");
    auto bookmark = makeFolderBookmark(folder);
    ASSERT_TRUE(bookmark);
    ASSERT_TRUE(QDir().rmdir(folder));
    EXPECT_EQ(resolveFolderBookmark(*bookmark).error(), FolderBookmarkError::folderMissing);
    EXPECT_EQ(makeFolderBookmark(folder).error(), FolderBookmarkError::folderMissing);
    EXPECT_EQ(makeFolderBookmark("relative/path").error(), FolderBookmarkError::folderMissing);
    EXPECT_EQ(makeFolderBookmark(tree.writeFile("file")).error(), FolderBookmarkError::notAFolder);
    for (const QByteArray& damaged :
         {QByteArray(), QByteArray("{}"), QByteArray("[1]"), QByteArray("\xff\x00", 2),
          QByteArray(R"({"path":"/","device":1,"inode":"2"})"),
          QByteArray(R"({"path":"x","device":"1","inode":"2"})")})
        EXPECT_EQ(resolveFolderBookmark(damaged).error(), FolderBookmarkError::damagedBookmark)
            << damaged.data();
    EXPECT_FALSE(description(FolderBookmarkError::folderMissing).isEmpty());
}

} // namespace
} // namespace quorvane
