#include "Planning/DestinationPaths.h"

#include "Model/Identity.h"
#include "Shared/HomeTrashLocation.h"
#include "Support/Paths.h"

namespace quorvane {

namespace {

constexpr int lastTrashNameNumber = 10000;

bool takeTrashCandidate(const QString& candidate, ReservedTrashPaths& reserved,
                        const FileSystemProbe& fileSystem) {
    if (fileSystem.fileExists(candidate))
        return false;
    return reserved.insert(pathKey(candidate)).second;
}

} // namespace

QString quarantineDestinationPath(const PathPolicy& policy, const QString& operationID,
                                  const QString& fileName) {
    return standardizedPath(
        appendingPathComponent(appendingPathComponent(policy.quarantineRoot(), operationID), fileName));
}

QString trashFolderForHome(const QString& homeDirectory) {
    return homeTrashFilesFolder(homeDirectory);
}

std::optional<QString> defaultTrashFolder(const FileSystemProbe& fileSystem) {
    const QString home = fileSystem.homeDirectory();
    if (!home.startsWith(u'/'))
        return std::nullopt;
    return trashFolderForHome(home);
}

bool isVerifiedBundleDirectory(const QString& folder, const FileSystemProbe& fileSystem) {
    if (!fileSystem.fileExists(folder))
        return false;
    const auto flags = fileSystem.linkFlags(folder);
    return flags && flags->isDirectory && !flags->isSymbolicLink;
}

std::optional<QString> trashDestinationURL(const QString& sourcePath, const QString& trashFolder,
                                           ReservedTrashPaths& reservedTrashPaths,
                                           const FileSystemProbe& fileSystem) {
    const QString fileName = lastPathComponent(sourcePath);
    const QString first = standardizedPath(appendingPathComponent(trashFolder, fileName));
    if (takeTrashCandidate(first, reservedTrashPaths, fileSystem))
        return first;
    const QString extension = pathExtension(fileName);
    const QString stem = deletingPathExtension(fileName);
    for (int number = 2; number <= lastTrashNameNumber; ++number) {
        QString name = stem + u' ' + QString::number(number);
        if (!extension.isEmpty())
            name += u'.' + extension;
        const QString candidate = standardizedPath(appendingPathComponent(trashFolder, name));
        if (takeTrashCandidate(candidate, reservedTrashPaths, fileSystem))
            return candidate;
    }
    return std::nullopt;
}

} // namespace quorvane
