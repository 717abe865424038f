#include "Helper/HelperService.h"
#include "HelperTestSupport.h"
#include "Platform/TransactionLockFile.h"
#include "Shared/PrivilegedResults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace quorvane::testing {
namespace {

// Counts moves in flight across threads; more than one at once would mean two transactions overlap.
class OverlapDetector final : public MoveOperation {
public:
    explicit OverlapDetector(QString lockPath) : m_lockPath(std::move(lockPath)) {}
    std::expected<void, SyscallError> move(const MoveStep& step) override {
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

} // namespace
} // namespace quorvane::testing
