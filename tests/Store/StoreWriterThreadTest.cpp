#include "StoreTestSupport.h"

#include <QThread>

#include <functional>
#include <future>
#include <mutex>

namespace quorvane::testing {
namespace {

// Saves made while the writer is held at its first write, as a slow disk would hold it.
class StoreWriterThreadTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        for (const QString& name : {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")})
            products.push_back(product(
                name, QStringLiteral("Orsolind"),
                {activeRecord(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + name +
                                                          QStringLiteral(".vst3"))}));
        products.push_back(product(
            QStringLiteral("Four"), QStringLiteral("Orsolind"),
            {activeRecord(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Four.vst3")),
             activeRecord(QStringLiteral("AU"),
                          QStringLiteral("/Library/Audio/Plug-Ins/Components/Four.component"))}));
        writeState(stateWith(products));
        store = makeStore();
        duringWrite = [this](const PersistedInventory& state) {
            {
                const std::lock_guard lock(seenMutex);
                seen.push_back(state.protectedKeys);
                writerThreads.push_back(QThread::currentThread());
                if (!failing.empty())
                    failSaves = seen.size() <= failing.size() && failing[seen.size() - 1];
            }
            held.wait();
        };
    }
    void TearDown() override {
        release();
        store.reset();
    }
    void release() {
        if (!released) {
            released = true;
            gate.set_value();
        }
    }
    // A fresh store on the first state, with the writer to be held again.
    void restart() {
        release();
        store.reset();
        gate = {};
        held = gate.get_future().share();
        released = false;
        seen.clear();
        failSaves = false;
        writeState(stateWith(products));
        store = makeStore();
    }
    // `first`, then `second` while the first write is held; then every write, failing as `failing`
    // says, and what waited for them.
    void whileTheFirstWriteIsHeld(const std::function<void()>& first, const std::function<void()>& second) {
        first();
        ASSERT_TRUE(QTest::qWaitFor([&] { return written().size() == 1; }, 10000));
        second();
        release();
        store->waitForIdle();
    }
    template <class Plugins>
    const PluginBundleRecord& recordOf(const Plugins& plugins, const QString& format) const {
        const auto& records = findProduct(plugins, QStringLiteral("Four"))->bundles;
        return *std::ranges::find(*records, format, &PluginBundleRecord::format);
    }
    // The protected keys of each state the writer was handed, in order.
    std::vector<QStringList> written() {
        const std::lock_guard lock(seenMutex);
        return seen;
    }

    std::vector<Plugin> products;
    std::unique_ptr<PluginInventoryStore> store;
    std::promise<void> gate;
    std::shared_future<void> held = gate.get_future().share();
    bool released = false;
    std::mutex seenMutex;
    std::vector<QStringList> seen;
    std::vector<QThread*> writerThreads;
    // Which writes fail, in the order they run; the others succeed.
    std::vector<bool> failing;
};

TEST_F(StoreWriterThreadTest, OnlyTheNewestWaitingStateIsWrittenAndNoneAfterANewerOne) {
    QThread* const gui = QThread::currentThread();
    std::vector<std::pair<int, QThread*>> completions;
    const auto protect = [&](int index) { store->setProtection(products[std::size_t(index)], true); };
    protect(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return written().size() == 1; }, 10000));
    // Two more changes while the first write is held: the second is replaced by the third.
    protect(1);
    protect(2);
    store->saveState([&](const PluginInventoryStore::SaveResult& saved) {
        completions.emplace_back(saved.has_value() ? 3 : -1, QThread::currentThread());
    });
    EXPECT_EQ(written().size(), 1u);
    EXPECT_FALSE(store->notice());
    release();
    store->waitForIdle();
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugin Protected"));

    const QStringList all{QStringLiteral("orsolind|one"), QStringLiteral("orsolind|three"),
                          QStringLiteral("orsolind|two")};
    EXPECT_EQ(written(), (std::vector<QStringList>{{QStringLiteral("orsolind|one")}, all}));
    EXPECT_EQ(storedState().protectedKeys, all);
    EXPECT_NE(writerThreads.at(0), gui);
    EXPECT_EQ(completions, (std::vector<std::pair<int, QThread*>>{{3, gui}}));
    EXPECT_FALSE(store->lastStorageError());
}

TEST_F(StoreWriterThreadTest, QuittingWithAWritePendingLeavesTheLastStateInTheFile) {
    store->setProtection(products[0], true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return written().size() == 1; }, 10000));
    store->setProtection(products[1], true);
    release();
    // Going away waits for the write under way and for the one still waiting.
    store.reset();
    EXPECT_EQ(storedState().protectedKeys,
              (QStringList{QStringLiteral("orsolind|one"), QStringLiteral("orsolind|two")}));
}

TEST_F(StoreWriterThreadTest, AFailedWriteIsReportedOnTheGuiThreadWithTheSameTexts) {
    failSaves = true;
    release();
    QThread* reportedOn = nullptr;
    QObject::connect(
        store.get(), &PluginInventoryStore::noticeChanged, store.get(),
        [&] { reportedOn = QThread::currentThread(); }, Qt::DirectConnection);
    store->setProtection(products[0], true);
    reportedOn = nullptr;
    // Delivered through the event loop, as in the running application.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->notice()->title == QStringLiteral("Local State Not Saved"); }, 10000));
    const QString description =
        StateFileError(StateFileFailure::fileNotWritten, statePath(), QStringLiteral("Disk full"))
            .description();
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Quorvane could not save its inventory record: ") + description);
    EXPECT_EQ(store->lastStorageError(), description);
    EXPECT_EQ(reportedOn, QThread::currentThread());
}

TEST_F(StoreWriterThreadTest, ProtectionAndRuleNoticesWaitForTheWriteThatSavesThem) {
    QStringList titles;
    QObject::connect(store.get(), &PluginInventoryStore::noticeChanged, store.get(), [&] {
        if (store->notice())
            titles.push_back(store->notice()->title);
    });
    whileTheFirstWriteIsHeld([&] { store->saveState(); },
                             [&] {
                                 store->setProtection(products[0], true);
                                 store->setBatchProtection({products[1], products[2]}, true);
                                 store->setFormatProtection(selectionOf(products[3], QStringLiteral("AU")),
                                                            true);
                                 store->setPermanentQuarantine(QStringLiteral("Orsolind"), true);
                                 EXPECT_TRUE(titles.isEmpty()) << titles.join(u',').toStdString();
                             });
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Plugin Protected"), QStringLiteral("Plugins Protected"),
                                   QStringLiteral("AU Format Protected"),
                                   QStringLiteral("Permanent Quarantine Enabled")}));
}

// A confirmation that arrives once its write is done never hides a warning raised meanwhile; once
// that warning is dismissed, it shows.
TEST_F(StoreWriterThreadTest, ALateConfirmationLeavesAWarningRaisedAfterItsChangeShowing) {
    const QString blocked = QStringLiteral("Privileged Quarantine Blocked");
    const struct {
        const char* name;
        std::function<void()> change;
        bool dismissed;
        QString shown;
    } rows[] = {
        {"product", [&] { store->setProtection(products[0], true); }, false, blocked},
        {"batch",
         [&] {
             store->setBatchProtection({products[1], products[2]}, true);
         },
         false, blocked},
        {"format", [&] { store->setFormatProtection(selectionOf(products[3], QStringLiteral("AU")), true); },
         false, blocked},
        {"rule", [&] { store->setPermanentQuarantine(QStringLiteral("Orsolind"), true); }, false, blocked},
        {"dismissed", [&] { store->setProtection(products[0], true); }, true,
         QStringLiteral("Plugin Protected")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        restart();
        // A quarantine of a bundle the inventory does not hold is refused with a warning.
        whileTheFirstWriteIsHeld(row.change, [&] {
            store->beginPrivileged<PrivilegedKind::quarantine>(
                {{makeUuid(), QStringLiteral("/nowhere.vst3")}});
            if (row.dismissed)
                store->dismissNotice(store->notice()->id);
        });
        ASSERT_TRUE(store->notice());
        EXPECT_EQ(store->notice()->title, row.shown);
        EXPECT_TRUE(store->lastOperationError());
    }
}

// Two format locks land within one write; the first write fails.
TEST_F(StoreWriterThreadTest, AFailedFormatLockIsTakenBackOnlyWhenNoLaterWriteSavedIt) {
    const struct {
        std::vector<bool> failing;
        bool locked;
        QString notice;
    } rows[] = {
        {{true, false}, true, QStringLiteral("AU Format Protected")},
        {{true, true}, false, QStringLiteral("Protection Change Not Saved")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.locked);
        restart();
        failing = row.failing;
        std::vector<bool> answers;
        const auto lock = [&](const QString& format) {
            EXPECT_TRUE(store->setFormatProtection(selectionOf(products[3], format), true,
                                                   [&](bool inEffect) { answers.push_back(inEffect); }));
        };
        whileTheFirstWriteIsHeld([&] { lock(QStringLiteral("VST3")); }, [&] { lock(QStringLiteral("AU")); });

        EXPECT_EQ(answers, std::vector<bool>(2, row.locked));
        for (const QString& format : {QStringLiteral("VST3"), QStringLiteral("AU")}) {
            EXPECT_EQ(recordOf(store->plugins(), format).isProtected, row.locked) << format.toStdString();
            EXPECT_EQ(recordOf(storedState().plugins, format).isProtected, row.locked)
                << format.toStdString();
        }
        EXPECT_EQ(store->history().size(), row.locked ? 2u : 0u);
        EXPECT_EQ(store->notice()->title, row.notice);
        EXPECT_EQ(store->lastStorageError().has_value(), !row.locked);
    }
}

TEST_F(StoreWriterThreadTest, ARuleEnabledThenRemovedStaysOffWhateverTheDiskSaid) {
    for (const std::vector<bool>& writes : {std::vector{true, true}, std::vector{true, false}}) {
        restart();
        failing = writes;
        whileTheFirstWriteIsHeld([&] { store->setPermanentQuarantine(QStringLiteral("Orsolind"), true); },
                                 [&] { store->setPermanentQuarantine(QStringLiteral("Orsolind"), false); });
        EXPECT_TRUE(store->permanentQuarantineRules().empty());
        EXPECT_EQ(
            storedState().permanentQuarantineRules.value_or(std::vector<PermanentQuarantineRule>{}).size(),
            0u);
        EXPECT_EQ(store->notice()->title, writes[1] ? QStringLiteral("Rule Change Not Saved")
                                                    : QStringLiteral("Permanent Quarantine Removed"));
    }
}

} // namespace
} // namespace quorvane::testing
