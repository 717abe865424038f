#pragma once

#include "Views/Kit/Binding.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QMenu;
class QToolButton;

namespace quorvane {

// A drop-down that picks one value of a filter column. The label shows `title` while the
// selection is "All", otherwise the selected value; the option equal to the selection carries a
// check mark. Choosing an option writes it through the binding.
class FilterMenu : public QWidget {
    Q_OBJECT
public:
    // `options` must hold no duplicates.
    FilterMenu(const QString& title, Binding<QString> selection, const QStringList& options,
               QWidget* parent = nullptr);

    // Reads the binding again (after the screen changed the selection itself).
    void refresh();

    QString labelText() const;
    QMenu* menu() const { return m_menu; }
    QToolButton* button() const { return m_button; }

private:
    QString m_title;
    Binding<QString> m_selection;
    QStringList m_options;
    QToolButton* m_button;
    QLabel* m_label;
    QMenu* m_menu;
    // The option that bears the check mark, and in which colour.
    QString m_markedOption;
    QColor m_markInk;
};

} // namespace quorvane
