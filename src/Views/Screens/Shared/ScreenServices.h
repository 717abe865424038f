#pragma once

#include "Support/Timestamp.h"

#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace quorvane {

// What a save panel asks: its title, the proposed file name, the one allowed type (a name filter
// such as "CSV (*.csv)" and the suffix added when the user types none) and the accept button.
struct SaveRequest {
    QString title;
    QString defaultFileName;
    QString nameFilter;
    QString defaultSuffix;
    QString acceptLabel = QStringLiteral("Export");
};

// The save panel. Production runs a modal file dialog; tests answer with a fixed path.
class SaveLocationProvider {
public:
    virtual ~SaveLocationProvider() = default;
    // The chosen file's path; none when the user cancels.
    virtual std::optional<QString> chooseSaveLocation(QWidget* parent, const SaveRequest& request) = 0;
};

class FileDialogSaveLocationProvider : public SaveLocationProvider {
public:
    std::optional<QString> chooseSaveLocation(QWidget* parent, const SaveRequest& request) override;
};

// The general pasteboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString& text) = 0;
};

class SystemClipboard : public Clipboard {
public:
    void setText(const QString& text) override;
};

// Dates and sizes as the screens show them, in the user's locale.
class Formatters {
public:
    virtual ~Formatters() = default;
    // The abbreviated date and the short time ("Jan 2, 2024, 3:04 PM").
    virtual QString abbreviatedDateShortTime(Timestamp instant) const;
    // The file-style byte count; "0 bytes" for 0 or less.
    virtual QString byteCount(qint64 bytes) const;
};

// Opens a local document, such as the helper's approval help page, with the desktop's default
// handler. Production asks the desktop; tests record the path.
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;
    // False when the desktop could not open it.
    virtual bool open(const QString& path) = 0;
};

class DesktopDocumentOpener : public DocumentOpener {
public:
    bool open(const QString& path) override;
};

// The outside world of a screen, bundled so the root view hands one value to each screen. Opening
// folders and revealing files go through the kit's file manager (Views/Kit/RevealInFinder.h),
// which tests replace with setFileManager.
struct ScreenServices {
    std::shared_ptr<SaveLocationProvider> saveLocation;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<Formatters> formatters;
    std::shared_ptr<DocumentOpener> documents = std::make_shared<DesktopDocumentOpener>();

    static ScreenServices production();
};

} // namespace quorvane
