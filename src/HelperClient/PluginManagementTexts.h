#pragma once

#include <QString>

namespace quorvane::PluginManagementTexts {

// Every text the helper service object shows: handshake outcomes, blocking reasons, the senders'
// failure texts, the release-readiness checks and the diagnostic section. Composed texts are
// functions of their values.

namespace Handshake {

inline const QString unavailableUntilEnabled =
    QStringLiteral("Secure helper test unavailable until Plugin Management is enabled.");
inline const QString channelUnavailable =
    QStringLiteral("Quorvane could not create the helper communication channel.");
inline const QString testFailed = QStringLiteral("Secure helper test failed.");
inline QString wrongBuild(const QString& build, const QString& expectedBuild) {
    return QStringLiteral("The registered helper is Build ") + build +
           QStringLiteral(". Choose Update Plugin Management to install Build ") + expectedBuild + u'.';
}
inline QString testPassed(const QString& build) {
    return QStringLiteral("Secure helper test passed. QuorvaneHelper Build ") + build +
           QStringLiteral(" is connected.");
}
inline QString testFailedWithBuild(const QString& build) {
    return QStringLiteral("Secure helper test failed. The registered helper reported Build ") + build + u'.';
}
inline QString testFailedWithError(const QString& description) {
    return QStringLiteral("Secure helper test failed: ") + description;
}

} // namespace Handshake

namespace Blocking {

inline const QString inProgress = QStringLiteral("A privileged plugin transaction is already in progress.");
inline const QString handshakePending =
    QStringLiteral("The privileged helper is enabled but has not completed its secure handshake.");
inline const QString quarantine =
    QStringLiteral("Enable Plugin Management before moving system plugin bundles.");
inline const QString restore =
    QStringLiteral("Enable Plugin Management before restoring system plugin bundles.");
inline const QString trash =
    QStringLiteral("Enable Plugin Management before moving quarantined bundles to Finder Trash.");
inline const QString trashRecovery =
    QStringLiteral("Enable Plugin Management before restoring bundles from Finder Trash.");

} // namespace Blocking

namespace Sender {

inline const QString unreachable = QStringLiteral("Quorvane could not reach the privileged helper.");

inline const QString quarantineEncodeFailure =
    QStringLiteral("Quorvane could not encode the quarantine request.");
inline const QString quarantineChannelFailure =
    QStringLiteral("Quorvane could not create the privileged quarantine channel.");
inline const QString quarantineUnreadableReply =
    QStringLiteral("Quorvane could not verify the helper response.");

inline const QString restoreEncodeFailure = QStringLiteral("Quorvane could not encode the restore request.");
inline const QString restoreChannelFailure =
    QStringLiteral("Quorvane could not create the privileged restore channel.");
inline const QString restoreUnreadableReply =
    QStringLiteral("Quorvane could not verify the helper restore response.");

inline const QString trashEncodeFailure =
    QStringLiteral("Quorvane could not encode the Finder Trash request.");
inline const QString trashChannelFailure =
    QStringLiteral("Quorvane could not create the privileged Finder Trash channel.");
inline const QString trashUnreadableReply =
    QStringLiteral("Quorvane could not verify the helper Finder Trash response.");

inline const QString trashRecoveryEncodeFailure =
    QStringLiteral("Quorvane could not encode the Finder Trash recovery request.");
inline const QString trashRecoveryChannelFailure =
    QStringLiteral("Quorvane could not create the privileged Finder Trash recovery channel.");
inline const QString trashRecoveryUnreadableReply =
    QStringLiteral("Quorvane could not verify the helper Finder Trash recovery response.");

} // namespace Sender

namespace Status {

inline const QString notRegistered = QStringLiteral("Not Enabled");
inline const QString requiresApproval = QStringLiteral("Approval Required");
inline const QString enabled = QStringLiteral("Enabled");
inline const QString notFound = QStringLiteral("Helper Missing");
inline const QString unavailable = QStringLiteral("Status Unavailable");

} // namespace Status

namespace Readiness {

inline const QString appBuildID = QStringLiteral("app-build");
inline const QString appBuildTitle = QStringLiteral("App Build");
inline QString appBuildPassed(const QString& expected) {
    return QStringLiteral("Quorvane reports Build ") + expected + u'.';
}
inline QString appBuildFailed(const QString& expected, const QString& appBuild) {
    return QStringLiteral("Expected Build ") + expected + QStringLiteral(", but the app reports Build ") +
           appBuild + u'.';
}

inline const QString helperExecutableID = QStringLiteral("helper-executable");
inline const QString helperExecutableTitle = QStringLiteral("Embedded Helper");
inline const QString helperExecutablePassed =
    QStringLiteral("The helper executable is embedded in the app bundle.");
inline const QString helperExecutableFailed =
    QStringLiteral("The helper executable is missing from the app bundle.");

inline const QString daemonPlistID = QStringLiteral("daemon-plist");
inline const QString daemonPlistTitle = QStringLiteral("Launch Daemon");
inline const QString daemonPlistPassed = QStringLiteral("The launch daemon property list is embedded.");
inline const QString daemonPlistFailed = QStringLiteral("The launch daemon property list is missing.");

inline const QString registrationID = QStringLiteral("helper-registration");
inline const QString registrationTitle = QStringLiteral("Helper Approval");
inline const QString registrationPassed =
    QStringLiteral("Plugin Management is approved and registered with macOS.");
inline const QString registrationFailed =
    QStringLiteral("Plugin Management still requires registration or approval.");

inline const QString handshakeID = QStringLiteral("secure-handshake");
inline const QString handshakeTitle = QStringLiteral("Secure Handshake");
inline const QString handshakePassed = QStringLiteral("The code-signing-locked XPC connection is active.");
inline const QString handshakeFailed = QStringLiteral("The secure helper handshake is not connected.");

inline const QString helperBuildID = QStringLiteral("helper-build");
inline const QString helperBuildTitle = QStringLiteral("Helper Build");
inline const QString noResponse = QStringLiteral("no response");
inline QString helperBuildPassed(const QString& expected) {
    return QStringLiteral("QuorvaneHelper reports Build ") + expected + u'.';
}
inline QString helperBuildFailed(const QString& expected, const QString& received) {
    return QStringLiteral("Expected helper Build ") + expected + QStringLiteral(", but received ") +
           received + u'.';
}

inline const QString allPassed = QStringLiteral("Ready for controlled release-candidate archive testing.");
inline QString needAttention(qsizetype failed) {
    return QString::number(failed) + QStringLiteral(" release-readiness ") +
           (failed == 1 ? QStringLiteral("check requires") : QStringLiteral("checks require")) +
           QStringLiteral(" attention.");
}

} // namespace Readiness

namespace Diagnostics {

inline const QString heading = QStringLiteral("Plugin Management");
inline const QString helperStatus = QStringLiteral("\nHelper status: ");
inline const QString secureHandshake = QStringLiteral("\nSecure handshake: ");
inline const QString connected = QStringLiteral("Connected");
inline const QString notConnected = QStringLiteral("Not Connected");
inline const QString expectedBuild = QStringLiteral("\nExpected helper build: ");
inline const QString reportedBuild = QStringLiteral("\nReported helper build: ");
inline const QString noResponse = QStringLiteral("No response");
inline const QString releaseReadiness = QStringLiteral("\nRelease readiness: ");
inline const QString checkBullet = QStringLiteral("- ");
inline const QString checkSeparator = QStringLiteral(": ");
inline const QString pass = QStringLiteral("Pass");
inline const QString actionRequired = QStringLiteral("Action Required");

} // namespace Diagnostics

} // namespace quorvane::PluginManagementTexts
