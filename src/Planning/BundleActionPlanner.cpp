#include "Planning/BundleActionPlanner.h"

#include "Model/Identity.h"

#include "Planning/DestinationPaths.h"
#include "Planning/PlanLookups.h"
#include "Planning/PlannerRecords.h"
#include "Planning/RecordPlaces.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Paths.h"
#include "Support/PlainText.h"
#include "Support/Uuid.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace quorvane {

namespace {

using Reason = BundleActionBlockingReason;

// Every refusal text of the planner. Bundle sentences follow "<name> — <format>: ".
struct BundleActionTexts {
    QString stale = QStringLiteral(
        "The inventory changed after this action was previewed. Review the current formats and try again.");
    QString pending = QStringLiteral("A previous privileged plugin transaction still needs reconciliation.");
    QString duplicate = QStringLiteral("The same format bundle was selected more than once.");
    QString missing =
        QStringLiteral("This format record changed. Run a new scan and review the action again.");
    QString mandatoryShell =
        QStringLiteral("Shared shells and WaveShell-hosted products cannot be moved as independent bundles.");
    QString alreadyQuarantined = QStringLiteral("This format is already quarantined.");
    QString protectedForQuarantine =
        QStringLiteral("Remove format protection before quarantining this bundle.");
    QString unsafeSource = QStringLiteral(
        "The scanned path is missing or is not a verified bundle in a standard plugin folder.");
    QString quarantineDestinationExists =
        QStringLiteral("The protected quarantine destination already exists.");
    QString restoreRecordInvalid =
        QStringLiteral("The verified quarantine record is missing or no longer matches disk.");
    QString restoreDestinationExists =
        QStringLiteral("A bundle already exists at the recorded original location.");
    QString protectedForTrash =
        QStringLiteral("Remove format protection before moving this bundle to Trash.");
    QString unsafeTrash = QStringLiteral("The current user\u2019s Finder Trash is unavailable or unsafe.");
    QString trashRecordInvalid =
        QStringLiteral("The verified quarantine record or a safe Trash destination is unavailable.");
    QString tooMany = QStringLiteral("One verified transaction can contain no more than %1 format bundles.")
                          .arg(maximumTransactionItemCount);
};

const BundleActionTexts& texts() {
    static const BundleActionTexts catalogue;
    return catalogue;
}

QString bundleMessage(const Plugin& plugin, const PluginBundleRecord& record, const QString& sentence) {
    return bundleSentence(plugin.name, record.format, sentence);
}

// Either an item or a refusal.
struct Outcome {
    std::optional<BundleActionPlanItem> item;
    BundleActionBlockedSelection blocked;
};

class Planner {
public:
    Planner(const PluginList& plugins, const std::vector<PluginBundleSelection>& selections,
            const FileSystemProbe& fileSystem, std::optional<QString> trashFolder, bool verifyOnDisk,
            const PathPolicy& policy)
        : m_plugins(plugins), m_fileSystem(fileSystem), m_trashFolder(std::move(trashFolder)),
          m_verify(verifyOnDisk), m_policy(policy) {
        // The first product of each selected id; a selection is usually a few products of many.
        for (const auto& selection : selections)
            m_firstIndex.try_emplace(selection.pluginID, notFound);
        for (size_t index = 0; index < plugins.size(); ++index) {
            const auto wanted = m_firstIndex.find(plugins.idAt(index));
            if (wanted != m_firstIndex.end() && wanted->second == notFound)
                wanted->second = index;
        }
    }

    Outcome plan(BundleActionKind operation, const PluginBundleSelection& selection) {
        if (!m_seen.insert(selection).second)
            return refuse(selection, Reason::duplicateSelection, texts().duplicate);
        const auto found = m_firstIndex.find(selection.pluginID);
        if (found == m_firstIndex.end() || found->second == notFound)
            return refuse(selection, Reason::missingBundle, texts().missing);
        const Plugin& plugin = m_plugins[found->second];
        const std::vector<PluginBundleRecord> records = plannerRecords(plugin);
        const PluginBundleRecord* record = nullptr;
        for (std::size_t index = 0; index < records.size(); ++index) {
            if (plainEqual(records[index].id(), selection.bundleID)) {
                record = &records[index];
                m_location = {found->second, index};
                break;
            }
        }
        if (record == nullptr)
            return refuse(selection, Reason::missingBundle, texts().missing);
        if (plugin.isMandatoryShell())
            return refuse(selection, Reason::mandatoryProtection,
                          bundleMessage(plugin, *record, texts().mandatoryShell));

        BundleActionPlanItem item{selection,
                                  plugin.name,
                                  plugin.manufacturer,
                                  record->format,
                                  {},
                                  {},
                                  bundleSizeInBytes(record->size),
                                  {}};
        switch (operation) {
        case BundleActionKind::protect:
        case BundleActionKind::removeProtection:
            item.sourcePath = record->quarantinePath.value_or(record->path);
            return {item, {}};
        case BundleActionKind::quarantine:
            return planQuarantine(plugin, *record, std::move(item));
        case BundleActionKind::restore:
            return planRestore(plugin, *record, std::move(item));
        case BundleActionKind::trash:
            return planTrash(plugin, *record, std::move(item));
        }
        return refuse(selection, Reason::invalidState, texts().missing);
    }

    // Product index and index among plannerRecords of the record the last planned selection names.
    std::pair<std::size_t, std::size_t> lastLocation() const { return m_location; }

private:
    static Outcome refuse(const PluginBundleSelection& selection, Reason reason, const QString& detail) {
        return {std::nullopt, BundleActionBlockedSelection{selection, reason, detail}};
    }

    Outcome planQuarantine(const Plugin& plugin, const PluginBundleRecord& record,
                           BundleActionPlanItem item) {
        const auto& selection = item.selection;
        if (record.isQuarantined())
            return refuse(selection, Reason::invalidState,
                          bundleMessage(plugin, record, texts().alreadyQuarantined));
        if (record.isProtected)
            return refuse(selection, Reason::protectedBundle,
                          bundleMessage(plugin, record, texts().protectedForQuarantine));
        const auto source = m_policy.verifiedSystemPluginURL(record.path, m_lookups.forNextBundle());
        if (!source || (m_verify && !m_fileSystem.fileExists(*source)))
            return refuse(selection, Reason::unsafePath, bundleMessage(plugin, record, texts().unsafeSource));
        const QString operationID = uuidText(makeUuid());
        const QString destination =
            quarantineDestinationPath(m_policy, operationID, lastPathComponent(*source));
        if (m_verify && m_fileSystem.fileExists(destination))
            return refuse(selection, Reason::destinationExists,
                          bundleMessage(plugin, record, texts().quarantineDestinationExists));
        item.sourcePath = *source;
        item.destinationPath = destination;
        item.operationID = operationID;
        return {std::move(item), {}};
    }

    // The quarantined copy of a record, checked the way the helper will check it; none when the
    // record or the disk does not match.
    std::optional<std::pair<QString, QString>> verifiedQuarantinedCopy(const PluginBundleRecord& record) {
        if (!record.originalPath || !record.quarantinePath || !record.quarantineOperationID)
            return std::nullopt;
        PathLookups* const lookups = m_lookups.forNextBundle();
        const auto original = m_policy.verifiedSystemPluginURL(*record.originalPath, lookups);
        if (!original)
            return std::nullopt;
        const auto copy = m_policy.verifiedQuarantineItemURL(
            *record.quarantinePath, lastPathComponent(*original), *record.quarantineOperationID, lookups);
        if (!copy || (m_verify && !m_fileSystem.fileExists(*copy)))
            return std::nullopt;
        return std::pair{*copy, *original};
    }

    Outcome planRestore(const Plugin& plugin, const PluginBundleRecord& record, BundleActionPlanItem item) {
        const auto& selection = item.selection;
        const auto paths = verifiedQuarantinedCopy(record);
        if (!paths)
            return refuse(selection, Reason::invalidState,
                          bundleMessage(plugin, record, texts().restoreRecordInvalid));
        const auto& [copy, original] = *paths;
        if (m_verify && m_fileSystem.fileExists(original))
            return refuse(selection, Reason::destinationExists,
                          bundleMessage(plugin, record, texts().restoreDestinationExists));
        item.sourcePath = copy;
        item.destinationPath = original;
        item.operationID = record.quarantineOperationID;
        return {std::move(item), {}};
    }

    Outcome planTrash(const Plugin& plugin, const PluginBundleRecord& record, BundleActionPlanItem item) {
        const auto& selection = item.selection;
        if (record.isProtected)
            return refuse(selection, Reason::protectedBundle,
                          bundleMessage(plugin, record, texts().protectedForTrash));
        if (m_verify && (!m_trashFolder || !isVerifiedBundleDirectory(*m_trashFolder, m_fileSystem)))
            return refuse(selection, Reason::unsafePath, texts().unsafeTrash);
        const auto paths = verifiedQuarantinedCopy(record);
        std::optional<QString> destination;
        if (paths && m_trashFolder)
            destination =
                trashDestinationURL(paths->first, *m_trashFolder, m_reservedTrashPaths, m_fileSystem);
        if (!destination)
            return refuse(selection, Reason::invalidState,
                          bundleMessage(plugin, record, texts().trashRecordInvalid));
        item.sourcePath = paths->first;
        item.destinationPath = *destination;
        item.operationID = record.quarantineOperationID;
        return {std::move(item), {}};
    }

    const PluginList& m_plugins;
    const FileSystemProbe& m_fileSystem;
    std::optional<QString> m_trashFolder;
    bool m_verify;
    const PathPolicy& m_policy;
    PlanLookups m_lookups;
    static constexpr size_t notFound = std::numeric_limits<size_t>::max();
    std::unordered_map<QUuid, size_t, PlannerUuidHash> m_firstIndex;
    std::unordered_set<PluginBundleSelection> m_seen;
    ReservedTrashPaths m_reservedTrashPaths;
    std::pair<std::size_t, std::size_t> m_location;
};

// Records are told apart by a key that folds case and Unicode form, which this disk may not do. An
// item whose paths share that key with another record's bundle, or with another item's paths, could
// be recorded against the wrong record once it moved, so it is refused before anything moves.
void refuseIndistinctItems(BundleActionPlan& plan, const PluginList& plugins,
                           const std::vector<std::pair<std::size_t, std::size_t>>& locations) {
    struct Named {
        std::size_t item;
        QString path;
    };
    PlaceKeys<std::vector<Named>> named;
    std::vector<std::optional<std::pair<QString, QString>>> clashes(plan.items.size());
    for (std::size_t index = 0; index < plan.items.size(); ++index) {
        const BundleActionPlanItem& item = plan.items[index];
        const auto& [product, record] = locations[index];
        QStringList paths{item.sourcePath};
        forEachPlannerRecord(plugins[product], [&](std::size_t candidate, const PluginBundleRecord& stored) {
            if (candidate == record)
                paths.append(placeOf(stored));
        });
        if (item.destinationPath)
            paths.append(*item.destinationPath);
        for (const QString& path : paths) {
            std::vector<Named>& same = named[path];
            for (const Named& other : same) {
                if (other.item != index && !clashes[index])
                    clashes[index] = std::pair{path, other.path};
            }
            same.push_back({index, path});
        }
    }
    // Every record's place that may be one of the named is read; hits are few.
    for (std::size_t product = 0; product < plugins.size(); ++product) {
        if (!named.mayHold(plugins.placeNameBitsAt(product)))
            continue;
        forEachPlannerPlace(plugins[product], [&](std::size_t record, const QString& place) {
            const std::vector<Named>* names = named.find(place);
            if (!names)
                return;
            for (const Named& name : *names) {
                if (locations[name.item] != std::pair{product, record} && !clashes[name.item])
                    clashes[name.item] = std::pair{name.path, place};
            }
        });
    }
    std::vector<BundleActionPlanItem> kept;
    for (std::size_t index = 0; index < plan.items.size(); ++index) {
        BundleActionPlanItem& item = plan.items[index];
        if (!clashes[index]) {
            kept.push_back(std::move(item));
            continue;
        }
        const auto& [path, other] = *clashes[index];
        plan.blockedSelections.push_back(
            {item.selection, Reason::invalidState,
             bundleSentence(item.pluginName, item.format, indistinctBundlesMessage(path, other))});
    }
    plan.items = std::move(kept);
}

std::set<QUuid> productsLosingAllActiveFormats(const std::vector<BundleActionPlanItem>& items,
                                               const PluginList& plugins) {
    std::unordered_map<QUuid, BundleIDSet, PlannerUuidHash> groups;
    for (const auto& item : items)
        groups[item.selection.pluginID].insert(item.selection.bundleID);
    std::set<QUuid> losing;
    for (std::size_t index = 0; index < plugins.size(); ++index) {
        const auto group = groups.find(plugins.idAt(index));
        if (group != groups.end() && removesEveryActiveFormat(plugins[index], group->second))
            losing.insert(group->first);
    }
    return losing;
}

} // namespace

BundleActionPlan
makeBundleActionPlan(BundleActionKind operation, const std::vector<PluginBundleSelection>& selections,
                     const PluginList& plugins, const InventoryRevisionToken& currentRevision,
                     const std::optional<InventoryRevisionToken>& previewedRevision,
                     const std::optional<QUuid>& presetRunID, bool hasPendingTransaction,
                     const FileSystemProbe& fileSystem, const std::optional<QString>& trashDirectory,
                     bool verifyBundlesOnDisk, const PathPolicy& pathPolicy) {
    BundleActionPlan plan;
    plan.id = makeUuid();
    plan.operation = operation;
    plan.inventoryRevision = currentRevision;
    plan.presetRunID = presetRunID;

    const auto refuseAll = [&](Reason reason, const QString& detail) {
        plan.blockedSelections.reserve(selections.size());
        for (const auto& selection : selections)
            plan.blockedSelections.push_back({selection, reason, detail});
        return plan;
    };
    if (previewedRevision && previewedRevision->value != currentRevision.value)
        return refuseAll(Reason::staleInventory, texts().stale);
    if (hasPendingTransaction)
        return refuseAll(Reason::pendingTransaction, texts().pending);

    Planner planner(plugins, selections, fileSystem,
                    trashDirectory ? trashDirectory : defaultTrashFolder(fileSystem), verifyBundlesOnDisk,
                    pathPolicy);
    std::vector<std::pair<std::size_t, std::size_t>> locations;
    for (const auto& selection : selections) {
        Outcome outcome = planner.plan(operation, selection);
        if (outcome.item) {
            plan.items.push_back(std::move(*outcome.item));
            locations.push_back(planner.lastLocation());
        } else {
            plan.blockedSelections.push_back(std::move(outcome.blocked));
        }
    }
    if (operation == BundleActionKind::quarantine || operation == BundleActionKind::restore ||
        operation == BundleActionKind::trash)
        refuseIndistinctItems(plan, plugins, locations);
    if (selections.size() > static_cast<size_t>(maximumTransactionItemCount))
        plan.blockedSelections.push_back({selections.front(), Reason::tooManyItems, texts().tooMany});
    if (operation == BundleActionKind::quarantine)
        plan.productsLosingAllActiveFormats = productsLosingAllActiveFormats(plan.items, plugins);
    return plan;
}

QString indistinctBundlesMessage(const QString& path, const QString& other) {
    return QStringLiteral(
               "Quorvane cannot tell this bundle apart from another one it records: %1 and %2. Rename "
               "or remove one of them, then scan again.")
        .arg(path, other);
}

std::optional<qint64> bundleSizeInBytes(const QString& sizeText) {
    const QStringList pieces = sizeText.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (pieces.size() < 2)
        return std::nullopt;
    QByteArray number = pieces.at(0).toUtf8();
    // from_chars takes no leading plus sign; a second sign stays an error.
    const char* begin = number.constData();
    const char* end = begin + number.size();
    if (begin != end && *begin == '+' && begin + 1 != end && begin[1] != '-' && begin[1] != '+')
        ++begin;
    double value = 0;
    const auto [parsedEnd, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || parsedEnd != end)
        return std::nullopt;
    const QString unit = pieces.at(1).toUpper();
    double factor = 0;
    if (unit == u"KB")
        factor = 1e3;
    else if (unit == u"MB")
        factor = 1e6;
    else if (unit == u"GB")
        factor = 1e9;
    else
        return std::nullopt;
    const double bytes = std::trunc(value * factor);
    // Outside the 64-bit range (or not a number) the size is unknown rather than wrapped.
    if (!std::isfinite(bytes) || bytes >= 9223372036854775808.0 || bytes < -9223372036854775808.0)
        return std::nullopt;
    return static_cast<qint64>(bytes);
}

} // namespace quorvane
