#pragma once

#include "Views/Kit/TextStyle.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

namespace quorvane {

// A symbol and a text on one line, both in one colour (the original design's Label).
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(const QString& symbol, const QString& text, TextStyle style, const QColor& color,
                QWidget* parent = nullptr);

    QString text() const;
    QString symbol() const { return m_symbol; }
    QColor color() const { return m_color; }
    QLabel* textLabel() const { return m_text; }
    // Lets the text wrap over several lines.
    void setWordWrap(bool wrap);

private:
    QString m_symbol;
    QColor m_color;
    QLabel* m_text;
};

} // namespace quorvane
