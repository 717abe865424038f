#include "Shared/SystemRoots.h"

#include "Support/Paths.h"

namespace quorvane {

SystemRoots SystemRoots::production() {
    return SystemRoots{};
}

SystemRoots SystemRoots::underPrefix(const QString& dir) {
    QString resolved = standardizedPath(resolvingSymlinksInPath(standardizedPath(dir)));
    if (resolved == QLatin1String("/"))
        resolved.clear();
    return SystemRoots{resolved};
}

QString SystemRoots::path(const QString& literalAbsolutePath) const {
    return prefix + literalAbsolutePath;
}

} // namespace quorvane
