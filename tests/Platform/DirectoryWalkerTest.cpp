#include "Platform/DirectoryWalker.h"

#include "Support/Fixtures/FixtureQtPrinters.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QFile>
#include <QScopeGuard>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

struct Walked {
    QStringList items; // relative path, "/" after folders
    QList<std::pair<QString, int>> errors;
};

Walked walk(const QString& root, DirectoryWalker::Options options = {}, const QString& skip = {}) {
    Walked result;
    auto handler = options.errorHandler;
    options.errorHandler = [&](const QString& path, const SyscallError& error) {
        result.errors.append({path.mid(root.size() + 1), error.code});
        return handler ? handler(path, error) : true;
    };
    auto walker = DirectoryWalker::open(root, std::move(options));
    EXPECT_TRUE(walker.has_value());
    if (!walker)
        return result;
    while (auto entry = walker->next()) {
        const QString relative = entry->path.mid(root.size() + 1);
        result.items.append(relative + (entry->isDirectory ? QStringLiteral("/") : QString()));
        if (!skip.isEmpty() && relative == skip)
            walker->skipDescendants();
    }
    return result;
}

TEST(DirectoryWalker, WalksPreOrderInByteOrderAndLeavesHiddenItemsAlone) {
    testing::TemporaryTree tree;
    tree.writeFile("b/inner.txt", "12345");
    tree.writeFile("a.txt", "1");
    tree.writeFile("B.txt");
    tree.writeFile(".hidden");
    tree.writeFile(".secret/inside.txt");
    tree.writeFile("b/.dotfile");
    tree.makeDirectory("c/d");

    const Walked walked = walk(tree.path());
    EXPECT_THAT(walked.items, ElementsAre("B.txt", "a.txt", "b/", "b/inner.txt", "c/", "c/d/"));
    EXPECT_THAT(walked.errors, IsEmpty());
}

TEST(DirectoryWalker, PrefetchesFactsWithoutFollowingLinks) {
    testing::TemporaryTree tree;
    tree.writeFile("target/file.bin", QByteArray(300, 'x'));
    tree.makeDirectory("Synth.VST3/Contents");
    tree.makeDirectory("Plain.folder");
    ASSERT_TRUE(QFile::link(tree.path("target"), tree.path("link")));
    ASSERT_TRUE(QFile::link(tree.path("missing"), tree.path("dangling")));

    DirectoryWalker::Options options;
    options.packageExtensions = {"vst3"};
    auto walker = DirectoryWalker::open(tree.path(), options);
    ASSERT_TRUE(walker);
    std::map<QString, DirectoryEntry> entries;
    while (auto entry = walker->next())
        entries[entry->path.mid(tree.path().size() + 1)] = *entry;

    EXPECT_THAT(entries.size(), 7u); // the link's target is not entered through the link
    const DirectoryEntry& file = entries["target/file.bin"];
    EXPECT_TRUE(file.isRegularFile);
    EXPECT_EQ(file.fileSize, 300);
    EXPECT_EQ(file.depth, 2);
    EXPECT_EQ(file.name, "file.bin");
    const DirectoryEntry& link = entries["link"];
    EXPECT_TRUE(link.isSymbolicLink);
    EXPECT_FALSE(link.isDirectory);
    EXPECT_TRUE(entries["dangling"].isSymbolicLink);
    EXPECT_TRUE(entries["Synth.VST3"].isPackage);
    EXPECT_TRUE(entries["Synth.VST3"].isDirectory);
    EXPECT_EQ(entries["Synth.VST3"].fileSize, std::nullopt);
    EXPECT_FALSE(entries["Plain.folder"].isPackage);
    EXPECT_FALSE(entries.contains("link/file.bin"));
}

TEST(DirectoryWalker, SkipsTheDescendantsOfTheLastItemOnRequest) {
    testing::TemporaryTree tree;
    tree.writeFile("a/one/deep.txt");
    tree.writeFile("a/two.txt");
    tree.writeFile("z.txt");

    EXPECT_THAT(walk(tree.path(), {}, "a/one").items, ElementsAre("a/", "a/one/", "a/two.txt", "z.txt"));
    EXPECT_THAT(walk(tree.path(), {}, "a").items, ElementsAre("a/", "z.txt"));
}

TEST(DirectoryWalker, ReportsAFolderThatCannotBeOpenedAndWalksOn) {
    testing::TemporaryTree tree;
    tree.writeFile("locked/hidden-by-lock.txt");
    tree.writeFile("open/visible.txt");
    const QByteArray locked = tree.path("locked").toUtf8();

    int opened = 0;
    DirectoryWalker::Options options;
    options.openDirectory = [&](const QByteArray& path, int flags) {
        ++opened;
        if (path == locked) {
            errno = EACCES;
            return -1;
        }
        return ::open(path.constData(), flags);
    };
    const Walked walked = walk(tree.path(), options);
    EXPECT_THAT(walked.items, ElementsAre("locked/", "open/", "open/visible.txt"));
    EXPECT_THAT(walked.errors, ElementsAre(Pair("locked", EACCES)));
    EXPECT_EQ(opened, 3); // the root, "locked" and "open"
}

TEST(DirectoryWalker, StopsWhenTheErrorHandlerSaysSo) {
    testing::TemporaryTree tree;
    tree.writeFile("a/x.txt");
    tree.writeFile("b/y.txt");
    const QByteArray failing = tree.path("a").toUtf8();
    DirectoryWalker::Options options;
    options.openDirectory = [&](const QByteArray& path, int flags) {
        if (path == failing) {
            errno = EIO;
            return -1;
        }
        return ::open(path.constData(), flags);
    };
    options.errorHandler = [](const QString&, const SyscallError&) { return false; };
    const Walked walked = walk(tree.path(), options);
    EXPECT_THAT(walked.items, ElementsAre("a/"));
    EXPECT_THAT(walked.errors, ElementsAre(Pair("a", EIO)));
}

TEST(DirectoryWalker, NamesThatAreNotUtf8AreReportedNotYielded) {
    testing::TemporaryTree tree;
    tree.writeFile("fine.txt");
    const QByteArray bad = tree.path().toUtf8() + "/bad\xff\xfe.vst3";
    const int fd = ::open(bad.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    // The temporary folder cannot remove a name it cannot decode.
    const auto removeBad = qScopeGuard([&bad] { ::unlink(bad.constData()); });

    const Walked walked = walk(tree.path());
    EXPECT_THAT(walked.items, ElementsAre("fine.txt"));
    ASSERT_EQ(walked.errors.size(), 1);
    EXPECT_EQ(walked.errors.first().second, EILSEQ);
}

TEST(DirectoryWalker, FifosAreItemsThatNeverBlock) {
    testing::TemporaryTree tree;
    ASSERT_EQ(::mkfifo(tree.path("pipe.clap").toUtf8().constData(), 0644), 0);
    auto walker = DirectoryWalker::open(tree.path());
    ASSERT_TRUE(walker);
    auto entry = walker->next();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "pipe.clap");
    EXPECT_FALSE(entry->isRegularFile);
    EXPECT_FALSE(entry->isDirectory);
    EXPECT_FALSE(walker->next());
}

TEST(DirectoryWalker, ARootThatCannotBeListedIsAnError) {
    testing::TemporaryTree tree;
    tree.writeFile("file.txt");
    auto missing = DirectoryWalker::open(tree.path("nothing"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    auto file = DirectoryWalker::open(tree.path("file.txt"));
    ASSERT_FALSE(file);
    EXPECT_EQ(file.error().code, ENOTDIR);
}

TEST(DirectoryWalker, ARootGivenThroughALinkIsListed) {
    testing::TemporaryTree tree;
    tree.writeFile("real/x.txt");
    ASSERT_TRUE(QFile::link(tree.path("real"), tree.path("alias")));
    EXPECT_THAT(walk(tree.path("alias")).items, ElementsAre("x.txt"));
}

} // namespace
} // namespace quorvane
