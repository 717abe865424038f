#include "App/FileDialogFolderPicker.h"
#include "Discovery/PluginFolderAccess.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace quorvane {
namespace {

TEST(FileDialogFolderPicker, TheDialogIsTheFolderPanelOfTheRequest) {
    const FolderPickerRequest request = PluginFolderAccess::panelRequest();
    const std::unique_ptr<QFileDialog> dialog = FileDialogFolderPicker::makeDialog(request);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    // No folder may be made from the panel.
    EXPECT_TRUE(dialog->testOption(QFileDialog::ReadOnly));
    EXPECT_EQ(dialog->windowTitle(), request.title);
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), request.prompt);
    auto* message = dialog->findChild<QLabel*>(QStringLiteral("panelMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), request.message);
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    for (const QString& name : {QStringLiteral("listView"), QStringLiteral("treeView")}) {
        auto* view = dialog->findChild<QAbstractItemView*>(name);
        ASSERT_NE(view, nullptr) << name.toStdString();
        EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection) << name.toStdString();
    }
}

TEST(FileDialogFolderPicker, ASingleChoiceRequestKeepsSingleSelectionAndNoMessageLabel) {
    FolderPickerRequest request = PluginFolderAccess::panelRequest();
    request.allowsMultipleSelection = false;
    request.canCreateDirectories = true;
    request.message.clear();
    const std::unique_ptr<QFileDialog> dialog = FileDialogFolderPicker::makeDialog(request);
    EXPECT_FALSE(dialog->testOption(QFileDialog::ReadOnly));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("panelMessage")), nullptr);
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST(FileDialogFolderPicker, SeveralSelectedFoldersAreAllChosen) {
    testing::TemporaryTree tree;
    const QString first = tree.makeDirectory(QStringLiteral("Plug-Ins/Alpha"));
    const QString second = tree.makeDirectory(QStringLiteral("Plug-Ins/Beta"));
    const std::unique_ptr<QFileDialog> dialog =
        FileDialogFolderPicker::makeDialog(PluginFolderAccess::panelRequest());
    dialog->setDirectory(tree.path(QStringLiteral("Plug-Ins")));
    dialog->show();
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == 2; }, 5000));
    view->selectAll();

    QSignalSpy chosen(dialog.get(), &QFileDialog::filesSelected);
    QMetaObject::invokeMethod(dialog.get(), "accept");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    QList<QUrl> urls = dialog->selectedUrls();
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ(urls, (QList<QUrl>{QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
}

} // namespace
} // namespace quorvane
