#include "Shared/HomeTrashLocation.h"

#include "Support/Paths.h"

namespace quorvane {

QString homeTrashFilesFolder(const QString& homeDirectory) {
    return standardizedPath(
        appendingPathComponent(homeDirectory, QStringLiteral(".local/share/Trash/files")));
}

QString homeTrashInfoFolder(const QString& homeDirectory) {
    return standardizedPath(appendingPathComponent(homeDirectory, QStringLiteral(".local/share/Trash/info")));
}

} // namespace quorvane
