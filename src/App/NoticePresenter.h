#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QUuid>

class QWidget;

namespace quorvane {

class ShellSource;

// Shows the source's current notice as the window's alert: its title and message as given and one
// default "OK" button, the same for success and warning. Dismissing the alert dismisses exactly
// that notice; a notice with a new id replaces the alert even when its texts are the same.
class NoticePresenter : public QObject {
    Q_OBJECT
public:
    NoticePresenter(ShellSource& source, QWidget* window);

    // The alert on screen, or null.
    QMessageBox* alert() const { return m_alert; }
    QUuid shownNoticeId() const { return m_shownId; }

private:
    void present();
    void closeSilently();

    ShellSource& m_source;
    QWidget* m_window;
    QPointer<QMessageBox> m_alert;
    QUuid m_shownId;
};

} // namespace quorvane
