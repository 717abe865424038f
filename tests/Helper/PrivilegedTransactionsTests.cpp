#include "Helper/FaultInjectingMoveOperation.h"
#include "Helper/PrivilegedTransactions.h"
#include "HelperTestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <stdio.h>
#include <sys/stat.h>
#include <thread>

namespace quorvane::testing {
namespace {

const QString denied = SyscallError{EACCES}.description();

class TransactionTest : public ::testing::Test {
protected:
    std::vector<ValidatedPrivilegedQuarantineItem> quarantineItems(int count,
                                                                   const QString& prefix = "Bundle") {
        std::vector<ValidatedPrivilegedQuarantineItem> items;
        for (int index = 1; index <= count; ++index) {
            const QString name = QStringLiteral("%1-%2.vst3").arg(prefix).arg(index);
            items.push_back({tree.makeBundle(tree.vst3(name)), tree.quarantined(operation, name)});
        }
        return items;
    }

    template <class Items>
    static bool allAt(const Items& items, bool atSource) {
        return std::all_of(items.begin(), items.end(), [&](const auto& item) {
            return isDirectory(atSource ? item.source : item.destination) &&
                   !existsNoFollow(atSource ? item.destination : item.source);
        });
    }

    HelperTree tree;
    QString operation = upperUuid();
    QString id = upperUuid();
};

TEST_F(TransactionTest, TextsOfEveryKindAreWhole) {
    using K = TransactionKind;
    using C = TransactionErrorCase;
    struct Row {
        K kind;
        C errorCase;
        QString expected;
    };
    const std::vector<Row> rows{
        {K::quarantine, C::sourceMissing, "A.vst3 is no longer present at its scanned location."},
        {K::quarantine, C::destinationExists,
         "Quorvane will not overwrite the existing quarantine item A.vst3."},
        {K::quarantine, C::moveFailed, "macOS could not move A.vst3. Why."},
        {K::quarantine, C::verificationFailed, "Quorvane could not verify the final disk state for A.vst3."},
        {K::quarantine, C::noItems, "No plugin bundles were supplied."},
        {K::quarantine, C::invalidOperationDirectory,
         "A quarantine operation folder is not a verified directory."},
        {K::restore, C::sourceMissing, "A.vst3 is no longer present in its recorded quarantine location."},
        {K::restore, C::destinationExists, "Quorvane will not overwrite the existing plugin bundle A.vst3."},
        {K::restore, C::moveFailed, "macOS could not restore A.vst3. Why."},
        {K::restore, C::verificationFailed, "Quorvane could not verify the restored disk state for A.vst3."},
        {K::restore, C::noItems, "No quarantined plugin bundles were supplied."},
        {K::restore, C::invalidOperationDirectory,
         "The recorded quarantine operation folder is unavailable or unsafe."},
        {K::restore, C::invalidDestinationDirectory,
         "The recorded original plugin folder is unavailable or unsafe."},
        {K::trash, C::sourceMissing, "A.vst3 is no longer present in its recorded quarantine location."},
        {K::trash, C::destinationExists,
         "Quorvane will not overwrite the existing Finder Trash item A.vst3."},
        {K::trash, C::moveFailed, "macOS could not move A.vst3 into Finder Trash. Why."},
        {K::trash, C::verificationFailed, "Quorvane could not verify the Finder Trash location for A.vst3."},
        {K::trash, C::noItems, "No quarantined plugin bundles were supplied."},
        {K::trash, C::invalidOperationDirectory,
         "The recorded quarantine operation folder is unavailable or unsafe."},
        {K::trash, C::invalidTrashDirectory,
         "The logged-in user\u2019s Finder Trash is unavailable or unsafe."},
        {K::trashRestore, C::sourceMissing, "A.vst3 is no longer present at its recorded Finder Trash path."},
        {K::trashRestore, C::destinationExists,
         "Quorvane will not overwrite the existing plugin bundle A.vst3."},
        {K::trashRestore, C::moveFailed, "macOS could not restore A.vst3 from Finder Trash. Why."},
        {K::trashRestore, C::verificationFailed,
         "Quorvane could not verify the restored disk state for A.vst3."},
        {K::trashRestore, C::noItems, "No Finder Trash recovery records were supplied."},
        {K::trashRestore, C::invalidDestinationDirectory,
         "The recorded original plugin folder is unavailable or unsafe."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(transactionErrorText(row.kind, row.errorCase, "A.vst3", "Why."), row.expected);
    EXPECT_EQ(PrivilegedQuarantineTransactionError({C::moveFailed, "A.vst3", "Why."}).description(),
              "macOS could not move A.vst3. Why.");

    const std::vector<std::tuple<K, QString, QString, QString>> messages{
        {K::quarantine, "Every requested plugin bundle moved into verified quarantine.",
         "The privileged quarantine failed and every completed move was rolled back. ",
         "The privileged quarantine failed and rollback needs attention. "},
        {K::restore, "Every requested plugin bundle returned to its verified original location.",
         "The privileged restore failed and every completed move returned to quarantine. ",
         "The privileged restore failed and rollback needs attention. "},
        {K::trash, "Every requested plugin bundle moved into the logged-in user\u2019s Finder Trash.",
         "The privileged Trash move failed and every completed move returned to quarantine. ",
         "The privileged Trash move failed and rollback needs attention. "},
        {K::trashRestore,
         "Every requested plugin bundle returned from Finder Trash to its verified original location.",
         "Trash recovery failed and every completed move returned to its exact Finder Trash path. ",
         "Trash recovery failed and rollback needs attention. "},
    };
    for (const auto& [kind, success, clean, attention] : messages) {
        EXPECT_EQ(transactionTexts(kind).success, success);
        EXPECT_EQ(transactionTexts(kind).cleanFailureOpening, clean);
        EXPECT_EQ(transactionTexts(kind).attentionFailureOpening, attention);
    }
}

TEST_F(TransactionTest, QuarantineThenRestoreRoundTrip) {
    const auto items = quarantineItems(3);
    const auto result = performQuarantineTransaction(id, items);
    EXPECT_EQ(result,
              (PrivilegedQuarantineResult{id,
                                          true,
                                          true,
                                          {items[0].destination, items[1].destination, items[2].destination},
                                          "Every requested plugin bundle moved into verified quarantine."}));
    EXPECT_TRUE(allAt(items, false));

    std::vector<ValidatedPrivilegedRestoreItem> back;
    for (const auto& item : items)
        back.push_back({item.destination, item.source});
    const auto restored = performRestoreTransaction(id, back);
    EXPECT_TRUE(restored.succeeded) << restored.message.toStdString();
    EXPECT_EQ(restored.destinationPaths, (QStringList{items[0].source, items[1].source, items[2].source}));
    EXPECT_TRUE(allAt(items, true));
    // The emptied operation folder goes; the quarantine root stays.
    EXPECT_FALSE(existsNoFollow(tree.policy.quarantineRoot() + "/" + operation));
    EXPECT_TRUE(isDirectory(tree.policy.quarantineRoot()));
}

TEST_F(TransactionTest, QuarantineToTrashAndBackWritesAndRemovesTrashInfo) {
    const auto items = quarantineItems(2);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    std::vector<ValidatedPrivilegedTrashItem> toTrash;
    for (const auto& item : items)
        toTrash.push_back({item.destination, tree.trashed(lastPathComponent(item.destination))});
    const auto trashed = performTrashTransaction(id, toTrash, tree.ledger);
    ASSERT_TRUE(trashed.succeeded) << trashed.message.toStdString();
    const QString info = HomeTrash::infoFolder(tree.home) + "/Bundle-1-.vst3.trashinfo";
    const QString infoPath = HomeTrash::infoFolder(tree.home) + "/Bundle-1.vst3.trashinfo";
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(infoPath).constData(), &status), 0);
    EXPECT_EQ(status.st_uid, consoleTestUid());
    EXPECT_FALSE(existsNoFollow(info));

    std::vector<ValidatedPrivilegedTrashRestoreItem> recover;
    for (const auto& item : items)
        recover.push_back({tree.trashed(lastPathComponent(item.source)), item.source, upperUuid()});
    const auto recovered = performTrashRestoreTransaction(id, recover, tree.ledger);
    EXPECT_EQ(recovered.message,
              "Every requested plugin bundle returned from Finder Trash to its verified original location.");
    EXPECT_TRUE(allAt(items, true));
    EXPECT_FALSE(existsNoFollow(infoPath));
}

TEST_F(TransactionTest, FailureAtEveryMoveOfA256ItemQuarantineRollsEverythingBack) {
    const auto items = quarantineItems(256);
    QDir().mkpath(tree.policy.quarantineRoot());
    const auto before = tree.audit();
    for (int failing = 1; failing <= 256; ++failing) {
        RenameMoveOperation real;
        FaultInjectingMoveOperation faults(FaultPlan{failing, 0, 0, {}}, real);
        const auto result = performQuarantineTransaction(id, items, &faults);
        ASSERT_FALSE(result.succeeded);
        ASSERT_TRUE(result.rollbackComplete);
        ASSERT_EQ(result.message,
                  "The privileged quarantine failed and every completed move was rolled back. "
                  "macOS could not move Bundle-" +
                      QString::number(failing) + ".vst3. " + denied);
        ASSERT_TRUE(result.destinationPaths.isEmpty());
        // Every bundle back where it was, the very same folder, and the operation folder gone again.
        ASSERT_EQ(tree.audit(), before) << failing;
    }
}

TEST_F(TransactionTest, FaultsCanBeKeptToOneTransaction) {
    QDir().mkpath(tree.policy.quarantineRoot());
    RenameMoveOperation real;
    FaultPlan plan{1, 0, 0, {}};
    plan.onlyTransaction = 2;
    FaultInjectingMoveOperation faults(plan, real);
    std::vector<bool> succeeded;
    for (const char* prefix : {"First", "Second", "Third"}) {
        operation = upperUuid();
        succeeded.push_back(
            performQuarantineTransaction(upperUuid(), quarantineItems(2, QLatin1String(prefix)), &faults)
                .succeeded);
    }
    EXPECT_EQ(succeeded, (std::vector<bool>{true, false, true}));
}

TEST_F(TransactionTest, SecondFailureInRollbackNamesExactlyWhatStayedMisplaced) {
    const auto items = quarantineItems(6);
    RenameMoveOperation real;
    // Items 1-4 move, 5 fails; rollback walks 4, 3, 2, 1 and step 2 (item 3) fails.
    FaultInjectingMoveOperation faults(FaultPlan{5, 2, 0, {}}, real);
    const auto result = performQuarantineTransaction(id, items, &faults);
    EXPECT_FALSE(result.succeeded);
    EXPECT_FALSE(result.rollbackComplete);
    EXPECT_EQ(result.message,
              "The privileged quarantine failed and rollback needs attention. macOS could not move "
              "Bundle-5.vst3. " +
                  denied + " Rollback: macOS could not move Bundle-3.vst3. " + denied);
    for (int index = 0; index < 6; ++index) {
        const bool misplaced = index == 2;
        EXPECT_EQ(isDirectory(items[index].destination), misplaced) << index;
        EXPECT_EQ(isDirectory(items[index].source), !misplaced) << index;
    }
    // The operation folder still holds the misplaced bundle, so it stays.
    EXPECT_TRUE(isDirectory(tree.policy.quarantineRoot() + "/" + operation));
}

TEST_F(TransactionTest, TwoRollbackIssuesAreJoined) {
    const auto items = quarantineItems(3);
    ScriptedMoveOperation script;
    script.react = [](const MoveStep& step, MoveOperation& real) -> std::expected<void, SyscallError> {
        if (step.direction == MoveStep::Direction::forward)
            return step.number == 3 ? ScriptedMoveOperation::denied() : real.move(step);
        return ScriptedMoveOperation::denied();
    };
    const auto result = performQuarantineTransaction(id, items, &script);
    EXPECT_EQ(result.message,
              "The privileged quarantine failed and rollback needs attention. macOS could not move "
              "Bundle-3.vst3. " +
                  denied + " Rollback: macOS could not move Bundle-2.vst3. " + denied +
                  " | macOS could not move Bundle-1.vst3. " + denied);
    EXPECT_FALSE(result.rollbackComplete);
}

TEST_F(TransactionTest, TheDiskDecidesNotWhatTheMoveReported) {
    const auto items = quarantineItems(2);
    // An error although the bundle arrived counts as a completed move.
    ScriptedMoveOperation arrivedAnyway;
    arrivedAnyway.react = [](const MoveStep& step, MoveOperation& real) -> std::expected<void, SyscallError> {
        (void)real.move(step);
        return ScriptedMoveOperation::denied();
    };
    EXPECT_TRUE(performQuarantineTransaction(id, items, &arrivedAnyway).succeeded);

    std::vector<ValidatedPrivilegedRestoreItem> back;
    for (const auto& item : items)
        back.push_back({item.destination, item.source});
    // Success reported while nothing moved: verification fails, and that item is not moved back.
    ScriptedMoveOperation claimsSuccess;
    claimsSuccess.react = [](const MoveStep& step, MoveOperation& real) -> std::expected<void, SyscallError> {
        if (step.direction == MoveStep::Direction::forward && step.number == 2)
            return {};
        return real.move(step);
    };
    const auto result = performRestoreTransaction(id, back, &claimsSuccess);
    EXPECT_EQ(result.message,
              "The privileged restore failed and every completed move returned to quarantine. "
              "Quorvane could not verify the restored disk state for Bundle-2.vst3.");
    EXPECT_TRUE(result.rollbackComplete);
    EXPECT_EQ(claimsSuccess.records.size(), 3u); // two forward moves, one rollback
    EXPECT_TRUE(allAt(items, false));
}

TEST_F(TransactionTest, PreflightRefusesBeforeAnythingMoves) {
    auto items = quarantineItems(2);
    // An operation folder that is a plain file.
    QDir().mkpath(tree.policy.quarantineRoot());
    tree.tree.writeFile(
        QDir(tree.tree.path()).relativeFilePath(tree.policy.quarantineRoot() + "/" + operation));
    ScriptedMoveOperation script;
    auto result = performQuarantineTransaction(id, items, &script);
    EXPECT_EQ(result.message, "The privileged quarantine failed and every completed move was rolled back. "
                              "A quarantine operation folder is not a verified directory.");
    EXPECT_TRUE(script.records.empty());
    QFile::remove(tree.policy.quarantineRoot() + "/" + operation);

    // A source that is a link counts as missing.
    QDir().rename(items[1].source, items[1].source + ".real");
    ASSERT_EQ(::symlink(QFile::encodeName(items[1].source + ".real").constData(),
                        QFile::encodeName(items[1].source).constData()),
              0);
    result = performQuarantineTransaction(id, items, &script);
    EXPECT_EQ(result.message, "The privileged quarantine failed and every completed move was rolled back. "
                              "Bundle-2.vst3 is no longer present at its scanned location.");
    EXPECT_TRUE(script.records.empty());

    EXPECT_EQ(
        performQuarantineTransaction(id, {}).message,
        "The privileged quarantine failed and every completed move was rolled back. No plugin bundles were "
        "supplied.");

    // Restore into a folder that no longer exists, and over an occupied place.
    std::vector<ValidatedPrivilegedRestoreItem> restore{
        {tree.makeBundle(tree.quarantined(operation + "-x", "R.vst3")), tree.vst3("Gone/R.vst3")}};
    EXPECT_EQ(performRestoreTransaction(id, restore, &script).message,
              "The privileged restore failed and every completed move returned to quarantine. The recorded "
              "original "
              "plugin folder is unavailable or unsafe.");
    tree.makeBundle(tree.vst3("R.vst3"));
    restore.front().destination = tree.vst3("R.vst3");
    EXPECT_EQ(
        performRestoreTransaction(id, restore, &script).message,
        "The privileged restore failed and every completed move returned to quarantine. Quorvane will not "
        "overwrite the existing plugin bundle R.vst3.");
    EXPECT_TRUE(script.records.empty());
}

// The source is tested before its folder, and restore and Trash recovery test the destination before
// its folder, so each of these gets the sentence of the check that comes first.
TEST_F(TransactionTest, ChecksComeInTheOrderOfTheirKind) {
    enum class Kind { restore, trash, trashRestore };
    const auto plainFileOperationFolder = [&](const QString& name) {
        const QString folder = upperUuid();
        QDir().mkpath(tree.policy.quarantineRoot());
        tree.tree.writeFile(
            QDir(tree.tree.path()).relativeFilePath(tree.policy.quarantineRoot() + "/" + folder));
        return tree.quarantined(folder, name);
    };
    // An original folder that is a link to a folder of its own, holding the name or not.
    const auto linkedOriginalFolder = [&](const QString& name, bool taken) {
        const QString real = tree.tree.makeDirectory("Elsewhere-" + name);
        if (taken)
            tree.makeBundle(real + "/" + name);
        const QString link = tree.vst3("Linked-" + name);
        EXPECT_EQ(::symlink(QFile::encodeName(real).constData(), QFile::encodeName(link).constData()), 0);
        return link + "/" + name;
    };
    const QString restoreFailed =
        "The privileged restore failed and every completed move returned to quarantine. ";
    const QString trashFailed =
        "The privileged Trash move failed and every completed move returned to quarantine. ";
    const QString recoveryFailed =
        "Trash recovery failed and every completed move returned to its exact Finder Trash path. ";
    struct Row {
        const char* name;
        Kind kind;
        std::function<std::pair<QString, QString>(const QString&)> arrange;
        QString expected;
    };
    const std::vector<Row> rows{
        {"restore from an operation folder that is a plain file", Kind::restore,
         [&](const QString& name) {
             return std::pair{plainFileOperationFolder(name), tree.vst3(name)};
         },
         restoreFailed + "A.vst3 is no longer present in its recorded quarantine location."},
        {"Trash move from an operation folder that is a plain file", Kind::trash,
         [&](const QString& name) {
             return std::pair{plainFileOperationFolder(name), tree.trashed(name)};
         },
         trashFailed + "B.vst3 is no longer present in its recorded quarantine location."},
        {"restore over a bundle in a linked original folder", Kind::restore,
         [&](const QString& name) {
             return std::pair{tree.makeBundle(tree.quarantined(operation, name)),
                              linkedOriginalFolder(name, true)};
         },
         restoreFailed + "Quorvane will not overwrite the existing plugin bundle C.vst3."},
        {"recovery over a bundle in a linked original folder", Kind::trashRestore,
         [&](const QString& name) {
             return std::pair{tree.makeBundle(tree.trashed(name)), linkedOriginalFolder(name, true)};
         },
         recoveryFailed + "Quorvane will not overwrite the existing plugin bundle D.vst3."},
        {"restore into a linked original folder", Kind::restore,
         [&](const QString& name) {
             return std::pair{tree.makeBundle(tree.quarantined(operation, name)),
                              linkedOriginalFolder(name, false)};
         },
         restoreFailed + "The recorded original plugin folder is unavailable or unsafe."},
        {"restore of a bundle that is a link", Kind::restore,
         [&](const QString& name) {
             const QString source = tree.quarantined(operation, name);
             const QString real = tree.tree.makeDirectory("Real-" + name);
             EXPECT_EQ(::symlink(QFile::encodeName(real).constData(), QFile::encodeName(source).constData()),
                       0);
             return std::pair{source, tree.vst3(name)};
         },
         restoreFailed + "F.vst3 is no longer present in its recorded quarantine location."},
    };
    char letter = 'A';
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto [source, destination] = row.arrange(QStringLiteral("%1.vst3").arg(letter++));
        ScriptedMoveOperation script;
        QString message;
        switch (row.kind) {
        case Kind::restore:
            message = performRestoreTransaction(id, {{source, destination}}, &script).message;
            break;
        case Kind::trash:
            message = performTrashTransaction(id, {{source, destination}}, tree.ledger, &script).message;
            break;
        case Kind::trashRestore:
            message =
                performTrashRestoreTransaction(id, {{source, destination, upperUuid()}}, tree.ledger, &script)
                    .message;
            break;
        }
        EXPECT_EQ(message, row.expected);
        EXPECT_TRUE(script.records.empty());
    }
}

TEST_F(TransactionTest, TrashKindsRefuseOccupiedPlacesAndMissingItems) {
    const auto items = quarantineItems(1);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    const QString trashed = tree.trashed("Bundle-1.vst3");
    tree.makeBundle(trashed);
    ScriptedMoveOperation script;
    EXPECT_EQ(
        performTrashTransaction(id, {{items[0].destination, trashed}}, tree.ledger, &script).message,
        "The privileged Trash move failed and every completed move returned to quarantine. Quorvane will not "
        "overwrite the existing Finder Trash item Bundle-1.vst3.");
    // With the Trash folder itself gone, that is what is reported first.
    QDir().rename(tree.trash, tree.trash + ".gone");
    EXPECT_EQ(
        performTrashTransaction(id, {{items[0].destination, trashed}}, tree.ledger, &script).message,
        "The privileged Trash move failed and every completed move returned to quarantine. The logged-in "
        "user\u2019s Finder Trash is unavailable or unsafe.");
    QDir().rename(tree.trash + ".gone", tree.trash);

    // Recovery: the user emptied the Trash meanwhile, or a new copy sits at the original place.
    EXPECT_EQ(performTrashRestoreTransaction(
                  id, {{tree.trashed("Emptied.vst3"), tree.vst3("Emptied.vst3"), upperUuid()}}, tree.ledger,
                  &script)
                  .message,
              "Trash recovery failed and every completed move returned to its exact Finder Trash path. "
              "Emptied.vst3 is "
              "no longer present at its recorded Finder Trash path.");
    tree.makeBundle(items[0].source);
    EXPECT_EQ(
        performTrashRestoreTransaction(id, {{trashed, items[0].source, upperUuid()}}, tree.ledger, &script)
            .message,
        "Trash recovery failed and every completed move returned to its exact Finder Trash path. "
        "Quorvane will "
        "not overwrite the existing plugin bundle Bundle-1.vst3.");
    EXPECT_TRUE(script.records.empty());
}

TEST_F(TransactionTest, TrashRollbackIssuesNameTheTrashFileName) {
    const auto items = quarantineItems(2);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    RenameMoveOperation real;
    FaultInjectingMoveOperation faults(FaultPlan{2, 1, 0, {}}, real);
    const auto result = performTrashTransaction(id,
                                                {{items[0].destination, tree.trashed("Bundle-1 2.vst3")},
                                                 {items[1].destination, tree.trashed("B2.vst3")}},
                                                tree.ledger, &faults);
    EXPECT_EQ(result.message,
              "The privileged Trash move failed and rollback needs attention. macOS could not move "
              "Bundle-2.vst3 into Finder Trash. " +
                  denied + " Rollback: macOS could not move Bundle-1 2.vst3 into Finder Trash. " + denied);
    EXPECT_TRUE(isDirectory(tree.trashed("Bundle-1 2.vst3")));
    // The bundle that stayed in the Trash keeps its description there.
    EXPECT_TRUE(existsNoFollow(HomeTrash::infoFolder(tree.home) + "/Bundle-1 2.vst3.trashinfo"));
}

TEST_F(TransactionTest, AFailedRestoreReturnsEverythingAndRemovesNoFolder) {
    const auto items = quarantineItems(3);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    std::vector<ValidatedPrivilegedRestoreItem> back;
    for (const auto& item : items)
        back.push_back({item.destination, item.source});
    ScriptedMoveOperation script;
    script.react = [](const MoveStep& step, MoveOperation& real) {
        return step.direction == MoveStep::Direction::forward && step.number == 3
                   ? ScriptedMoveOperation::denied()
                   : real.move(step);
    };
    const auto result = performRestoreTransaction(id, back, &script);
    EXPECT_EQ(result.message,
              "The privileged restore failed and every completed move returned to quarantine. macOS "
              "could not restore Bundle-3.vst3. " +
                  denied);
    ASSERT_EQ(script.records.size(), 5u);
    EXPECT_EQ(script.records[3].from, items[1].source); // last first
    EXPECT_EQ(script.records[4].from, items[0].source);
    EXPECT_TRUE(allAt(items, false));
}

TEST_F(TransactionTest, EmptiedFoldersAreRemovedOnlyWhenEmpty) {
    const auto items = quarantineItems(1);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    tree.tree.writeFile(
        QDir(tree.tree.path()).relativeFilePath(tree.policy.quarantineRoot() + "/" + operation + "/.hidden"));
    const auto restored = performRestoreTransaction(id, {{items[0].destination, items[0].source}});
    EXPECT_TRUE(restored.succeeded);
    EXPECT_TRUE(isDirectory(tree.policy.quarantineRoot() + "/" + operation));
}

TEST_F(TransactionTest, AFolderSwappedForALinkAfterTheChecksCannotRedirectTheMove) {
    const auto items = quarantineItems(1);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    const QString sentinel = tree.tree.makeDirectory("sentinel");
    const auto sentinelBefore = auditTree(sentinel);

    // Between the checks and the move, the user swaps the Trash folder for a link elsewhere.
    ScriptedMoveOperation swapper;
    swapper.react = [&](const MoveStep& step, MoveOperation& real) {
        if (step.direction == MoveStep::Direction::forward) {
            QDir().rename(tree.trash, tree.trash + ".moved");
            (void)::symlink(QFile::encodeName(sentinel).constData(),
                            QFile::encodeName(tree.trash).constData());
        }
        return real.move(step);
    };
    const auto result = performTrashTransaction(id, {{items[0].destination, tree.trashed("Bundle-1.vst3")}},
                                                tree.ledger, &swapper);
    EXPECT_TRUE(result.succeeded) << result.message.toStdString();
    EXPECT_EQ(auditTree(sentinel), sentinelBefore);
    EXPECT_TRUE(isDirectory(tree.trash + ".moved/Bundle-1.vst3"));
}

TEST_F(TransactionTest, ALookAlikeAtTheDestinationIsNotOurBundle) {
    const auto items = quarantineItems(1);
    ScriptedMoveOperation lookAlike;
    lookAlike.react = [&](const MoveStep& step, MoveOperation& real) -> std::expected<void, SyscallError> {
        // Claims the move, but what appears is another folder.
        if (step.direction == MoveStep::Direction::forward) {
            QDir().mkpath(step.toPath());
            QDir().rename(step.fromPath(), tree.tree.path("stolen.vst3"));
            return {};
        }
        return real.move(step);
    };
    const auto result = performQuarantineTransaction(id, items, &lookAlike);
    EXPECT_EQ(result.message, "The privileged quarantine failed and every completed move was rolled back. "
                              "Quorvane could not verify the final disk state for Bundle-1.vst3.");
    // The look-alike does not stay in the quarantine: it leaves by the way the bundle came.
    EXPECT_TRUE(isDirectory(items[0].source));
    EXPECT_FALSE(existsNoFollow(tree.policy.quarantineRoot() + "/" + operation));
}

TEST_F(TransactionTest, MovesNeverReplaceAnEmptyFolderThatAppeared) {
    const auto items = quarantineItems(2);
    ScriptedMoveOperation planter;
    planter.react = [](const MoveStep& step, MoveOperation& real) {
        if (step.direction == MoveStep::Direction::forward && step.number == 2)
            QDir().mkpath(step.toPath());
        return real.move(step);
    };
    const auto result = performQuarantineTransaction(id, items, &planter);
    EXPECT_EQ(result.message,
              "The privileged quarantine failed and every completed move was rolled back. "
              "macOS could not move Bundle-2.vst3. An item already exists at the destination.");
    EXPECT_TRUE(allAt(std::vector{items[0]}, true));
    EXPECT_TRUE(isDirectory(items[1].source));
    EXPECT_TRUE(isDirectory(items[1].destination)); // the planted folder, untouched
}

TEST_F(TransactionTest, ACrossDeviceMoveFailsAndRollsBack) {
    const QString other = QStringLiteral("/dev/shm");
    struct stat here {
    }, there{};
    if (::stat(QFile::encodeName(tree.tree.path()).constData(), &here) != 0 ||
        ::stat(QFile::encodeName(other).constData(), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "needs a second file system at /dev/shm";
    QTemporaryDir elsewhere(other + "/quorvane-XXXXXX");
    const QString otherTrash = elsewhere.path() + "/files";
    QDir().mkpath(otherTrash);

    const auto items = quarantineItems(2);
    ASSERT_TRUE(performQuarantineTransaction(id, items).succeeded);
    const auto before = tree.audit();
    // The first item stays on this file system, the second would cross.
    const auto result = performTrashTransaction(id,
                                                {{items[0].destination, tree.trashed("Bundle-1.vst3")},
                                                 {items[1].destination, otherTrash + "/Bundle-2.vst3"}},
                                                tree.ledger);
    EXPECT_EQ(result.message,
              "The privileged Trash move failed and every completed move returned to quarantine. "
              "macOS could not move Bundle-2.vst3 into Finder Trash. The destination is on another "
              "file system, and bundles are never copied between file systems.");
    EXPECT_TRUE(result.rollbackComplete);
    auto after = tree.audit();
    std::erase_if(after, [&](const AuditEntry& entry) { return entry.path == tree.ledger.recordPath(); });
    EXPECT_EQ(after, before);
    EXPECT_TRUE(QDir(otherTrash).isEmpty());
    // Neither bundle is in a Trash, so neither is on record.
    EXPECT_EQ(tree.ledger.records(), std::vector<TrashLedgerRecord>{});
}

} // namespace
} // namespace quorvane::testing

namespace quorvane::testing {
namespace {

struct Pair {
    QString source;
    QString destination;
};

struct Reply {
    bool succeeded = false;
    bool rollbackComplete = false;
    QString message;
};

template <class Item>
std::vector<Item> itemsOf(const std::vector<Pair>& pairs) {
    std::vector<Item> items;
    for (const Pair& pair : pairs)
        items.push_back(Item{pair.source, pair.destination});
    return items;
}

template <class Result>
Reply replyOf(const Result& result) {
    return {result.succeeded, result.rollbackComplete, result.message};
}

Reply perform(TransactionKind kind, const HelperTree& tree, const std::vector<Pair>& pairs,
              MoveOperation* move = nullptr) {
    const QString id = upperUuid();
    switch (kind) {
    case TransactionKind::quarantine:
        return replyOf(
            performQuarantineTransaction(id, itemsOf<ValidatedPrivilegedQuarantineItem>(pairs), move));
    case TransactionKind::restore:
        return replyOf(performRestoreTransaction(id, itemsOf<ValidatedPrivilegedRestoreItem>(pairs), move));
    case TransactionKind::trash:
        return replyOf(
            performTrashTransaction(id, itemsOf<ValidatedPrivilegedTrashItem>(pairs), tree.ledger, move));
    case TransactionKind::trashRestore: {
        std::vector<ValidatedPrivilegedTrashRestoreItem> items;
        for (const Pair& pair : pairs)
            items.push_back({pair.source, pair.destination, upperUuid()});
        return replyOf(performTrashRestoreTransaction(id, items, tree.ledger, move));
    }
    }
    return {};
}

// Two bundles standing at the sources of `kind`, brought there by the real transactions.
std::vector<Pair> placeForKind(TransactionKind kind, const HelperTree& tree, const QString& operation) {
    std::vector<Pair> quarantine, trash;
    for (const QString name : {"B-1.vst3", "B-2.vst3"}) {
        quarantine.push_back(
            {tree.makeBundle(tree.vst3("Vendor/" + name)), tree.quarantined(operation, name)});
        trash.push_back({tree.quarantined(operation, name), tree.trashed(name)});
    }
    if (kind == TransactionKind::quarantine)
        return quarantine;
    EXPECT_TRUE(perform(TransactionKind::quarantine, tree, quarantine).succeeded);
    if (kind == TransactionKind::trash)
        return trash;
    std::vector<Pair> reversed;
    if (kind == TransactionKind::restore) {
        for (const Pair& pair : quarantine)
            reversed.push_back({pair.destination, pair.source});
        return reversed;
    }
    EXPECT_TRUE(perform(TransactionKind::trash, tree, trash).succeeded);
    for (std::size_t index = 0; index < trash.size(); ++index)
        reversed.push_back({trash[index].destination, quarantine[index].source});
    return reversed;
}

// The audit, with what a transaction may leave or take in passing set apart: Trash descriptions,
// the staging folder, the record beside the quarantine and emptied operation folders.
std::vector<AuditEntry> lasting(std::vector<AuditEntry> entries, const HelperTree& tree) {
    std::erase_if(entries, [&](const AuditEntry& entry) {
        return entry.path.endsWith(".trashinfo") ||
               entry.path.startsWith(tree.ledger.folder() + "/Staging") ||
               (entry.path.startsWith(tree.ledger.folder() + "/") && entry.path.endsWith(".json")) ||
               (entry.type == S_IFDIR &&
                deletingLastPathComponent(entry.path) == tree.policy.quarantineRoot());
    });
    return entries;
}

std::vector<AuditEntry> relocated(std::vector<AuditEntry> entries, const QString& from, const QString& to) {
    for (AuditEntry& entry : entries) {
        if (entry.path == from || entry.path.startsWith(from + "/"))
            entry.path = to + entry.path.mid(from.size());
    }
    std::sort(entries.begin(), entries.end(),
              [](const AuditEntry& a, const AuditEntry& b) { return a.path < b.path; });
    return entries;
}

TEST(TransactionRaceTest, AnEntryExchangedBeforeItsMoveNeverStaysAtTheDestination) {
    using K = TransactionKind;
    enum class Exchange { link, foreignFolder, parentEntry };
    for (const K kind : {K::quarantine, K::restore, K::trash, K::trashRestore}) {
        for (const Exchange exchange : {Exchange::link, Exchange::foreignFolder, Exchange::parentEntry}) {
            SCOPED_TRACE(::testing::Message() << "kind " << int(kind) << ", exchange " << int(exchange));
            HelperTree tree;
            const auto pairs = placeForKind(kind, tree, upperUuid());
            const QString source = pairs[1].source;
            const QString folder = deletingLastPathComponent(source);
            std::vector<AuditEntry> atExchange;
            ScriptedMoveOperation exchanger;
            exchanger.react = [&](const MoveStep& step, MoveOperation& real) {
                if (step.direction == MoveStep::Direction::forward && step.number == 2) {
                    const QByteArray native = QFile::encodeName(source);
                    if (exchange == Exchange::parentEntry) {
                        EXPECT_TRUE(QDir().rename(folder, folder + ".moved"));
                        tree.makeBundle(source);
                    } else {
                        EXPECT_TRUE(QDir().rename(source, source + ".aside"));
                        if (exchange == Exchange::link) {
                            EXPECT_EQ(::symlink(QFile::encodeName(source + ".aside").constData(),
                                                native.constData()),
                                      0);
                        } else {
                            EXPECT_EQ(::mkdir(native.constData(), 0777), 0);
                            EXPECT_EQ(::chmod(native.constData(), 0777), 0);
                            EXPECT_EQ(::chown(native.constData(), 60002, 60002), 0);
                        }
                    }
                    atExchange = tree.audit();
                }
                return real.move(step);
            };
            const Reply reply = perform(kind, tree, pairs, &exchanger);
            const auto after = lasting(tree.audit(), tree);
            if (exchange == Exchange::parentEntry) {
                // The moves act on the folder that was checked: the real bundle moves, the decoy stays.
                EXPECT_TRUE(reply.succeeded) << reply.message.toStdString();
                EXPECT_EQ(
                    after,
                    lasting(relocated(atExchange, folder + ".moved/B-2.vst3", pairs[1].destination), tree));
            } else {
                EXPECT_FALSE(reply.succeeded);
                EXPECT_TRUE(reply.rollbackComplete);
                EXPECT_EQ(
                    reply.message,
                    transactionTexts(kind).cleanFailureOpening +
                        transactionErrorText(kind, TransactionErrorCase::verificationFailed, "B-2.vst3", {}));
                // The exchanged entry is back at the source, the first bundle too; nothing else moved.
                EXPECT_EQ(after, lasting(relocated(atExchange, pairs[0].destination, pairs[0].source), tree));
                // Bundles back in the Trash keep their records; none left for the Trash is kept.
                for (const Pair& pair : pairs) {
                    if (kind == K::trashRestore) {
                        EXPECT_TRUE(tree.ledger.find(pair.source).has_value());
                    } else if (kind == K::trash) {
                        EXPECT_FALSE(tree.ledger.find(pair.destination).has_value());
                    }
                }
            }
        }
    }
}

TEST(TransactionRaceTest, WhatReachedTheStagingFolderGoesBackEvenWhenTheMoveReportedAnError) {
    HelperTree tree;
    auto pairs = placeForKind(TransactionKind::trashRestore, tree, upperUuid());
    pairs.pop_back();
    const QString source = pairs[0].source;
    ScriptedMoveOperation exchanger;
    exchanger.react = [&](const MoveStep& step, MoveOperation& real) -> std::expected<void, SyscallError> {
        if (step.direction == MoveStep::Direction::rollback)
            return real.move(step);
        // A folder of the user's takes the bundle's place and arrives; the move says it failed.
        QDir().rename(source, source + ".aside");
        tree.makeBundle(source);
        (void)real.move(step);
        return ScriptedMoveOperation::denied();
    };
    const Reply reply = perform(TransactionKind::trashRestore, tree, pairs, &exchanger);
    EXPECT_FALSE(reply.succeeded);
    EXPECT_TRUE(reply.rollbackComplete) << reply.message.toStdString();
    EXPECT_TRUE(isDirectory(source));
    EXPECT_FALSE(existsNoFollow(tree.ledger.stagingFolder()));
    EXPECT_FALSE(existsNoFollow(pairs[0].destination));
    EXPECT_TRUE(tree.ledger.find(source).has_value());
}

TEST(TransactionRaceTest, AnExchangedEntryWhoseNameWasTakenIsSetAsideNeverOverAnything) {
    HelperTree tree;
    const QString source = tree.makeBundle(tree.vst3("Vendor/B.vst3"));
    const QString destination = tree.quarantined(upperUuid(), "B.vst3");
    ScriptedMoveOperation exchanger;
    exchanger.react = [&](const MoveStep& step, MoveOperation& real) {
        if (step.direction == MoveStep::Direction::rollback)
            return real.move(step);
        // The bundle is swapped for a link just before the move, and a new folder takes its name after.
        QDir().rename(source, source + ".aside");
        (void)::symlink("/", QFile::encodeName(source).constData());
        const auto moved = real.move(step);
        QDir().mkpath(source);
        return moved;
    };
    const Reply reply = perform(TransactionKind::quarantine, tree, {{source, destination}}, &exchanger);
    EXPECT_FALSE(reply.rollbackComplete);
    EXPECT_EQ(reply.message,
              "The privileged quarantine failed and rollback needs attention. Quorvane could not "
              "verify the final disk state for B.vst3. Rollback: The unverified item found in "
              "place of B.vst3 was put back beside it as B.vst3.unverified-1.");
    EXPECT_FALSE(existsNoFollow(destination));
    EXPECT_TRUE(isDirectory(source));
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(source + ".unverified-1").constData(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
}

TEST(TransactionRaceTest, ALinkExchangedInALoopWhileRequestsRunLeavesTheTreeConsistent) {
    HelperTree tree;
    const QString folder = tree.vst3("Racing");
    const QString bundle = tree.makeBundle(folder + "/R.vst3");
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(bundle).constData(), &status), 0);
    const FileIdentity identity = identityOf(status);
    ASSERT_EQ(::symlink("/", QFile::encodeName(folder + "/.decoy").constData()), 0);
    const auto handle = DirectoryHandle::open(folder);
    ASSERT_TRUE(handle.has_value());

    std::atomic<bool> stop = false;
    // Held by the racer for each exchange and by the checks, so that they see one state; the
    // transactions never take it.
    std::mutex exchanging;
    std::thread racer([&] {
        for (int round = 0; round < 1000000 && !stop; ++round) {
            std::lock_guard guard(exchanging);
            (void)::renameat2(handle->fd(), "R.vst3", handle->fd(), ".decoy", RENAME_EXCHANGE);
        }
    });
    const auto identityAt = [](const QString& path) -> std::optional<FileIdentity> {
        struct stat entry {};
        if (::lstat(QFile::encodeName(path).constData(), &entry) != 0)
            return std::nullopt;
        return identityOf(entry);
    };
    const QString operation = upperUuid();
    const QString quarantined = tree.quarantined(operation, "R.vst3");
    QElapsedTimer timer;
    timer.start();
    int moved = 0;
    // At least 200 rounds, and more while none has moved the bundle: on a busy machine the racer can
    // win every one of the first 200.
    for (int round = 0; (round < 200 || moved == 0) && timer.elapsed() < 3000; ++round) {
        const Reply reply = perform(TransactionKind::quarantine, tree, {{folder + "/R.vst3", quarantined}});
        if (reply.succeeded) {
            ++moved;
            ASSERT_EQ(identityAt(quarantined), identity);
            std::lock_guard guard(exchanging);
            // Back under whichever name the decoy left free.
            const QString back = existsNoFollow(folder + "/R.vst3") ? folder + "/.decoy" : folder + "/R.vst3";
            ASSERT_EQ(
                ::rename(QFile::encodeName(quarantined).constData(), QFile::encodeName(back).constData()), 0);
        }
        // A failure may report a rollback it could not verify (the racer goes on renaming), but the
        // disk must be whole either way.
        std::lock_guard guard(exchanging);
        // Nothing but the bundle ever stays in the quarantine, and both entries are where they belong.
        ASSERT_FALSE(existsNoFollow(quarantined));
        const auto first = identityAt(folder + "/R.vst3");
        const auto second = identityAt(folder + "/.decoy");
        ASSERT_TRUE(first && second);
        ASSERT_TRUE(*first == identity || *second == identity);
        ASSERT_EQ(QDir(folder)
                      .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                      .size(),
                  2);
    }
    stop = true;
    racer.join();
    EXPECT_GT(moved, 0);
}

} // namespace
} // namespace quorvane::testing
