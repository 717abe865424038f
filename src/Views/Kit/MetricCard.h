#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QColor>
#include <QString>

namespace quorvane {

// The summary card of the screens' metric rows: a symbol in `color`, a title, a large value and a
// detail line, all shown as given.
class MetricCard : public PanelFrame {
    Q_OBJECT
public:
    MetricCard(const QString& icon, const QString& title, const QString& value, const QString& detail,
               const QColor& color, QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    QColor color() const { return m_color; }

private:
    QString m_icon;
    QColor m_color;
};

} // namespace quorvane
