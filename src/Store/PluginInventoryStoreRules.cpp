#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Store/StoreOrders.h"
#include "Store/StoreTexts.h"
#include "Support/StableSort.h"

#include <algorithm>

namespace quorvane {

QStringList PluginInventoryStore::permanentQuarantineManufacturers() const {
    // Worked out once for each list of products: a rule's switch asks again, the list is the same.
    if (m_manufacturers)
        return *m_manufacturers;
    // Only exact duplicates collapse: names that merely fold alike stay separate rows.
    std::unordered_set<QString, PlainHash, PlainEqualTo> seen;
    QStringList manufacturers;
    for (const Plugin& plugin : plugins()) {
        if (seen.insert(plugin.manufacturer).second)
            manufacturers.push_back(plugin.manufacturer);
    }
    sortStringsAscending(manufacturers);
    m_manufacturers = manufacturers;
    return manufacturers;
}

bool PluginInventoryStore::isPermanentQuarantineEnabled(const QString& manufacturer) const {
    const QString key = manufacturerKey(manufacturer);
    return std::any_of(m_permanentQuarantineRules.begin(), m_permanentQuarantineRules.end(),
                       [&](const PermanentQuarantineRule& rule) { return plainEqual(rule.id(), key); });
}

void PluginInventoryStore::setPermanentQuarantine(const QString& manufacturer, bool enabled) {
    const QString key = manufacturerKey(manufacturer);
    const auto matches = [key](const PermanentQuarantineRule& rule) { return plainEqual(rule.id(), key); };
    std::optional<PermanentQuarantineRule> previous;
    if (const auto found = std::ranges::find_if(m_permanentQuarantineRules, matches);
        found != m_permanentQuarantineRules.end())
        previous = *found;
    const auto replaceRule = [this, matches](const std::optional<PermanentQuarantineRule>& rule) {
        std::vector<PermanentQuarantineRule> rules = m_permanentQuarantineRules;
        std::erase_if(rules, matches);
        if (rule) {
            rules.push_back(*rule);
            stableMergeSort(rules, permanentQuarantineRuleOrder);
        }
        setPermanentQuarantineRules(std::move(rules));
    };
    const std::optional<PermanentQuarantineRule> made =
        enabled ? std::optional(PermanentQuarantineRule{manufacturer, now()}) : std::nullopt;
    replaceRule(made);

    // Only this manufacturer's rule goes back, and only while it is still the one this change
    // left: other changes may have come before the write failed.
    saveOrRevert(
        [this, matches, replaceRule, previous, made] {
            const auto found = std::ranges::find_if(m_permanentQuarantineRules, matches);
            const std::optional<PermanentQuarantineRule> current =
                found == m_permanentQuarantineRules.end() ? std::nullopt : std::optional(*found);
            if (current == made)
                replaceRule(previous);
        },
        [this, manufacturer, enabled](bool saved) {
            if (!saved)
                reportOperationError(StoreTexts::Notice::ruleChangeNotSavedTitle,
                                     StoreTexts::Notice::ruleChangeNotSavedMessage);
            else if (enabled)
                postNotice(StoreTexts::Notice::permanentQuarantineEnabledTitle,
                           StoreTexts::Notice::permanentQuarantineEnabledMessage(manufacturer),
                           NoticeStyle::success);
            else
                postNotice(StoreTexts::Notice::permanentQuarantineRemovedTitle,
                           StoreTexts::Notice::permanentQuarantineRemovedMessage(manufacturer),
                           NoticeStyle::success);
        });
}

} // namespace quorvane
