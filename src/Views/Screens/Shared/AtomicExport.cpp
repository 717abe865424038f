#include "Views/Screens/Shared/AtomicExport.h"

#include "Views/Kit/ConfirmAlert.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>

namespace quorvane {

std::expected<void, QString> writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return std::unexpected(error);
    }
    if (!file.commit())
        return std::unexpected(file.errorString());
    return {};
}

ExportOutcome exportAtomically(SaveLocationProvider& panel, QWidget* parent, const SaveRequest& request,
                               const std::function<QByteArray()>& contents) {
    const std::optional<QString> path = panel.chooseSaveLocation(parent, request);
    if (!path || path->isEmpty())
        return {};
    const auto written = writeAtomically(*path, contents());
    // The system's description alone ("Permission denied") does not say which file it was about.
    if (!written) {
        const QString file = QDir::toNativeSeparators(*path);
        return {ExportOutcome::Kind::failed, *path,
                written.error().isEmpty()
                    ? QCoreApplication::translate("AtomicExport", "“%1” could not be written.").arg(file)
                    : QCoreApplication::translate("AtomicExport", "“%1” could not be written: %2")
                          .arg(file, written.error())};
    }
    return {ExportOutcome::Kind::written, *path, {}};
}

QMessageBox* presentExportFailure(QWidget* parent, const QString& error, const QString& fallback,
                                  std::function<void()> onClose) {
    QMessageBox* box = makeAlert(parent, QStringLiteral("exportFailedAlert"),
                                 QCoreApplication::translate("AtomicExport", "Export Failed"),
                                 error.isEmpty() ? fallback : error);
    QPushButton* ok =
        box->addButton(QCoreApplication::translate("AtomicExport", "OK"), QMessageBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    QObject::connect(box, &QMessageBox::finished, box, [onClose = std::move(onClose)] {
        if (onClose)
            onClose();
    });
    box->open();
    return box;
}

} // namespace quorvane
