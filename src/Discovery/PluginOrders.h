#pragma once

#include "Model/Plugin.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

// Manufacturer, then name, both in plain order: the order of grouped scan products and of the
// merged inventory.
bool pluginManufacturerOrder(const Plugin& a, const Plugin& b);
// Sorts `plugins` stably into pluginManufacturerOrder.
void sortByManufacturer(std::vector<Plugin>& plugins);

// The sort keys of pluginManufacturerOrder, made once per product and compared as bytes. A caller
// that already reads every product's manufacturer and name can make the keys on that pass, while
// the texts are fresh in the cache, and sort afterwards; sortByManufacturer makes them in a pass
// of its own.
class ManufacturerOrderKeys {
public:
    void reserve(std::size_t products);
    // The key of the next product: keys are matched to products by position.
    void append(const Plugin& plugin);
    // Sorts `plugins`, whose i-th product gave the i-th key, stably into pluginManufacturerOrder.
    // Products that do not match the keys one for one are compared the plain way.
    void sort(std::vector<Plugin>& plugins);

private:
    struct Entry {
        std::size_t offset;
        std::size_t length;
        std::size_t position;
    };
    std::string m_keys;
    std::vector<Entry> m_entries;
    // A manufacturer holding U+0000, or text with an unpaired surrogate, would break the key order;
    // the products are then compared the plain way.
    bool m_keysOrderAsProducts = true;
};

// Manufacturers by localized case-insensitive comparison; names (compared the same way) only when
// the manufacturers are exactly equal. Not a strict weak ordering: sort with stableMergeSort.
bool pluginLocalizedManufacturerOrder(const Plugin& a, const Plugin& b);

} // namespace quorvane
