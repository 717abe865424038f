#include "Store/JournalPolicy.h"

#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QSet>

namespace quorvane {

namespace {

namespace Reason {
const QString transaction = QStringLiteral("Its transaction identifier is not valid.");
const QString size = QStringLiteral("It holds more plugin bundles than one transaction may carry.");
const QString source =
    QStringLiteral("An item\u2019s source is outside the places the helper moves it from.");
const QString destination =
    QStringLiteral("An item\u2019s destination is outside the places the helper moves it to.");
const QString conflict = QStringLiteral("It names the same path twice.");
const QString record = QStringLiteral("An item\u2019s recovery record is not valid.");
} // namespace Reason

// What every kind shares: the identifier, the size limit, and no path named twice; then each item by
// `check`, which answers the first reason it fails.
template <class Request, class Check>
std::optional<QString> checkJournal(const Request& journal, Check check) {
    if (!parseUuid(journal.transactionID))
        return Reason::transaction;
    if (journal.items.size() > std::size_t(maximumTransactionItemCount))
        return Reason::size;
    QSet<QString> seen;
    for (const auto& item : journal.items) {
        if (auto reason = check(item))
            return reason;
        const QString source = standardizedPath(item.sourcePath);
        const QString destination = standardizedPath(item.destinationPath);
        if (source == destination || seen.contains(source) || seen.contains(destination))
            return Reason::conflict;
        seen.insert(source);
        seen.insert(destination);
    }
    return std::nullopt;
}

QString fileName(const QString& path) {
    return lastPathComponent(standardizedPath(path));
}

} // namespace

std::optional<QString> journalRefusal(const PrivilegedQuarantineRequest& journal, const PathPolicy& policy) {
    return checkJournal(journal, [&](const PrivilegedQuarantineItem& item) -> std::optional<QString> {
        if (!policy.verifiedSystemPluginURL(item.sourcePath))
            return Reason::source;
        if (!policy.verifiedQuarantineItemURL(item.destinationPath, fileName(item.sourcePath),
                                              item.operationID))
            return Reason::destination;
        return std::nullopt;
    });
}

std::optional<QString> journalRefusal(const PrivilegedRestoreRequest& journal, const PathPolicy& policy) {
    return checkJournal(journal, [&](const PrivilegedRestoreItem& item) -> std::optional<QString> {
        if (!policy.verifiedSystemPluginURL(item.destinationPath))
            return Reason::destination;
        if (!policy.verifiedQuarantineItemURL(item.sourcePath, fileName(item.destinationPath),
                                              item.operationID))
            return Reason::source;
        return std::nullopt;
    });
}

std::optional<QString> journalRefusal(const PrivilegedTrashRequest& journal, const PathPolicy& policy,
                                      const QString& trashFolder) {
    return checkJournal(journal, [&](const PrivilegedTrashItem& item) -> std::optional<QString> {
        const auto source =
            policy.verifiedQuarantineItemURL(item.sourcePath, fileName(item.sourcePath), item.operationID);
        if (!source)
            return Reason::source;
        if (!PathPolicy::verifiedTrashDestinationURL(item.destinationPath, trashFolder,
                                                     pathExtension(*source)))
            return Reason::destination;
        return std::nullopt;
    });
}

std::optional<QString> journalRefusal(const PrivilegedTrashRestoreRequest& journal, const PathPolicy& policy,
                                      const QString& trashFolder) {
    // As the helper does, each recovery record may be named once.
    QSet<QString> records;
    return checkJournal(journal, [&](const PrivilegedTrashRestoreItem& item) -> std::optional<QString> {
        if (!parseUuid(item.recoveryRecordID) || records.contains(item.recoveryRecordID))
            return Reason::record;
        records.insert(item.recoveryRecordID);
        const auto extension =
            PathPolicy::pluginFormatExtensions().constFind(item.format.trimmed().toUpper());
        if (extension == PathPolicy::pluginFormatExtensions().constEnd())
            return Reason::record;
        // The source may be gone already, so only where it lies is judged: a top-level item of the Trash.
        const QString source = standardizedPath(item.sourcePath);
        if (!item.sourcePath.startsWith(u'/') || item.sourcePath.contains(QChar(u'\0')) ||
            deletingLastPathComponent(source) != standardizedPath(trashFolder) ||
            pathExtension(source).toLower() != *extension)
            return Reason::source;
        if (!policy.verifiedSystemPluginURL(item.destinationPath) ||
            fileName(item.destinationPath) != item.originalBundleFilename ||
            pathExtension(item.destinationPath).toLower() != *extension)
            return Reason::destination;
        return std::nullopt;
    });
}

} // namespace quorvane
