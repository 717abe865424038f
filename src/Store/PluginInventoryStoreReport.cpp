#include "Store/PluginInventoryStore.h"

#include "Model/PathDisplay.h"
#include "Store/AppVersion.h"
#include "Store/DisplayTime.h"
#include "Store/StoreTexts.h"
#include "Support/Paths.h"

#include <QSysInfo>

#include <algorithm>

namespace quorvane {

qsizetype PluginInventoryStore::quarantinedBundleCount() const {
    qsizetype count = 0;
    for (const Plugin& plugin : plugins())
        plugin.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { count += record.isQuarantined() ? 1 : 0; });
    return count;
}

QString PluginInventoryStore::diagnosticReport(const std::optional<QString>& managementSection) const {
    namespace Text = StoreTexts::Report;

    qsizetype activeBundles = 0;
    for (const Plugin& plugin : plugins())
        plugin.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { activeBundles += record.isActive() ? 1 : 0; });
    const auto protectedProducts = std::count_if(plugins().begin(), plugins().end(),
                                                 [](const Plugin& plugin) { return plugin.isProtected; });

    QStringList inaccessible;
    for (const QString& location : m_inaccessibleLocations)
        inaccessible.push_back(Text::locationBullet +
                               abbreviatedHomePath(location, m_environment.homeFolder));

    const QString stateFolder =
        m_environment.applicationSupport.isEmpty()
            ? Text::stateFolderUnavailable
            : abbreviatedHomePath(
                  appendingPathComponent(m_environment.applicationSupport, QStringLiteral("Quorvane")),
                  m_environment.homeFolder);

    const QStringList lines{
        Text::title,
        Text::app + appVersionLabel(),
        Text::generated + abbreviatedDateTimeText(now()),
        Text::operatingSystem + m_environment.operatingSystemVersion,
        Text::architecture + QSysInfo::buildCpuArchitecture(),
        QString(),
        Text::inventory,
        Text::products + QString::number(plugins().size()),
        Text::activeBundles + QString::number(activeBundles),
        Text::quarantinedBundles + QString::number(quarantinedBundleCount()),
        Text::protectedProducts + QString::number(protectedProducts),
        Text::historyRecords + QString::number(m_history.size()),
        Text::lastScan + (m_lastScanDate ? abbreviatedDateTimeText(*m_lastScanDate) : Text::never),
        Text::reconciliation +
            (m_lastReconciliation ? m_lastReconciliation->summaryText() : Text::noReconciliation),
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
