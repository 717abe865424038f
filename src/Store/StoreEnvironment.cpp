#include "Store/StoreEnvironment.h"

#include "Persistence/StateFileLocations.h"
#include "Planning/FileSystemProbe.h"

#include <QSysInfo>

namespace quorvane {

StoreEnvironment StoreEnvironment::production() {
    // The home folder comes from the password database, as the helper takes it, so that both name
    // the same Trash whatever $HOME says.
    return isolated(applicationSupportFolder(), SystemRoots::production(),
                    SystemFileSystemProbe::passwordDatabaseHome());
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
