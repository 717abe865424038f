#include "App/ClosedTransaction.h"
#include "App/RootView.h"
#include "IsolatedRootObjects.h"
#include "Store/StoreTransactionSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

class ClosedTransactionTest : public TransactionStoreTest {
protected:
    RootViewObjects objects() {
        return RootViewObjects::with(
            environment(),
            {std::make_shared<QSettings>(tree.path(QStringLiteral("settings.ini")), QSettings::IniFormat),
             nullptr, std::make_shared<PlatformFolderSecurityScope>()},
            [this] {
                return std::make_unique<PluginManagementService>(
                    std::make_unique<UnregisteredServiceRegistry>(tree.path(QStringLiteral("helper.sock"))),
                    [](const HelperEndpoint&) { return nullptr; }, InstallLayout{tree.path()});
            });
    }
};

// A window closed while a quarantine is on its way to the helper: the next start says whether the
// helper carried it out. Nothing in flight, nothing said.
TEST_F(ClosedTransactionTest, TheNextStartSaysWhatBecameOfTheTransactionInFlight) {
    const struct {
        bool inFlight;
        bool moved;
        std::optional<QString> title;
        NoticeStyle style;
    } cases[] = {
        {true, false, QStringLiteral("Last Action Did Not Happen"), NoticeStyle::warning},
        {true, true, QStringLiteral("Last Action Completed"), NoticeStyle::success},
        {false, false, std::nullopt, NoticeStyle::success},
    };
    int round = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(round);
        const Plugin plugin = synth(QStringLiteral("Synth%1").arg(round++));
        open({plugin});
        store.reset();
        {
            RootView window(objects());
            if (test.inFlight) {
                const auto request =
                    window.inventoryStore().beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
                ASSERT_TRUE(request.has_value());
                window.inventoryStore().waitForIdle();
                if (test.moved)
                    moveAll(*request);
            }
            window.close();
        }
        const RootView again(objects());
        const auto& notice = again.inventoryStore().notice();
        EXPECT_EQ(notice ? std::optional(notice->title) : std::nullopt, test.title);
        if (notice) {
            EXPECT_EQ(notice->style, test.style);
            EXPECT_TRUE(notice->message.startsWith(QStringLiteral(
                "Quorvane was closed while a move to quarantine was on its way to the privileged helper.")))
                << notice->message.toStdString();
        }
        EXPECT_FALSE(again.inventoryStore().hasPendingPrivilegedTransaction());
        // Told once.
        EXPECT_FALSE(QFile::exists(ClosedTransaction::notePath(support)));
    }
}

// A transaction the start leaves to be settled from the disk may be half done or neither: settling
// says what it found, and the note adds no verdict of its own.
TEST_F(ClosedTransactionTest, ATransactionSettledFromTheDiskIsToldBySettlingAlone) {
    // Of a two-bundle quarantine: the first gone from both places, or moved while the second stayed.
    for (const bool firstGone : {true, false}) {
        SCOPED_TRACE(firstGone ? "gone" : "half moved");
        const QString name = firstGone ? QStringLiteral("Gone") : QStringLiteral("Half");
        const Plugin plugin =
            product(name, {QStringLiteral("AU"), QStringLiteral("VST3")},
                    {component(name + QStringLiteral(".component")), vst3(name + QStringLiteral(".vst3"))});
        open({plugin});
        store.reset();
        {
            RootView window(objects());
            const auto request = window.inventoryStore().beginPrivileged<PrivilegedKind::quarantine>(
                {selection(plugin, 0), selection(plugin, 1)});
            ASSERT_TRUE(request.has_value());
            window.inventoryStore().waitForIdle();
            const auto& first = request->items.front();
            if (firstGone)
                ASSERT_TRUE(QDir(first.sourcePath).removeRecursively());
            else
                ASSERT_TRUE(moveBundle(first.sourcePath, first.destinationPath));
            window.close();
        }
        RootView again(objects());
        PluginInventoryStore& reopened = again.inventoryStore();
        ASSERT_TRUE(reopened.hasPendingPrivilegedTransaction());
        QStringList told;
        QObject::connect(&reopened, &PluginInventoryStore::noticeChanged, &reopened, [&] {
            if (reopened.notice())
                told << reopened.notice()->title;
        });
        reopened.settlePendingJournal();
        reopened.waitForIdle();
        // The journal's end is published through the event loop.
        QCoreApplication::processEvents();
        EXPECT_EQ(told, QStringList{QStringLiteral("Transaction Settled")});
        EXPECT_FALSE(QFile::exists(ClosedTransaction::notePath(support)));
    }
}

} // namespace
} // namespace quorvane::testing
