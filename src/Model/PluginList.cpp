#include "Model/PluginList.h"

#include "Support/FreedOffThread.h"

#include <algorithm>

namespace quorvane {

namespace {

std::shared_ptr<const std::vector<PluginList::Item>> emptyItems() {
    static const auto empty = std::make_shared<const std::vector<PluginList::Item>>();
    return empty;
}

// Lists at least this long are freed on the background pool: after a scan the last holder of the
// old inventory, often the window's thread, would otherwise free tens of thousands of products.
constexpr std::size_t largeList = 1000;

std::shared_ptr<const std::vector<PluginList::Item>> shareItems(std::vector<PluginList::Item> items) {
    const bool large = items.size() >= largeList;
    return shareFreedOffThread(std::move(items), large);
}

std::vector<PluginList::Item> shareEach(std::vector<Plugin>& plugins) {
    std::vector<PluginList::Item> items;
    items.reserve(plugins.size());
    for (Plugin& plugin : plugins)
        items.push_back(std::make_shared<const Plugin>(std::move(plugin)));
    return items;
}

} // namespace

PluginList::PluginList() : m_items(emptyItems()) {}

PluginList::PluginList(std::vector<Plugin> plugins) : m_items(shareItems(shareEach(plugins))) {}

PluginList::PluginList(std::initializer_list<Plugin> plugins) : PluginList(std::vector<Plugin>(plugins)) {}

PluginList::PluginList(std::vector<Item> items) : m_items(shareItems(std::move(items))) {}

std::vector<Plugin> PluginList::toVector() const {
    return {begin(), end()};
}

bool operator==(const PluginList& a, const PluginList& b) {
    return a.isSameList(b) || std::ranges::equal(*a.m_items, *b.m_items, [](const auto& x, const auto& y) {
               return x == y || *x == *y;
           });
}

bool operator==(const PluginList& a, const std::vector<Plugin>& b) {
    return std::ranges::equal(a, b);
}

PluginListEdit::PluginListEdit(const PluginList& from)
    : m_from(from), m_items(from.items()), m_owned(m_items.size(), false) {}

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
    m_owned.erase(m_owned.begin() + std::ptrdiff_t(index));
}

void PluginListEdit::push_back(Plugin plugin) {
    m_changedAny = true;
    m_changedIDs.insert(plugin.id);
    m_items.push_back(std::make_shared<Plugin>(std::move(plugin)));
    m_owned.push_back(true);
}

void PluginListEdit::materializeBundleRecords() {
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        const Plugin& plugin = *m_items[index];
        if (!plugin.bundles && plugin.status != PluginStatus::hostedByShell && plugin.formats.size() == 1)
            change(index).materializeBundleRecords();
    }
}

PluginList PluginListEdit::list() {
    if (!m_changedAny)
        return m_from;
    m_owned.assign(m_owned.size(), false);
    return PluginList(m_items);
}

} // namespace quorvane
