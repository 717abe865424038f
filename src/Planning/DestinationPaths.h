#pragma once

#include "Planning/FileSystemProbe.h"
#include "Shared/PathPolicy.h"
#include "Support/PlainText.h"

#include <QString>

#include <optional>
#include <unordered_set>

namespace quorvane {

// The Trash destinations one plan has handed out, each standardised and lower-cased, so that two
// bundles of a plan never get names that differ only in letter case.
using ReservedTrashPaths = std::unordered_set<QString, PlainHash, PlainEqualTo>;

// <quarantine root>/<operationID>/<fileName>, standardised: exactly where the policy later accepts
// the quarantined copy.
QString quarantineDestinationPath(const PathPolicy& policy, const QString& operationID,
                                  const QString& fileName);

// The freedesktop.org home trash of the current user, <home>/.local/share/Trash/files,
// standardised; $XDG_DATA_HOME is ignored so that the helper computes the same folder. None when
// the home folder is unknown or not absolute.
std::optional<QString> defaultTrashFolder(const FileSystemProbe& fileSystem);
// The same folder for a given home folder.
QString trashFolderForHome(const QString& homeDirectory);

// The folder exists, is a directory and is not itself a symbolic link.
bool isVerifiedBundleDirectory(const QString& folder, const FileSystemProbe& fileSystem);

// The first free name for `sourcePath` in `trashFolder`: its own file name, then "Name 2.ext" up to
// "Name 10000.ext". A name is free when nothing exists there and no earlier bundle of the plan
// reserved it; the name taken is reserved. None when every name is taken.
std::optional<QString> trashDestinationURL(const QString& sourcePath, const QString& trashFolder,
                                           ReservedTrashPaths& reservedTrashPaths,
                                           const FileSystemProbe& fileSystem);

} // namespace quorvane
