#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"
#include "TransactionScreenTest.h"
#include "Views/Screens/ScreenTestSupport.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryRow.h"

#include <QMessageBox>
#include <QPushButton>

namespace quorvane {
namespace {

namespace T = TrashRecoveryTexts;
using testing::makeBundle;
using testing::moveAll;

class TrashRecoveryScreenTest : public testing::TransactionScreenTest {
protected:
    void openWith(const std::vector<TrashedBundleRecord>& records) {
        open({}, [&](PersistedInventory& state) { state.trashedBundles = records; });
        screen = std::make_unique<TrashRecoveryViewModel>(*service, *store);
    }
    QStringList names(const std::vector<QUuid>& ids) const {
        QStringList result;
        for (const QUuid& id : ids)
            for (const TrashedBundleRecord& stored : store->trashedBundles())
                if (stored.id == id)
                    result << stored.pluginName;
        return result;
    }
    const TrashRecoveryEntry& entry(const QString& name) const {
        return *std::ranges::find(screen->entries(), name, [](const TrashRecoveryEntry& candidate) {
            return candidate.record.pluginName;
        });
    }
    PrivilegedTrashRestoreRequest sentRecovery(std::size_t index = 0) const {
        return privilegedTrashRestoreRequestFromJson(sentRequest(index)).value();
    }

    std::unique_ptr<TrashRecoveryViewModel> screen;
};

TEST_F(TrashRecoveryScreenTest, CardsCountTheSnapshotsStatesAndRowsComeNewestFirst) {
    startService(ServiceRegistrationStatus::notRegistered);
    openWith({});
    QStringList values;
    for (const MetricSpec& card : screen->cards())
        values << card.title + u'=' + card.value;
    EXPECT_EQ(values, (QStringList{QStringLiteral("Ready=0"), QStringLiteral("Reconciled=0"),
                                   QStringLiteral("Needs Review=0")}));

    openWith({trashRecord(QStringLiteral("Old"), true, false, Timestamp{1}),
              trashRecord(QStringLiteral("Back"), false, true, Timestamp{5}),
              trashRecord(QStringLiteral("Occupied"), true, true, Timestamp{3}),
              trashRecord(QStringLiteral("Gone"), false, false, Timestamp{5}),
              trashRecord(QStringLiteral("New"), true, false, Timestamp{9})});
    values.clear();
    for (const MetricSpec& card : screen->cards())
        values << card.title + u'=' + card.value;
    EXPECT_EQ(values, (QStringList{QStringLiteral("Ready=2"), QStringLiteral("Reconciled=1"),
                                   QStringLiteral("Needs Review=2")}));
    QStringList order;
    for (const TrashRecoveryEntry& listed : screen->entries())
        order << listed.record.pluginName;
    EXPECT_EQ(order, (QStringList{QStringLiteral("New"), QStringLiteral("Back"), QStringLiteral("Gone"),
                                  QStringLiteral("Occupied"), QStringLiteral("Old")}));
}

// A record restored by the app keeps its state when a later Trash move puts another bundle under
// the same Trash name: only the later record is ready.
TEST_F(TrashRecoveryScreenTest, AReconciledRecordFollowsItsOwnBundleNotALaterOneUnderItsTrashName) {
    startService(ServiceRegistrationStatus::notRegistered);
    TrashedBundleRecord restored = trashRecord(QStringLiteral("Pro-R 2"), true, true, Timestamp{1});
    restored.reconciledDate = Timestamp{2};
    TrashedBundleRecord later = trashRecord(QStringLiteral("Pro-R 2 copy"), false, false, Timestamp{3});
    later.trashPath = restored.trashPath;
    openWith({restored, later});
    EXPECT_EQ(entry(QStringLiteral("Pro-R 2")).state, TrashRecoveryState::alreadyRestored);
    EXPECT_EQ(entry(QStringLiteral("Pro-R 2 copy")).state, TrashRecoveryState::readyToRestore);
    QStringList values;
    for (const MetricSpec& card : screen->cards())
        values << card.title + u'=' + card.value;
    EXPECT_EQ(values, (QStringList{QStringLiteral("Ready=1"), QStringLiteral("Reconciled=1"),
                                   QStringLiteral("Needs Review=0")}));
    EXPECT_EQ(store->restorableTrashRecordCount(), 1);
}

TEST_F(TrashRecoveryScreenTest, ATransactionIsOfferedWholeOnlyWhileEveryBundleIsReady) {
    startService(ServiceRegistrationStatus::notRegistered);
    const QString whole = uuidText(makeUuid());
    const QString broken = uuidText(makeUuid());
    const QString single = uuidText(makeUuid());
    auto reconciled = trashRecord(QStringLiteral("B2"), true, false, Timestamp{2}, broken);
    reconciled.reconciledDate = Timestamp{3};
    auto unsaved = trashRecord(QStringLiteral("Loose"), true, false, Timestamp{1});
    unsaved.trashTransactionID.reset();
    openWith({trashRecord(QStringLiteral("W1"), true, false, Timestamp{4}, whole),
              trashRecord(QStringLiteral("W2"), true, false, Timestamp{4}, whole),
              trashRecord(QStringLiteral("W3"), true, false, Timestamp{5}, whole),
              trashRecord(QStringLiteral("B1"), true, false, Timestamp{2}, broken), reconciled,
              trashRecord(QStringLiteral("M1"), true, false, Timestamp{2}, single + u'x'),
              trashRecord(QStringLiteral("M2"), false, false, Timestamp{2}, single + u'x'),
              trashRecord(QStringLiteral("S1"), true, false, Timestamp{2}, single), unsaved,
              trashRecord(QStringLiteral("L2"), true, false, Timestamp{1})});
    const std::vector<std::pair<QString, QStringList>> expected{
        {QStringLiteral("W1"), {QStringLiteral("W3"), QStringLiteral("W1"), QStringLiteral("W2")}},
        {QStringLiteral("W3"), {QStringLiteral("W3"), QStringLiteral("W1"), QStringLiteral("W2")}},
        {QStringLiteral("B1"), {}},
        {QStringLiteral("M1"), {}},
        {QStringLiteral("S1"), {}},
        {QStringLiteral("Loose"), {}},
    };
    for (const auto& [name, members] : expected)
        EXPECT_EQ(names(screen->transactionRecordIDs(entry(name))), members) << name.toStdString();
}

TEST_F(TrashRecoveryScreenTest, PreflightStopsSilentlyOnAnyReasonAndOtherwiseAsksWithTheRightPlural) {
    startService(ServiceRegistrationStatus::notRegistered);
    const auto ready = trashRecord(QStringLiteral("Ready"), true, false);
    const auto occupied = trashRecord(QStringLiteral("Occupied"), true, true);
    const auto other = trashRecord(QStringLiteral("Other"), true, false);
    openWith({ready, occupied, other});
    screen->restoreRecord(ready.id);
    EXPECT_FALSE(screen->showsRestoreConfirmation());
    EXPECT_TRUE(screen->pendingRestoreIDs().empty());
    EXPECT_EQ(screen->rowBlockingReason(entry(QStringLiteral("Ready"))),
              QStringLiteral("Enable Plugin Management before restoring bundles from Finder Trash."));

    startReadyService();
    openWith({ready, occupied, other});
    EXPECT_FALSE(screen->rowBlockingReason(entry(QStringLiteral("Ready"))).has_value());
    screen->restoreRecord(occupied.id);
    EXPECT_FALSE(screen->showsRestoreConfirmation());
    EXPECT_FALSE(store->notice().has_value());

    screen->restoreRecord(ready.id);
    EXPECT_TRUE(screen->showsRestoreConfirmation());
    EXPECT_EQ(
        screen->confirmationMessage(),
        QStringLiteral("Quorvane will return 1 format bundle to the exact saved original path. Existing "
                       "files will never be overwritten."));
    screen->cancelConfirmation();
    EXPECT_TRUE(screen->pendingRestoreIDs().empty());

    screen->setSelected(ready.id, true);
    screen->setSelected(other.id, true);
    screen->restoreSelection();
    EXPECT_EQ(
        screen->confirmationMessage(),
        QStringLiteral("Quorvane will return 2 format bundles to the exact saved original path. Existing "
                       "files will never be overwritten."));
    EXPECT_EQ(screen->selectedRecordIDs().size(), 2);
}

TEST_F(TrashRecoveryScreenTest, ATickedRecordThatStopsBeingReadyKeepsItsTickAndBlocksTheSelection) {
    startReadyService();
    const auto ready = trashRecord(QStringLiteral("Ready"), true, false);
    openWith({ready});
    screen->setSelected(ready.id, true);
    EXPECT_FALSE(screen->selectionReasonLine().has_value());
    makeBundle(ready.originalPath);
    screen->refresh();
    EXPECT_TRUE(screen->selectedRecordIDs().contains(ready.id));
    EXPECT_EQ(screen->selectionReasonLine(),
              T::restoreUnavailable + QStringLiteral("Ready \u2014 VST3: Destination Occupied."));
}

TEST_F(TrashRecoveryScreenTest, AVerifiedRecoveryUnticksOnlyTheConfirmedRecordsAndAFailureNone) {
    startReadyService();
    const auto first = trashRecord(QStringLiteral("First"), true, false, Timestamp{3});
    const auto second = trashRecord(QStringLiteral("Second"), true, false, Timestamp{2});
    const auto third = trashRecord(QStringLiteral("Third"), true, false, Timestamp{1});
    openWith({first, second, third});
    for (const auto& ticked : {first, second, third})
        screen->setSelected(ticked.id, true);

    screen->restoreRecord(second.id);
    screen->confirm();
    ASSERT_EQ(sentCount(), 1u);
    EXPECT_EQ(screen->pendingRestoreIDs(), std::vector<QUuid>{second.id});
    answer(testing::failedResult<PrivilegedTrashRestoreResult>(sentRecovery().transactionID,
                                                               QStringLiteral("Nothing moved.")));
    EXPECT_TRUE(screen->pendingRestoreIDs().empty());
    EXPECT_EQ(screen->selectedRecordIDs().size(), 3);

    screen->restoreRecord(second.id);
    screen->confirm();
    ASSERT_EQ(sentCount(), 2u);
    moveAll(sentRecovery(1));
    answer(testing::succeededResult<PrivilegedTrashRestoreResult>(sentRecovery(1)), 1);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Restored from Finder Trash"));
    EXPECT_EQ(screen->selectedRecordIDs(), (QSet<QUuid>{first.id, third.id}));
    EXPECT_TRUE(screen->pendingRestoreIDs().empty());
    // The restored record stays listed, now as reconciled.
    EXPECT_EQ(entry(QStringLiteral("Second")).state, TrashRecoveryState::alreadyRestored);
}

// A confirmation that sends nothing leaves no pending ids behind, whatever stopped it.
TEST_F(TrashRecoveryScreenTest, AConfirmationThatSendsNothingEmptiesThePendingIDs) {
    startReadyService();
    const auto ready = trashRecord(QStringLiteral("Ready"), true, false);
    openWith({ready});
    screen->restoreRecord(ready.id);
    ASSERT_EQ(screen->pendingRestoreIDs(), std::vector<QUuid>{ready.id});
    // The helper stops being ready while the alert is open.
    connections.last().interrupt();
    testing::drainEvents();
    ASSERT_FALSE(service->isReadyForPrivilegedRequests());
    screen->confirm();
    EXPECT_EQ(sentCount(), 0u);
    EXPECT_TRUE(screen->pendingRestoreIDs().empty());
    EXPECT_FALSE(screen->showsRestoreConfirmation());
}

TEST_F(TrashRecoveryScreenTest, AReplyAfterTheScreenIsGoneStillReachesTheStore) {
    startReadyService();
    const auto gone = trashRecord(QStringLiteral("Gone"), true, false);
    openWith({gone});
    screen->restoreRecord(gone.id);
    screen->confirm();
    ASSERT_EQ(sentCount(), 1u);
    screen.reset();
    moveAll(sentRecovery());
    answer(testing::succeededResult<PrivilegedTrashRestoreResult>(sentRecovery()));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Restored from Finder Trash"));
    EXPECT_FALSE(store->pendingPrivilegedTrashRestore().has_value());
    EXPECT_TRUE(store->trashedBundles().at(0).reconciledDate.has_value());
}

TEST_F(TrashRecoveryScreenTest, TheSelectionRoadSendsTheTickedRecordsNewestFirst) {
    startReadyService();
    const auto older = trashRecord(QStringLiteral("Older"), true, false, Timestamp{1});
    const auto newer = trashRecord(QStringLiteral("Newer"), true, false, Timestamp{7});
    openWith({older, newer});
    screen->setSelected(older.id, true);
    screen->setSelected(newer.id, true);
    screen->restoreSelection();
    EXPECT_EQ(screen->pendingRestoreIDs(), (std::vector<QUuid>{newer.id, older.id}));
    screen->confirm();
    ASSERT_EQ(sentCount(), 1u);
    EXPECT_EQ(sentRecovery().items.at(0).recoveryRecordID, uuidText(newer.id));
}

TEST_F(TrashRecoveryScreenTest, AppearingVerifiesTheRecordsAndClearsTheTicksAndPruningDropsGoneRecords) {
    startService(ServiceRegistrationStatus::notRegistered);
    const auto back = trashRecord(QStringLiteral("Back"), true, false);
    openWith({back});
    screen->setSelected(back.id, true);
    screen->setSelected(makeUuid(), true);
    screen->pruneSelection();
    EXPECT_EQ(screen->selectedRecordIDs(), QSet<QUuid>{back.id});
    // Put back by hand outside the application.
    ASSERT_TRUE(testing::moveBundle(back.trashPath, back.originalPath));
    screen->appear();
    EXPECT_TRUE(screen->selectedRecordIDs().isEmpty());
    EXPECT_EQ(store->history().at(0).kind, HistoryKind::externalRestore);
    EXPECT_EQ(screen->entries().at(0).state, TrashRecoveryState::alreadyRestored);
}

// Every way out of the alert but "Restore Bundles" forgets the pending ids; that one sends them.
TEST_F(TrashRecoveryScreenTest, TheAlertCancelsOnAnyDismissalButItsAction) {
    startReadyService();
    const auto ready = trashRecord(QStringLiteral("Ready"), true, false);
    openWith({ready});
    testing::FakeScreenServices fakes;
    TrashRecoveryView view(*service, *store, fakes.services());
    const std::vector<std::function<void(QMessageBox*)>> dismissals = {
        [](QMessageBox* alert) { alert->close(); },
        [](QMessageBox* alert) { alert->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click(); },
        [](QMessageBox* alert) { alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->click(); }};
    for (std::size_t index = 0; index < dismissals.size(); ++index) {
        SCOPED_TRACE(index);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        view.findChild<QPushButton*>(QStringLiteral("restoreFormatButton"))->click();
        ASSERT_NE(view.confirmationAlert(), nullptr);
        dismissals[index](view.confirmationAlert());
        EXPECT_FALSE(view.model().showsRestoreConfirmation());
        const bool sends = index == 2;
        EXPECT_EQ(view.model().pendingRestoreIDs(),
                  sends ? std::vector<QUuid>{ready.id} : std::vector<QUuid>{});
        EXPECT_EQ(sentCount(), sends ? 1u : 0u);
    }
}

TEST(TrashRecoveryRowLook, FollowsTheStateTheReasonAndTheTransactionSize) {
    const QString reason =
        QStringLiteral("Enable Plugin Management before restoring bundles from Finder Trash.");
    struct Case {
        TrashRecoveryState state;
        std::optional<QString> reason;
        qsizetype transaction;
        TrashRecoveryRowLook look;
    };
    const QColor green = trashRecoveryStateColor(TrashRecoveryState::readyToRestore);
    const QColor amber = trashRecoveryStateColor(TrashRecoveryState::missingFromTrash);
    const std::vector<Case> cases{
        {TrashRecoveryState::readyToRestore,
         std::nullopt,
         0,
         {QStringLiteral("Ready to Restore"), green, true, true, std::nullopt, true, std::nullopt}},
        {TrashRecoveryState::readyToRestore,
         std::nullopt,
         3,
         {QStringLiteral("Ready to Restore"), green, true, true,
          QStringLiteral("Restore Transaction (3)\u2026"), true, std::nullopt}},
        {TrashRecoveryState::readyToRestore,
         reason,
         2,
         {QStringLiteral("Ready to Restore"), green, true, true,
          QStringLiteral("Restore Transaction (2)\u2026"), false, reason}},
        {TrashRecoveryState::alreadyRestored,
         reason,
         3,
         {QStringLiteral("Already Restored"), trashRecoveryStateColor(TrashRecoveryState::alreadyRestored),
          false, false, std::nullopt, false, std::nullopt}},
        {TrashRecoveryState::destinationOccupied,
         std::nullopt,
         0,
         {QStringLiteral("Destination Occupied"), amber, false, false, std::nullopt, false, std::nullopt}},
        {TrashRecoveryState::needsVerification,
         reason,
         0,
         {QStringLiteral("Needs Verification"), amber, false, false, std::nullopt, false, std::nullopt}},
    };
    for (const Case& test : cases) {
        TrashRecoveryEntry shown;
        shown.state = test.state;
        EXPECT_EQ(trashRecoveryRowLook(shown, test.reason, test.transaction), test.look)
            << rawValue(test.state).toStdString() << ' ' << test.transaction;
    }
    EXPECT_NE(green, amber);
    EXPECT_NE(trashRecoveryStateColor(TrashRecoveryState::alreadyRestored), green);
}

} // namespace
} // namespace quorvane
