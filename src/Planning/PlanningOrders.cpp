#include "Planning/PlanningOrders.h"

#include "Model/Identity.h"
#include "Support/LocaleText.h"
#include "Support/PlainText.h"
#include "Support/Uuid.h"

namespace quorvane {

namespace {

int formatRank(const QString& format) {
    const qsizetype rank = canonicalPluginFormats().indexOf(normalizedFormat(format));
    return rank < 0 ? static_cast<int>(canonicalPluginFormats().size()) : static_cast<int>(rank);
}

} // namespace

bool bundleSelectionOrder(const PluginBundleSelection& a, const PluginBundleSelection& b) {
    if (a.pluginID == b.pluginID)
        return plainLess(a.bundleID, b.bundleID);
    return plainLess(uuidText(a.pluginID), uuidText(b.pluginID));
}

bool cleanupPluginOrder(const Plugin& a, const Plugin& b) {
    if (plainEqual(a.manufacturer, b.manufacturer))
        return localizedStandardCompare(a.name, b.name) < 0;
    return localizedStandardCompare(a.manufacturer, b.manufacturer) < 0;
}

bool bundleRecordFormatOrder(const PluginBundleRecord& a, const PluginBundleRecord& b) {
    const int rankA = formatRank(a.format);
    const int rankB = formatRank(b.format);
    if (rankA != rankB)
        return rankA < rankB;
    return localizedStandardCompare(a.path, b.path) < 0;
}

bool cleanupWarningOrder(const FormatCleanupWarning& a, const FormatCleanupWarning& b) {
    return plainLess(a.detail, b.detail);
}

} // namespace quorvane
