#include "Discovery/PluginOrders.h"

#include "Support/LocaleText.h"
#include "Support/PlainText.h"
#include "Support/StableSort.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace quorvane {

bool pluginManufacturerOrder(const Plugin& a, const Plugin& b) {
    const int manufacturers = plainCompare(a.manufacturer, b.manufacturer);
    if (manufacturers != 0)
        return manufacturers < 0;
    return plainLess(a.name, b.name);
}

// Each product's manufacturer and name are normalised once into one UTF-8 key, and the sort
// compares the keys, which lie side by side in one buffer, instead of normalising both texts of two
// scattered products at every comparison. UTF-8 bytes order as the code points do, and U+0000
// between the two parts sorts a manufacturer before every longer one it begins, as comparing the
// manufacturers alone does; a manufacturer holding U+0000 itself would break that, so such an
// inventory is sorted the plain way.
void sortByManufacturer(std::vector<Plugin>& plugins) {
    const bool keysOrderAsProducts = std::none_of(plugins.begin(), plugins.end(), [](const Plugin& plugin) {
        return plugin.manufacturer.contains(QChar(u'\0'));
    });
    if (!keysOrderAsProducts) {
        stableMergeSort(plugins, pluginManufacturerOrder);
        return;
    }
    struct Entry {
        std::size_t offset;
        std::size_t length;
        std::size_t position;
    };
    std::string keys;
    std::vector<Entry> entries;
    entries.reserve(plugins.size());
    for (std::size_t position = 0; position < plugins.size(); ++position) {
        const Plugin& plugin = plugins[position];
        const std::size_t offset = keys.size();
        keys += nfc(plugin.manufacturer).toStdString();
        keys += '\0';
        keys += nfc(plugin.name).toStdString();
        entries.push_back(Entry{offset, keys.size() - offset, position});
    }
    const auto keyOf = [&](const Entry& entry) {
        return std::string_view(keys).substr(entry.offset, entry.length);
    };
    stableMergeSort(entries, [&](const Entry& a, const Entry& b) { return keyOf(a) < keyOf(b); });
    std::vector<Plugin> sorted;
    sorted.reserve(plugins.size());
    for (const Entry& entry : entries)
        sorted.push_back(std::move(plugins[entry.position]));
    plugins = std::move(sorted);
}

bool pluginLocalizedManufacturerOrder(const Plugin& a, const Plugin& b) {
    if (!plainEqual(a.manufacturer, b.manufacturer))
        return localizedCaseInsensitiveCompare(a.manufacturer, b.manufacturer) < 0;
    return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
}

} // namespace quorvane
