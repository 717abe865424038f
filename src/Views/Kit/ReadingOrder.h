#pragma once

#include <QList>

class QWidget;

namespace quorvane {

// Tab moves through a window in reading order: the order of the layouts that place the controls (a
// row left to right, a column top to bottom, a side-by-side split pane by pane), whatever order the
// controls were made in. Screens rebuild parts of themselves, and a rebuilt control would otherwise
// come last in Qt's focus chain.

// Moves the keyboard focus from the focused control to the next (or previous) tab stop under
// `root`, going round at the end, and scrolls every scroll area it sits in to show it. False when
// `root` has no tab stop.
bool focusInReadingOrder(QWidget* root, bool next);

// Every widget under `root`, `root` first, in reading order.
QList<QWidget*> widgetsInReadingOrder(QWidget* root);

// Whether Tab may reach `widget` now: shown, enabled and taking focus from the keyboard.
bool isTabStop(const QWidget* widget);

// Gives `widget` the focus (or, while a dialog is open, makes it the control that gets it back)
// and scrolls every scroll area it sits in to show it.
void giveFocus(QWidget* widget, Qt::FocusReason reason);

} // namespace quorvane
