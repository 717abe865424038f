#include "Model/PluginList.h"

#include "Model/Identity.h"
#include "Support/FreedOffThread.h"

#include <algorithm>

namespace quorvane {

namespace {

std::size_t keyHash(const Plugin& plugin) {
    return withProductProtectionKey(plugin.manufacturer, plugin.name,
                                    [](const QString& key) { return plainHash(key); });
}

std::vector<std::size_t> keyHashesOf(const std::vector<PluginList::Item>& items) {
    std::vector<std::size_t> hashes;
    hashes.reserve(items.size());
    for (const PluginList::Item& item : items)
        hashes.push_back(keyHash(*item));
    return hashes;
}

// Lists at least this long are freed on the background pool: after a scan the last holder of the
// old inventory, often the window's thread, would otherwise free tens of thousands of products.
constexpr std::size_t largeList = 1000;

std::vector<PluginList::Item> shareEach(std::vector<Plugin>& plugins, std::vector<std::size_t>& keyHashes) {
    std::vector<PluginList::Item> items;
    items.reserve(plugins.size());
    keyHashes.reserve(plugins.size());
    for (Plugin& plugin : plugins) {
        keyHashes.push_back(keyHash(plugin));
        items.push_back(std::make_shared<const Plugin>(std::move(plugin)));
    }
    return items;
}

} // namespace

PluginList::PluginList() {
    static const auto empty = std::make_shared<const Data>();
    m_data = empty;
}

PluginList::PluginList(std::vector<Plugin> plugins) {
    std::vector<std::size_t> hashes;
    std::vector<Item> items = shareEach(plugins, hashes);
    *this = PluginList(std::move(items), std::move(hashes));
}

PluginList::PluginList(std::initializer_list<Plugin> plugins) : PluginList(std::vector<Plugin>(plugins)) {}

PluginList::PluginList(std::vector<Item> items) {
    std::vector<std::size_t> hashes = keyHashesOf(items);
    *this = PluginList(std::move(items), std::move(hashes));
}

PluginList::PluginList(std::vector<Item> items, std::vector<std::size_t> keyHashes) {
    const bool large = items.size() >= largeList;
    m_data = shareFreedOffThread(Data{std::move(items), std::move(keyHashes)}, large);
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
    : m_from(from), m_items(from.items()), m_keyHashes(from.keyHashes()), m_owned(m_items.size(), false) {}

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
    m_keyHashes.erase(m_keyHashes.begin() + std::ptrdiff_t(index));
    m_owned.erase(m_owned.begin() + std::ptrdiff_t(index));
}

void PluginListEdit::push_back(Plugin plugin) {
    m_changedAny = true;
    m_changedIDs.insert(plugin.id);
    m_items.push_back(std::make_shared<Plugin>(std::move(plugin)));
    m_keyHashes.push_back(0);
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
        if ((m_owned[index] || hashes.contains(m_keyHashes[index])) && under(*m_items[index]))
            indices.push_back(index);
    }
    return indices;
}

PluginList PluginListEdit::list() {
    if (!m_changedAny)
        return m_from;
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        if (m_owned[index])
            m_keyHashes[index] = keyHash(*m_items[index]);
    }
    m_owned.assign(m_owned.size(), false);
    return PluginList(m_items, m_keyHashes);
}

} // namespace quorvane
