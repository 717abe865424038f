#pragma once

#include "Model/OperationNotice.h"

#include <QString>

#include <functional>
#include <memory>

namespace quorvane {

// The file manager as the views use it. The system one asks the desktop's file manager to select
// an item and opens folders with the desktop's default handler; tests install a recorder.
class FileManager {
public:
    virtual ~FileManager() = default;
    // Selects exactly that one item in a file manager window.
    virtual void selectItem(const QString& path) = 0;
    virtual void openFolder(const QString& path) = 0;
};

FileManager& fileManager();
// Replaces the process's file manager; null puts the system one back.
void setFileManager(std::unique_ptr<FileManager> manager);

// Where a folder the desktop could not open goes (no file manager installed, nothing that opens
// folders); the window installs one that shows it as a notice. With none, nothing is shown.
void setFolderNotOpenedHandler(std::function<void(const QString& folder)> handler);
// File managers call this, perhaps some time after the request, when a folder could not be opened.
void reportFolderNotOpened(const QString& folder);
// The warning notice that names the folder that could not be opened.
OperationNotice folderNotOpenedNotice(const QString& folder);

// Selects the item at the standardised path when it exists, else opens its parent folder. A folder
// that cannot be opened is reported through reportFolderNotOpened.
void revealInFinder(const QString& path);
// Opens the parent folder of the standardised path without testing that anything exists there;
// reported like a reveal when it cannot be opened.
void openParentFolder(const QString& path);

} // namespace quorvane
