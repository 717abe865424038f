#include "App/FileDialogFolderPicker.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

namespace quorvane {

std::optional<QList<QUrl>> FileDialogFolderPicker::chooseFolders(const FolderPickerRequest& request) {
    const std::unique_ptr<QFileDialog> dialog = makeDialog(request, QApplication::activeWindow());
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->selectedUrls();
}

std::unique_ptr<QFileDialog> FileDialogFolderPicker::makeDialog(const FolderPickerRequest& request,
                                                                QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setObjectName(QStringLiteral("folderPanel"));
    // Only the widget dialog allows several folders and shows a message.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (request.canChooseDirectories) {
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, !request.canChooseFiles);
    } else {
        dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
    }
    // Read-only takes away "New Folder", rename and delete.
    dialog->setOption(QFileDialog::ReadOnly, !request.canCreateDirectories);
    dialog->setWindowTitle(request.title);
    dialog->setLabelText(QFileDialog::Accept, request.prompt);

    // The directory mode picks one folder unless its views allow more.
    if (request.allowsMultipleSelection) {
        for (const QString& name : {QStringLiteral("listView"), QStringLiteral("treeView")}) {
            if (auto* view = dialog->findChild<QAbstractItemView*>(name))
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
    }

    if (!request.message.isEmpty()) {
        auto* message = new QLabel(request.message, dialog.get());
        message->setObjectName(QStringLiteral("panelMessage"));
        message->setTextFormat(Qt::PlainText);
        message->setWordWrap(true);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
            grid->addWidget(message, grid->rowCount(), 0, 1, grid->columnCount());
    }
    return dialog;
}

} // namespace quorvane
