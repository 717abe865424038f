#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;

namespace quorvane {

// The title block at the top of a screen, with the screen's action buttons on the right. No
// padding or background of its own.
class PageHeader : public QWidget {
    Q_OBJECT
public:
    // `actions` may be null; it is placed after the spacer as given.
    PageHeader(const QString& title, const QString& subtitle, QWidget* actions = nullptr,
               QWidget* parent = nullptr);

    QWidget* actions() const { return m_actions; }

private:
    QWidget* m_actions;
};

} // namespace quorvane
