#pragma once

#include "Discovery/FolderPicker.h"

#include <memory>

class QFileDialog;
class QWidget;

namespace quorvane {

// The folder panel as the application's own (non-native) file dialog, so that several folders can
// be chosen at once and the panel's message can be shown.
class FileDialogFolderPicker final : public FolderPicker {
public:
    // Runs modally over the active window.
    std::optional<QList<QUrl>> chooseFolders(const FolderPickerRequest& request) override;

    // The dialog configured for `request`, not yet shown.
    static std::unique_ptr<QFileDialog> makeDialog(const FolderPickerRequest& request,
                                                   QWidget* parent = nullptr);
};

} // namespace quorvane
