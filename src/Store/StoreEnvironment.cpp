#include "Store/StoreEnvironment.h"

#include "Persistence/StateFileLocations.h"

#include <QDir>
#include <QSysInfo>

namespace quorvane {

StoreEnvironment StoreEnvironment::production() {
    return isolated(applicationSupportFolder(), SystemRoots::production(), QDir::homePath());
}

StoreEnvironment StoreEnvironment::isolated(const QString& applicationSupport, const SystemRoots& roots,
                                            const QString& homeFolder) {
    StoreEnvironment environment;
    environment.applicationSupport = applicationSupport;
    environment.roots = roots;
    environment.homeFolder = homeFolder;
    environment.scanner = PluginScanner::Environment::withRoots(roots, homeFolder);
    environment.operatingSystemVersion = QSysInfo::prettyProductName();
    return environment;
}

} // namespace quorvane
