#include "App/InstanceLock.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Support/Paths.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace quorvane::testing {
namespace {

const QString alreadyRunning = QStringLiteral("already running");

TEST(InstanceLock, HoldsWhateverHappensToTheLockFilesName) {
    struct Row {
        const char* name;
        std::function<void(const QString& lockFile)> change;
    };
    const std::vector<Row> rows{
        {"left alone", [](const QString&) {}},
        {"removed", [](const QString& file) { ASSERT_TRUE(QFile::remove(file)); }},
        {"renamed over by another file",
         [](const QString& file) {
             QFile other(file + QStringLiteral(".new"));
             ASSERT_TRUE(other.open(QIODevice::WriteOnly));
             other.close();
             ASSERT_EQ(::rename(QFile::encodeName(other.fileName()).constData(),
                                QFile::encodeName(file).constData()),
                       0);
         }},
        {"replaced by a folder",
         [](const QString& file) {
             ASSERT_TRUE(QFile::remove(file));
             ASSERT_TRUE(QDir().mkpath(file));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryTree tree;
        const QString support = tree.makeDirectory(QStringLiteral("support"));
        const auto first = InstanceLock::acquire(support);
        ASSERT_TRUE(first.has_value()) << first.error().toStdString();
        row.change(instanceLockFileURL(support));

        const auto second = InstanceLock::acquire(support);
        ASSERT_FALSE(second.has_value());
        EXPECT_TRUE(second.error().contains(alreadyRunning)) << second.error().toStdString();
        EXPECT_TRUE(first->holdsDataFolder());
    }
}

// As on a read-only file system, where no lock file can be created.
TEST(InstanceLock, LocksADataFolderWhereNoLockFileCanBeCreated) {
    TemporaryTree tree;
    const QString support = tree.makeDirectory(QStringLiteral("support"));
    ASSERT_TRUE(QDir().mkpath(instanceLockFileURL(support)));
    const auto lock = InstanceLock::acquire(support);
    ASSERT_TRUE(lock.has_value()) << lock.error().toStdString();
    EXPECT_TRUE(lock->isLocked());
    const auto second = InstanceLock::acquire(support);
    ASSERT_FALSE(second.has_value());
    EXPECT_TRUE(second.error().contains(alreadyRunning));
}

// A data folder moved away may be locked and written by another instance: this one writes no more,
// not even once the folder is back.
TEST(InstanceLock, WritesStopOnceTheDataFolderIsNoLongerTheLockedOne) {
    TemporaryTree tree;
    const QString support = tree.makeDirectory(QStringLiteral("support"));
    const auto lock = InstanceLock::acquire(support);
    ASSERT_TRUE(lock.has_value());
    const QString path = inventoryStateFileURL(support);
    const QString folder = deletingLastPathComponent(path);
    const auto write = lock->guardedWriter({});
    EXPECT_TRUE(write(PersistedInventory{}, path).has_value());

    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral("-moved")));
    EXPECT_FALSE(lock->holdsDataFolder());
    EXPECT_FALSE(write(PersistedInventory{}, path).has_value());
    EXPECT_FALSE(QFile::exists(path));
    const auto other = InstanceLock::acquire(support);
    EXPECT_TRUE(other.has_value());

    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QDir().rename(folder + QStringLiteral("-moved"), folder));
    EXPECT_FALSE(lock->holdsDataFolder());
    EXPECT_FALSE(write(PersistedInventory{}, path).has_value());
}

} // namespace
} // namespace quorvane::testing
