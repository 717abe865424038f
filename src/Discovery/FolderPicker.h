#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace quorvane {

// What the folder panel is asked to show.
struct FolderPickerRequest {
    QString title;
    QString message;
    QString prompt;
    bool canChooseFiles = false;
    bool canChooseDirectories = true;
    bool canCreateDirectories = false;
    bool allowsMultipleSelection = true;

    bool operator==(const FolderPickerRequest&) const = default;
};

// The modal folder panel; the window supplies the dialog, tests answer it.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The chosen folders in the panel's order, or none when the panel was not confirmed.
    virtual std::optional<QList<QUrl>> chooseFolders(const FolderPickerRequest& request) = 0;
};

} // namespace quorvane
