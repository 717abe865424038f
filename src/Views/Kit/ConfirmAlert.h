#pragma once

#include "Views/Kit/Binding.h"

#include <QString>

#include <functional>

class QAbstractButton;
class QMessageBox;
class QWidget;

namespace quorvane {

// A window-modal alert in the window's look for alerts (the title in bold above a message column
// wide enough to read), with no buttons yet, that deletes itself when closed: the title (also the
// window's) above the message, both shown as given. Not opened.
QMessageBox* makeAlert(QWidget* parent, const QString& objectName, const QString& title,
                       const QString& message);

// The confirmation alert of quarantine, restore and protection removal: a title, a message shown
// as given, "Cancel" and one action button. Opened window-modal without blocking; `onAction` runs
// once when the action button is pressed, nothing runs on "Cancel". The box deletes itself when
// closed.
QMessageBox* presentConfirmation(QWidget* parent, const QString& title, const QString& message,
                                 const QString& actionText, std::function<void()> onAction);

// The alert that asks before a per-format action.
struct BundleConfirmation {
    QString title;
    QString message;
    QString actionText;
};

// A click on `button` asks with `confirmation` in the button's window; the alert's action runs
// `action` for the bundle. The alert holds its own copies, so it outlives a rebuild of the view
// that holds the button.
void confirmBeforeRunning(QAbstractButton* button, BundleConfirmation confirmation, const Plugin& plugin,
                          const PluginBundleRecord& bundle, BundleAction action);

} // namespace quorvane
