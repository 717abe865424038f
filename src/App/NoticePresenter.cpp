#include "App/NoticePresenter.h"

#include "App/ShellSource.h"
#include "Views/Kit/ConfirmAlert.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quorvane {

NoticePresenter::NoticePresenter(ShellSource& source, QWidget* window)
    : QObject(window), m_source(source), m_window(window) {
    connect(&m_source, &ShellSource::noticeChanged, this, &NoticePresenter::present);
    present();
}

void NoticePresenter::present() {
    const auto notice = m_source.notice();
    if (!notice) {
        closeSilently();
        return;
    }
    if (m_alert && notice->id == m_shownId)
        return;
    closeSilently();

    QMessageBox* box = makeAlert(m_window, QStringLiteral("noticeAlert"), notice->title, notice->message);
    QPushButton* ok =
        box->addButton(QCoreApplication::translate("NoticePresenter", "OK"), QMessageBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    const QUuid id = notice->id;
    connect(box, &QMessageBox::finished, this, [this, id] { m_source.dismissNotice(id); });
    m_alert = box;
    m_shownId = id;
    box->open();
}

void NoticePresenter::closeSilently() {
    if (!m_alert)
        return;
    QMessageBox* box = m_alert;
    m_alert = nullptr;
    m_shownId = QUuid();
    disconnect(box, nullptr, this, nullptr);
    box->close();
}

} // namespace quorvane
