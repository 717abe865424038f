#pragma once

#include <QString>

namespace quorvane::PrivilegedTransactionTexts {

// Every text the store's privileged-transaction code shows: per kind the titles and messages of
// its begin and complete steps, the launch-time resolution, Trash recovery, cleanup-preset runs and
// the permanent-quarantine run. Composed texts are functions of their values.

inline const QString storageBlocked =
    QStringLiteral("The Build 39 inventory could not be upgraded safely. Plugin file actions are blocked.");
inline const QString dataFolderReadOnly =
    QStringLiteral("Quorvane’s data folder is on a read-only file system. Plugin file actions are blocked.");
inline const QString planChanged =
    QStringLiteral("The exact-format plan changed before the helper request was prepared.");

namespace Quarantine {
inline const QString refusalTitle = QStringLiteral("Privileged Quarantine Blocked");
inline const QString attentionTitle = QStringLiteral("Quarantine Needs Attention");
inline const QString failedSafelyTitle = QStringLiteral("Quarantine Failed Safely");
inline const QString successTitle = QStringLiteral("Plugins Moved to Quarantine");
inline const QString saveFailure =
    QStringLiteral("Quorvane could not save the pending transaction journal. No plugin files were moved.");
inline const QString mismatch = QStringLiteral(
    "The helper response does not match Quorvane’s pending transaction journal. Stop before retrying.");
inline const QString keptJournal = QStringLiteral(" Quorvane kept the pending transaction journal. Stop and "
                                                  "verify the listed plugin locations before retrying.");
inline const QString unverified = QStringLiteral("The helper reported success, but Quorvane could not verify "
                                                 "every final bundle location. Stop before retrying.");
inline const QString unfinished = QStringLiteral(
    "The files moved successfully, but Quorvane could not finish its inventory journal. Do not "
    "rescan or retry; reopen the app to reconcile the pending transaction.");
inline const QString success = QStringLiteral(
    " format bundles moved through the administrator-approved helper as one verified transaction.");
inline const QString presetLinkTitle = QStringLiteral("Cleanup Preset Blocked");
inline const QString presetLinkBroken =
    QStringLiteral("The preset-run journal no longer matches this helper transaction.");
inline QString historyDetail(const QString& format) {
    return QStringLiteral("Moved ") + format +
           QStringLiteral(" bundle through the privileged atomic quarantine transaction");
}
inline const QString completedUnsaved = QStringLiteral(
    "A completed privileged quarantine still needs inventory reconciliation. Do not retry the operation.");
inline const QString mixed =
    QStringLiteral("A pending privileged quarantine has a mixed disk state. Stop and verify "
                   "plugin locations before taking another file action.");
} // namespace Quarantine

namespace Restore {
inline const QString refusalTitle = QStringLiteral("Privileged Restore Blocked");
inline const QString attentionTitle = QStringLiteral("Restore Needs Attention");
inline const QString failedSafelyTitle = QStringLiteral("Restore Failed Safely");
inline const QString successTitle = QStringLiteral("Plugins Restored");
inline const QString saveFailure =
    QStringLiteral("Quorvane could not save the pending restore journal. No plugin files were moved.");
inline const QString mismatch = QStringLiteral(
    "The helper response does not match Quorvane’s pending restore journal. Stop before retrying.");
inline const QString keptJournal = QStringLiteral(" Quorvane kept the pending restore journal. Stop and "
                                                  "verify the listed plugin locations before retrying.");
inline const QString unverified =
    QStringLiteral("The helper reported success, but Quorvane could not verify every "
                   "restored bundle location. Stop before retrying.");
inline const QString unfinished = QStringLiteral(
    "The files returned successfully, but Quorvane could not finish its inventory journal. Do not "
    "rescan or retry; reopen the app to reconcile the pending transaction.");
inline const QString success = QStringLiteral(
    " format bundles returned through the administrator-approved helper as one verified transaction.");
// A restore carried out in several transactions, told once at its end.
inline QString transactionsText(int transactions) {
    return transactions == 1 ? QStringLiteral("as one verified transaction")
                             : QStringLiteral("in %1 verified transactions").arg(transactions);
}
inline QString runSuccess(qsizetype bundles, int transactions) {
    return QStringLiteral("%1 format bundles returned through the administrator-approved helper %2.")
        .arg(bundles)
        .arg(transactionsText(transactions));
}
inline QString runStopped(qsizetype bundles, int transactions) {
    return QStringLiteral("Before the restore stopped, %1 format bundles returned through the "
                          "administrator-approved helper %2.")
        .arg(bundles)
        .arg(transactionsText(transactions));
}
inline QString historyDetail(const QString& format) {
    return QStringLiteral("Restored ") + format +
           QStringLiteral(" bundle through the privileged atomic restore transaction");
}
inline const QString completedUnsaved = QStringLiteral(
    "A completed privileged restore still needs inventory reconciliation. Do not retry the operation.");
inline const QString mixed =
    QStringLiteral("A pending privileged restore has a mixed disk state. Stop and verify "
                   "plugin locations before taking another file action.");
} // namespace Restore

namespace Trash {
inline const QString refusalTitle = QStringLiteral("Privileged Trash Move Blocked");
inline const QString attentionTitle = QStringLiteral("Trash Move Needs Attention");
inline const QString failedSafelyTitle = QStringLiteral("Trash Move Failed Safely");
inline const QString successTitle = QStringLiteral("Plugins Moved to Finder Trash");
inline const QString saveFailure =
    QStringLiteral("Quorvane could not save the pending Trash journal. No plugin files were moved.");
inline const QString mismatch = QStringLiteral(
    "The helper response does not match Quorvane’s pending Trash journal. Stop before retrying.");
inline const QString keptJournal = QStringLiteral(
    " Quorvane kept the pending Trash journal. Stop and verify the listed locations before retrying.");
inline const QString unverified =
    QStringLiteral("The helper reported success, but Quorvane could not verify every "
                   "Finder Trash location. Stop before retrying.");
inline const QString unfinished = QStringLiteral(
    "The files moved successfully, but Quorvane could not finish its recovery journal. Do not rescan "
    "or retry; reopen the app to reconcile the pending transaction.");
inline const QString success = QStringLiteral(
    " format bundles moved through the administrator-approved helper as one recoverable transaction.");
inline QString historyDetail(const QString& format, const QString& originalPath) {
    return QStringLiteral("Moved quarantined ") + format +
           QStringLiteral(
               " bundle to Finder Trash through the privileged atomic transaction; original location: ") +
           originalPath;
}
inline const QString completedUnsaved = QStringLiteral(
    "A completed privileged Trash move still needs inventory reconciliation. Do not retry the operation.");
inline const QString mixed =
    QStringLiteral("A pending privileged Trash move has a mixed disk state. Stop and verify Finder Trash and "
                   "Quarantine before taking another file action.");
} // namespace Trash

namespace TrashRecovery {
inline const QString refusalTitle = QStringLiteral("Finder Trash Restore Blocked");
inline const QString attentionTitle = QStringLiteral("Trash Recovery Needs Attention");
inline const QString failedSafelyTitle = QStringLiteral("Trash Recovery Failed Safely");
inline const QString successTitle = QStringLiteral("Plugins Restored from Finder Trash");
inline const QString storageUnavailable =
    QStringLiteral("The local inventory state is unavailable. Trash recovery is blocked.");
inline const QString pendingTransaction =
    QStringLiteral("A privileged plugin transaction still needs reconciliation.");
inline const QString nothingSelected = QStringLiteral("No Finder Trash recovery records are selected.");
inline QString tooMany(int limit) {
    return QStringLiteral("A Trash recovery transaction can contain no more than ") + QString::number(limit) +
           QStringLiteral(" bundles.");
}
inline const QString duplicate = QStringLiteral("The Trash recovery selection contains a duplicate record.");
inline const QString recordGone = QStringLiteral("A selected Trash recovery record no longer exists.");
inline QString alreadyReconciled(const QString& name, const QString& format) {
    return name + QStringLiteral(" — ") + format + QStringLiteral(" has already been reconciled.");
}
inline QString inState(const QString& name, const QString& format, const QString& stateTitle) {
    return name + QStringLiteral(" — ") + format + QStringLiteral(": ") + stateTitle + u'.';
}
inline QString needsPathVerification(const QString& name, const QString& format) {
    return name + QStringLiteral(" — ") + format + QStringLiteral(" needs path verification before restore.");
}
inline const QString recordsChanged =
    QStringLiteral("The recovery records changed before the helper request was prepared.");
inline const QString saveFailure =
    QStringLiteral("Quorvane could not save the pending Trash recovery journal. No plugin files were moved.");
inline const QString mismatch = QStringLiteral(
    "The helper response does not match Quorvane’s pending Trash recovery journal. Stop before retrying.");
inline const QString keptJournal =
    QStringLiteral(" Quorvane kept the pending Trash recovery journal. Stop and "
                   "verify the listed locations before retrying.");
inline const QString unverified =
    QStringLiteral("The helper reported success, but Quorvane could not verify every "
                   "restored plugin location. Stop before retrying.");
inline const QString unfinished = QStringLiteral(
    "The files returned successfully, but Quorvane could not finish its recovery journal. Do not "
    "rescan or retry; reopen the app to reconcile the pending transaction.");
inline const QString success = QStringLiteral(" format bundles returned to their exact recorded original "
                                              "locations. Run a read-only scan to refresh Inventory.");
inline QString historyDetail(const QString& format) {
    return QStringLiteral("Restored ") + format +
           QStringLiteral(" bundle from Finder Trash to its exact recorded original location");
}
inline QString externalRestoreDetail(const QString& format) {
    return QStringLiteral("Detected ") + format +
           QStringLiteral(" bundle restored outside Quorvane at its recorded original location");
}
inline QString missingDetail(const QString& format) {
    return format +
           QStringLiteral(
               " bundle is absent from both its recorded Finder Trash path and original plugin location");
}
inline const QString completedUnsaved =
    QStringLiteral("A completed Finder Trash restore still needs recovery-journal "
                   "reconciliation. Do not retry the operation.");
inline const QString mixed = QStringLiteral(
    "A pending Finder Trash restore has a mixed disk state. Stop and verify Finder Trash and the "
    "original plugin folders before taking another file action.");
} // namespace TrashRecovery

namespace Launch {
// While the helper still holds its transaction lock, the journal is left for it to finish.
inline const QString helperStillRunning = QStringLiteral(
    "The privileged helper is still finishing a plugin transaction. Quorvane will reconcile it as "
    "soon as the helper is done.");
// A journal that names moves the helper refuses is dropped: nothing moved, so nothing is recorded.
inline const QString droppedTitle = QStringLiteral("Privileged Journal Dropped");
inline QString dropped(const QString& kind, const QString& reason) {
    return QStringLiteral("Quorvane dropped a pending privileged %1 journal that the helper could not have "
                          "carried out. No plugin files were moved and nothing was recorded. ")
               .arg(kind) +
           reason;
}
} // namespace Launch

namespace CleanupRun {
inline const QString blockedTitle = QStringLiteral("Cleanup Preset Blocked");
inline const QString expiredTitle = QStringLiteral("Cleanup Preview Expired");
inline const QString storageBlocked =
    QStringLiteral("The local inventory must be available before a cleanup preset can begin.");
inline const QString expired = QStringLiteral(
    "The inventory changed after this preset was previewed. Build a new preview before moving any files.");
inline const QString pendingTransaction =
    QStringLiteral("A previous privileged plugin transaction still needs reconciliation.");
inline const QString confirmationMismatch =
    QStringLiteral("The confirmed format list is empty or no longer matches the reviewed preview.");
inline const QString saveFailure =
    QStringLiteral("Quorvane could not save the preset-run journal. No plugin files were moved.");
inline const QString runNotPending =
    QStringLiteral("The preset-run journal is missing or no longer pending.");
inline const QString chunkOutsideRun = QStringLiteral(
    "This child transaction contains a format that was not part of the reviewed preset preview.");
inline const QString historyNotSavedTitle = QStringLiteral("Preset History Not Saved");
inline const QString historyNotSaved =
    QStringLiteral("The plugin transaction result is unchanged, but Quorvane could not finish the preset-run "
                   "history record.");
inline const QString completedTitle = QStringLiteral("Cleanup Preset Completed");
inline const QString stoppedTitle = QStringLiteral("Cleanup Preset Stopped");
inline QString startedDetail(qsizetype count) {
    return QString::number(count) +
           QStringLiteral(" reviewed format bundles queued for reversible quarantine");
}
inline QString completedDetail(qsizetype count) {
    return QString::number(count) +
           QStringLiteral(" reviewed format bundles moved into reversible quarantine");
}
inline QString partiallyCompletedDetail(qsizetype count) {
    return QString::number(count) + QStringLiteral(" child transactions completed before the run stopped");
}
inline const QString canceledDetail =
    QStringLiteral("The cleanup preset was canceled; no additional bundles were moved");
} // namespace CleanupRun

namespace PermanentRun {
inline const QString notBegun = QStringLiteral(
    "Permanent Quarantine stopped before moving any replacement bundle. Review the warning and rescan.");
inline const QString trashNotCommitted = QStringLiteral(
    "Permanent Quarantine stopped: the retired quarantine copy could not be verified in Finder Trash. "
    "The reinstalled bundle remains active.");
inline const QString quarantineNotBegun = QStringLiteral(
    "Permanent Quarantine retired the prior copies to Finder Trash, but did not move the reinstalled "
    "bundles. They remain active for review.");
inline const QString quarantineNotCommitted = QStringLiteral(
    "Permanent Quarantine retired the prior copies to Finder Trash, but the reinstalled bundles "
    "remain active because their quarantine transaction did not verify.");
inline QString replaced(qsizetype count) {
    return QStringLiteral("Permanent Quarantine replaced ") + QString::number(count) +
           QStringLiteral(" exact bundle ") +
           (count == 1 ? QStringLiteral("copy") : QStringLiteral("copies")) +
           QStringLiteral(": old copies are in Finder Trash and replacements are safely quarantined.");
}
inline const QString unreachable = QStringLiteral("Quorvane could not reach the privileged helper.");
} // namespace PermanentRun

} // namespace quorvane::PrivilegedTransactionTexts
