#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
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
    std::vector<Plugin> changed = inventoryToChange();
    changed[static_cast<std::size_t>(index)] = std::move(product);
    setPlugins(std::move(changed));
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

void PluginInventoryStore::applyProductProtection(std::vector<Plugin>& plugins, const QString& key,
                                                  bool protect) const {
    for (Plugin& product : plugins) {
        if (withProductProtectionKey(product.manufacturer, product.name,
                                     [&key](const QString& own) { return plainEqual(own, key); }))
            applyProtection(product, protect);
    }
}

void PluginInventoryStore::setProtection(Plugin plugin, bool protect) {
    if (!protect && plugin.isMandatoryShell())
        return;
    const QString key = productProtectionKey(plugin);
    if (protect)
        m_protectedKeys.insert(key);
    else
        m_protectedKeys.erase(key);
    std::vector<Plugin> plugins = inventoryToChange();
    applyProductProtection(plugins, key, protect);
    setPlugins(std::move(plugins));
    if (protect) {
        insertHistoryFront(
            makeHistoryItem(plugin.name, HistoryKind::protection, StoreTexts::History::allFormatsProtected));
        postNotice(StoreTexts::Notice::pluginProtectedTitle,
                   StoreTexts::Notice::pluginProtectedMessage(plugin.name), NoticeStyle::success);
    } else {
        insertHistoryFront(makeHistoryItem(plugin.name, HistoryKind::protectionRemoved,
                                           StoreTexts::History::manualProtectionRemoved));
        postNotice(StoreTexts::Notice::protectionRemovedTitle, StoreTexts::Notice::protectionRemovedMessage,
                   NoticeStyle::success);
    }
    saveStateReportingFailure();
}

bool PluginInventoryStore::setFormatProtection(const PluginBundleSelection& selection, bool protect) {
    using Kind = FormatProtectionOutcome::Kind;
    setLastOperationError(std::nullopt);
    if (m_fileActionsBlockedByStorage) {
        reportOperationError(StoreTexts::Notice::protectionChangeBlockedTitle,
                             StoreTexts::Notice::protectionBlockedByStorageMessage);
        return false;
    }
    const auto found = std::find_if(plugins().begin(), plugins().end(),
                                    [&](const Plugin& plugin) { return plugin.id == selection.pluginID; });
    if (found == plugins().end()) {
        reportOperationError(StoreTexts::Notice::protectionChangeBlockedTitle,
                             StoreTexts::Notice::pluginRecordChangedMessage);
        return false;
    }
    const auto index = static_cast<std::size_t>(found - plugins().begin());
    // A record stored here stays even when the change is refused: it describes the same bundle.
    materializeBundleRecords(static_cast<qsizetype>(index));

    const Plugin previous = plugins()[index];
    const QString key = productProtectionKey(previous);
    const bool hadKey = m_protectedKeys.contains(key);
    Plugin changed = previous;
    const FormatProtectionOutcome outcome = changed.applyFormatProtection(selection, protect);
    switch (outcome.kind) {
    case Kind::mandatoryShell:
        reportOperationError(StoreTexts::Notice::protectionChangeBlockedTitle,
                             StoreTexts::Notice::mandatoryShellProtectionMessage);
        return false;
    case Kind::recordNotFound:
        reportOperationError(StoreTexts::Notice::protectionChangeBlockedTitle,
                             StoreTexts::Notice::formatRecordChangedMessage);
        return false;
    case Kind::unchanged:
        postNotice(protect ? StoreTexts::Notice::formatAlreadyProtectedTitle
                           : StoreTexts::Notice::protectionAlreadyRemovedTitle,
                   StoreTexts::Notice::protectionAlreadyInEffectMessage(outcome.format),
                   NoticeStyle::success);
        return true;
    case Kind::changed:
        break;
    }

    const QString& format = outcome.format;
    // Otherwise the next scan would protect every format of the product again.
    if (!protect)
        m_protectedKeys.erase(productProtectionKey(changed));
    changed.status = changed.derivedStatus();
    const HistoryItem item =
        protect ? makeHistoryItem(changed.name, HistoryKind::formatProtection,
                                  StoreTexts::History::formatProtected(format), format)
                : makeHistoryItem(changed.name, HistoryKind::formatProtectionRemoved,
                                  StoreTexts::History::formatProtectionRemoved(format), format);
    std::vector<Plugin> plugins = inventoryToChange();
    plugins[index] = std::move(changed);
    setPlugins(std::move(plugins));
    insertHistoryFront(item);

    // Put back by id, not index: by the time a failed write is known other changes may have come.
    saveOrRevert(
        [this, previous, key, hadKey, itemID = item.id] {
            std::vector<Plugin> restored = inventoryToChange();
            for (Plugin& plugin : restored) {
                if (plugin.id == previous.id)
                    plugin = previous;
            }
            setPlugins(std::move(restored));
            if (hadKey)
                m_protectedKeys.insert(key);
            else
                m_protectedKeys.erase(key);
            std::vector<HistoryItem> history = m_history;
            std::erase_if(history, [&](const HistoryItem& line) { return line.id == itemID; });
            setHistory(std::move(history));
        },
        [this, protect, format](bool saved) {
            if (!saved) {
                reportOperationError(StoreTexts::Notice::protectionChangeNotSavedTitle,
                                     StoreTexts::Notice::protectionChangeNotSavedMessage);
                return;
            }
            renewInventoryRevision();
            if (protect)
                postNotice(StoreTexts::Notice::formatProtectedTitle(format),
                           StoreTexts::Notice::formatProtectedMessage(format), NoticeStyle::success);
            else
                postNotice(StoreTexts::Notice::formatProtectionRemovedTitle(format),
                           StoreTexts::Notice::formatProtectionRemovedMessage(format), NoticeStyle::success);
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
    std::vector<Plugin> plugins = inventoryToChange();
    for (Plugin& product : plugins) {
        if (withProductProtectionKey(product.manufacturer, product.name,
                                     [&](const QString& key) { return eligibleKeys.contains(key); }))
            applyProtection(product, protect);
    }
    std::vector<HistoryItem> history;
    history.reserve(m_history.size() + eligible.size());
    // Processed in selection order; each line goes to the front, so the last product's line leads.
    for (auto product = eligible.rbegin(); product != eligible.rend(); ++product)
        history.push_back(protect ? makeHistoryItem(product->name, HistoryKind::protection,
                                                    StoreTexts::History::batchProtected)
                                  : makeHistoryItem(product->name, HistoryKind::protectionRemoved,
                                                    StoreTexts::History::batchProtectionRemoved));
    history.insert(history.end(), m_history.begin(), m_history.end());
    setPlugins(std::move(plugins));
    setHistory(std::move(history));

    const auto count = static_cast<qsizetype>(eligible.size());
    if (protect)
        postNotice(StoreTexts::Notice::pluginsProtectedTitle,
                   StoreTexts::Notice::pluginsProtectedMessage(count), NoticeStyle::success);
    else
        postNotice(StoreTexts::Notice::protectionRemovedTitle,
                   StoreTexts::Notice::batchProtectionRemovedMessage(count), NoticeStyle::success);
    saveStateReportingFailure();
}

} // namespace quorvane
