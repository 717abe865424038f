#include "Discovery/PluginOrders.h"

#include "Support/LocaleText.h"
#include "Support/PlainText.h"

namespace quorvane {

bool pluginManufacturerOrder(const Plugin& a, const Plugin& b) {
    const int manufacturers = plainCompare(a.manufacturer, b.manufacturer);
    if (manufacturers != 0)
        return manufacturers < 0;
    return plainLess(a.name, b.name);
}

bool pluginLocalizedManufacturerOrder(const Plugin& a, const Plugin& b) {
    if (!plainEqual(a.manufacturer, b.manufacturer))
        return localizedCaseInsensitiveCompare(a.manufacturer, b.manufacturer) < 0;
    return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
}

} // namespace quorvane
