#include "Platform/DirectoryHandle.h"
#include "Platform/HelperLog.h"
#include "Platform/HomeTrash.h"
#include "Platform/PeerIdentity.h"
#include "Platform/TransactionLockFile.h"
#include "Platform/UnixSocketChannel.h"
#include "Platform/UnixSocketListener.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvane::testing {
namespace {

constexpr uid_t strangerUid = 60002;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

std::pair<UnixSocketChannel, UnixSocketChannel> connectedPair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    return {UnixSocketChannel(fds[0]), UnixSocketChannel(fds[1])};
}

TEST(DirectoryHandleTest, OpensOnlyRealFoldersWithoutLinksOnTheWay) {
    TemporaryTree tree;
    const QString real = tree.makeDirectory("a/b");
    ASSERT_EQ(::symlink(native(tree.path("a")).constData(), native(tree.path("link")).constData()), 0);
    tree.writeFile("a/file");

    EXPECT_TRUE(DirectoryHandle::open(real).has_value());
    EXPECT_EQ(DirectoryHandle::open(tree.path("link/b")).error().code, ELOOP);
    EXPECT_EQ(DirectoryHandle::open(tree.path("link")).error().code, ELOOP);
    EXPECT_EQ(DirectoryHandle::open(tree.path("a/file")).error().code, ENOTDIR);
    EXPECT_EQ(DirectoryHandle::open(tree.path("a/../a")).error().code, EINVAL);
    EXPECT_EQ(DirectoryHandle::open("relative").error().code, EINVAL);
    EXPECT_EQ(DirectoryHandle::open(tree.path("missing")).error().code, ENOENT);
}

TEST(DirectoryHandleTest, RenameNeverReplacesAndRmdirNeverDeletesContents) {
    TemporaryTree tree;
    tree.makeDirectory("from/Bundle.vst3");
    tree.makeDirectory("to/Bundle.vst3"); // an empty folder that plain rename would silently replace
    const auto from = DirectoryHandle::open(tree.path("from"));
    const auto to = DirectoryHandle::open(tree.path("to"));
    ASSERT_TRUE(from && to);
    EXPECT_EQ(renameNoReplace(*from, "Bundle.vst3", *to, "Bundle.vst3").error().code, EEXIST);
    EXPECT_TRUE(QFileInfo(tree.path("from/Bundle.vst3")).isDir());
    EXPECT_TRUE(renameNoReplace(*from, "Bundle.vst3", *to, "Other.vst3").has_value());
    EXPECT_TRUE(QFileInfo(tree.path("to/Other.vst3")).isDir());
    EXPECT_EQ(renameNoReplace(*from, "../escape", *to, "x").error().code, EINVAL);

    tree.writeFile("to/Other.vst3/.keep");
    EXPECT_EQ(to->removeEmptyChildDirectory("Other.vst3").error().code, ENOTEMPTY);
    EXPECT_TRUE(QFileInfo::exists(tree.path("to/Other.vst3/.keep")));
    EXPECT_TRUE(to->removeEmptyChildDirectory("Bundle.vst3").has_value());

    EXPECT_TRUE(to->makeChildDirectory("New", 0755).has_value());
    EXPECT_TRUE(to->makeChildDirectory("New", 0755).has_value());
    ASSERT_EQ(::symlink("New", native(tree.path("to/Link")).constData()), 0);
    EXPECT_EQ(to->makeChildDirectory("Link", 0755).error().code, EEXIST);
    EXPECT_EQ(to->openChild("Link").error().code, ELOOP);
}

TEST(SyscallErrorTest, DescribesCrossDeviceMovesPlainly) {
    EXPECT_EQ(
        SyscallError{EXDEV}.description(),
        "The destination is on another file system, and bundles are never copied between file systems.");
    EXPECT_EQ(SyscallError{EEXIST}.description(), "An item already exists at the destination.");
    EXPECT_TRUE(SyscallError{EACCES}.description().endsWith('.'));
}

TEST(UnixSocketChannelTest, CarriesFramesAndRefusesOversizedOnesBeforeReadingTheBody) {
    auto [left, right] = connectedPair();
    ASSERT_TRUE(left.writeFrame("hello").has_value());
    ASSERT_TRUE(left.writeFrame({}).has_value());
    EXPECT_EQ(*right.readFrame(100), "hello");
    EXPECT_EQ(*right.readFrame(100), QByteArray());

    ASSERT_TRUE(left.writeFrame(QByteArray(101, 'x')).has_value());
    EXPECT_EQ(right.readFrame(100).error(), ChannelError::frameTooLarge);

    // A header that promises more than ever comes, then the peer leaves.
    auto [a, b] = connectedPair();
    QByteArray header(4, 0);
    qToBigEndian<quint32>(10, header.data());
    ASSERT_TRUE(a.writeRaw(header + "abc").has_value());
    a.close();
    EXPECT_EQ(b.readFrame(100).error(), ChannelError::closedByPeer);
    EXPECT_EQ(b.writeFrame("x").error(), ChannelError::closedByPeer);
}

TEST(UnixSocketListenerTest, ReplacesOnlyAStaleSocket) {
    TemporaryTree tree;
    const QString file = tree.writeFile("not-a-socket");
    EXPECT_EQ(UnixSocketListener::listenAt(file, 0666).error().code, EEXIST);
    EXPECT_TRUE(QFileInfo::exists(file));

    const QString path = tree.path("helper.sock");
    {
        auto first = UnixSocketListener::listenAt(path, 0660);
        ASSERT_TRUE(first.has_value());
        struct stat status {};
        ASSERT_EQ(::stat(native(path).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0660u);
        auto client = UnixSocketChannel::connectTo(path);
        ASSERT_TRUE(client.has_value());
        auto accepted = first->accept();
        ASSERT_TRUE(accepted.has_value());
        ASSERT_TRUE(client->writeFrame("ping").has_value());
        EXPECT_EQ(*accepted->readFrame(10), "ping");
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(UnixSocketListener::fromSocketActivation().has_value());
}

class PeerIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the client rule asks for root-owned programs: run the tests as root";
        // A build tree made under a loose umask is tightened, as an installation would be.
        for (const QString& path : {self, self.left(self.lastIndexOf('/'))}) {
            struct stat status {};
            if (::stat(native(path).constData(), &status) == 0 && (status.st_mode & (S_IWGRP | S_IWOTH)))
                ::chmod(native(path).constData(), status.st_mode & 07755);
        }
    }

    ClientRequirement requirementFor(const QString& executable, std::optional<uid_t> console = std::nullopt) {
        return ClientRequirement{executable, [console] { return console; }};
    }
    const QString self = QFile::symLinkTarget("/proc/self/exe");
};

TEST_F(PeerIdentityTest, AcceptsOnlyTheExpectedProgram) {
    auto [mine, theirs] = connectedPair();
    EXPECT_TRUE(verifyClientPeer(mine.fd(), requirementFor(self)).has_value());
    EXPECT_EQ(verifyClientPeer(mine.fd(), requirementFor("/usr/bin/env")).error(),
              PeerIdentityError::executableMismatch);

    TemporaryTree tree;
    QFile::copy(self, tree.path("copy"));
    ::chmod(native(tree.path("copy")).constData(), 0755);
    EXPECT_EQ(verifyClientPeer(mine.fd(), requirementFor(tree.path("copy"))).error(),
              PeerIdentityError::executableMismatch);
    ::chmod(native(tree.path("copy")).constData(), 0775);
    EXPECT_EQ(verifyClientPeer(mine.fd(), requirementFor(tree.path("copy"))).error(),
              PeerIdentityError::expectedExecutableUnsafe);
    EXPECT_EQ(verifyClientPeer(mine.fd(), requirementFor(tree.path("missing"))).error(),
              PeerIdentityError::expectedExecutableUnsafe);
    // The right program owned by someone other than the required owner is refused.
    ClientRequirement otherOwner = requirementFor(self);
    otherOwner.executableOwner = 60001;
    EXPECT_EQ(verifyClientPeer(mine.fd(), otherOwner).error(), PeerIdentityError::expectedExecutableUnsafe);
}

TEST_F(PeerIdentityTest, AcceptsOnlyRootOrTheConsoleUser) {
    TemporaryTree tree;
    const QString path = tree.path("peer.sock");
    auto listener = UnixSocketListener::listenAt(path, 0666);
    ASSERT_TRUE(listener.has_value());
    ::chmod(native(tree.path()).constData(), 0755);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(strangerUid) != 0 || ::setuid(strangerUid) != 0)
            ::_exit(2);
        auto channel = UnixSocketChannel::connectTo(path);
        if (!channel)
            ::_exit(3);
        (void)channel->readFrame(10); // until the parent closes
        ::_exit(0);
    }
    auto accepted = listener->accept();
    ASSERT_TRUE(accepted.has_value());
    EXPECT_EQ(peerCredentials(accepted->fd())->uid, strangerUid);
    EXPECT_EQ(verifyClientPeer(accepted->fd(), requirementFor(self)).error(),
              PeerIdentityError::uidNotAllowed);
    EXPECT_EQ(verifyClientPeer(accepted->fd(), requirementFor(self, strangerUid + 1)).error(),
              PeerIdentityError::uidNotAllowed);
    EXPECT_TRUE(verifyClientPeer(accepted->fd(), requirementFor(self, strangerUid)).has_value());
    accepted->close();
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(HelperSocketPathTest, DemandsARootOwnedFolderAndNoLinks) {
    TemporaryTree tree;
    const QString folder = tree.makeDirectory("run/quorvane");
    ::chmod(native(folder).constData(), 0755);
    const QString socket = folder + "/helper.sock";
    auto listener = UnixSocketListener::listenAt(socket, 0666);
    ASSERT_TRUE(listener.has_value());
    const uid_t owner = ::geteuid();

    EXPECT_TRUE(verifyHelperSocketPath(socket, owner).has_value());
    EXPECT_EQ(verifyHelperSocketPath(socket, owner + 1).error(), PeerIdentityError::socketPathUnsafe);
    ::chmod(native(folder).constData(), 0775);
    EXPECT_EQ(verifyHelperSocketPath(socket, owner).error(), PeerIdentityError::socketPathUnsafe);
    ::chmod(native(folder).constData(), 0755);

    ASSERT_EQ(::symlink(native(tree.path("run")).constData(), native(tree.path("alias")).constData()), 0);
    EXPECT_EQ(verifyHelperSocketPath(tree.path("alias/quorvane/helper.sock"), owner).error(),
              PeerIdentityError::socketPathUnsafe);
    EXPECT_EQ(verifyHelperSocketPath(tree.writeFile("run/quorvane/plain"), owner).error(),
              PeerIdentityError::socketPathUnsafe);
    EXPECT_EQ(verifyHelperSocketPath("relative/helper.sock", owner).error(),
              PeerIdentityError::socketPathUnsafe);
}

TEST(HomeTrashTest, NamesTheFreedesktopFoldersAndWritesInfoForTheUser) {
    EXPECT_EQ(HomeTrash::filesFolder("/home/ana"), "/home/ana/.local/share/Trash/files");
    EXPECT_EQ(HomeTrash::infoFolder("/home/ana/"), "/home/ana/.local/share/Trash/info");
    EXPECT_EQ(HomeTrash::trashInfoText("/Library/Application Support/Quorvane/Quarantine/A B.vst3",
                                       QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))),
              "[Trash Info]\nPath=/Library/Application%20Support/Quorvane/Quarantine/A%20B.vst3\n"
              "DeletionDate=2026-03-04T05:06:07\n");

    TemporaryTree tree;
    const QString files = tree.makeDirectory("Trash/files");
    const QString info = tree.makeDirectory("Trash/info");
    const uid_t owner = ::geteuid();
    HomeTrash::writeTrashInfo(files, "A.vst3", "/x/A.vst3", owner);
    EXPECT_TRUE(QFile(info + "/A.vst3.trashinfo").exists());
    // Never through a link, never over an existing file.
    ASSERT_EQ(
        ::symlink(native(tree.path("target")).constData(), native(info + "/B.vst3.trashinfo").constData()),
        0);
    HomeTrash::writeTrashInfo(files, "B.vst3", "/x/B.vst3", owner);
    EXPECT_FALSE(QFileInfo::exists(tree.path("target")));
    HomeTrash::removeTrashInfo(files, "B.vst3");
    EXPECT_TRUE(QFileInfo(info + "/B.vst3.trashinfo").isSymLink());
    HomeTrash::removeTrashInfo(files, "A.vst3");
    EXPECT_FALSE(QFile(info + "/A.vst3.trashinfo").exists());
    // An info folder that is not the user's gets nothing.
    HomeTrash::writeTrashInfo(files, "C.vst3", "/x/C.vst3", owner + 1);
    EXPECT_FALSE(QFile(info + "/C.vst3.trashinfo").exists());
}

TEST(HelperLogTest, PrefixesPrioritiesAndHashesPrivateValues) {
    EXPECT_EQ(HelperLog::formatLine(QtInfoMsg, "com.orsolind.Quorvane.helper.service", "a\nb"),
              "<5>com.orsolind.Quorvane.helper.service: a b\n");
    EXPECT_EQ(HelperLog::formatLine(QtCriticalMsg, "default", "x"), "<3>x\n");
    EXPECT_EQ(HelperLog::formatLine(QtDebugMsg, "c", "x"), "<7>c: x\n");
    const QString hash = HelperLog::privateHash("0A1B2C3D-0000-0000-0000-000000000000");
    EXPECT_EQ(hash.size(), 16);
    EXPECT_EQ(hash, HelperLog::privateHash("0A1B2C3D-0000-0000-0000-000000000000"));
    EXPECT_NE(hash, HelperLog::privateHash("0A1B2C3D-0000-0000-0000-000000000001"));
    EXPECT_EQ(QString(helperServiceLog().categoryName()), "com.orsolind.Quorvane.helper.service");
    EXPECT_EQ(QString(helperLifecycleLog().categoryName()), "com.orsolind.Quorvane.helper.lifecycle");
    EXPECT_EQ(QString(helperListenerLog().categoryName()), "com.orsolind.Quorvane.helper.listener");
}

TEST(TransactionLockFileTest, IsSeenHeldByOthersUntilReleased) {
    TemporaryTree tree;
    const QString path = tree.path("transaction.lock");
    EXPECT_FALSE(TransactionLockFile::isHeld(path));
    auto lock = TransactionLockFile::acquire(path);
    ASSERT_TRUE(lock.has_value());
    EXPECT_TRUE(TransactionLockFile::isHeld(path));
    lock->release();
    EXPECT_FALSE(TransactionLockFile::isHeld(path));
    ASSERT_EQ(::symlink(native(path).constData(), native(tree.path("link.lock")).constData()), 0);
    EXPECT_EQ(TransactionLockFile::acquire(tree.path("link.lock")).error().code, ELOOP);
}

} // namespace
} // namespace quorvane::testing
