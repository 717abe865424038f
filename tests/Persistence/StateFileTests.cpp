#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"

#include "Support/Fixtures/TemporaryTree.h"
#include "Support/Uuid.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/resource.h>

namespace quorvane {
namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

PersistedInventory smallInventory() {
    PersistedInventory state;
    state.schemaVersion = 3;
    Plugin plugin;
    plugin.id = *parseUuid(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
    plugin.name = QStringLiteral("Pro-Q 3");
    plugin.manufacturer = QStringLiteral("FabFilter");
    plugin.version = QStringLiteral("3.28");
    plugin.formats = {QStringLiteral("VST3")};
    plugin.architecture = QStringLiteral("Universal");
    plugin.size = QStringLiteral("39.8 MB");
    plugin.path = QStringLiteral("/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3");
    plugin.status = PluginStatus::protected_;
    plugin.isProtected = true;
    PluginBundleRecord bundle;
    bundle.format = QStringLiteral("VST3");
    bundle.architecture = QStringLiteral("Universal");
    bundle.size = QStringLiteral("39.8 MB");
    bundle.path = plugin.path;
    bundle.presetRunID = *parseUuid(QStringLiteral("11111111-2222-4333-8444-55555555aaaa"));
    bundle.isProtected = true;
    plugin.bundles = std::vector<PluginBundleRecord>{bundle};
    state.plugins = {plugin};
    state.lastScanDate = Timestamp{740000000.125};
    state.protectedKeys = {QStringLiteral("fabfilter|pro-q 3")};
    HistoryItem item;
    item.id = *parseUuid(QStringLiteral("6a1b0c2d-3e4f-4a5b-8c6d-7e8f9a0b1c2d"));
    item.plugin = QStringLiteral("Pro-Q 3");
    item.kind = HistoryKind::protection;
    item.detail = QStringLiteral("Protected \u201CPro-Q 3\u201D.");
    item.time = QStringLiteral("9:41 AM");
    state.history = {item};
    state.permanentQuarantineRules = std::vector<PermanentQuarantineRule>{
        PermanentQuarantineRule{QStringLiteral("Waves"), Timestamp{739999999}}};
    state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{
        QStringLiteral("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE"),
        {PrivilegedQuarantineItem{QStringLiteral("/Library/Audio/Plug-Ins/VST3/X.vst3"),
                                  QStringLiteral("/Library/Application Support/Quorvane/Quarantine/"
                                                 "12345678-1234-4234-8234-123456789ABC/X.vst3"),
                                  QStringLiteral("12345678-1234-4234-8234-123456789ABC")}}};
    return state;
}

const char* const smallInventoryText = R"({
    "history": [
        {
            "detail": "Protected “Pro-Q 3”.",
            "id": "6A1B0C2D-3E4F-4A5B-8C6D-7E8F9A0B1C2D",
            "kind": "Protection Enabled",
            "plugin": "Pro-Q 3",
            "time": "9:41 AM"
        }
    ],
    "lastScanDate": 740000000.125,
    "pendingPrivilegedQuarantine": {
        "items": [
            {
                "destinationPath": "/Library/Application Support/Quorvane/Quarantine/12345678-1234-4234-8234-123456789ABC/X.vst3",
                "operationID": "12345678-1234-4234-8234-123456789ABC",
                "sourcePath": "/Library/Audio/Plug-Ins/VST3/X.vst3"
            }
        ],
        "transactionID": "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE"
    },
    "permanentQuarantineRules": [
        {
            "enabledAt": 739999999,
            "manufacturer": "Waves"
        }
    ],
    "plugins": [
        {
            "architecture": "Universal",
            "bundles": [
                {
                    "architecture": "Universal",
                    "format": "VST3",
                    "isProtected": true,
                    "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
                    "presetRunID": "11111111-2222-4333-8444-55555555AAAA",
                    "size": "39.8 MB"
                }
            ],
            "formats": [
                "VST3"
            ],
            "id": "0F8FAD5B-D9CB-469F-A165-70867728950E",
            "isProtected": true,
            "manufacturer": "FabFilter",
            "name": "Pro-Q 3",
            "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
            "size": "39.8 MB",
            "status": "Protected",
            "version": "3.28"
        }
    ],
    "protectedKeys": [
        "fabfilter|pro-q 3"
    ],
    "schemaVersion": 3
}
)";

class StateFileTest : public ::testing::Test {
protected:
    testing::TemporaryTree tree;
    QString path = inventoryStateFileURL(tree.path());
};

TEST_F(StateFileTest, WritesTheExpectedTextAndCreatesTheFolder) {
    ASSERT_FALSE(QFileInfo::exists(QFileInfo(path).path()));
    const auto written = writeStateFile(smallInventory(), path);
    ASSERT_TRUE(written.has_value()) << written.error().description().toStdString();
    EXPECT_EQ(QString::fromUtf8(contentsOf(path)), QString::fromUtf8(smallInventoryText));
}

TEST_F(StateFileTest, ReadsBackEqualAndASecondSaveIsByteIdentical) {
    ASSERT_TRUE(writeStateFile(smallInventory(), path).has_value());
    const QByteArray first = contentsOf(path);
    const auto read = readStateFile(path);
    ASSERT_TRUE(read.has_value()) << read.error().description().toStdString();
    EXPECT_EQ(*read, smallInventory());
    ASSERT_TRUE(writeStateFile(*read, path).has_value());
    EXPECT_EQ(contentsOf(path), first);
}

TEST_F(StateFileTest, DatesSurviveReadingAndWritingExactly) {
    std::vector<PermanentQuarantineRule> rules;
    for (const double seconds : {0.0, -1.5, 740000000.1, 761234567.8912345, 1e-7, 3e9 + 0.3})
        rules.push_back(PermanentQuarantineRule{QStringLiteral("M"), Timestamp{seconds}});
    PersistedInventory state;
    state.permanentQuarantineRules = rules;
    ASSERT_TRUE(writeStateFile(state, path).has_value());
    const auto read = readStateFile(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, state);
}

TEST_F(StateFileTest, AFailedWriteLeavesThePreviousFileAndNoTemporaryFile) {
    ASSERT_TRUE(writeStateFile(smallInventory(), path).has_value());
    const QByteArray before = contentsOf(path);
    const QString folder = QFileInfo(path).path();

    // The target itself being a folder defeats root as well as anyone.
    const QString blocked = folder + QStringLiteral("/blocked.json");
    ASSERT_TRUE(QDir().mkpath(blocked));
    const auto result = writeStateFile(PersistedInventory{}, blocked);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().failure, StateFileFailure::fileNotOpened);
    EXPECT_EQ(result.error().path, blocked);
    EXPECT_TRUE(result.error().description().startsWith(
        QStringLiteral("The inventory state file %1 could not be opened for writing: ").arg(blocked)))
        << result.error().description().toStdString();
    EXPECT_TRUE(result.error().description().endsWith(u'.'));

    EXPECT_EQ(contentsOf(path), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("blocked.json"), QStringLiteral("inventory-state.json")}));
}

// A file-size limit binds root too, so the write fails after the temporary file exists.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
    bool m_active = false;
};

TEST_F(StateFileTest, AWriteThatFailsHalfwayKeepsThePreviousFile) {
    ASSERT_TRUE(writeStateFile(PersistedInventory{}, path).has_value());
    const QByteArray before = contentsOf(path);
    {
        const FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 16);
        ASSERT_TRUE(limit.active());
        const auto result = writeStateFile(smallInventory(), path);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().failure, StateFileFailure::fileNotWritten);
        // The system's own reason, as for a full disk.
        EXPECT_EQ(result.error().reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    }
    EXPECT_EQ(contentsOf(path), before);
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("inventory-state.json")});
}

TEST_F(StateFileTest, AFileWhereTheFolderShouldBeIsReported) {
    tree.writeFile(QStringLiteral("Quorvane"), "not a folder");
    const auto result = writeStateFile(smallInventory(), path);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().failure, StateFileFailure::folderNotCreated);
    EXPECT_EQ(result.error().path, tree.path(QStringLiteral("Quorvane")));
    EXPECT_EQ(contentsOf(tree.path(QStringLiteral("Quorvane"))), QByteArray("not a folder"));
}

TEST_F(StateFileTest, ReadingReportsAMissingFileAndAnUndecodableDocumentApart) {
    const auto missing = readStateFile(path);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().failure, StateFileFailure::fileNotRead);

    tree.writeFile(QStringLiteral("Quorvane/inventory-state.json"),
                   R"({"plugins": [], "protectedKeys": []})");
    const auto undecodable = readStateFile(path);
    ASSERT_FALSE(undecodable.has_value());
    EXPECT_EQ(undecodable.error().failure, StateFileFailure::documentNotDecoded);
    EXPECT_EQ(undecodable.error().description(),
              QStringLiteral("The inventory state file %1 is not a readable inventory record: "
                             "The value of \u201Chistory\u201D is missing.")
                  .arg(path));

    QDir().mkpath(path + QStringLiteral(".d"));
    EXPECT_EQ(readStateFile(path + QStringLiteral(".d")).error().failure, StateFileFailure::fileNotRead);
}

TEST_F(StateFileTest, NoApplicationSupportFolderMeansNoLocationAndNoWrite) {
    EXPECT_EQ(inventoryStateFileURL(QString()), QString());
    const auto result = writeStateFile(smallInventory(), inventoryStateFileURL(QString()));
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().failure, StateFileFailure::noLocation);
    EXPECT_EQ(
        result.error().description(),
        QStringLiteral("The system reports no Application Support folder for the inventory state file."));
}

TEST(StateFileLocations, CurrentAndLegacyPathsLieBeneathTheApplicationSupportFolder) {
    EXPECT_EQ(inventoryStateFileURL(QStringLiteral("/home/a/.local/share")),
              QStringLiteral("/home/a/.local/share/Quorvane/inventory-state.json"));
    EXPECT_EQ(legacyInventoryStateFileURL(QStringLiteral("/home/a/.local/share")),
              QStringLiteral("/home/a/.local/share/Ostrevel/inventory-state.json"));
    EXPECT_EQ(legacyQuarantineFolderURL(QStringLiteral("/home/a/.local/share")),
              QStringLiteral("/home/a/.local/share/Ostrevel/Quarantine"));

    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    EXPECT_EQ(applicationSupportFolder(), dataHome);
    EXPECT_EQ(inventoryStateFileURL(), dataHome + QStringLiteral("/Quorvane/inventory-state.json"));
    EXPECT_EQ(legacyQuarantineFolderURL(), dataHome + QStringLiteral("/Ostrevel/Quarantine"));
}

} // namespace
} // namespace quorvane
