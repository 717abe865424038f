#pragma once

#include "Platform/DirectoryHandle.h"

#include <QDateTime>
#include <QString>

#include <sys/types.h>

namespace quorvane {

// The freedesktop.org home trash of a user: items live in <home>/.local/share/Trash/files, their
// descriptions in …/info/<name>.trashinfo. XDG_DATA_HOME is ignored on purpose, so the application
// and the helper (which has no user environment) always name the same folder.
namespace HomeTrash {

QString filesFolder(const QString& home);
QString infoFolder(const QString& home);
// The info folder beside a Trash files folder.
QString infoFolderForFilesFolder(const QString& filesFolder);

// The text of a .trashinfo file for an item that was at `originalPath`.
QByteArray trashInfoText(const QString& originalPath, const QDateTime& deletionTime);

// Best effort, as root on behalf of `ownerUid`: writes info/<itemName>.trashinfo under a temporary
// name, hands it to the user and renames it into place, never through a link. An existing
// description is replaced only when it is empty, not the user's or names another original place;
// anything but a regular file is left alone. Failures are ignored: the item itself is what matters.
void writeTrashInfo(const QString& filesFolder, const QString& itemName, const QString& originalPath,
                    uid_t ownerUid);
// Best effort: removes info/<itemName>.trashinfo when it is a regular file, and what a write stopped
// half way left.
void removeTrashInfo(const QString& filesFolder, const QString& itemName);

} // namespace HomeTrash

} // namespace quorvane
