#pragma once

#include <QString>

namespace quorvane::StoreTexts {

// Every text the store shows, in one place per kind: notices, scan notices, history lines, the
// diagnostic report and its own storage error. Composed texts are functions of their values.

namespace Notice {

inline const QString inventoryUpgradeBlockedTitle = QStringLiteral("Inventory Upgrade Blocked");
inline const QString inventoryUpgradeBlockedMessage =
    QStringLiteral("Quorvane kept the existing Build 39 inventory unchanged. Scanning and plugin file "
                   "actions are blocked until "
                   "the local state can be safely upgraded.");

inline const QString dataFolderReadOnlyTitle = QStringLiteral("Data Folder Read-Only");
inline QString dataFolderReadOnlyMessage(const QString& folder) {
    return QStringLiteral("Quorvane’s data folder %1 is on a read-only file system. The inventory is "
                          "shown as last saved; scans and plugin file actions are blocked and nothing is "
                          "saved until the folder can be written. Make it writable, then start Quorvane "
                          "again.")
        .arg(folder);
}
inline const QString scanBlockedByReadOnlyFolderMessage =
    QStringLiteral("Quorvane’s data folder is on a read-only file system, so a scan could not be "
                   "saved. No inventory or plugin files were changed.");

inline const QString localStateNotSavedTitle = QStringLiteral("Local State Not Saved");
inline QString localStateNotSavedMessage(const QString& description) {
    return QStringLiteral("Quorvane could not save its inventory record: ") + description;
}

inline const QString scanBlockedTitle = QStringLiteral("Scan Blocked");
inline const QString scanBlockedByStorageMessage = QStringLiteral(
    "The Build 39 inventory could not be upgraded safely. No inventory or plugin files were changed.");
inline const QString scanBlockedByJournalMessage =
    QStringLiteral("A privileged plugin transaction still needs reconciliation. Do not rescan until that "
                   "transaction is resolved.");

inline const QString scanCanceledTitle = QStringLiteral("Scan Canceled");
inline const QString scanCanceledMessage = QStringLiteral("The previous inventory remains unchanged.");

inline const QString scanCompleteTitle = QStringLiteral("Scan Complete");
inline QString scanCompleteMessage(qsizetype products, qsizetype bundles) {
    return QStringLiteral("Indexed %1 plugin products across %2 format bundles.").arg(products).arg(bundles);
}

inline const QString pluginProtectedTitle = QStringLiteral("Plugin Protected");
inline QString pluginProtectedMessage(const QString& name) {
    return name + QStringLiteral(" is locked against quarantine and Trash.");
}
inline const QString protectionRemovedTitle = QStringLiteral("Protection Removed");
inline const QString protectionRemovedMessage = QStringLiteral("No files were moved.");

inline QString formatProtectedTitle(const QString& format) {
    return format + QStringLiteral(" Format Protected");
}
inline QString formatProtectedMessage(const QString& format) {
    return QStringLiteral("Only the selected ") + format +
           QStringLiteral(" bundle is locked against file actions.");
}
inline QString formatProtectionRemovedTitle(const QString& format) {
    return format + QStringLiteral(" Protection Removed");
}
inline QString formatProtectionRemovedMessage(const QString& format) {
    return QStringLiteral("Only the selected ") + format +
           QStringLiteral(" bundle changed. No files were moved.");
}
inline const QString formatAlreadyProtectedTitle = QStringLiteral("Format Already Protected");
inline const QString protectionAlreadyRemovedTitle = QStringLiteral("Protection Already Removed");
inline QString protectionAlreadyInEffectMessage(const QString& format) {
    return format + QStringLiteral(" already has the requested protection state. No files were moved.");
}

inline const QString pluginsProtectedTitle = QStringLiteral("Plugins Protected");
inline QString pluginsProtectedMessage(qsizetype count) {
    return QStringLiteral("%1 selected plugins are locked against quarantine and Trash.").arg(count);
}
inline QString batchProtectionRemovedMessage(qsizetype count) {
    return QStringLiteral("Protection was removed from %1 selected plugins. No files were moved.").arg(count);
}

inline const QString protectionChangeBlockedTitle = QStringLiteral("Protection Change Blocked");
inline const QString protectionBlockedByStorageMessage =
    QStringLiteral("The local inventory must be upgraded safely before format protection can change.");
inline const QString protectionBlockedByReadOnlyFolderMessage = QStringLiteral(
    "Quorvane’s data folder is on a read-only file system, so format protection cannot change.");
inline const QString pluginRecordChangedMessage =
    QStringLiteral("This plugin record changed. Run a new scan and try again.");
inline const QString formatRecordChangedMessage =
    QStringLiteral("This format record changed. Run a new scan and try again.");
inline const QString mandatoryShellProtectionMessage =
    QStringLiteral("Shared shells and WaveShell-hosted products have mandatory protection.");
inline const QString protectionChangeNotSavedTitle = QStringLiteral("Protection Change Not Saved");
inline const QString protectionChangeNotSavedMessage = QStringLiteral(
    "Quorvane restored the previous protection state because the local inventory could not be saved.");

inline const QString permanentQuarantineEnabledTitle = QStringLiteral("Permanent Quarantine Enabled");
inline QString permanentQuarantineEnabledMessage(const QString& manufacturer) {
    return QStringLiteral("Exact future replacements from ") + manufacturer +
           QStringLiteral(" will be re-quarantined after a verified scan.");
}
inline const QString permanentQuarantineRemovedTitle = QStringLiteral("Permanent Quarantine Removed");
inline QString permanentQuarantineRemovedMessage(const QString& manufacturer) {
    return QStringLiteral("Future replacements from ") + manufacturer +
           QStringLiteral(" will remain installed until reviewed.");
}
inline const QString ruleChangeNotSavedTitle = QStringLiteral("Rule Change Not Saved");
inline const QString ruleChangeNotSavedMessage = QStringLiteral(
    "Quorvane restored the prior permanent-quarantine rule because local state could not be saved.");

} // namespace Notice

// lastScanNotice.
namespace ScanNotice {

inline const QString canceled = QStringLiteral("Scan canceled. The previous inventory was kept unchanged.");
inline const QString noChanges = QStringLiteral("Scan complete. No inventory changes detected.");
inline QString permanentQuarantineUnavailable(qsizetype matches) {
    return QStringLiteral(
               "Scan complete. %1 exact permanent-quarantine replacements found, but Plugin Management "
               "was unavailable; no files were moved.")
        .arg(matches);
}

} // namespace ScanNotice

namespace History {

inline const QString allPlugins = QStringLiteral("All Plugins");
inline const QString scanCanceled =
    QStringLiteral("Scan canceled; the previous inventory was kept unchanged");
inline QString scanned(qsizetype products, qsizetype bundles) {
    return QStringLiteral("%1 plugins across %2 format bundles").arg(products).arg(bundles);
}
inline QString externalRestore(const QString& format, const QString& originalPath) {
    return QStringLiteral("Detected ") + format + QStringLiteral(" bundle restored outside Quorvane at ") +
           originalPath;
}
inline const QString allFormatsProtected = QStringLiteral("All detected formats protected");
inline const QString manualProtectionRemoved = QStringLiteral("Manual protection removed");
inline QString formatProtected(const QString& format) {
    return format + QStringLiteral(" format protected");
}
inline QString formatProtectionRemoved(const QString& format) {
    return format + QStringLiteral(" format protection removed; no files moved");
}
inline const QString batchProtected = QStringLiteral("Protected as part of a batch selection");
inline const QString batchProtectionRemoved =
    QStringLiteral("Protection removed as part of a batch selection");

} // namespace History

// The diagnostic report's fixed lines and labels.
namespace Report {

inline const QString title = QStringLiteral("Quorvane Diagnostic Report");
inline const QString app = QStringLiteral("App: ");
inline const QString generated = QStringLiteral("Generated: ");
inline const QString operatingSystem = QStringLiteral("macOS: ");
// Followed by the architecture the program was built for.
inline const QString architecture = QStringLiteral("Architecture: ");
inline const QString inventory = QStringLiteral("Inventory");
inline const QString products = QStringLiteral("Plugin products: ");
inline const QString activeBundles = QStringLiteral("Active format bundles: ");
inline const QString quarantinedBundles = QStringLiteral("Quarantined format bundles: ");
inline const QString protectedProducts = QStringLiteral("Protected products: ");
inline const QString historyRecords = QStringLiteral("History records: ");
inline const QString lastScan = QStringLiteral("Last scan: ");
inline const QString never = QStringLiteral("Never");
inline const QString reconciliation = QStringLiteral("Reconciliation: ");
inline const QString noReconciliation = QStringLiteral("No reconciliation result recorded.");
inline const QString inaccessibleLocations = QStringLiteral("Inaccessible locations");
inline const QString noInaccessibleLocations = QStringLiteral("None");
inline const QString locationBullet = QStringLiteral("- ");
inline const QString defaultManagementSection =
    QStringLiteral("Plugin Management\nStatus was not included in this report.");
inline const QString storage = QStringLiteral("Storage");
inline const QString stateFolder = QStringLiteral("State folder: ");
inline const QString stateFolderUnavailable = QStringLiteral("Unavailable");
inline const QString safety = QStringLiteral("Safety");
inline const QString noPermanentDeletion =
    QStringLiteral("Quorvane does not permanently delete plugin bundles. Trash operations use macOS Trash.");
inline const QString omissions =
    QStringLiteral("This report omits the full plugin inventory and quarantine operation identifiers.");

} // namespace Report

namespace Error {

inline const QString stateWritesBlocked =
    QStringLiteral("The inventory state file could not be read when Quorvane started, so it is left "
                   "unchanged until it can be "
                   "upgraded safely.");
inline const QString dataFolderReadOnly = QStringLiteral(
    "Quorvane’s data folder is on a read-only file system, so nothing is saved until the folder can be "
    "written.");

} // namespace Error

} // namespace quorvane::StoreTexts
