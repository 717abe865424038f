#pragma once

#include "Views/Screens/Shared/ScreenServices.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <functional>

class QMessageBox;
class QWidget;

namespace quorvane {

// How an export ended: the user cancelled the panel (nothing written), the file is in place at
// `path`, or the write failed with the system's description in `error` (any earlier file at the
// chosen place is unchanged), naming the file.
struct ExportOutcome {
    enum class Kind { cancelled, written, failed };
    Kind kind = Kind::cancelled;
    QString path;
    QString error;

    bool operator==(const ExportOutcome&) const = default;
};

// Writes `bytes` to `path` at once or not at all, replacing a file that is there.
[[nodiscard]] std::expected<void, QString> writeAtomically(const QString& path, const QByteArray& bytes);

// Asks for the place with `request`, then builds the contents and writes them atomically. The
// contents are built only once the user has chosen a place.
ExportOutcome exportAtomically(SaveLocationProvider& panel, QWidget* parent, const SaveRequest& request,
                               const std::function<QByteArray()>& contents);

// The "Export Failed" alert of a failed export, opened window-modal without blocking: `error`, or
// `fallback` when the system gave no description, and one "OK" button. `onClose` runs once,
// however the alert is closed.
QMessageBox* presentExportFailure(QWidget* parent, const QString& error, const QString& fallback,
                                  std::function<void()> onClose);

} // namespace quorvane
