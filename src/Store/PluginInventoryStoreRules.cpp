#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Store/StoreOrders.h"
#include "Store/StoreTexts.h"
#include "Support/StableSort.h"

#include <algorithm>

namespace quorvane {

QStringList PluginInventoryStore::permanentQuarantineManufacturers() const {
    // Only exact duplicates collapse: names that merely fold alike stay separate rows.
    std::unordered_set<QString, PlainHash, PlainEqualTo> seen;
    QStringList manufacturers;
    for (const Plugin& plugin : m_plugins) {
        if (seen.insert(plugin.manufacturer).second)
            manufacturers.push_back(plugin.manufacturer);
    }
    sortStringsAscending(manufacturers);
    return manufacturers;
}

bool PluginInventoryStore::isPermanentQuarantineEnabled(const QString& manufacturer) const {
    const QString key = manufacturerKey(manufacturer);
    return std::any_of(m_permanentQuarantineRules.begin(), m_permanentQuarantineRules.end(),
                       [&](const PermanentQuarantineRule& rule) { return plainEqual(rule.id(), key); });
}

void PluginInventoryStore::setPermanentQuarantine(const QString& manufacturer, bool enabled) {
    const QString key = manufacturerKey(manufacturer);
    const std::vector<PermanentQuarantineRule> previous = m_permanentQuarantineRules;
    std::vector<PermanentQuarantineRule> rules = m_permanentQuarantineRules;
    std::erase_if(rules, [&](const PermanentQuarantineRule& rule) { return plainEqual(rule.id(), key); });
    if (enabled) {
        rules.push_back(PermanentQuarantineRule{manufacturer, now()});
        stableMergeSort(rules, permanentQuarantineRuleOrder);
    }
    setPermanentQuarantineRules(std::move(rules));

    if (const auto saved = saveState(); !saved) {
        setPermanentQuarantineRules(previous);
        setLastStorageError(saved.error().description());
        reportOperationError(StoreTexts::Notice::ruleChangeNotSavedTitle,
                             StoreTexts::Notice::ruleChangeNotSavedMessage);
        return;
    }
    setLastStorageError(std::nullopt);
    if (enabled)
        postNotice(StoreTexts::Notice::permanentQuarantineEnabledTitle,
                   StoreTexts::Notice::permanentQuarantineEnabledMessage(manufacturer), NoticeStyle::success);
    else
        postNotice(StoreTexts::Notice::permanentQuarantineRemovedTitle,
                   StoreTexts::Notice::permanentQuarantineRemovedMessage(manufacturer), NoticeStyle::success);
}

} // namespace quorvane
