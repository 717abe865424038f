#include "StoreTestSupport.h"

#include "Model/SampleInventory.h"
#include "Persistence/PersistedInventory.h"
#include "Support/Paths.h"

#include <QDir>
#include <QSignalSpy>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::testing {
namespace {

class StoreStartupTest : public StoreFixture {};

TEST_F(StoreStartupTest, withoutAnyStateFileShowsTheSampleInventoryAndWritesNothing) {
    const auto store = makeStore();

    EXPECT_EQ(store->plugins(), sampleInventory());
    EXPECT_FALSE(store->lastScanDate());
    EXPECT_FALSE(store->fileActionsBlockedByStorage());
    EXPECT_FALSE(store->notice());
    EXPECT_FALSE(store->lastStorageError());
    EXPECT_TRUE(store->history().empty());
    EXPECT_EQ(writeAttempts, 0);
    EXPECT_FALSE(QFile::exists(statePath()));
}

TEST_F(StoreStartupTest, aCurrentFileIsLoadedAndNotRewritten) {
    Plugin proQ = product(
        QStringLiteral("Pro-Q 3"), QStringLiteral("FabFilter"),
        {activeRecord(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3"))});
    PersistedInventory state = stateWith({proQ});
    state.lastScanDate = Timestamp{700000000.25};
    state.protectedKeys = {QStringLiteral("soundtoys|decapitator")};
    state.inaccessibleLocations = QStringList{QStringLiteral("/Library/Audio/Plug-Ins/CLAP")};
    state.lastReconciliation = ScanReconciliationSummary{2, 1, 0, false};
    state.permanentQuarantineRules =
        std::vector<PermanentQuarantineRule>{{QStringLiteral("Acme"), Timestamp{5}}};
    HistoryItem line{makeUuid(),
                     QStringLiteral("All Plugins"),
                     HistoryKind::scan,
                     QStringLiteral("1 plugins"),
                     QStringLiteral("9:00 AM"),
                     {},
                     {},
                     {},
                     {}};
    state.history = {line};
    writeState(state);
    const QByteArray before = stateBytes();

    const auto store = makeStore();

    EXPECT_EQ(store->plugins(), std::vector<Plugin>{proQ});
    EXPECT_EQ(store->lastScanDate(), Timestamp{700000000.25});
    EXPECT_EQ(store->protectedKeys(),
              PluginInventoryStore::ProtectedKeySet{QStringLiteral("soundtoys|decapitator")});
    EXPECT_EQ(store->inaccessibleLocations(), QStringList{QStringLiteral("/Library/Audio/Plug-Ins/CLAP")});
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{2, 1, 0, false}));
    EXPECT_EQ(store->history(), std::vector<HistoryItem>{line});
    EXPECT_EQ(store->permanentQuarantineRules().size(), 1u);
    EXPECT_FALSE(store->notice());
    EXPECT_EQ(writeAttempts, 0);
    EXPECT_EQ(stateBytes(), before);
}

TEST_F(StoreStartupTest, aCurrentFileOfAnOlderSchemaIsMigratedAndWrittenBack) {
    PersistedInventory state = stateWith(
        {bareProduct(QStringLiteral("Decapitator"), QStringLiteral("Soundtoys"), {QStringLiteral("AU")},
                     QStringLiteral("/Library/Audio/Plug-Ins/Components/Decapitator.component"))});
    state.schemaVersion = 2;
    state.protectedKeys = {QStringLiteral("soundtoys|decapitator")};
    writeState(state);

    const auto store = makeStore();

    EXPECT_EQ(writeAttempts, 1);
    const PersistedInventory stored = storedState();
    EXPECT_EQ(stored.schemaVersion, currentInventorySchemaVersion);
    ASSERT_EQ(store->plugins().size(), 1u);
    // The migration gives the single-format product its record, protected through its key.
    ASSERT_TRUE(store->plugins()[0].bundles);
    ASSERT_EQ(store->plugins()[0].bundles->size(), 1u);
    EXPECT_TRUE(store->plugins()[0].bundles->front().isProtected);
    EXPECT_EQ(stored.plugins, store->plugins());
}

// A read-only data folder: the inventory is shown (migrated in memory), nothing is written, and
// scans and file actions are refused with a message that says why.
TEST_F(StoreStartupTest, aReadOnlyDataFolderShowsTheInventoryWithFileActionsBlocked) {
    PersistedInventory state = stateWith(
        {bareProduct(QStringLiteral("Decapitator"), QStringLiteral("Soundtoys"), {QStringLiteral("AU")},
                     QStringLiteral("/Library/Audio/Plug-Ins/Components/Decapitator.component"))});
    state.schemaVersion = 2;
    writeState(state);
    const QByteArray before = stateBytes();
    StoreEnvironment readOnly = environment();
    QString asked;
    readOnly.isReadOnlyFolder = [&](const QString& folder) {
        asked = folder;
        return true;
    };

    PluginInventoryStore store(readOnly);
    EXPECT_EQ(asked, deletingLastPathComponent(statePath()));
    ASSERT_EQ(store.plugins().size(), 1u);
    EXPECT_EQ(store.plugins()[0].name, QStringLiteral("Decapitator"));
    EXPECT_TRUE(store.fileActionsBlockedByStorage());
    const QString message =
        QStringLiteral(
            "Quorvane\u2019s data folder %1 is on a read-only file system. The inventory is shown as "
            "last saved; scans and plugin file actions are blocked and nothing is saved until the "
            "folder can be written. Make it writable, then start Quorvane again.")
            .arg(deletingLastPathComponent(statePath()));
    EXPECT_EQ(store.lastStorageError(), message);
    ASSERT_TRUE(store.notice().has_value());
    EXPECT_EQ(store.notice()->title, QStringLiteral("Data Folder Read-Only"));

    store.startScan({}, nullptr);
    EXPECT_FALSE(store.isScanning());
    EXPECT_EQ(store.lastOperationError(),
              QStringLiteral("Quorvane\u2019s data folder is on a read-only file system, so a scan could not "
                             "be saved. No inventory or plugin files were changed."));
    // Each refusal says the folder is read-only, not that the inventory could not be upgraded.
    const PluginBundleSelection decapitator{store.plugins()[0].id,
                                            store.plugins()[0].bundleRecords()[0].id()};
    const QString actionsBlocked = QStringLiteral(
        "Quorvane\u2019s data folder is on a read-only file system. Plugin file actions are blocked.");
    EXPECT_EQ(store.planQuarantine({decapitator}), actionsBlocked);
    EXPECT_FALSE(store.beginPrivileged<PrivilegedKind::trash>({decapitator}).has_value());
    EXPECT_EQ(store.lastOperationError(), actionsBlocked);
    EXPECT_FALSE(store.setFormatProtection(decapitator, true));
    EXPECT_EQ(
        store.lastOperationError(),
        QStringLiteral("Quorvane\u2019s data folder is on a read-only file system, so format protection "
                       "cannot change."));
    store.setProtection(store.plugins()[0], true);
    EXPECT_EQ(
        store.notice()->message,
        QStringLiteral("Quorvane could not save its inventory record: Quorvane\u2019s data folder is on a "
                       "read-only file system, so nothing is saved until the folder can be written."));
    store.waitForIdle();
    EXPECT_EQ(writeAttempts, 0);
    EXPECT_EQ(stateBytes(), before);
}

TEST_F(StoreStartupTest, aLegacyFileIsCopiedToTheCurrentLocationEvenAtTheCurrentSchema) {
    const Plugin proQ =
        product(QStringLiteral("Pro-Q 3"), QStringLiteral("FabFilter"),
                {activeRecord(QStringLiteral("AU"),
                              QStringLiteral("/Library/Audio/Plug-Ins/Components/Pro-Q 3.component"))});
    ASSERT_TRUE(writeStateFile(stateWith({proQ}), legacyStatePath()));
    const QByteArray legacyBefore = readBytes(legacyStatePath());

    const auto store = makeStore();

    EXPECT_EQ(store->plugins(), std::vector<Plugin>{proQ});
    EXPECT_EQ(writeAttempts, 1);
    EXPECT_EQ(storedState().plugins, std::vector<Plugin>{proQ});
    EXPECT_EQ(readBytes(legacyStatePath()), legacyBefore);
}

TEST_F(StoreStartupTest, aLegacyFileWhoseCopyCannotBeWrittenBlocksTheStore) {
    ASSERT_TRUE(writeStateFile(stateWith({}), legacyStatePath()));
    failSaves = true;

    const auto store = makeStore();

    EXPECT_TRUE(store->fileActionsBlockedByStorage());
    EXPECT_TRUE(store->plugins().empty());
    EXPECT_EQ(store->lastStorageError(),
              StateFileError(StateFileFailure::fileNotWritten, statePath(), QStringLiteral("Disk full"))
                  .description());
}

struct UnreadableCase {
    const char* name;
    // Puts the unreadable file where the state file belongs.
    std::function<void(const QString& path)> make;
    // The storage error, with %1 for the file; empty where it is only checked to be there.
    const char* error = "";
};

std::function<void(const QString&)> writing(const QByteArray& bytes) {
    return [bytes](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    };
}

// A document that loads, with `extra` put in the top-level object and `member` in its product.
QByteArray documentWith(const QByteArray& extra, const QByteArray& member = {}) {
    return R"({"schemaVersion": 3, "protectedKeys": [], "history": [], "plugins": [{"id": "6F1C2B8E-5D7A-4C1F-9E3B-2A4D6C8E0F12", "manufacturer": "B", "version": "1", "formats": ["AU"], "architecture": "Intel", "size": "1 KB", "path": "/a", "status": "OK", "isProtected": false, )" +
           (member.isEmpty() ? QByteArray(R"("name": "A")") : member) + "}]" + extra + "}";
}

// What any write would change: kind, inode (a replacing write renames a new file in place), size,
// time of change and link target; and the bytes of a small regular file. Never opens anything else.
QString fingerprintOf(const QString& path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("missing");
    QString print = QStringLiteral("%1 %2 %3 %4.%5 %6")
                        .arg(status.st_mode)
                        .arg(status.st_ino)
                        .arg(status.st_size)
                        .arg(status.st_mtim.tv_sec)
                        .arg(status.st_mtim.tv_nsec)
                        .arg(QFile::symLinkTarget(path));
    QFile file(path);
    if (S_ISREG(status.st_mode) && status.st_size < 1024 * 1024 && file.open(QIODevice::ReadOnly))
        print += QString::fromLatin1(file.readAll().toHex());
    return print;
}

class UnreadableStateTest : public StoreFixture, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableStateTest, blocksScansAndFileActionsAndNeverWritesTheFile) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(statePath()).path()));
    GetParam().make(statePath());
    const QString before = fingerprintOf(statePath());
    ASSERT_NE(before, QStringLiteral("missing"));

    const auto store = makeStore();

    EXPECT_TRUE(store->fileActionsBlockedByStorage());
    EXPECT_TRUE(store->plugins().empty());
    EXPECT_FALSE(store->lastScanDate());
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Inventory Upgrade Blocked"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "Quorvane kept the existing Build 39 inventory unchanged. Scanning and plugin file actions "
                  "are blocked until the local state can be safely upgraded."));
    EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
    ASSERT_TRUE(store->lastStorageError());
    EXPECT_FALSE(store->lastStorageError()->isEmpty());
    if (*GetParam().error) {
        EXPECT_EQ(store->lastStorageError(), QString::fromUtf8(GetParam().error).arg(statePath()));
    }

    store->startScan(allFolders(), nullptr);
    EXPECT_FALSE(store->isScanning());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Scan Blocked"));
    EXPECT_EQ(store->lastOperationError(),
              QStringLiteral(
                  "The Build 39 inventory could not be upgraded safely. No inventory or plugin files were "
                  "changed."));

    const Plugin someProduct = bareProduct(QStringLiteral("Pro-Q 3"), QStringLiteral("FabFilter"),
                                           {QStringLiteral("VST3")}, QStringLiteral("/x/Pro-Q 3.vst3"));
    EXPECT_FALSE(store->setFormatProtection(selectionOf(someProduct, QStringLiteral("VST3")), true));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Change Blocked"));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral("The local inventory must be upgraded safely before format protection can change."));

    // Product, batch and rule changes do not consult the flag; the write itself is refused.
    const QString refused = QStringLiteral("The inventory state file could not be read when Quorvane "
                                           "started, so it is left unchanged until it can be "
                                           "upgraded safely.");
    store->setProtection(someProduct, true);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Quorvane could not save its inventory record: ") + refused);
    store->setBatchProtection({someProduct}, false);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    store->setPermanentQuarantine(QStringLiteral("FabFilter"), true);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Rule Change Not Saved"));
    EXPECT_TRUE(store->permanentQuarantineRules().empty());
    EXPECT_EQ(store->lastStorageError(), refused);
    store->saveStateReportingFailure();

    EXPECT_EQ(writeAttempts, 0);
    EXPECT_EQ(fingerprintOf(statePath()), before);
}

const char* const notARegularFile = "The inventory state file %1 could not be read: Not a regular file.";
const char* const repeatedKey = "The inventory state file %1 is not a readable inventory record: The data is "
                                "not valid JSON (an object repeats a key).";

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableStateTest,
    ::testing::Values(
        UnreadableCase{"notJson", writing("{ this is not json")},
        UnreadableCase{"newerSchema",
                       writing(R"({"schemaVersion": 4, "plugins": [], "protectedKeys": [], "history": []})")},
        UnreadableCase{"wrongType",
                       writing(R"({"schemaVersion": 3, "plugins": 5, "protectedKeys": [], "history": []})")},
        UnreadableCase{"unknownStatus", writing(documentWith({}).replace(R"("OK")", R"("Broken")"))},
        // A second list would otherwise win, and the next save would drop every record of the first.
        UnreadableCase{"repeatedTopLevelKey", writing(documentWith(R"(, "plugins": [])")), repeatedKey},
        UnreadableCase{"repeatedNestedKey", writing(documentWith({}, R"("name": "A", "name": "B")")),
                       repeatedKey},
        UnreadableCase{"rawNulInAString", writing(documentWith({}, QByteArray("\"name\": \"A\0B\"", 13))),
                       "The inventory state file %1 is not a readable inventory record: The data is not "
                       "valid JSON (a string holds a control character)."},
        // Opening a FIFO for reading would wait for a writer that never comes.
        UnreadableCase{
            "fifo",
            [](const QString& path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
            notARegularFile},
        UnreadableCase{
            "linkToEndlessDevice",
            [](const QString& path) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path)); },
            notARegularFile},
        UnreadableCase{"aboveTheSizeLimit",
                       [](const QString& path) {
                           QFile file(path);
                           ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                           // Sparse: no disk space is used.
                           ASSERT_EQ(::ftruncate(file.handle(), maximumStateFileBytes + 1), 0);
                       },
                       "The inventory state file %1 could not be read: Larger than 256 MiB."}),
    [](const ::testing::TestParamInfo<UnreadableCase>& param) { return std::string(param.param.name); });

TEST_F(StoreStartupTest, aFolderInPlaceOfTheStateFileBlocksTheStore) {
    ASSERT_TRUE(QDir().mkpath(statePath()));
    const auto store = makeStore();
    EXPECT_TRUE(store->fileActionsBlockedByStorage());
    EXPECT_TRUE(QFileInfo(statePath()).isDir());
}

TEST_F(StoreStartupTest, withoutAnApplicationSupportFolderTheStoreIsBlocked) {
    support.clear();
    const auto store = makeStore();
    EXPECT_TRUE(store->fileActionsBlockedByStorage());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Inventory Upgrade Blocked"));
}

TEST_F(StoreStartupTest, aQuarantinedSingleFormatProductWithoutRecordsGainsItsRecord) {
    const QString original = QStringLiteral("/Library/Audio/Plug-Ins/VST3/Echo.vst3");
    Plugin complete = bareProduct(QStringLiteral("Echo"), QStringLiteral("Acme"), {QStringLiteral("VST3")},
                                  original, PluginStatus::quarantined);
    complete.isProtected = true;
    complete.originalPath = original;
    complete.quarantinePath = QStringLiteral("/Library/Application Support/Quorvane/Quarantine/OP/Echo.vst3");
    complete.quarantineOperationID = QStringLiteral("OP");
    Plugin twoFormats = complete;
    twoFormats.id = makeUuid();
    twoFormats.name = QStringLiteral("Delay");
    twoFormats.formats = {QStringLiteral("VST3"), QStringLiteral("AU")};
    Plugin noOperation = complete;
    noOperation.id = makeUuid();
    noOperation.name = QStringLiteral("Chorus");
    noOperation.quarantineOperationID.reset();
    writeState(stateWith({complete, twoFormats, noOperation}));

    const auto store = makeStore();

    ASSERT_EQ(store->plugins().size(), 3u);
    PluginBundleRecord expected;
    expected.format = QStringLiteral("VST3");
    expected.architecture = complete.architecture;
    expected.size = complete.size;
    expected.path = original;
    expected.originalPath = complete.originalPath;
    expected.quarantinePath = complete.quarantinePath;
    expected.quarantineOperationID = complete.quarantineOperationID;
    expected.isProtected = true;
    EXPECT_EQ(store->plugins()[0].bundles, std::vector<PluginBundleRecord>{expected});
    EXPECT_EQ(store->plugins()[1], twoFormats);
    EXPECT_EQ(store->plugins()[2], noOperation);
}

TEST_F(StoreStartupTest, savesWriteProtectedKeysSortedSoThatRepeatedSavesAreIdentical) {
    PersistedInventory state = stateWith({});
    state.protectedKeys = {QStringLiteral("zeta|b"), QStringLiteral("Alpha|a"), QStringLiteral("beta|c")};
    writeState(state);
    const auto store = makeStore();

    store->saveStateReportingFailure();
    store->waitForIdle();
    const QByteArray first = stateBytes();
    store->saveStateReportingFailure();
    store->waitForIdle();

    EXPECT_EQ(stateBytes(), first);
    EXPECT_EQ(storedState().protectedKeys,
              (QStringList{QStringLiteral("Alpha|a"), QStringLiteral("beta|c"), QStringLiteral("zeta|b")}));
    EXPECT_FALSE(store->lastStorageError());
}

TEST_F(StoreStartupTest, aFailedSaveKeepsTheChangeReplacesTheRevisionAndReports) {
    writeState(stateWith({}));
    const auto store = makeStore();
    const InventoryRevisionToken before = store->inventoryRevision();
    QSignalSpy noticeSpy(store.get(), &PluginInventoryStore::noticeChanged);
    failSaves = true;

    store->saveStateReportingFailure();
    store->waitForIdle();

    const QString description =
        StateFileError(StateFileFailure::fileNotWritten, statePath(), QStringLiteral("Disk full"))
            .description();
    EXPECT_NE(store->inventoryRevision(), before);
    EXPECT_EQ(store->lastStorageError(), description);
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Quorvane could not save its inventory record: ") + description);
    EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
    EXPECT_EQ(noticeSpy.count(), 1);
}

TEST_F(StoreStartupTest, reportOperationErrorKeepsTheMessageAndPostsAWarning) {
    const auto store = makeStore();
    QSignalSpy errorSpy(store.get(), &PluginInventoryStore::lastOperationErrorChanged);

    store->reportOperationError(QStringLiteral("Title"), QStringLiteral("Message."));
    store->reportOperationError(QStringLiteral("Title"), QStringLiteral("Message."));

    EXPECT_EQ(store->lastOperationError(), QStringLiteral("Message."));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Title"));
    EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
    // The same message again is no change.
    EXPECT_EQ(errorSpy.count(), 1);
}

TEST_F(StoreStartupTest, copiesLeftByAnInterruptedWriteAreRemovedAndNothingElse) {
    writeState(stateWith({}));
    const QString folder = deletingLastPathComponent(statePath());
    const struct {
        const char* name;
        bool removed;
    } files[] = {
        {"inventory-state.json.Ab3xY9", true},  {"inventory-state.json.qwerty", true},
        {"inventory-state.json.bak", false},    {"inventory-state.json.Ab3xY9.old", false},
        {"inventory-state.json.Ab-xY9", false}, {"instance.json.Ab3xY9", false},
    };
    for (const auto& file : files) {
        QFile copy(folder + u'/' + QString::fromLatin1(file.name));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    }

    const auto store = makeStore();

    for (const auto& file : files)
        EXPECT_EQ(QFile::exists(folder + u'/' + QString::fromLatin1(file.name)), !file.removed) << file.name;
    EXPECT_TRUE(QFile::exists(statePath()));
}

} // namespace
} // namespace quorvane::testing
