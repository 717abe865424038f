#pragma once

#include <QString>

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

// Selects the item at the standardised path when it exists, else opens its parent folder.
// Reports nothing either way.
void revealInFinder(const QString& path);
// Opens the parent folder of the standardised path without testing that anything exists there.
void openParentFolder(const QString& path);

} // namespace quorvane
