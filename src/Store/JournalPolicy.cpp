#include "Store/JournalPolicy.h"

#include "Model/Identity.h"
#include "Planning/RecordPlaces.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Paths.h"
#include "Support/PlainText.h"
#include "Support/Uuid.h"

#include <QSet>

#include <algorithm>
#include <type_traits>

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
const QString operationInUse =
    QStringLiteral("An item\u2019s operation identifier already belongs to another bundle.");
const QString destinationTaken =
    QStringLiteral("An item\u2019s destination is already another recorded bundle.");
} // namespace Reason

// One bundle, however a path names it: through a link, "..", a trailing slash; and in another case or
// Unicode form where the kind's finaliser finds records by path, as those cannot tell such bundles
// apart even where the disk can. A Trash recovery's finaliser finds each item by its record.
template <class Request>
QString bundleIdentity(const QString& path) {
    const QString onDisk = resolveSymlinksInPath(path).path;
    if constexpr (std::is_same_v<Request, PrivilegedTrashRestoreRequest>)
        return onDisk;
    else
        return nfc(pathKey(onDisk));
}

// What every kind shares: the identifier, the size limit, and no bundle named twice; then each item
// by `check`, which answers the first reason it fails.
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
        const QString source = bundleIdentity<Request>(item.sourcePath);
        const QString destination = bundleIdentity<Request>(item.destinationPath);
        if (source == destination || seen.contains(source) || seen.contains(destination))
            return Reason::conflict;
        seen.insert(source);
        seen.insert(destination);
    }
    return std::nullopt;
}

// Calls visit(record) for every stored or synthesised bundle record.
template <class Visit>
void forEachRecord(const PluginList& plugins, Visit visit) {
    for (const Plugin& plugin : plugins)
        forEachPlannerRecord(plugin, [&](std::size_t, const PluginBundleRecord& record) { visit(record); });
}

// Whether an item's destination is already where another record's bundle is, compared as the
// records compare; `ownMove(record, item)` names a record this very item already moved there.
template <class Item, class OwnMove>
bool destinationTaken(const std::vector<Item>& items, const PluginList& plugins, OwnMove ownMove) {
    PlaceKeys<const Item*> destinations;
    for (const Item& item : items) {
        if (const Item*& first = destinations[item.destinationPath]; !first)
            first = &item;
    }
    bool taken = false;
    for (std::size_t index = 0; index < plugins.size() && !taken; ++index) {
        // A product whose places' file names are none of the destinations' is passed over unread.
        if (!destinations.mayHold(plugins.placeNameBitsAt(index)))
            continue;
        forEachPlannerRecord(plugins[index], [&](std::size_t, const PluginBundleRecord& record) {
            const Item* const* found = destinations.find(placeOf(record));
            if (found && !ownMove(record, **found))
                taken = true;
        });
    }
    return taken;
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

std::optional<QString> journalRecordRefusal(const PrivilegedQuarantineRequest& journal,
                                            const PluginList& plugins) {
    // A record this item already moved holds its destination and operation; any other record
    // holding either makes the journal one the application never wrote.
    const auto ownMove = [](const PluginBundleRecord& record, const PrivilegedQuarantineItem& item) {
        return record.quarantinePath == item.destinationPath;
    };
    QSet<QUuid> operations;
    for (const PrivilegedQuarantineItem& item : journal.items) {
        if (const auto operation = parseUuid(item.operationID))
            operations.insert(*operation);
    }
    std::optional<QString> reason;
    forEachRecord(plugins, [&](const PluginBundleRecord& record) {
        const auto operation = parseUuid(record.quarantineOperationID.value_or(QString()));
        if (reason || !operation || !operations.contains(*operation))
            return;
        const bool own = std::ranges::any_of(journal.items, [&](const PrivilegedQuarantineItem& item) {
            return ownMove(record, item) && parseUuid(item.operationID) == operation;
        });
        if (!own)
            reason = Reason::operationInUse;
    });
    if (reason)
        return reason;
    if (destinationTaken(journal.items, plugins, ownMove))
        return Reason::destinationTaken;
    return std::nullopt;
}

std::optional<QString> journalRecordRefusal(const PrivilegedRestoreRequest& journal,
                                            const PluginList& plugins) {
    if (destinationTaken(journal.items, plugins,
                         [](const PluginBundleRecord&, const PrivilegedRestoreItem&) { return false; }))
        return Reason::destinationTaken;
    return std::nullopt;
}

} // namespace quorvane
