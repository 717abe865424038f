#include "Helper/PrivateFile.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::testing {
namespace {

const QString name = QStringLiteral("Record.json");

struct stat statusOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
    return status;
}

TEST(PrivateFile, IsWrittenWholeForItsOwnerAloneAndReplacedWhole) {
    TemporaryTree tree;
    const QString folder = tree.makeDirectory(QStringLiteral("helper"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    ::umask(0);
    for (const QByteArray& data : {QByteArray("first"), QByteArray("second, longer than the first")}) {
        ASSERT_TRUE(writePrivateFile(folder, name, data));
        const struct stat status = statusOf(folder + u'/' + name);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
        EXPECT_EQ(status.st_uid, ::geteuid());
        const auto read = readPrivateFile(folder, name, 1024);
        ASSERT_TRUE(read && *read);
        EXPECT_EQ(**read, data);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList{name});
    }
    ::umask(022);
    ASSERT_TRUE(removePrivateFile(folder, name));
    const auto gone = readPrivateFile(folder, name, 1024);
    ASSERT_TRUE(gone);
    EXPECT_FALSE(gone->has_value());
    EXPECT_TRUE(removePrivateFile(folder, name));
}

// A file rewritten once per transaction reuses the copy set aside last time, shorter or longer
// contents alike, and is patched in place only where it holds what is expected.
TEST(PrivateFile, IsRewrittenOverItsSetAsideCopyAndPatchedInPlace) {
    TemporaryTree tree;
    const QString folder = tree.makeDirectory(QStringLiteral("helper"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const QString path = folder + u'/' + name;
    for (const QByteArray& data : {QByteArray(R"({"a":"a long first value"})"), QByteArray(R"({"a":1})"),
                                   QByteArray(R"({"a":"longer than both before it"})")}) {
        ASSERT_TRUE(rewritePrivateFile(folder, name, data));
        const auto read = readPrivateFile(folder, name, 1024);
        ASSERT_TRUE(read && *read);
        EXPECT_EQ((*read)->trimmed(), data);
        EXPECT_EQ(statusOf(path).st_mode & 07777, 0600u);
        ASSERT_TRUE(setAsidePrivateFile(folder, name));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    ASSERT_TRUE(rewritePrivateFile(folder, name, R"({"a":false})"));
    EXPECT_EQ(patchPrivateFile(folder, name, 5, "true ", "false").error().code, EBADMSG);
    ASSERT_TRUE(patchPrivateFile(folder, name, 5, "false", "true "));
    const auto patched = readPrivateFile(folder, name, 1024);
    ASSERT_TRUE(patched && *patched);
    EXPECT_TRUE((*patched)->startsWith(R"({"a":true })"));
}

// What is not the helper's own is never read as its record, and never waited on.
TEST(PrivateFile, ReadsNothingThatIsNotItsOwnRegularFile) {
    struct Row {
        const char* name;
        std::function<void(const QString& path)> plant;
        // Giving a file to another user takes root.
        bool needsRoot = false;
    };
    const std::vector<Row> rows{
        {"a link to a file of its own",
         [](const QString& path) {
             QFile target(path + QStringLiteral(".target"));
             ASSERT_TRUE(target.open(QIODevice::WriteOnly));
             target.write("{}");
             QFile::link(target.fileName(), path);
         }},
        {"a folder", [](const QString& path) { QDir().mkpath(path); }},
        {"a FIFO", [](const QString& path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); }},
        {"a file of another owner",
         [](const QString& path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             ASSERT_EQ(::fchown(file.handle(), ::geteuid() + 1, ::getegid()), 0);
         },
         true},
        {"a file above the size allowed",
         [](const QString& path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(QByteArray(2048, 'x'));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0)
            continue;
        TemporaryTree tree;
        const QString folder = tree.makeDirectory(QStringLiteral("helper"));
        row.plant(folder + u'/' + name);
        const auto read = readPrivateFile(folder, name, 1024);
        EXPECT_FALSE(read.has_value());
    }
}

TEST(PrivateFile, IsNeverWrittenInAFolderOthersMayWriteToOrDoNotOwn) {
    struct Row {
        const char* name;
        mode_t mode;
        bool otherOwner;
    };
    const std::vector<Row> rows{
        {"writable by its group", 0775, false},
        {"writable by anyone", 0777, false},
        {"of another owner", 0755, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.otherOwner && ::geteuid() != 0)
            continue;
        TemporaryTree tree;
        const QString folder = tree.makeDirectory(QStringLiteral("helper"));
        const QByteArray path = QFile::encodeName(folder);
        ASSERT_EQ(::chmod(path.constData(), row.mode), 0);
        if (row.otherOwner) {
            ASSERT_EQ(::chown(path.constData(), ::geteuid() + 1, ::getegid()), 0);
        }
        const auto written = writePrivateFile(folder, name, "data");
        ASSERT_FALSE(written.has_value());
        EXPECT_EQ(written.error().code, EPERM);
        EXPECT_TRUE(
            QDir(folder).isEmpty(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot));
    }
}

} // namespace
} // namespace quorvane::testing
