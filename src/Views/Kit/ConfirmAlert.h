#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

namespace quorvane {

// The look of the window's alerts: the title in bold above a message column wide enough to read.
void applyAlertLook(QMessageBox* box);

// A window-modal alert in that look, with no buttons yet, that deletes itself when closed: the
// title (also the window's) above the message, both shown as given. Not opened.
QMessageBox* makeAlert(QWidget* parent, const QString& objectName, const QString& title,
                       const QString& message);

// The confirmation alert of quarantine, restore and protection removal: a title, a message shown
// as given, "Cancel" and one action button. Opened window-modal without blocking; `onAction` runs
// once when the action button is pressed, nothing runs on "Cancel". The box deletes itself when
// closed.
QMessageBox* presentConfirmation(QWidget* parent, const QString& title, const QString& message,
                                 const QString& actionText, std::function<void()> onAction);

} // namespace quorvane
