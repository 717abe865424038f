#include "Views/Kit/ConfirmAlert.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quorvane {

namespace {

// The look of the window's alerts: the title in bold above a message column wide enough to read.
void applyAlertLook(QMessageBox* box) {
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { font-weight: bold; min-width: 320px; }"
                                      "QLabel#qt_msgbox_informativelabel { min-width: 320px; }"));
    box->setContentsMargins(8, 8, 8, 4);
}

} // namespace

QMessageBox* makeAlert(QWidget* parent, const QString& objectName, const QString& title,
                       const QString& message) {
    auto* box = new QMessageBox(parent);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(message);
    applyAlertLook(box);
    return box;
}

QMessageBox* presentConfirmation(QWidget* parent, const QString& title, const QString& message,
                                 const QString& actionText, std::function<void()> onAction) {
    QMessageBox* box = makeAlert(parent, QStringLiteral("confirmationAlert"), title, message);
    QPushButton* cancel =
        box->addButton(QCoreApplication::translate("ConfirmAlert", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QPushButton* action = box->addButton(actionText, QMessageBox::AcceptRole);
    action->setObjectName(QStringLiteral("actionButton"));
    box->setDefaultButton(action);
    box->setEscapeButton(cancel);
    QObject::connect(action, &QPushButton::clicked, box, [onAction = std::move(onAction)] {
        if (onAction)
            onAction();
    });
    box->open();
    return box;
}

void confirmBeforeRunning(QAbstractButton* button, BundleConfirmation confirmation, const Plugin& plugin,
                          const PluginBundleRecord& bundle, BundleAction action) {
    QObject::connect(
        button, &QAbstractButton::clicked, button,
        [button, confirmation = std::move(confirmation), plugin, bundle, action = std::move(action)] {
            presentConfirmation(button->window(), confirmation.title, confirmation.message,
                                confirmation.actionText, [plugin, bundle, action] {
                                    if (action)
                                        action(plugin, bundle);
                                });
        });
}

} // namespace quorvane
