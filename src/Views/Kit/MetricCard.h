#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QColor>
#include <QString>

class QLabel;

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
    QString value() const;
    // Shows a new value in place, for a card whose count follows the store.
    void setValue(const QString& value);

private:
    QString m_icon;
    QColor m_color;
    QLabel* m_value;
};

} // namespace quorvane
