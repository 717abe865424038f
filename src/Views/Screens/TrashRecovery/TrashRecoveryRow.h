#pragma once

#include "Model/TrashRecoveryEntry.h"
#include "Views/Kit/Binding.h"
#include "Views/Kit/RoundedBox.h"

#include <QColor>
#include <QString>

#include <functional>
#include <optional>

namespace quorvane {

class Formatters;

namespace TrashRecoveryRowTexts {
inline const QString trashPath = QStringLiteral("Finder Trash");
inline const QString originalPath = QStringLiteral("Original Location");
inline const QString moved = QStringLiteral("Moved ");
inline const QString reveal = QStringLiteral("Reveal in Trash");
inline const QString restoreFormat = QStringLiteral("Restore Format\u2026");
inline QString restoreTransaction(qsizetype count) {
    return QStringLiteral("Restore Transaction (") + QString::number(count) + QStringLiteral(")\u2026");
}
} // namespace TrashRecoveryRowTexts

// The state badge's colour: green when ready, blue when already restored, amber for the rest.
QColor trashRecoveryStateColor(TrashRecoveryState state);

// What one row shows, decided from what the screen passes in; the row itself decides nothing else.
struct TrashRecoveryRowLook {
    QString badge;
    QColor badgeColor;
    // Ticking is offered only while the record is ready; a ticked record that is no longer ready
    // keeps its tick in a disabled toggle.
    bool toggleEnabled = false;
    // Reveal and restore exist only while ready.
    bool showsActions = false;
    // The whole-transaction button, only for a restorable transaction of two or more bundles.
    std::optional<QString> transactionButton;
    bool restoreEnabled = false;
    // Shown below the footer only while ready.
    std::optional<QString> reasonLine;
    bool operator==(const TrashRecoveryRowLook&) const = default;
};

TrashRecoveryRowLook trashRecoveryRowLook(const TrashRecoveryEntry& entry,
                                          const std::optional<QString>& restoreBlockingReason,
                                          qsizetype transactionBundleCount);

// One Trash record in the recovery list: name, manufacturer and format, the state badge, both
// paths, when it was moved, and the reveal and restore buttons.
class TrashRecoveryRow : public PanelFrame {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> onRestore;
        std::function<void()> onRestoreTransaction;
        std::function<void()> onReveal;
    };

    TrashRecoveryRow(const TrashRecoveryEntry& entry, Binding<bool> isSelected,
                     std::optional<QString> restoreBlockingReason, qsizetype transactionBundleCount,
                     Actions actions, const Formatters& formatters, QWidget* parent = nullptr);

    const TrashRecoveryEntry& entry() const { return m_entry; }

private:
    TrashRecoveryEntry m_entry;
};

} // namespace quorvane
