#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/BundleImages.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QPushButton;

namespace quorvane {

// The frame both Trash sheets share: the app mark, a title and a subtitle, the sheet's own rows,
// the acknowledgement toggle, "Cancel" and the destructive button, which stays disabled (Return
// included) until the toggle is on. The sheet never closes itself: "Cancel", Escape and the
// window's close button all call `onCancel`, the destructive button `onConfirm`; the presenter
// closes it.
class TrashSheetFrame : public QDialog {
    Q_OBJECT
public:
    bool isAcknowledged() const;
    QCheckBox* acknowledgement() const { return m_acknowledgement; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* confirmButton() const { return m_confirm; }

    // Closes the sheet for good; what the presenter's closures call.
    void dismiss();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    TrashSheetFrame(const QString& title, const QString& subtitle, const QString& acknowledgementText,
                    const QString& confirmText, std::function<void()> onCancel,
                    std::function<void()> onConfirm, const ImageLoader& images, QWidget* parent);
    // Adds a row between the header and the toggle.
    void addRow(QWidget* row);

private:
    std::function<void()> m_onCancel;
    std::function<void()> m_onConfirm;
    int m_rowsAt = 0;
    bool m_dismissed = false;
    QCheckBox* m_acknowledgement;
    QPushButton* m_cancel;
    QPushButton* m_confirm;
};

// Confirms moving one quarantined format bundle to the Trash.
class TrashConfirmationSheet : public TrashSheetFrame {
    Q_OBJECT
public:
    TrashConfirmationSheet(const std::optional<Plugin>& plugin, const PluginBundleRecord& bundle,
                           std::function<void()> onCancel, std::function<void()> onConfirm,
                           QWidget* parent = nullptr, const ImageLoader& images = bundleImageLoader());
};

// Confirms moving several bundles of one or more products to the Trash; lists no paths.
class BatchTrashConfirmationSheet : public TrashSheetFrame {
    Q_OBJECT
public:
    BatchTrashConfirmationSheet(qint64 pluginCount, qint64 bundleCount, std::function<void()> onCancel,
                                std::function<void()> onConfirm, QWidget* parent = nullptr,
                                const ImageLoader& images = bundleImageLoader());
};

} // namespace quorvane
