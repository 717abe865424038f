#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QColor>
#include <QString>

namespace quorvane {

// A one-line notice with an information symbol, tinted with `color`, shown as given.
class InfoBar : public TintedBar {
    Q_OBJECT
public:
    InfoBar(const QString& text, const QColor& color, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    QColor color() const { return m_color; }

private:
    QString m_text;
    QColor m_color;
};

} // namespace quorvane
