#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Planning/BundleActionPlanner.h"
#include "Store/StoreTexts.h"

#include <algorithm>
#include <vector>

namespace quorvane {

void PluginInventoryStore::materializeBundleRecords(qsizetype index) {
    if (index < 0 || index >= static_cast<qsizetype>(plugins().size()))
        return;
    Plugin product = plugins()[static_cast<std::size_t>(index)];
    if (!product.materializeBundleRecords())
        return;
    PluginListEdit changed = inventoryToChange();
    changed.replace(static_cast<std::size_t>(index), std::move(product));
    setPlugins(changed);
}

namespace {

// The store's protection steps for one product: every record, the product and its status.
void applyProtection(Plugin& product, bool protect) {
    product.materializeBundleRecords();
    if (product.bundles) {
        for (PluginBundleRecord& record : *product.bundles)
            record.isProtected = protect;
    }
    product.isProtected = protect;
    product.status = product.derivedStatus();
}

} // namespace

void PluginInventoryStore::applyProductProtection(PluginListEdit& plugins, const QString& key,
                                                  bool protect) const {
    for (const std::size_t index : plugins.indicesUnderProtectionKeys({key}))
        applyProtection(plugins.change(index), protect);
}

void PluginInventoryStore::setProtection(Plugin plugin, bool protect) {
    if (!protect && plugin.isMandatoryShell())
        return;
    const QString key = productProtectionKey(plugin);
    if (protect)
        m_protectedKeys.insert(key);
    else
        m_protectedKeys.erase(key);
    PluginListEdit plugins = inventoryToChange();
    applyProductProtection(plugins, key, protect);
    setPlugins(plugins);
    if (protect)
        insertHistoryFront(
            makeHistoryItem(plugin.name, HistoryKind::protection, StoreTexts::History::allFormatsProtected));
    else
        insertHistoryFront(makeHistoryItem(plugin.name, HistoryKind::protectionRemoved,
                                           StoreTexts::History::manualProtectionRemoved));
    // The notice confirms what is on disk, so it waits for the write.
    saveStateReportingFailure([this, protect, name = plugin.name] {
        if (protect)
            postNotice(StoreTexts::Notice::pluginProtectedTitle,
                       StoreTexts::Notice::pluginProtectedMessage(name), NoticeStyle::success);
        else
            postNotice(StoreTexts::Notice::protectionRemovedTitle,
                       StoreTexts::Notice::protectionRemovedMessage, NoticeStyle::success);
    });
}

bool PluginInventoryStore::setFormatProtection(const PluginBundleSelection& selection, bool protect,
                                               std::function<void(bool inEffect)> then) {
    using Kind = FormatProtectionOutcome::Kind;
    const auto refuse = [this, &then](const QString& message) {
        reportOperationError(StoreTexts::Notice::protectionChangeBlockedTitle, message);
        if (then)
            then(false);
        return false;
    };
    setLastOperationError(std::nullopt);
    if (m_fileActionsBlockedByStorage)
        return refuse(m_dataFolderReadOnly ? StoreTexts::Notice::protectionBlockedByReadOnlyFolderMessage
                                           : StoreTexts::Notice::protectionBlockedByStorageMessage);
    const std::optional<std::size_t> found = plugins().indexOf(selection.pluginID);
    if (!found)
        return refuse(StoreTexts::Notice::pluginRecordChangedMessage);
    const std::size_t index = *found;
    // A record stored here stays even when the change is refused: it describes the same bundle.
    materializeBundleRecords(static_cast<qsizetype>(index));

    Plugin changed = plugins()[index];
    // The key folds case and Unicode form, this disk does not: a lock could land on either twin.
    QStringList twins;
    changed.forEachBundleRecord([&](const PluginBundleRecord& record) {
        if (plainEqual(record.id(), selection.bundleID))
            twins.append(record.path);
    });
    if (twins.size() > 1)
        return refuse(indistinctBundlesMessage(twins.at(0), twins.at(1)));
    const QString key = productProtectionKey(changed);
    const FormatProtectionOutcome outcome = changed.applyFormatProtection(selection, protect);
    switch (outcome.kind) {
    case Kind::mandatoryShell:
        return refuse(StoreTexts::Notice::mandatoryShellProtectionMessage);
    case Kind::recordNotFound:
        return refuse(StoreTexts::Notice::formatRecordChangedMessage);
    case Kind::unchanged:
        postNotice(protect ? StoreTexts::Notice::formatAlreadyProtectedTitle
                           : StoreTexts::Notice::protectionAlreadyRemovedTitle,
                   StoreTexts::Notice::protectionAlreadyInEffectMessage(outcome.format),
                   NoticeStyle::success);
        if (then)
            then(true);
        return true;
    case Kind::changed:
        break;
    }

    const QString& format = outcome.format;
    // Otherwise the next scan would protect every format of the product again.
    const bool removedKey = !protect && m_protectedKeys.erase(key) > 0;
    changed.status = changed.derivedStatus();
    const HistoryItem item =
        protect ? makeHistoryItem(changed.name, HistoryKind::formatProtection,
                                  StoreTexts::History::formatProtected(format), format)
                : makeHistoryItem(changed.name, HistoryKind::formatProtectionRemoved,
                                  StoreTexts::History::formatProtectionRemoved(format), format);
    PluginListEdit inventory = inventoryToChange();
    inventory.replace(index, std::move(changed));
    setPlugins(inventory);
    insertHistoryFront(item);

    // Other changes may have come before a failed write is known: only what is still this change's
    // own effect goes back (the record's flag, the key), found by id, not index.
    saveOrRevert(
        [this, selection, protect, key, removedKey, itemID = item.id] {
            if (const std::optional<std::size_t> product = plugins().indexOf(selection.pluginID)) {
                Plugin undone = plugins()[*product];
                if (undone.applyFormatProtection(selection, !protect).kind == Kind::changed) {
                    undone.status = undone.derivedStatus();
                    PluginListEdit restored = inventoryToChange();
                    restored.replace(*product, std::move(undone));
                    setPlugins(restored);
                }
            }
            if (removedKey)
                m_protectedKeys.insert(key);
            std::vector<HistoryItem> history = m_history;
            std::erase_if(history, [&](const HistoryItem& line) { return line.id == itemID; });
            setHistory(std::move(history));
        },
        [this, protect, format, then = std::move(then)](bool saved) {
            if (!saved) {
                reportOperationError(StoreTexts::Notice::protectionChangeNotSavedTitle,
                                     StoreTexts::Notice::protectionChangeNotSavedMessage);
            } else {
                renewInventoryRevision();
                if (protect)
                    postNotice(StoreTexts::Notice::formatProtectedTitle(format),
                               StoreTexts::Notice::formatProtectedMessage(format), NoticeStyle::success);
                else
                    postNotice(StoreTexts::Notice::formatProtectionRemovedTitle(format),
                               StoreTexts::Notice::formatProtectionRemovedMessage(format),
                               NoticeStyle::success);
            }
            if (then)
                then(saved);
        });
    return true;
}

void PluginInventoryStore::setBatchProtection(std::vector<Plugin> selected, bool protect) {
    std::vector<Plugin> eligible;
    ProtectedKeySet seen;
    for (const Plugin& plugin : selected) {
        if (seen.insert(productProtectionKey(plugin)).second)
            eligible.push_back(plugin);
    }
    if (!protect)
        std::erase_if(eligible, [](const Plugin& plugin) { return plugin.isMandatoryShell(); });
    if (eligible.empty())
        return;

    ProtectedKeySet eligibleKeys;
    for (const Plugin& product : eligible) {
        QString key = productProtectionKey(product);
        if (protect)
            m_protectedKeys.insert(key);
        else
            m_protectedKeys.erase(key);
        eligibleKeys.insert(std::move(key));
    }
    PluginListEdit plugins = inventoryToChange();
    for (const std::size_t index : plugins.indicesUnderProtectionKeys(eligibleKeys))
        applyProtection(plugins.change(index), protect);
    std::vector<HistoryItem> history;
    history.reserve(m_history.size() + eligible.size());
    // Processed in selection order; each line goes to the front, so the last product's line leads.
    for (auto product = eligible.rbegin(); product != eligible.rend(); ++product)
        history.push_back(protect ? makeHistoryItem(product->name, HistoryKind::protection,
                                                    StoreTexts::History::batchProtected)
                                  : makeHistoryItem(product->name, HistoryKind::protectionRemoved,
                                                    StoreTexts::History::batchProtectionRemoved));
    history.insert(history.end(), m_history.begin(), m_history.end());
    setPlugins(plugins);
    setHistory(std::move(history));

    saveStateReportingFailure([this, protect, count = static_cast<qsizetype>(eligible.size())] {
        if (protect)
            postNotice(StoreTexts::Notice::pluginsProtectedTitle,
                       StoreTexts::Notice::pluginsProtectedMessage(count), NoticeStyle::success);
        else
            postNotice(StoreTexts::Notice::protectionRemovedTitle,
                       StoreTexts::Notice::batchProtectionRemovedMessage(count), NoticeStyle::success);
    });
}

} // namespace quorvane
