#pragma once

#include <QString>

namespace quorvane {

// The freedesktop.org home trash of a user. The application plans Trash moves against this folder
// and the helper validates them against it, so both sides must compute it the same way: from the
// home folder alone, ignoring XDG_DATA_HOME (the helper has no user environment).
QString homeTrashFilesFolder(const QString& homeDirectory);
QString homeTrashInfoFolder(const QString& homeDirectory);

} // namespace quorvane
