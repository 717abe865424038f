#include "Helper/HelperService.h"
#include "HelperTestSupport.h"
#include "Platform/TransactionLockFile.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <stdio.h>
#include <thread>

namespace quorvane::testing {
namespace {

// Counts moves in flight across threads; more than one at once would mean two transactions overlap.
class OverlapDetector final : public MoveOperation {
public:
    explicit OverlapDetector(QString lockPath) : m_lockPath(std::move(lockPath)) {}
    [[nodiscard]] std::expected<void, SyscallError> move(const MoveStep& step) override {
        if (++m_active > 1)
            overlapped = true;
        if (!TransactionLockFile::isHeld(m_lockPath))
            unlocked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        auto result = m_real.move(step);
        --m_active;
        return result;
    }
    std::atomic<bool> overlapped = false;
    std::atomic<bool> unlocked = false;

private:
    QString m_lockPath;
    std::atomic<int> m_active = 0;
    RenameMoveOperation m_real;
};

TEST(HelperServiceTest, TransactionsOfConcurrentCallsNeverOverlapAndHoldTheLockFile) {
    HelperTree tree;
    const QString lockPath = tree.tree.path("transaction.lock");
    OverlapDetector detector(lockPath);
    HelperService service(HelperServiceConfiguration{tree.roots, lockPath, &detector, "40"},
                          tree.consoleUsers);

    std::vector<PrivilegedQuarantineRequest> requests;
    for (int client = 0; client < 4; ++client) {
        const QString operation = upperUuid();
        PrivilegedQuarantineRequest request{upperUuid(), {}};
        for (int index = 0; index < 8; ++index) {
            const QString name = QStringLiteral("C%1-%2.vst3").arg(client).arg(index);
            request.items.push_back(
                {tree.makeBundle(tree.vst3(name)), tree.quarantined(operation, name), operation});
        }
        requests.push_back(request);
    }
    std::vector<std::thread> clients;
    std::vector<QByteArray> replies(requests.size());
    for (std::size_t client = 0; client < requests.size(); ++client)
        clients.emplace_back([&, client] { replies[client] = service.quarantine(encode(requests[client])); });
    for (auto& thread : clients)
        thread.join();

    EXPECT_FALSE(detector.overlapped);
    EXPECT_FALSE(detector.unlocked);
    EXPECT_FALSE(TransactionLockFile::isHeld(lockPath));
    for (std::size_t client = 0; client < requests.size(); ++client) {
        const auto result = decodePrivilegedQuarantineResult(replies[client]);
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(result->succeeded) << result->message.toStdString();
        EXPECT_EQ(result->transactionID, requests[client].transactionID);
        for (const auto& item : requests[client].items)
            EXPECT_TRUE(isDirectory(item.destinationPath));
    }
}

// A lock file that cannot be held (its folder is gone, or it is a folder) refuses the request before
// anything moves: the application's probe would otherwise see no transaction while bundles move.
TEST(HelperServiceTest, ALockFileThatCannotBeHeldRefusesWithNothingMoved) {
    for (const bool lockIsFolder : {false, true}) {
        SCOPED_TRACE(lockIsFolder);
        HelperTree tree;
        const QString lockPath = lockIsFolder ? tree.makeBundle(tree.tree.path("lock-folder"))
                                              : tree.tree.path("missing/transaction.lock");
        HelperService service(HelperServiceConfiguration{tree.roots, lockPath, nullptr, "40"},
                              tree.consoleUsers);
        const QString operation = upperUuid();
        const PrivilegedQuarantineRequest quarantine{
            upperUuid(),
            {{tree.makeBundle(tree.vst3("A.vst3")), tree.quarantined(operation, "A.vst3"), operation}}};
        const auto result = decodePrivilegedQuarantineResult(service.quarantine(encode(quarantine)));
        ASSERT_TRUE(result.has_value());
        EXPECT_FALSE(result->succeeded);
        EXPECT_TRUE(result->rollbackComplete);
        EXPECT_TRUE(result->message.startsWith("The transaction lock file could not be held: "))
            << result->message.toStdString();
        EXPECT_TRUE(isDirectory(quarantine.items.front().sourcePath));
        EXPECT_FALSE(existsNoFollow(quarantine.items.front().destinationPath));

        const PrivilegedRestoreRequest restore{
            upperUuid(),
            {{tree.makeBundle(tree.quarantined(operation, "B.vst3")), tree.vst3("B.vst3"), operation}}};
        const auto restored = decodePrivilegedRestoreResult(service.restore(encode(restore)));
        ASSERT_TRUE(restored.has_value());
        EXPECT_FALSE(restored->succeeded);
        EXPECT_TRUE(isDirectory(restore.items.front().sourcePath));
        EXPECT_FALSE(existsNoFollow(restore.items.front().destinationPath));
    }
}

TEST(HelperServiceTest, ARolledBackTrashMoveTakesItsTrashInfoAlong) {
    HelperTree tree;
    const QString operation = upperUuid();
    PrivilegedTrashRequest request{upperUuid(), {}};
    for (const char* name : {"A.vst3", "B.vst3"})
        request.items.push_back(
            {tree.makeBundle(tree.quarantined(operation, name)), tree.trashed(name), operation});
    ScriptedMoveOperation failSecond;
    failSecond.react = [](const MoveStep& step, MoveOperation& real) {
        return step.direction == MoveStep::Direction::forward && step.number == 2
                   ? ScriptedMoveOperation::denied()
                   : real.move(step);
    };
    HelperService service(HelperServiceConfiguration{tree.roots, {}, &failSecond, "40"}, tree.consoleUsers);
    const auto result = decodePrivilegedTrashResult(service.moveToTrash(encode(request)));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message,
              "The privileged Trash move failed and every completed move returned to quarantine. "
              "macOS could not move B.vst3 into Finder Trash. " +
                  SyscallError{EACCES}.description());
    EXPECT_TRUE(QDir(HomeTrash::infoFolder(tree.home)).isEmpty());
    EXPECT_TRUE(QDir(tree.trash).isEmpty());
    EXPECT_EQ(failSecond.records.size(), 3u);
}

// A home reached through a link (/home → /var/home) is taken as its real folder; a link below the
// home is refused.
TEST(HelperServiceTest, AHomeReachedThroughALinkHasItsTrashServed) {
    struct Row {
        const char* name;
        bool linkBelowHome;
    };
    for (const Row& row : {Row{"the home itself", false}, Row{"the Trash below the home", true}}) {
        SCOPED_TRACE(row.name);
        HelperTree tree;
        QString home = tree.home;
        if (row.linkBelowHome) {
            const QString share = HelperTree::deletingLast(HelperTree::deletingLast(tree.trash));
            ASSERT_TRUE(QDir().rename(share + "/Trash", share + "/RealTrash"));
            ASSERT_EQ(::symlink("RealTrash", QFile::encodeName(share + "/Trash").constData()), 0);
        } else {
            home = tree.tree.path("linked-home");
            ASSERT_EQ(
                ::symlink(QFile::encodeName(tree.home).constData(), QFile::encodeName(home).constData()), 0);
        }
        const FixedConsoleUserProvider users(ConsoleUser{consoleTestUid(), "console", home});
        HelperService service(HelperServiceConfiguration{tree.roots, {}, nullptr, "40"}, users);
        const QString operation = upperUuid();
        const QString quarantined = tree.makeBundle(tree.quarantined(operation, "Synth.vst3"));
        const QString trashed = HomeTrash::filesFolder(home) + "/Synth.vst3";
        const QString original = tree.vst3("Synth.vst3");

        const auto moved = decodePrivilegedTrashResult(service.moveToTrash(
            encode(PrivilegedTrashRequest{upperUuid(), {{quarantined, trashed, operation}}})));
        const auto recovered =
            decodePrivilegedTrashRestoreResult(service.restoreFromTrash(encode(PrivilegedTrashRestoreRequest{
                upperUuid(), {{trashed, original, upperUuid(), "Synth.vst3", "VST3"}}})));
        ASSERT_TRUE(moved && recovered);
        if (row.linkBelowHome) {
            const QString refused = description(HelperRequestPolicyError::consoleUserTrashUnavailable);
            EXPECT_EQ(moved->message, refused);
            EXPECT_EQ(recovered->message, refused);
            EXPECT_TRUE(isDirectory(quarantined));
            continue;
        }
        EXPECT_TRUE(moved->succeeded) << moved->message.toStdString();
        // Named as the application named it.
        EXPECT_EQ(moved->destinationPaths, QStringList{trashed});
        EXPECT_TRUE(recovered->succeeded) << recovered->message.toStdString();
        EXPECT_TRUE(isDirectory(original));
        EXPECT_FALSE(existsNoFollow(tree.trashed("Synth.vst3")));
        EXPECT_FALSE(existsNoFollow(HomeTrash::infoFolder(tree.home) + "/Synth.vst3.trashinfo"));
    }
}

} // namespace
} // namespace quorvane::testing

namespace quorvane::testing {
namespace {

// Through the service, as a client sends it: only a bundle the helper itself put in the Trash, still
// the same folder with the same owner, comes back; anything else is refused with nothing moved.
TEST(HelperServiceTest, TrashRecoveryTakesOnlyWhatTheHelperTrashed) {
    enum class Change { none, userMadeFolder, replacedBySameName, recordMissing };
    for (const Change change :
         {Change::none, Change::userMadeFolder, Change::replacedBySameName, Change::recordMissing}) {
        SCOPED_TRACE(int(change));
        HelperTree tree;
        HelperService service(HelperServiceConfiguration{tree.roots, {}, nullptr, "40"}, tree.consoleUsers);
        const QString operation = upperUuid();
        const QString original = tree.makeBundle(tree.vst3("Synth.vst3"));
        struct stat bundle {};
        ASSERT_EQ(::lstat(QFile::encodeName(original).constData(), &bundle), 0);
        const QString quarantined = tree.quarantined(operation, "Synth.vst3");
        ASSERT_TRUE(decodePrivilegedQuarantineResult(service.quarantine(encode(PrivilegedQuarantineRequest{
                                                         upperUuid(), {{original, quarantined, operation}}})))
                        ->succeeded);
        QString trashed = tree.trashed("Synth.vst3");
        ASSERT_TRUE(decodePrivilegedTrashResult(service.moveToTrash(encode(PrivilegedTrashRequest{
                                                    upperUuid(), {{quarantined, trashed, operation}}})))
                        ->succeeded);
        ASSERT_TRUE(tree.ledger.find(trashed).has_value());

        switch (change) {
        case Change::none:
            break;
        case Change::userMadeFolder:
            trashed = tree.trashed("Made.vst3");
            tree.makeBundle(trashed);
            (void)::chown(QFile::encodeName(trashed).constData(), consoleTestUid(), consoleTestUid());
            break;
        case Change::replacedBySameName:
            QDir().rename(trashed, tree.trashed("Elsewhere"));
            tree.makeBundle(trashed);
            (void)::chown(QFile::encodeName(trashed).constData(), consoleTestUid(), consoleTestUid());
            break;
        case Change::recordMissing:
            ASSERT_TRUE(tree.ledger.remove({trashed}));
            break;
        }
        const auto before = tree.audit();
        const QString destination = tree.vst3(lastPathComponent(trashed));
        const auto result =
            decodePrivilegedTrashRestoreResult(service.restoreFromTrash(encode(PrivilegedTrashRestoreRequest{
                upperUuid(), {{trashed, destination, upperUuid(), lastPathComponent(trashed), "VST3"}}})));
        ASSERT_TRUE(result.has_value());
        if (change == Change::none) {
            EXPECT_TRUE(result->succeeded) << result->message.toStdString();
            struct stat recovered {};
            ASSERT_EQ(::lstat(QFile::encodeName(destination).constData(), &recovered), 0);
            EXPECT_EQ(identityOf(recovered), identityOf(bundle));
            EXPECT_FALSE(existsNoFollow(trashed));
            // A verified recovery ends its record.
            EXPECT_FALSE(tree.ledger.find(trashed).has_value());
            continue;
        }
        EXPECT_FALSE(result->succeeded);
        EXPECT_TRUE(result->rollbackComplete);
        EXPECT_EQ(result->message, description(HelperRequestPolicyError::invalidTrashRestoreSource));
        EXPECT_EQ(tree.audit(), before);
        EXPECT_FALSE(existsNoFollow(destination));
    }
}

} // namespace
} // namespace quorvane::testing

namespace quorvane::testing {
namespace {

// The user's own attack: a folder of theirs exchanged with the trashed bundle, over and over, while
// recoveries run. The bundle may come back or stay, the folder never leaves the Trash.
TEST(HelperServiceTest, AFolderExchangedInALoopInTheTrashNeverLeavesIt) {
    HelperTree tree;
    HelperService service(HelperServiceConfiguration{tree.roots, {}, nullptr, "40"}, tree.consoleUsers);
    const QString original = tree.vst3("R.vst3");
    const QString decoy = tree.makeBundle(tree.trashed(".decoy"));
    (void)::chown(QFile::encodeName(decoy).constData(), consoleTestUid(), consoleTestUid());
    const auto identityAt = [](const QString& path) -> std::optional<FileIdentity> {
        struct stat entry {};
        if (::lstat(QFile::encodeName(path).constData(), &entry) != 0)
            return std::nullopt;
        return identityOf(entry);
    };
    const FileIdentity decoyIdentity = *identityAt(decoy);
    const FileIdentity bundle = *identityAt(tree.makeBundle(original));
    const auto trashFolder = DirectoryHandle::open(tree.trash);
    ASSERT_TRUE(trashFolder.has_value());

    std::atomic<bool> stop = false;
    std::mutex exchanging;
    std::thread racer([&] {
        for (int round = 0; round < 1000000 && !stop; ++round) {
            std::lock_guard guard(exchanging);
            (void)::renameat2(trashFolder->fd(), "R.vst3", trashFolder->fd(), ".decoy", RENAME_EXCHANGE);
        }
    });
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 100 && timer.elapsed() < 3000; ++round) {
        if (identityAt(original) == bundle) {
            // Into the Trash again through the helper, with the racer held so that it lands as asked.
            std::lock_guard guard(exchanging);
            const QString operation = upperUuid();
            const QString quarantined = tree.quarantined(operation, "R.vst3");
            const QString free = existsNoFollow(tree.trashed("R.vst3")) ? ".decoy" : "R.vst3";
            ASSERT_TRUE(
                decodePrivilegedQuarantineResult(service.quarantine(encode(PrivilegedQuarantineRequest{
                                                     upperUuid(), {{original, quarantined, operation}}})))
                    ->succeeded);
            ASSERT_TRUE(decodePrivilegedTrashResult(
                            service.moveToTrash(encode(PrivilegedTrashRequest{
                                upperUuid(), {{quarantined, tree.trashed(free), operation}}})))
                            ->succeeded);
        }
        const auto result =
            decodePrivilegedTrashRestoreResult(service.restoreFromTrash(encode(PrivilegedTrashRestoreRequest{
                upperUuid(), {{tree.trashed("R.vst3"), original, upperUuid(), "R.vst3", "VST3"}}})));
        ASSERT_TRUE(result.has_value());

        std::lock_guard guard(exchanging);
        if (result->succeeded) {
            ASSERT_EQ(identityAt(original), bundle);
        }
        // The folder is in the Trash and nowhere else; the bundle is in exactly one place.
        const auto first = identityAt(tree.trashed("R.vst3"));
        const auto second = identityAt(tree.trashed(".decoy"));
        ASSERT_TRUE(first == decoyIdentity || second == decoyIdentity);
        ASSERT_NE(identityAt(original), decoyIdentity);
        ASSERT_EQ(int(first == bundle) + int(second == bundle) + int(identityAt(original) == bundle), 1);
        ASSERT_FALSE(existsNoFollow(tree.ledger.stagingFolder()));
    }
    stop = true;
    racer.join();
}

} // namespace
} // namespace quorvane::testing
