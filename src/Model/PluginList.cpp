#include "Model/PluginList.h"

#include "Model/BundlePlaces.h"
#include "Model/Identity.h"
#include "Support/FreedOffThread.h"

#include <algorithm>

namespace quorvane {

namespace {

// Lists at least this long are freed on the background pool: after a scan the last holder of the
// old inventory, often the window's thread, would otherwise free tens of thousands of products.
constexpr std::size_t largeList = 1000;

} // namespace

PluginList::Lookup PluginList::lookupOf(const Plugin& plugin) {
    Lookup lookup;
    lookup.id = plugin.id;
    lookup.keyHash = withProductProtectionKey(plugin.manufacturer, plugin.name,
                                              [](const QString& key) { return plainHash(key); });
    lookup.quarantinedBundles = plugin.quarantinedRecordCount();
    lookup.placeNames = placeNameBits(plugin);
    lookup.active = isActiveProduct(plugin);
    lookup.quarantined = isQuarantinedProduct(plugin);
    lookup.isProtected = plugin.isProtected;
    lookup.mandatoryShell = plugin.isMandatoryShell();
    lookup.protectionLevel = static_cast<std::int8_t>(plugin.protectionLevel());
    return lookup;
}

PluginList::PluginList() {
    static const auto empty = std::make_shared<const Data>();
    m_data = empty;
}

PluginList::PluginList(std::vector<Plugin> plugins) {
    std::vector<Item> items;
    std::vector<Lookup> lookups;
    items.reserve(plugins.size());
    lookups.reserve(plugins.size());
    for (Plugin& plugin : plugins) {
        lookups.push_back(lookupOf(plugin));
        items.push_back(std::make_shared<const Plugin>(std::move(plugin)));
    }
    *this = PluginList(std::move(items), std::move(lookups));
}

PluginList::PluginList(std::initializer_list<Plugin> plugins) : PluginList(std::vector<Plugin>(plugins)) {}

PluginList::PluginList(std::vector<Item> items) {
    std::vector<Lookup> lookups;
    lookups.reserve(items.size());
    for (const Item& item : items)
        lookups.push_back(lookupOf(*item));
    *this = PluginList(std::move(items), std::move(lookups));
}

PluginList::PluginList(std::vector<Item> items, std::vector<Lookup> lookups) {
    Counts counts;
    for (const Lookup& lookup : lookups) {
        counts.active += lookup.active ? 1 : 0;
        counts.protectedProducts += lookup.isProtected ? 1 : 0;
        counts.quarantinedBundles += lookup.quarantinedBundles;
    }
    const bool large = items.size() >= largeList;
    m_data = shareFreedOffThread(Data{std::move(items), std::move(lookups), counts}, large);
}

PluginList PluginList::activeOnly() const {
    if (counts().active == static_cast<qsizetype>(size()))
        return *this;
    std::vector<Item> kept;
    std::vector<Lookup> keptLookups;
    kept.reserve(static_cast<std::size_t>(counts().active));
    keptLookups.reserve(static_cast<std::size_t>(counts().active));
    for (std::size_t index = 0; index < size(); ++index) {
        if (m_data->lookups[index].active) {
            kept.push_back(items()[index]);
            keptLookups.push_back(m_data->lookups[index]);
        }
    }
    return PluginList(std::move(kept), std::move(keptLookups));
}

std::optional<std::size_t> PluginList::indexOf(const QUuid& id) const {
    const std::vector<Lookup>& lookups = m_data->lookups;
    const auto found = std::ranges::find(lookups, id, &Lookup::id);
    if (found == lookups.end())
        return std::nullopt;
    return std::size_t(found - lookups.begin());
}

std::vector<Plugin> PluginList::toVector() const {
    return {begin(), end()};
}

bool operator==(const PluginList& a, const PluginList& b) {
    return a.isSameList(b) || std::ranges::equal(a.items(), b.items(), [](const auto& x, const auto& y) {
               return x == y || *x == *y;
           });
}

bool operator==(const PluginList& a, const std::vector<Plugin>& b) {
    return std::ranges::equal(a, b);
}

PluginListEdit::PluginListEdit(const PluginList& from)
    : m_from(from), m_items(from.items()), m_lookups(from.m_data->lookups), m_owned(m_items.size(), false) {}

Plugin& PluginListEdit::change(std::size_t index) {
    m_changedAny = true;
    if (!m_owned[index]) {
        m_items[index] = std::make_shared<Plugin>(*m_items[index]);
        m_owned[index] = true;
    }
    // Made here as a writable product, shared with no one until list().
    Plugin& plugin = const_cast<Plugin&>(*m_items[index]);
    m_changedIDs.insert(plugin.id);
    return plugin;
}

void PluginListEdit::replace(std::size_t index, Plugin plugin) {
    m_changedAny = true;
    m_changedIDs.insert(m_items[index]->id);
    m_changedIDs.insert(plugin.id);
    m_items[index] = std::make_shared<Plugin>(std::move(plugin));
    m_owned[index] = true;
}

void PluginListEdit::erase(std::size_t index) {
    m_changedAny = true;
    m_changedIDs.insert(m_items[index]->id);
    m_items.erase(m_items.begin() + std::ptrdiff_t(index));
    m_lookups.erase(m_lookups.begin() + std::ptrdiff_t(index));
    m_owned.erase(m_owned.begin() + std::ptrdiff_t(index));
}

void PluginListEdit::push_back(Plugin plugin) {
    m_changedAny = true;
    m_changedIDs.insert(plugin.id);
    m_items.push_back(std::make_shared<Plugin>(std::move(plugin)));
    m_lookups.emplace_back();
    m_owned.push_back(true);
}

void PluginListEdit::materializeBundleRecords() {
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        const Plugin& plugin = *m_items[index];
        if (!plugin.bundles && plugin.status != PluginStatus::hostedByShell && plugin.formats.size() == 1)
            change(index).materializeBundleRecords();
    }
}

std::vector<std::size_t> PluginListEdit::indicesUnderProtectionKeys(const ProductKeySet& keys) const {
    std::vector<std::size_t> indices;
    if (keys.empty())
        return indices;
    std::unordered_set<std::size_t> hashes;
    for (const QString& key : keys)
        hashes.insert(keys.hash_function()(key));
    const auto under = [&keys](const Plugin& plugin) {
        return withProductProtectionKey(plugin.manufacturer, plugin.name,
                                        [&keys](const QString& key) { return keys.contains(key); });
    };
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        // A product of this edit's own may have been renamed: its key is worked out again.
        if ((m_owned[index] || hashes.contains(m_lookups[index].keyHash)) && under(*m_items[index]))
            indices.push_back(index);
    }
    return indices;
}

qsizetype PluginListEdit::quarantinedBundlesAt(std::size_t index) const {
    return m_owned[index] ? m_items[index]->quarantinedRecordCount() : m_lookups[index].quarantinedBundles;
}

std::uint64_t PluginListEdit::placeNameBitsAt(std::size_t index) const {
    return m_owned[index] ? placeNameBits(*m_items[index]) : m_lookups[index].placeNames;
}

PluginList PluginListEdit::list() {
    if (!m_changedAny)
        return m_from;
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        if (m_owned[index])
            m_lookups[index] = PluginList::lookupOf(*m_items[index]);
    }
    m_owned.assign(m_owned.size(), false);
    return PluginList(m_items, m_lookups);
}

} // namespace quorvane
