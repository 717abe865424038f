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

namespace {

// Appends the UTF-8 of the text's NFC form, without a temporary for the usual ASCII text. False
// when the bytes would not order as the text does: UTF-8 has no form for an unpaired surrogate,
// which plain order compares by its own value.
bool appendNormalizedUtf8(std::string& out, const QString& text) {
    if (!isAscii(text)) {
        if (!text.isValidUtf16())
            return false;
        const QByteArray utf8 = nfc(text).toUtf8();
        out.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        return true;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(text.size()));
    std::transform(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(start),
                   [](QChar c) { return static_cast<char>(c.unicode()); });
    return true;
}

} // namespace

void sortByManufacturer(std::vector<Plugin>& plugins) {
    ManufacturerOrderKeys keys;
    keys.reserve(plugins.size());
    for (const Plugin& plugin : plugins)
        keys.append(plugin);
    keys.sort(plugins);
}

void ManufacturerOrderKeys::reserve(std::size_t products) {
    m_entries.reserve(products);
    m_keys.reserve(products * 32);
}

// Each key is the NFC manufacturer, U+0000 and the NFC name in UTF-8. UTF-8 bytes order as the
// code points do, and U+0000 between the two parts sorts a manufacturer before every longer one it
// begins, as comparing the manufacturers alone does.
void ManufacturerOrderKeys::append(const Plugin& plugin) {
    if (plugin.manufacturer.contains(QChar(u'\0')))
        m_keysOrderAsProducts = false;
    const std::size_t offset = m_keys.size();
    if (!appendNormalizedUtf8(m_keys, plugin.manufacturer))
        m_keysOrderAsProducts = false;
    m_keys += '\0';
    if (!appendNormalizedUtf8(m_keys, plugin.name))
        m_keysOrderAsProducts = false;
    m_entries.push_back(Entry{offset, m_keys.size() - offset, m_entries.size()});
}

void ManufacturerOrderKeys::sort(std::vector<Plugin>& plugins) {
    if (!m_keysOrderAsProducts || m_entries.size() != plugins.size()) {
        stableMergeSort(plugins, pluginManufacturerOrder);
        return;
    }
    const std::string_view keys(m_keys);
    const auto keyOf = [&](const Entry& entry) { return keys.substr(entry.offset, entry.length); };
    const auto before = [&](const Entry& a, const Entry& b) { return keyOf(a) < keyOf(b); };
    // A scan's products come in this order already; only the records carried into it may not.
    if (std::ranges::is_sorted(m_entries, before))
        return;
    stableMergeSort(m_entries, before);
    std::vector<Plugin> sorted;
    sorted.reserve(plugins.size());
    for (const Entry& entry : m_entries)
        sorted.push_back(std::move(plugins[entry.position]));
    plugins = std::move(sorted);
}

bool pluginLocalizedManufacturerOrder(const Plugin& a, const Plugin& b) {
    if (!plainEqual(a.manufacturer, b.manufacturer))
        return localizedCaseInsensitiveCompare(a.manufacturer, b.manufacturer) < 0;
    return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
}

} // namespace quorvane
