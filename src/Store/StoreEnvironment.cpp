#include "Store/StoreEnvironment.h"

#include "Persistence/StateFileLocations.h"
#include "Planning/FileSystemProbe.h"

#include "Support/Paths.h"

#include <QFile>
#include <QSysInfo>

#include <sys/statvfs.h>

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

bool StoreEnvironment::dataFolderIsReadOnly() const {
    const QString stateFile = inventoryStateFileURL(applicationSupport);
    if (stateFile.isEmpty())
        return false;
    const QString folder = deletingLastPathComponent(stateFile);
    if (isReadOnlyFolder)
        return isReadOnlyFolder(folder);
    struct statvfs status {};
    return ::statvfs(QFile::encodeName(folder).constData(), &status) == 0 && (status.f_flag & ST_RDONLY) != 0;
}

} // namespace quorvane
