#include "Views/Screens/Shared/ScreenServices.h"

#include "Store/DisplayTime.h"
#include "Support/ByteCount.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QUrl>

namespace quorvane {

std::optional<QString> FileDialogSaveLocationProvider::chooseSaveLocation(QWidget* parent,
                                                                          const SaveRequest& request) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("savePanel"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowTitle(request.title);
    dialog.setLabelText(QFileDialog::Accept, request.acceptLabel);
    dialog.setNameFilter(request.nameFilter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.defaultFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void SystemClipboard::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

bool DesktopDocumentOpener::open(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString Formatters::abbreviatedDateShortTime(Timestamp instant) const {
    return abbreviatedDateShortTimeText(instant);
}

QString Formatters::byteCount(qint64 bytes) const {
    return bytes <= 0 ? QStringLiteral("0 bytes") : formatByteCount(bytes);
}

ScreenServices ScreenServices::production() {
    return {std::make_shared<FileDialogSaveLocationProvider>(), std::make_shared<SystemClipboard>(),
            std::make_shared<Formatters>(), std::make_shared<DesktopDocumentOpener>()};
}

} // namespace quorvane
