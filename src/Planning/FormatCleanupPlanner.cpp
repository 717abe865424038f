#include "Planning/FormatCleanupPlanner.h"

#include "Model/Identity.h"
#include "Planning/BundleActionPlanner.h"
#include "Planning/PlanLookups.h"
#include "Planning/PlannerRecords.h"
#include "Planning/PlanningOrders.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/PlainText.h"
#include "Support/StableSort.h"
#include "Support/Uuid.h"

#include <unordered_map>
#include <unordered_set>

namespace quorvane {

namespace {

using Reason = FormatCleanupExclusionReason;

// Every text of the cleanup preview. Bundle sentences follow "<name> — <format>: ".
struct FormatCleanupTexts {
    QString pending = QStringLiteral("A previous privileged transaction still needs reconciliation.");
    QString mandatoryShell =
        QStringLiteral("Shared shells and shell-hosted products are permanently excluded.");
    QString protectedBundle = QStringLiteral("This format is protected.");
    QString alreadyQuarantined = QStringLiteral("This format is already in reversible quarantine.");
    QString unsafePath =
        QStringLiteral("The recorded bundle path or extension is not safe for a preset action.");
    QString missingBundle = QStringLiteral("The scanned bundle is no longer present.");
    // After the product's name.
    QString hostedByShell = QStringLiteral(
        " is hosted by a shared WaveShell and cannot be moved as an independent plugin bundle.");
    QString staleName = QStringLiteral("Inventory");
    QString stale = QStringLiteral("The inventory changed after this preset was previewed. Build a new "
                                   "preview before moving any files.");
    // After the product's name.
    QString noActiveFormatRemaining = QStringLiteral(" would have no active format remaining. Its candidates "
                                                     "are unchecked by default and require an explicit "
                                                     "opt-in.");
    // %1 candidates, %2 transactions.
    QString largeRun =
        QStringLiteral("%1 eligible bundles require %2 sequential helper transactions. Each child "
                       "stays atomic; the full run is not globally atomic.");
};

const FormatCleanupTexts& texts() {
    static const FormatCleanupTexts catalogue;
    return catalogue;
}

struct EligibleBundle {
    PluginBundleSelection selection;
    QString pluginName;
    QString manufacturer;
    QString format;
    QString path;
    std::optional<qint64> sizeInBytes;
};

FormatCleanupCandidate makeFormatCleanupCandidate(const EligibleBundle& bundle,
                                                  const std::unordered_set<QUuid, PlannerUuidHash>& losing) {
    const bool removesLast = losing.contains(bundle.selection.pluginID);
    return {bundle.selection, bundle.pluginName,  bundle.manufacturer, bundle.format,
            bundle.path,      bundle.sizeInBytes, removesLast,         !removesLast};
}

FormatCleanupExclusion bundleExclusion(const Plugin& plugin, const PluginBundleSelection& selection,
                                       const QString& format, Reason reason, const QString& sentence) {
    return {selection, plugin.name, format, reason, bundleSentence(plugin.name, format, sentence)};
}

} // namespace

FormatSet normalizedCustomFormats(const FormatSet& customFormats) {
    FormatSet normalized;
    for (const QString& format : customFormats)
        normalized.insert(normalizedFormat(format));
    return normalized;
}

bool presetProposesFormat(FormatCleanupPresetKind preset, const FormatSet& normalizedCustom,
                          const QString& format) {
    switch (preset) {
    case FormatCleanupPresetKind::auOnly:
        return format != u"AU";
    case FormatCleanupPresetKind::auAndVST3:
        return format != u"AU" && format != u"VST3";
    case FormatCleanupPresetKind::retireVST2:
        return format == u"VST2";
    case FormatCleanupPresetKind::noAAX:
        return format == u"AAX";
    case FormatCleanupPresetKind::custom:
        return normalizedCustom.contains(format);
    }
    return false;
}

bool formatMatchesBundleExtension(const QString& format, const QString& path) {
    const auto extension = pluginFormatExtensions().constFind(format);
    if (extension == pluginFormatExtensions().constEnd())
        return false;
    return lowercasedLocaleIndependent(pathExtension(standardizedPath(path))) == *extension;
}

FormatCleanupPlan makeFormatCleanupPlan(FormatCleanupPresetKind preset, const FormatSet& customFormats,
                                        const PluginList& plugins,
                                        const InventoryRevisionToken& currentRevision,
                                        const std::optional<InventoryRevisionToken>& previewedRevision,
                                        bool hasPendingTransaction, const FileSystemProbe& fileSystem,
                                        bool verifyBundlesOnDisk, const PathPolicy& pathPolicy) {
    FormatCleanupPlan plan;
    plan.id = makeUuid();
    plan.preset = preset;
    plan.customFormatsToQuarantine = normalizedCustomFormats(customFormats);
    plan.inventoryRevision = currentRevision;

    if (previewedRevision && previewedRevision->value != currentRevision.value) {
        plan.exclusions.push_back(
            {std::nullopt, texts().staleName, std::nullopt, Reason::staleInventory, texts().stale});
        return plan;
    }

    // Sort indices rather than products: the order only needs names and manufacturers.
    std::vector<const Plugin*> sorted;
    sorted.reserve(plugins.size());
    for (const auto& plugin : plugins)
        sorted.push_back(&plugin);
    stableMergeSort(sorted, [](const Plugin* a, const Plugin* b) { return cleanupPluginOrder(*a, *b); });

    std::vector<EligibleBundle> eligible;
    PlanLookups lookups;
    for (const Plugin* plugin : sorted) {
        std::vector<PluginBundleRecord> records = plannerRecords(*plugin);
        if (plugin->status == PluginStatus::hostedByShell && records.empty()) {
            plan.exclusions.push_back({std::nullopt, plugin->name, std::nullopt, Reason::mandatoryShell,
                                       plugin->name + texts().hostedByShell});
            continue;
        }
        stableMergeSort(records, bundleRecordFormatOrder);
        const bool mandatoryShell = plugin->isMandatoryShell();
        for (const auto& record : records) {
            const QString format = normalizedFormat(record.format);
            if (!presetProposesFormat(preset, plan.customFormatsToQuarantine, format))
                continue;
            const PluginBundleSelection selection{
                plugin->id, bundleKey(format, record.originalPath.value_or(record.path))};
            const auto exclude = [&](Reason reason, const QString& sentence) {
                plan.exclusions.push_back(bundleExclusion(*plugin, selection, format, reason, sentence));
            };
            if (hasPendingTransaction) {
                exclude(Reason::pendingTransaction, texts().pending);
                continue;
            }
            if (mandatoryShell) {
                exclude(Reason::mandatoryShell, texts().mandatoryShell);
                continue;
            }
            if (record.isProtected) {
                exclude(Reason::protectedBundle, texts().protectedBundle);
                continue;
            }
            if (record.isQuarantined()) {
                exclude(Reason::alreadyQuarantined, texts().alreadyQuarantined);
                continue;
            }
            if (!formatMatchesBundleExtension(format, record.path)) {
                exclude(Reason::unsafePath, texts().unsafePath);
                continue;
            }
            const auto verified = pathPolicy.verifiedSystemPluginURL(record.path, lookups.forNextBundle());
            if (!verified) {
                exclude(Reason::unsafePath, texts().unsafePath);
                continue;
            }
            if (verifyBundlesOnDisk && !fileSystem.fileExists(*verified)) {
                exclude(Reason::missingBundle, texts().missingBundle);
                continue;
            }
            eligible.push_back({selection, plugin->name, plugin->manufacturer, format, *verified,
                                bundleSizeInBytes(record.size)});
        }
    }

    std::unordered_map<QUuid, BundleIDSet, PlannerUuidHash> proposals;
    for (const auto& bundle : eligible)
        proposals[bundle.selection.pluginID].insert(bundle.selection.bundleID);

    // In the order of `plugins`, so that equal warning texts keep the inventory's order; a warning
    // names the first product with the id.
    std::unordered_map<QUuid, const Plugin*, PlannerUuidHash> firstWithID;
    for (const auto& plugin : plugins)
        firstWithID.try_emplace(plugin.id, &plugin);
    std::unordered_set<QUuid, PlannerUuidHash> losing;
    std::vector<const Plugin*> losingProducts;
    for (const auto& plugin : plugins) {
        const auto proposed = proposals.find(plugin.id);
        if (proposed == proposals.end() || losing.contains(plugin.id))
            continue;
        if (removesEveryActiveFormat(plugin, proposed->second)) {
            losing.insert(plugin.id);
            losingProducts.push_back(firstWithID.at(plugin.id));
        }
    }

    plan.candidates.reserve(eligible.size());
    for (const auto& bundle : eligible)
        plan.candidates.push_back(makeFormatCleanupCandidate(bundle, losing));

    for (const Plugin* plugin : losingProducts)
        plan.warnings.push_back({FormatCleanupWarningKind::noActiveFormatRemaining, plugin->id,
                                 plugin->name + texts().noActiveFormatRemaining});
    stableMergeSort(plan.warnings, cleanupWarningOrder);
    const auto count = static_cast<qint64>(plan.candidates.size());
    if (count > maximumTransactionItemCount) {
        const qint64 transactions = (count + maximumTransactionItemCount - 1) / maximumTransactionItemCount;
        plan.warnings.push_back({FormatCleanupWarningKind::largeRunRequiresMultipleTransactions, std::nullopt,
                                 texts().largeRun.arg(count).arg(transactions)});
    }
    return plan;
}

} // namespace quorvane
