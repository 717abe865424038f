#include "Persistence/StateFileLocations.h"

#include "Support/Paths.h"

#include <QStandardPaths>

namespace quorvane {

namespace {

const QString currentFolderName = QStringLiteral("Quorvane");
const QString legacyFolderName = QStringLiteral("Ostrevel");
const QString stateFileName = QStringLiteral("inventory-state.json");
const QString instanceLockName = QStringLiteral("instance.lock");
const QString quarantineFolderName = QStringLiteral("Quarantine");

QString beneath(const QString& applicationSupport, const QString& folder, const QString& name) {
    if (applicationSupport.isEmpty())
        return {};
    return appendingPathComponent(appendingPathComponent(applicationSupport, folder), name);
}

} // namespace

QString applicationSupportFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString inventoryStateFileURL(const QString& applicationSupport) {
    return beneath(applicationSupport, currentFolderName, stateFileName);
}

QString inventoryStateFileURL() {
    return inventoryStateFileURL(applicationSupportFolder());
}

QString instanceLockFileURL(const QString& applicationSupport) {
    return beneath(applicationSupport, currentFolderName, instanceLockName);
}

QString legacyInventoryStateFileURL(const QString& applicationSupport) {
    return beneath(applicationSupport, legacyFolderName, stateFileName);
}

QString legacyInventoryStateFileURL() {
    return legacyInventoryStateFileURL(applicationSupportFolder());
}

QString legacyQuarantineFolderURL(const QString& applicationSupport) {
    return beneath(applicationSupport, legacyFolderName, quarantineFolderName);
}

QString legacyQuarantineFolderURL() {
    return legacyQuarantineFolderURL(applicationSupportFolder());
}

} // namespace quorvane
