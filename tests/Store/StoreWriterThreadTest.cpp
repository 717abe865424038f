#include "StoreTestSupport.h"

#include <QThread>

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
            products.push_back(product(name, QStringLiteral("Orsolind"),
                                       {activeRecord(QStringLiteral("VST3"),
                                                     QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + name +
                                                         QStringLiteral(".vst3"))}));
        writeState(stateWith(products));
        store = makeStore();
        duringWrite = [this](const PersistedInventory& state) {
            {
                const std::lock_guard lock(seenMutex);
                seen.push_back(state.protectedKeys);
                writerThreads.push_back(QThread::currentThread());
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
};

TEST_F(StoreWriterThreadTest, OnlyTheNewestWaitingStateIsWrittenAndNoneAfterANewerOne) {
    QThread* const gui = QThread::currentThread();
    std::vector<std::pair<int, QThread*>> completions;
    const auto protect = [&](int index) {
        store->setProtection(products[std::size_t(index)], true);
    };
    protect(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return written().size() == 1; }, 10000));
    // Two more changes while the first write is held: the second is replaced by the third.
    protect(1);
    protect(2);
    store->saveState([&](const PluginInventoryStore::SaveResult& saved) {
        completions.emplace_back(saved.has_value() ? 3 : -1, QThread::currentThread());
    });
    EXPECT_EQ(written().size(), 1u);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugin Protected"));
    release();
    store->waitForIdle();

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
    QObject::connect(store.get(), &PluginInventoryStore::noticeChanged, store.get(),
            [&] { reportedOn = QThread::currentThread(); }, Qt::DirectConnection);
    store->setProtection(products[0], true);
    reportedOn = nullptr;
    // Delivered through the event loop, as in the running application.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->notice()->title == QStringLiteral("Local State Not Saved"); }, 10000));
    const QString description =
        StateFileError(StateFileFailure::fileNotWritten, statePath(), QStringLiteral("Disk full")).description();
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    EXPECT_EQ(store->notice()->message, QStringLiteral("Quorvane could not save its inventory record: ") + description);
    EXPECT_EQ(store->lastStorageError(), description);
    EXPECT_EQ(reportedOn, QThread::currentThread());
}

} // namespace
} // namespace quorvane::testing
