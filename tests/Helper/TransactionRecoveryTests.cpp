#include "Helper/PrivilegedTransactions.h"
#include "Helper/TransactionRecord.h"
#include "Helper/TransactionRecovery.h"
#include "HelperTestSupport.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <set>

namespace quorvane::testing {
namespace {

using Found = TransactionRecoveryReport::Found;
using Kind = TransactionKind;

class TransactionRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(tree.policy.quarantineRoot()); }

    static FileIdentity identityAt(const QString& path) {
        struct stat status {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
        return identityOf(status);
    }

    // A bundle left at `where` by a transaction of `kind` from `source` to
    // `destination`.
    TransactionRecordEntry entryAt(const QString& source, const QString& destination,
                                   const QString& where) const {
        QDir().mkpath(deletingLastPathComponent(where));
        tree.makeBundle(where);
        const QString stagingName =
            where.startsWith(tree.ledger.stagingFolder()) ? lastPathComponent(where) : QString();
        return {source, destination, stagingName, identityAt(where), consoleTestUid()};
    }

    // Where a transaction of `kind` takes a bundle named `name` from and to.
    std::pair<QString, QString> pathsOf(Kind kind, const QString& operationID, const QString& name) const {
        const QString quarantined = tree.quarantined(operationID, name);
        switch (kind) {
        case Kind::quarantine:
            return {tree.vst3(name), quarantined};
        case Kind::restore:
            return {quarantined, tree.vst3(name)};
        case Kind::trash:
            return {quarantined, tree.trashed(name)};
        case Kind::trashRestore:
            return {tree.trashed(name), tree.vst3(name)};
        }
        return {};
    }

    HelperTree tree;
    TransactionRecord record{tree.ledger.folder()};
    QString operation = upperUuid();
};

TEST_F(TransactionRecoveryTest, ACommittedTransactionOnlyLosesItsRecord) {
    const QString source = tree.vst3("Synth.vst3");
    const QString destination = tree.quarantined(operation, "Synth.vst3");
    const auto entry = entryAt(source, destination, destination);
    ASSERT_TRUE(record.write({Kind::quarantine, upperUuid(), true, {entry}}));
    const auto before = tree.audit();

    EXPECT_EQ(recoverInterruptedTransaction(record, tree.ledger, tree.policy.quarantineRoot()).found,
              Found::committed);
    EXPECT_FALSE(existsNoFollow(record.path()));
    auto after = before;
    std::erase_if(after, [&](const AuditEntry& audited) { return audited.path == record.path(); });
    EXPECT_EQ(tree.audit(), after);
}

TEST_F(TransactionRecoveryTest, EveryBundleGoesBackOrIsLeftWhereItIsNeverOverAnything) {
    struct Row {
        const char* name;
        Kind kind;
        // Where the interrupted transaction left the bundle: 'd' destination, 's'
        // staging, 'h' source.
        char where;
        bool sourceTaken;
    };
    const std::vector<Row> rows{
        {"quarantined, back to the plug-in folder", Kind::quarantine, 'd', false},
        {"never moved", Kind::restore, 'h', false},
        {"restored, its emptied operation folder removed since", Kind::restore, 'd', false},
        {"staged on its way to the Trash", Kind::trash, 's', false},
        {"in the Trash", Kind::trash, 'd', false},
        {"recovered from the Trash, back into it", Kind::trashRestore, 'd', false},
        {"its source name taken meanwhile", Kind::quarantine, 'd', true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = upperUuid() + QStringLiteral(".vst3");
        const auto [source, destination] = pathsOf(row.kind, upperUuid(), name);
        const QString staged = tree.ledger.stagingFolder() + u'/' + upperUuid();
        const QString where = row.where == 'd' ? destination : row.where == 's' ? staged : source;
        const auto entry = entryAt(source, destination, where);
        // Killed before its second move: the next bundle never left.
        const auto [nextSource, nextDestination] = pathsOf(row.kind, upperUuid(), upperUuid() + ".vst3");
        const auto next = entryAt(nextSource, nextDestination, nextSource);
        // The ledger as the transaction left it: a Trash move records the bundle
        // before it moves, a recovery drops its record only once every bundle is
        // out of the Trash.
        if (row.kind == Kind::trash) {
            ASSERT_TRUE(tree.ledger.add(
                {{destination, entry.identity, entry.owner}, {nextDestination, next.identity, next.owner}}));
        }
        if (row.sourceTaken)
            tree.makeBundle(source);
        const FileIdentity occupant = row.sourceTaken ? identityAt(source) : FileIdentity{};
        ASSERT_TRUE(record.write({row.kind, upperUuid(), false, {entry, next}}));

        const auto report = recoverInterruptedTransaction(record, tree.ledger, tree.policy.quarantineRoot());
        EXPECT_EQ(report.found, Found::interrupted);
        EXPECT_FALSE(existsNoFollow(record.path()));
        if (row.sourceTaken) {
            EXPECT_EQ(report.leftInPlace, QStringList{source});
            EXPECT_EQ(identityAt(source), occupant);
            EXPECT_EQ(identityAt(where), entry.identity);
            continue;
        }
        EXPECT_EQ(report.returned, 2);
        EXPECT_EQ(identityAt(source), entry.identity);
        EXPECT_EQ(identityAt(nextSource), next.identity);
        EXPECT_FALSE(existsNoFollow(destination));
        EXPECT_FALSE(existsNoFollow(staged));
        const auto ledgerRecord = tree.ledger.find(tree.trashed(name));
        const QString info = HomeTrash::infoFolder(tree.home) + u'/' + name + QStringLiteral(".trashinfo");
        const bool inTrash = row.kind == Kind::trashRestore;
        EXPECT_EQ(ledgerRecord.has_value(), inTrash);
        EXPECT_EQ(existsNoFollow(info), inTrash);
        if (inTrash) {
            EXPECT_EQ(ledgerRecord->identity, entry.identity);
        }
    }
    // Emptied operation folders and the staging folder do not outlive the
    // rollbacks.
    EXPECT_FALSE(existsNoFollow(tree.ledger.stagingFolder()));
}

// Killed after its last move but before its commit mark, a transaction has
// every bundle where it was going; the application settles such a journal as
// done, so the helper must not undo it under it.
TEST_F(TransactionRecoveryTest, ATransactionWhoseEveryBundleArrivedIsFinishedNotUndone) {
    for (const Kind kind : {Kind::quarantine, Kind::restore, Kind::trash, Kind::trashRestore}) {
        SCOPED_TRACE(transactionKindText(kind).toStdString());
        const QString operationFolder = upperUuid();
        std::vector<TransactionRecordEntry> entries;
        for (int index = 0; index < 2; ++index) {
            const QString name = upperUuid() + QStringLiteral(".vst3");
            const auto [source, destination] = pathsOf(kind, operationFolder, name);
            entries.push_back(entryAt(source, destination, destination));
        }
        // The ledger as the moves left it: a Trash move records its bundles before
        // they move, a recovery drops its records only after its commit.
        for (const TransactionRecordEntry& entry : entries) {
            if (kind == Kind::trash || kind == Kind::trashRestore) {
                const QString trashPath = kind == Kind::trash ? entry.destination : entry.source;
                ASSERT_TRUE(tree.ledger.add({{trashPath, entry.identity, entry.owner}}));
            }
        }
        ASSERT_TRUE(record.write({kind, upperUuid(), false, entries}));

        const auto report = recoverInterruptedTransaction(record, tree.ledger, tree.policy.quarantineRoot());
        EXPECT_EQ(report.found, Found::finished);
        EXPECT_FALSE(existsNoFollow(record.path()));
        for (const TransactionRecordEntry& entry : entries) {
            EXPECT_EQ(identityAt(entry.destination), entry.identity);
            EXPECT_FALSE(existsNoFollow(entry.source));
            const QString trashPath = kind == Kind::trash ? entry.destination : entry.source;
            const QString info = HomeTrash::infoFolder(tree.home) + u'/' + lastPathComponent(trashPath) +
                                 QStringLiteral(".trashinfo");
            if (kind == Kind::trash || kind == Kind::trashRestore) {
                EXPECT_EQ(tree.ledger.find(trashPath).has_value(), kind == Kind::trash);
                EXPECT_EQ(existsNoFollow(info), kind == Kind::trash);
            }
        }
        // The operation folder the bundles left goes, as after a reply.
        if (kind == Kind::restore || kind == Kind::trash) {
            EXPECT_FALSE(existsNoFollow(deletingLastPathComponent(entries.front().source)));
        }
    }
}

// Stopped after its commit mark, a transaction may not have finished the
// tidying that follows it.
TEST_F(TransactionRecoveryTest, ACommittedTransactionIsTidiedAsAfterItsReply) {
    for (const Kind kind : {Kind::restore, Kind::trashRestore}) {
        SCOPED_TRACE(transactionKindText(kind).toStdString());
        const QString name = upperUuid() + QStringLiteral(".vst3");
        const auto [source, destination] = pathsOf(kind, upperUuid(), name);
        QDir().mkpath(deletingLastPathComponent(source));
        const auto entry = entryAt(source, destination, destination);
        if (kind == Kind::trashRestore) {
            ASSERT_TRUE(tree.ledger.add({{source, entry.identity, entry.owner}}));
            HomeTrash::writeTrashInfo(tree.trash, name, destination, consoleTestUid());
        }
        ASSERT_TRUE(record.write({kind, upperUuid(), true, {entry}}));

        EXPECT_EQ(recoverInterruptedTransaction(record, tree.ledger, tree.policy.quarantineRoot()).found,
                  Found::committed);
        EXPECT_EQ(identityAt(destination), entry.identity);
        EXPECT_FALSE(tree.ledger.find(source).has_value());
        EXPECT_FALSE(existsNoFollow(HomeTrash::infoFolder(tree.home) + u'/' + name + ".trashinfo"));
        // The operation folder the restore emptied; the Trash itself stays.
        EXPECT_EQ(existsNoFollow(deletingLastPathComponent(source)), kind == Kind::trashRestore);
    }
}

// A bundle that stays in the Trash gets a description the user can read that
// names where it came from; one already right is left as it is.
TEST_F(TransactionRecoveryTest, ABrokenTrashDescriptionIsRepaired) {
    struct Row {
        const char* name;
        QByteArray contents;
        uid_t owner;
        bool nameSource;
    };
    const std::vector<Row> rows{
        {"empty, of root", {}, 0, false},
        {"of another user", "[Trash Info]\n", consoleTestUid() + 1, true},
        {"naming an operation folder long gone", "[Trash Info]\nPath=/gone/A.vst3\n", consoleTestUid(),
         false},
        {"right already", {}, consoleTestUid(), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = upperUuid() + QStringLiteral(".vst3");
        const auto [source, destination] = pathsOf(Kind::trash, operation, name);
        const auto entry = entryAt(source, destination, destination);
        ASSERT_TRUE(tree.ledger.add({{destination, entry.identity, entry.owner}}));
        const QString info = HomeTrash::infoFolder(tree.home) + u'/' + name + ".trashinfo";
        QByteArray contents = row.contents;
        if (row.nameSource)
            contents += HomeTrash::trashInfoText(source, QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)));
        QFile file(info);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        file.close();
        ASSERT_EQ(::chown(QFile::encodeName(info).constData(), row.owner, gid_t(-1)), 0);
        ASSERT_TRUE(record.write({Kind::trash, upperUuid(), false, {entry}}));

        EXPECT_EQ(recoverInterruptedTransaction(record, tree.ledger, tree.policy.quarantineRoot()).found,
                  Found::finished);
        struct stat status {};
        ASSERT_EQ(::lstat(QFile::encodeName(info).constData(), &status), 0);
        EXPECT_EQ(status.st_uid, consoleTestUid());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray repaired = file.readAll();
        file.close();
        EXPECT_TRUE(repaired.contains("\nPath=" + QUrl::toPercentEncoding(source, "/") + "\n"));
        if (row.owner == consoleTestUid() && row.nameSource) {
            EXPECT_EQ(repaired, contents);
        }
        EXPECT_EQ(QDir(HomeTrash::infoFolder(tree.home)).entryList(QDir::Hidden | QDir::Files).size(),
                  qsizetype(&row - rows.data() + 1));
    }
}

TEST_F(TransactionRecoveryTest, WhatAStoppedHelperLeftBehindIsCleared) {
    const QString folder = tree.ledger.folder();
    for (const QString& name : {record.path() + ".new", tree.ledger.recordPath() + ".new"}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir().mkpath(tree.ledger.stagingFolder()));
    const QString emptied = tree.policy.quarantineRoot() + u'/' + upperUuid();
    ASSERT_TRUE(QDir().mkpath(emptied));
    const QString kept = tree.makeBundle(tree.quarantined(operation, "Synth.vst3"));

    EXPECT_EQ(recoverInterruptedTransaction(record, tree.ledger, tree.policy.quarantineRoot()).found,
              Found::nothing);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{lastPathComponent(tree.policy.quarantineRoot())});
    EXPECT_FALSE(existsNoFollow(emptied));
    EXPECT_TRUE(isDirectory(kept));
}

// The whole intent is on disk before the first move and is not written again
// until the commit mark, however many bundles move.
TEST_F(TransactionRecoveryTest, TheRecordIsWrittenBeforeTheMovesAndAgainOnlyForTheCommit) {
    std::vector<ValidatedPrivilegedQuarantineItem> items;
    for (int index = 0; index < 3; ++index) {
        const QString name = upperUuid() + QStringLiteral(".vst3");
        items.push_back({tree.makeBundle(tree.vst3(name)), tree.quarantined(operation, name)});
    }
    ScriptedMoveOperation move;
    std::set<ino_t> recordFiles;
    move.react = [&](const MoveStep& step, MoveOperation& real) {
        const auto recorded = record.read();
        EXPECT_TRUE(recorded && *recorded && (*recorded)->entries.size() == items.size() &&
                    !(*recorded)->committed);
        recordFiles.insert(identityAt(record.path()).inode);
        return real.move(step);
    };

    EXPECT_TRUE(performQuarantineTransaction(upperUuid(), items, &move, &record).succeeded);
    EXPECT_EQ(recordFiles.size(), 1u);
    const auto committed = record.read();
    ASSERT_TRUE(committed && *committed);
    EXPECT_TRUE((*committed)->committed);
}

// Whatever a path holds, the record gives back exactly what was written, before and after its
// commit mark is set.
TEST_F(TransactionRecoveryTest, TheRecordKeepsEveryPathAndIdentityExactly) {
    const std::vector<QString> names{
        QStringLiteral("Plain.vst3"),
        QStringLiteral("Quote\"And\\Back.vst3"),
        QStringLiteral("Line\nTab\t\u0001.vst3"),
        QStringLiteral("Caf\u00E9 \u65E5\u672C.vst3"),
        QStringLiteral("\U0001F3B9 Keys.clap"),
        QStringLiteral("Slash/Like \u2014 \u2019.vst3"),
    };
    RecordedTransaction transaction{Kind::trash, upperUuid(), false, {}};
    for (const QString& name : names)
        transaction.entries.push_back({tree.quarantined(operation, name), tree.trashed(name), name,
                                       FileIdentity{dev_t(~0ull), ino_t((1ull << 53) + 1)}, uid_t(~0u)});
    ASSERT_TRUE(record.write(transaction));
    auto read = record.read();
    ASSERT_TRUE(read && *read);
    EXPECT_EQ(**read, transaction);

    ASSERT_TRUE(record.markCommitted());
    transaction.committed = true;
    read = record.read();
    ASSERT_TRUE(read && *read);
    EXPECT_EQ(**read, transaction);
}

TEST_F(TransactionRecoveryTest, NoTransactionRunsOverARecordNotYetRolledBack) {
    const QString source = tree.makeBundle(tree.vst3("Synth.vst3"));
    const QString destination = tree.quarantined(operation, "Synth.vst3");
    const RecordedTransaction left{Kind::restore, upperUuid(), false, {}};
    ASSERT_TRUE(record.write(left));

    const auto result = performQuarantineTransaction(upperUuid(), {{source, destination}}, nullptr, &record);
    EXPECT_FALSE(result.succeeded);
    EXPECT_TRUE(result.rollbackComplete);
    EXPECT_EQ(result.message, "The privileged quarantine failed and every "
                              "completed move was rolled back. An "
                              "interrupted transaction has not been undone yet.");
    EXPECT_TRUE(isDirectory(source));
    const auto kept = record.read();
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(*kept, std::optional(left));
}

} // namespace
} // namespace quorvane::testing
