#include "Helper/HelperRequestPolicy.h"

#include "Platform/DirectoryHandle.h"
#include "Platform/HomeTrash.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <sys/stat.h>

namespace quorvane {

namespace {

bool isUuidText(const QString& text) {
    return parseUuid(text).has_value();
}

bool validItemCount(std::size_t count) {
    return count >= std::size_t(minimumTransactionItemCount) &&
           count <= std::size_t(maximumTransactionItemCount);
}

std::optional<struct stat> linkStatus(const QString& path, PathLookups* lookups = nullptr) {
    if (lookups)
        return lookups->linkStatus(path);
    struct stat status {};
    if (path.contains(QChar(0)) || ::lstat(path.toUtf8().constData(), &status) != 0)
        return std::nullopt;
    return status;
}

bool isLink(const QString& path, PathLookups* lookups) {
    const auto status = linkStatus(path, lookups);
    return status && S_ISLNK(status->st_mode);
}

bool isRealDirectory(const QString& path, PathLookups* lookups) {
    const auto status = linkStatus(path, lookups);
    return status && S_ISDIR(status->st_mode);
}

// The error cases of one request kind that the shared item loop reports itself.
struct PairKindErrors {
    HelperRequestPolicyError transactionIdentifier;
    HelperRequestPolicyError itemCount;
    HelperRequestPolicyError conflict;
};

template <class Item, class Request, class ValidateItem>
[[nodiscard]] PolicyResult<Item> validatePairs(const Request& request, const PairKindErrors& errors,
                                               ValidateItem validateItem) {
    if (!isUuidText(request.transactionID))
        return std::unexpected(errors.transactionIdentifier);
    if (!validItemCount(request.items.size()))
        return std::unexpected(errors.itemCount);
    QSet<QString> seen;
    std::vector<Item> validated;
    validated.reserve(request.items.size());
    for (const auto& item : request.items) {
        const std::expected<Item, HelperRequestPolicyError> checked = validateItem(item);
        if (!checked)
            return std::unexpected(checked.error());
        if (checked->source == checked->destination || seen.contains(checked->source))
            return std::unexpected(errors.conflict);
        seen.insert(checked->source);
        if (seen.contains(checked->destination))
            return std::unexpected(errors.conflict);
        seen.insert(checked->destination);
        validated.push_back(*checked);
    }
    return validated;
}

} // namespace

const std::vector<std::pair<HelperRequestPolicyError, QString>>& helperRequestPolicyErrorTexts() {
    using E = HelperRequestPolicyError;
    static const std::vector<std::pair<E, QString>> texts{
        {E::invalidTransactionIdentifier,
         QStringLiteral("The quarantine transaction identifier is invalid.")},
        {E::invalidItemCount,
         QStringLiteral("The quarantine request contains an invalid number of plugin bundles.")},
        {E::invalidSource,
         QStringLiteral("A source is not a verified plugin bundle in an approved system location.")},
        {E::invalidDestination,
         QStringLiteral("A destination is outside Quorvane\u2019s protected quarantine structure.")},
        {E::duplicateOrConflictingPath,
         QStringLiteral("The quarantine request contains a duplicate or conflicting path.")},
        {E::invalidRestoreTransactionIdentifier,
         QStringLiteral("The restore transaction identifier is invalid.")},
        {E::invalidRestoreItemCount,
         QStringLiteral("The restore request contains an invalid number of plugin bundles.")},
        {E::invalidRestoreSource,
         QStringLiteral("A restore source is outside Quorvane\u2019s protected quarantine structure.")},
        {E::invalidRestoreDestination,
         QStringLiteral("A restore destination is not a verified system plugin location.")},
        {E::duplicateOrConflictingRestorePath,
         QStringLiteral("The restore request contains a duplicate or conflicting path.")},
        {E::invalidTrashTransactionIdentifier,
         QStringLiteral("The Trash transaction identifier is invalid.")},
        {E::invalidTrashItemCount,
         QStringLiteral("The Trash request contains an invalid number of plugin bundles.")},
        {E::invalidTrashSource,
         QStringLiteral("A Trash source is outside Quorvane\u2019s protected quarantine structure.")},
        {E::invalidTrashDestination,
         QStringLiteral("A Trash destination is outside the logged-in user\u2019s Finder Trash.")},
        {E::duplicateOrConflictingTrashPath,
         QStringLiteral("The Trash request contains a duplicate or conflicting path.")},
        {E::invalidTrashRestoreTransactionIdentifier,
         QStringLiteral("The Trash recovery transaction identifier is invalid.")},
        {E::invalidTrashRestoreItemCount,
         QStringLiteral("The Trash recovery request contains an invalid number of plugin bundles.")},
        {E::invalidOrDuplicateRecoveryRecord,
         QStringLiteral("The Trash recovery request contains an invalid or duplicate recovery record.")},
        {E::invalidTrashRestoreFormat,
         QStringLiteral("A Trash recovery item has an unsupported plugin format.")},
        {E::trashRestoreFilenameMismatch,
         QStringLiteral("A Trash recovery item does not match its recorded original bundle filename.")},
        {E::invalidTrashRestoreSource,
         QStringLiteral("A Trash recovery source is not a verified top-level plugin bundle in the logged-in "
                        "user\u2019s Finder Trash.")},
        {E::invalidTrashRestoreDestination,
         QStringLiteral("A Trash recovery destination is not a verified original plugin location.")},
        {E::duplicateOrConflictingTrashRestorePath,
         QStringLiteral("The Trash recovery request contains a duplicate or conflicting path.")},
        {E::consoleUserTrashUnavailable,
         QStringLiteral("Quorvane could not verify the logged-in user\u2019s Finder Trash.")},
    };
    return texts;
}

QString description(HelperRequestPolicyError error) {
    for (const auto& [entry, text] : helperRequestPolicyErrorTexts()) {
        if (entry == error)
            return text;
    }
    return {};
}

HelperRequestPolicy::HelperRequestPolicy(PathPolicy pathPolicy, const ConsoleUserProvider& consoleUsers)
    : m_pathPolicy(std::move(pathPolicy)), m_consoleUsers(consoleUsers),
      m_ledger(m_pathPolicy.quarantineRoot()) {}

PolicyResult<ValidatedPrivilegedQuarantineItem>
HelperRequestPolicy::validateQuarantineRequest(const PrivilegedQuarantineRequest& request,
                                               PathLookups* lookups) const {
    using E = HelperRequestPolicyError;
    return validatePairs<ValidatedPrivilegedQuarantineItem>(
        request, {E::invalidTransactionIdentifier, E::invalidItemCount, E::duplicateOrConflictingPath},
        [this, lookups](
            const PrivilegedQuarantineItem& item) -> std::expected<ValidatedPrivilegedQuarantineItem, E> {
            const auto source = m_pathPolicy.verifiedSystemPluginURL(item.sourcePath, lookups);
            if (!source)
                return std::unexpected(E::invalidSource);
            const auto destination = m_pathPolicy.verifiedQuarantineItemURL(
                item.destinationPath, lastPathComponent(*source), item.operationID, lookups);
            if (!destination)
                return std::unexpected(E::invalidDestination);
            return ValidatedPrivilegedQuarantineItem{*source, *destination};
        });
}

PolicyResult<ValidatedPrivilegedRestoreItem>
HelperRequestPolicy::validateRestoreRequest(const PrivilegedRestoreRequest& request,
                                            PathLookups* lookups) const {
    using E = HelperRequestPolicyError;
    return validatePairs<ValidatedPrivilegedRestoreItem>(
        request,
        {E::invalidRestoreTransactionIdentifier, E::invalidRestoreItemCount,
         E::duplicateOrConflictingRestorePath},
        [this,
         lookups](const PrivilegedRestoreItem& item) -> std::expected<ValidatedPrivilegedRestoreItem, E> {
            const auto destination = m_pathPolicy.verifiedSystemPluginURL(item.destinationPath, lookups);
            if (!destination)
                return std::unexpected(E::invalidRestoreDestination);
            const auto source = m_pathPolicy.verifiedQuarantineItemURL(
                item.sourcePath, lastPathComponent(*destination), item.operationID, lookups);
            if (!source)
                return std::unexpected(E::invalidRestoreSource);
            return ValidatedPrivilegedRestoreItem{*source, *destination};
        });
}

PolicyResult<ValidatedPrivilegedTrashItem>
HelperRequestPolicy::validateTrashRequest(const PrivilegedTrashRequest& request, PathLookups* lookups) const {
    const auto trash = consoleUserTrash();
    if (!trash)
        return std::unexpected(HelperRequestPolicyError::consoleUserTrashUnavailable);
    PrivilegedTrashRequest onDisk = request;
    for (PrivilegedTrashItem& item : onDisk.items)
        item.destinationPath = trash->onRealHome(item.destinationPath);
    return validateTrashItems(onDisk, trash->folder, lookups);
}

PolicyResult<ValidatedPrivilegedTrashItem>
HelperRequestPolicy::validateTrashItems(const PrivilegedTrashRequest& request, const QString& trashFolder,
                                        PathLookups* lookups) const {
    using E = HelperRequestPolicyError;
    return validatePairs<ValidatedPrivilegedTrashItem>(
        request,
        {E::invalidTrashTransactionIdentifier, E::invalidTrashItemCount, E::duplicateOrConflictingTrashPath},
        [this, &trashFolder,
         lookups](const PrivilegedTrashItem& item) -> std::expected<ValidatedPrivilegedTrashItem, E> {
            const QString name = lastPathComponent(item.sourcePath);
            const auto source =
                m_pathPolicy.verifiedQuarantineItemURL(item.sourcePath, name, item.operationID, lookups);
            if (!source)
                return std::unexpected(E::invalidTrashSource);
            const auto destination = PathPolicy::verifiedTrashDestinationURL(
                item.destinationPath, trashFolder, pathExtension(*source), lookups);
            if (!destination)
                return std::unexpected(E::invalidTrashDestination);
            return ValidatedPrivilegedTrashItem{*source, *destination};
        });
}

PolicyResult<ValidatedPrivilegedTrashRestoreItem>
HelperRequestPolicy::validateTrashRestoreRequest(const PrivilegedTrashRestoreRequest& request,
                                                 PathLookups* lookups) const {
    const auto trash = consoleUserTrash();
    if (!trash)
        return std::unexpected(HelperRequestPolicyError::consoleUserTrashUnavailable);
    PrivilegedTrashRestoreRequest onDisk = request;
    for (PrivilegedTrashRestoreItem& item : onDisk.items)
        item.sourcePath = trash->onRealHome(item.sourcePath);
    auto items =
        validateTrashRestoreItems(onDisk, trash->folder, m_pathPolicy.approvedSystemPluginRoots(), lookups);
    if (!items)
        return items;
    const auto records = m_ledger.records();
    for (const ValidatedPrivilegedTrashRestoreItem& item : *items) {
        const auto status = linkStatus(item.source, lookups);
        const TrashLedgerRecord* record = records ? TrashLedger::find(*records, item.source) : nullptr;
        if (!record || !status || !S_ISDIR(status->st_mode) || identityOf(*status) != record->identity ||
            status->st_uid != record->owner)
            return std::unexpected(HelperRequestPolicyError::invalidTrashRestoreSource);
    }
    return items;
}

PolicyResult<ValidatedPrivilegedTrashRestoreItem>
HelperRequestPolicy::validateTrashRestoreItems(const PrivilegedTrashRestoreRequest& request,
                                               const QString& trashFolder, const QStringList& approvedRoots,
                                               PathLookups* lookups) const {
    using E = HelperRequestPolicyError;
    QSet<QString> recordsSeen;
    return validatePairs<ValidatedPrivilegedTrashRestoreItem>(
        request,
        {E::invalidTrashRestoreTransactionIdentifier, E::invalidTrashRestoreItemCount,
         E::duplicateOrConflictingTrashRestorePath},
        [&](const PrivilegedTrashRestoreItem& item) -> std::expected<ValidatedPrivilegedTrashRestoreItem, E> {
            if (!isUuidText(item.recoveryRecordID) || recordsSeen.contains(item.recoveryRecordID))
                return std::unexpected(E::invalidOrDuplicateRecoveryRecord);
            recordsSeen.insert(item.recoveryRecordID);

            const QString formatCode = item.format.trimmed().toUpper();
            const auto extension = PathPolicy::pluginFormatExtensions().constFind(formatCode);
            if (extension == PathPolicy::pluginFormatExtensions().constEnd())
                return std::unexpected(E::invalidTrashRestoreFormat);
            const QString expectedExtension = *extension;

            if (lastPathComponent(item.destinationPath) != item.originalBundleFilename)
                return std::unexpected(E::trashRestoreFilenameMismatch);

            const auto source =
                PathPolicy::verifiedTrashSourceURL(item.sourcePath, trashFolder, expectedExtension, lookups);
            if (!source)
                return std::unexpected(E::invalidTrashRestoreSource);

            if (!item.destinationPath.startsWith(QLatin1Char('/')) ||
                item.destinationPath.contains(QChar(0)) || item.originalBundleFilename.isEmpty() ||
                !PathPolicy::allowedPluginExtensions().contains(expectedExtension.toLower()))
                return std::unexpected(E::invalidTrashRestoreDestination);
            const QString destination = standardizedPath(item.destinationPath);
            if (lastPathComponent(destination) != item.originalBundleFilename ||
                pathExtension(destination).toLower() != expectedExtension.toLower() ||
                !verifiedOriginalLocationURL(destination, approvedRoots, lookups) ||
                isLink(destination, lookups))
                return std::unexpected(E::invalidTrashRestoreDestination);

            return ValidatedPrivilegedTrashRestoreItem{*source, destination, item.recoveryRecordID};
        });
}

QString ConsoleUserTrash::onRealHome(const QString& path) const {
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return path;
    const QString standard = standardizedPath(path);
    if (standard != home && !standard.startsWith(home + QLatin1Char('/')))
        return path;
    return realHome + standard.mid(home.size());
}

std::optional<ConsoleUserTrash> HelperRequestPolicy::consoleUserTrash() const {
    const std::optional<ConsoleUser> user = m_consoleUsers.consoleUser();
    if (!user || user->uid == 0 || !user->home.startsWith(QLatin1Char('/')) || user->home.contains(QChar(0)))
        return std::nullopt;
    ConsoleUserTrash trash;
    trash.home = standardizedPath(user->home);
    trash.realHome = QFileInfo(trash.home).canonicalFilePath();
    if (trash.realHome.isEmpty())
        return std::nullopt;
    trash.folder = HomeTrash::filesFolder(trash.realHome);
    // Opened one component at a time from the root without following a link: the real home has none,
    // so any link met lies below it.
    const auto folder = DirectoryHandle::open(trash.folder);
    if (!folder)
        return std::nullopt;
    const auto status = folder->status();
    if (!status || status->st_uid != user->uid)
        return std::nullopt;
    return trash;
}

std::optional<QString> HelperRequestPolicy::consoleUserTrashURL() const {
    const auto trash = consoleUserTrash();
    return trash ? std::optional(trash->folder) : std::nullopt;
}

bool HelperRequestPolicy::verifiedOriginalLocationURL(const QString& destination,
                                                      const QStringList& approvedRoots,
                                                      PathLookups* lookups) {
    const QString target = standardizedPath(destination);
    QString root;
    for (const QString& candidate : approvedRoots) {
        const QString standardRoot = standardizedPath(candidate);
        if (target.startsWith(standardRoot + QLatin1Char('/'))) {
            root = standardRoot;
            break;
        }
    }
    if (root.isEmpty())
        return false;
    QString folder = deletingLastPathComponent(target);
    if (folder.size() < root.size())
        return false;
    for (;;) {
        if (!isRealDirectory(folder, lookups))
            return false;
        if (folder == root)
            return true;
        const QString parent = deletingLastPathComponent(folder);
        if (parent == folder)
            return false;
        folder = parent;
        if (folder.size() < root.size())
            return false;
    }
}

} // namespace quorvane
