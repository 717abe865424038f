#include "Views/Screens/AtomicExport.h"

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
    if (!written)
        return {ExportOutcome::Kind::failed, *path, written.error()};
    return {ExportOutcome::Kind::written, *path, {}};
}

} // namespace quorvane
