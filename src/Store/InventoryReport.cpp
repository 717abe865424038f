#include "Store/InventoryReport.h"

#include "Model/PathDisplay.h"
#include "Store/AppVersion.h"
#include "Store/DisplayTime.h"
#include "Store/InventoryLists.h"
#include "Store/StoreTexts.h"
#include "Support/Paths.h"

#include <QSysInfo>

#include <algorithm>

namespace quorvane {

QString diagnosticReport(const InventoryReportInputs& inputs,
                         const std::optional<QString>& managementSection) {
    namespace Text = StoreTexts::Report;
    const PluginList& plugins = inputs.plugins;
    const StoreEnvironment& environment = inputs.environment;

    qsizetype activeBundles = 0;
    for (const Plugin& plugin : plugins)
        plugin.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { activeBundles += record.isActive() ? 1 : 0; });
    const auto protectedProducts = std::count_if(plugins.begin(), plugins.end(),
                                                 [](const Plugin& plugin) { return plugin.isProtected; });

    QStringList inaccessible;
    for (const QString& location : inputs.inaccessibleLocations)
        inaccessible.push_back(Text::locationBullet + abbreviatedHomePath(location, environment.homeFolder));

    const QString stateFolder =
        environment.applicationSupport.isEmpty()
            ? Text::stateFolderUnavailable
            : abbreviatedHomePath(
                  appendingPathComponent(environment.applicationSupport, QStringLiteral("Quorvane")),
                  environment.homeFolder);

    const QStringList lines{
        Text::title,
        Text::app + appVersionLabel(),
        Text::generated + abbreviatedDateTimeText(inputs.generated),
        Text::operatingSystem + environment.operatingSystemVersion,
        Text::architecture + QSysInfo::buildCpuArchitecture(),
        QString(),
        Text::inventory,
        Text::products + QString::number(plugins.size()),
        Text::activeBundles + QString::number(activeBundles),
        Text::quarantinedBundles + QString::number(quarantinedBundleCount(plugins)),
        Text::protectedProducts + QString::number(protectedProducts),
        Text::historyRecords + QString::number(inputs.historyRecords),
        Text::lastScan + (inputs.lastScanDate ? abbreviatedDateTimeText(*inputs.lastScanDate) : Text::never),
        Text::reconciliation +
            (inputs.lastReconciliation ? inputs.lastReconciliation->summaryText() : Text::noReconciliation),
        QString(),
        Text::inaccessibleLocations,
        inaccessible.isEmpty() ? Text::noInaccessibleLocations : inaccessible.join(u'\n'),
        QString(),
        managementSection.value_or(Text::defaultManagementSection),
        QString(),
        Text::storage,
        Text::stateFolder + stateFolder,
        QString(),
        Text::safety,
        Text::noPermanentDeletion,
        Text::omissions,
    };
    return lines.join(u'\n');
}

} // namespace quorvane
