#include "Support/Paths.h"

#include "Support/Fixtures/TemporaryTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace quorvane {
namespace {

struct PathRow {
    const char* input;
    const char* expected;
};

void expectTable(QString (*function)(const QString&), std::initializer_list<PathRow> rows) {
    for (const PathRow& row : rows)
        EXPECT_EQ(function(QString::fromUtf8(row.input)), QString::fromUtf8(row.expected)) << row.input;
}

bool makeLink(const QString& target, const QString& link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

class CurrentFolder {
public:
    explicit CurrentFolder(const QString& path) : m_saved(QDir::currentPath()) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

TEST(PathsTest, StandardizesAbsolutePathsLexically) {
    expectTable(standardizedPath, {
                                      {"/", "/"},
                                      {"//", "/"},
                                      {"/..", "/"},
                                      {"/../..", "/"},
                                      {"/../../Library/Audio", "/Library/Audio"},
                                      {"/a/b/../c", "/a/c"},
                                      {"/a/b/../../..", "/"},
                                      {"/a/./b/.", "/a/b"},
                                      {"/a//b///c", "/a/b/c"},
                                      {"/a/b/", "/a/b"},
                                      {"/a/b///", "/a/b"},
                                      {"//a/b", "/a/b"},
                                      {"/a/.../b", "/a/.../b"},
                                      {"/.", "/"},
                                      {"/a/..", "/"},
                                      {"/a/..b/.c", "/a/..b/.c"},
                                      {"/Caf\u00E9/cafe\u0301", "/Caf\u00E9/cafe\u0301"},
                                      {"", ""},
                                  });
}

TEST(PathsTest, MakesRelativePathsAbsoluteAgainstTheCurrentFolder) {
    testing::TemporaryTree tree;
    ASSERT_TRUE(tree.isValid());
    const QString folder = tree.makeDirectory(QStringLiteral("work/here"));
    CurrentFolder current(folder);
    EXPECT_EQ(standardizedPath(QStringLiteral("x/y")), folder + QStringLiteral("/x/y"));
    EXPECT_EQ(standardizedPath(QStringLiteral(".")), folder);
    EXPECT_EQ(standardizedPath(QStringLiteral("./x/")), folder + QStringLiteral("/x"));
    EXPECT_EQ(standardizedPath(QStringLiteral("..")), tree.path(QStringLiteral("work")));
    EXPECT_EQ(standardizedPath(QStringLiteral("../../../../../../../../../../../../..")),
              QStringLiteral("/"));
}

TEST(PathsTest, StandardizingNeverFollowsLinks) {
    testing::TemporaryTree tree;
    tree.makeDirectory(QStringLiteral("real/deep"));
    ASSERT_TRUE(makeLink(tree.path(QStringLiteral("real/deep")), tree.path(QStringLiteral("link"))));
    EXPECT_EQ(standardizedPath(tree.path(QStringLiteral("link/../x"))), tree.path(QStringLiteral("x")));
    EXPECT_EQ(standardizedPath(tree.path(QStringLiteral("link/"))), tree.path(QStringLiteral("link")));
}

TEST(PathsTest, ResolvesLinksAlongThePathAndKeepsTheMissingTail) {
    testing::TemporaryTree tree;
    ASSERT_TRUE(tree.isValid());
    tree.makeDirectory(QStringLiteral("real/a/b"));
    tree.makeDirectory(QStringLiteral("sub"));
    tree.writeFile(QStringLiteral("real/a/b/file.txt"));
    ASSERT_TRUE(makeLink(QStringLiteral("real/a"), tree.path(QStringLiteral("relative"))));
    ASSERT_TRUE(makeLink(tree.path(QStringLiteral("real")), tree.path(QStringLiteral("absolute"))));
    ASSERT_TRUE(makeLink(QStringLiteral("../real/a/"), tree.path(QStringLiteral("sub/up"))));
    ASSERT_TRUE(makeLink(tree.path(QStringLiteral("relative")), tree.path(QStringLiteral("chain"))));
    ASSERT_TRUE(makeLink(QStringLiteral("nowhere"), tree.path(QStringLiteral("dangling"))));
    ASSERT_TRUE(makeLink(QStringLiteral("real/a/b/file.txt"), tree.path(QStringLiteral("filelink"))));

    const auto resolves = [&](const char* input, const char* expected) {
        EXPECT_EQ(resolvingSymlinksInPath(tree.path(QString::fromUtf8(input))),
                  tree.path(QString::fromUtf8(expected)))
            << input;
    };
    resolves("relative/b/file.txt", "real/a/b/file.txt");
    resolves("absolute/a/b", "real/a/b");
    resolves("sub/up/b", "real/a/b");
    resolves("chain/b", "real/a/b");
    resolves("relative/b/missing/Tail.vst3", "real/a/b/missing/Tail.vst3");
    resolves("relative/missing/../b", "real/a/b");
    resolves("dangling/x", "nowhere/x");
    resolves("filelink", "real/a/b/file.txt");
    resolves("relative//b/./", "real/a/b");
    EXPECT_EQ(resolvingSymlinksInPath(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(PathsTest, ResolvesLinkTargetsComponentByComponent) {
    testing::TemporaryTree tree;
    ASSERT_TRUE(tree.isValid());
    tree.makeDirectory(QStringLiteral("real/a/b"));
    tree.makeDirectory(QStringLiteral("sub"));
    tree.writeFile(QStringLiteral("real/a/b/file.txt"));
    ASSERT_TRUE(makeLink(QStringLiteral("real/a"), tree.path(QStringLiteral("relative"))));
    ASSERT_TRUE(makeLink(QStringLiteral("../relative"), tree.path(QStringLiteral("sub/hop"))));
    ASSERT_TRUE(makeLink(QStringLiteral("hop/b/../.."), tree.path(QStringLiteral("sub/back"))));
    ASSERT_TRUE(makeLink(QStringLiteral("nowhere/../real"), tree.path(QStringLiteral("danglingUp"))));
    ASSERT_TRUE(makeLink(QStringLiteral("real/a/b/file.txt/../.."), tree.path(QStringLiteral("pastFile"))));
    ASSERT_TRUE(makeLink(QStringLiteral("/"), tree.path(QStringLiteral("toRoot"))));
    ASSERT_TRUE(makeLink(QStringLiteral("../../../../../../../../../../../../../.."),
                         tree.path(QStringLiteral("sub/aboveRoot"))));

    const auto resolves = [&](const QString& input, const QString& expected) {
        EXPECT_EQ(resolvingSymlinksInPath(input), expected) << input.toStdString();
    };
    resolves(tree.path(QStringLiteral("sub/hop/b")), tree.path(QStringLiteral("real/a/b")));
    resolves(tree.path(QStringLiteral("sub/back/a")), tree.path(QStringLiteral("real/a")));
    resolves(tree.path(QStringLiteral("danglingUp/a/b")), tree.path(QStringLiteral("real/a/b")));
    resolves(tree.path(QStringLiteral("pastFile/b")), tree.path(QStringLiteral("real/a/b")));
    resolves(tree.path(QStringLiteral("toRoot")) + tree.path(QStringLiteral("relative/b")),
             tree.path(QStringLiteral("real/a/b")));
    resolves(tree.path(QStringLiteral("sub/aboveRoot")) + tree.path(QStringLiteral("relative")),
             tree.path(QStringLiteral("real/a")));
    // Nothing exists below a file.
    resolves(tree.path(QStringLiteral("relative/b/file.txt/x")),
             tree.path(QStringLiteral("real/a/b/file.txt/x")));
    // A name with a NUL cannot exist, so it is not read as the shorter name before it.
    const QString withNul = tree.path(QStringLiteral("relative")) + QChar(u'\0') + QStringLiteral("/b");
    resolves(withNul, withNul);
}

TEST(PathsTest, ResolutionSaysWhenItCannotVouchForThePath) {
    testing::TemporaryTree tree;
    ASSERT_TRUE(tree.isValid());
    tree.makeDirectory(QStringLiteral("real/a"));
    ASSERT_TRUE(makeLink(QStringLiteral("real"), tree.path(QStringLiteral("link"))));
    ASSERT_TRUE(makeLink(QStringLiteral("nowhere/../link"), tree.path(QStringLiteral("danglingUp"))));
    ASSERT_TRUE(makeLink(QStringLiteral("self"), tree.path(QStringLiteral("self"))));
    struct Row {
        const char* input;
        const char* path;
        bool linkFree;
    };
    const Row rows[] = {
        {"link/a", "real/a", true},
        {"link/a/missing/tail", "real/a/missing/tail", true},
        {"real/a", "real/a", true},
        // The tail is kept as written, so "link" is named but never looked at.
        {"danglingUp/a", "link/a", false},
        {"self/a", "self/a", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(resolveSymlinksInPath(tree.path(QString::fromUtf8(row.input))),
                  (SymlinkResolution{tree.path(QString::fromUtf8(row.path)), row.linkFree}))
            << row.input;
    }
}

TEST(PathsTest, FollowsAtMostFortyLinks) {
    testing::TemporaryTree tree;
    ASSERT_TRUE(tree.isValid());
    tree.makeDirectory(QStringLiteral("real"));
    ASSERT_TRUE(makeLink(QStringLiteral("real"), tree.path(QStringLiteral("link0"))));
    for (int index = 1; index <= 40; ++index) {
        ASSERT_TRUE(makeLink(QStringLiteral("link%1").arg(index - 1),
                             tree.path(QStringLiteral("link%1").arg(index))));
    }
    EXPECT_EQ(resolvingSymlinksInPath(tree.path(QStringLiteral("link39/x"))),
              tree.path(QStringLiteral("real/x")));
    EXPECT_EQ(resolvingSymlinksInPath(tree.path(QStringLiteral("link40/x"))),
              tree.path(QStringLiteral("link40/x")));
}

TEST(PathsTest, LinkLoopsEndWithoutResolving) {
    testing::TemporaryTree tree;
    ASSERT_TRUE(makeLink(tree.path(QStringLiteral("two")), tree.path(QStringLiteral("one"))));
    ASSERT_TRUE(makeLink(tree.path(QStringLiteral("one")), tree.path(QStringLiteral("two"))));
    ASSERT_TRUE(makeLink(QStringLiteral("self"), tree.path(QStringLiteral("self"))));
    EXPECT_EQ(resolvingSymlinksInPath(tree.path(QStringLiteral("one/x"))),
              tree.path(QStringLiteral("one/x")));
    EXPECT_EQ(resolvingSymlinksInPath(tree.path(QStringLiteral("self"))), tree.path(QStringLiteral("self")));
    tree.makeDirectory(QStringLiteral("deep/er"));
    ASSERT_TRUE(makeLink(QStringLiteral("../er/loop"), tree.path(QStringLiteral("deep/er/loop"))));
    EXPECT_EQ(resolvingSymlinksInPath(tree.path(QStringLiteral("deep/er/loop/x"))),
              tree.path(QStringLiteral("deep/er/loop/x")));
}

TEST(PathsTest, LastPathComponent) {
    expectTable(lastPathComponent, {
                                       {"/Library/Audio/Plug-Ins/VST3/Pro.vst3", "Pro.vst3"},
                                       {"/tmp/lock/", "lock"},
                                       {"/tmp", "tmp"},
                                       {"/", "/"},
                                       {"//", "/"},
                                       {"name", "name"},
                                       {"", ""},
                                   });
}

TEST(PathsTest, PathExtension) {
    expectTable(pathExtension, {
                                   {"/a/Pro.vst3", "vst3"},
                                   {"/a/Pro.VST3", "VST3"},
                                   {"/a/Pro.component/", "component"},
                                   {"/a/Pro.x.clap", "clap"},
                                   {"/a/Pro..vst", "vst"},
                                   {"/a/Pro", ""},
                                   {"/a.b/Pro", ""},
                                   {"/a/.hidden", ""},
                                   {"/a/.hidden.vst3", "vst3"},
                                   {"/a/Pro.", ""},
                                   {"/", ""},
                                   {"", ""},
                               });
}

TEST(PathsTest, DeletingLastPathComponent) {
    expectTable(deletingLastPathComponent, {
                                               {"/tmp/scratch.tiff", "/tmp"},
                                               {"/tmp/lock/", "/tmp"},
                                               {"/tmp/", "/"},
                                               {"/tmp", "/"},
                                               {"/", "/"},
                                               {"//a//b", "//a"},
                                               {"scratch.tiff", ""},
                                               {"a/b", "a"},
                                               {"", ""},
                                           });
}

TEST(PathsTest, DeletingPathExtension) {
    expectTable(deletingPathExtension, {
                                           {"/tmp/scratch.tiff", "/tmp/scratch"},
                                           {"/tmp/Pro.x.vst3/", "/tmp/Pro.x"},
                                           {"/tmp.d/scratch", "/tmp.d/scratch"},
                                           {"/tmp/.hidden", "/tmp/.hidden"},
                                           {"/tmp/", "/tmp"},
                                           {"/", "/"},
                                           {"Pro.clap", "Pro"},
                                       });
}

TEST(PathsTest, AppendingPathComponent) {
    struct Row {
        const char* base;
        const char* component;
        const char* expected;
    };
    const Row rows[] = {
        {"/tmp", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/tmp/", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/", "tmp", "/tmp"},
        {"/tmp", "/x/", "/tmp/x"},
        {"/tmp", "", "/tmp"},
        {"", "x", "x"},
        {"/tmp", "a/b", "/tmp/a/b"},
        {"/", "/", "/"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(appendingPathComponent(QString::fromUtf8(row.base), QString::fromUtf8(row.component)),
                  QString::fromUtf8(row.expected))
            << row.base << " + " << row.component;
    }
}

} // namespace
} // namespace quorvane
