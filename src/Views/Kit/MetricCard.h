#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QColor>
#include <QLabel>
#include <QString>

namespace quorvane {

class MetricValueLabel;

// The summary card of the screens' metric rows: a symbol in `color`, a title, a large value and a
// detail line, all shown as given. Where the card is too narrow for the value, its font steps down
// to fit; only below the smallest step is it elided, with the whole value as its tooltip.
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
    MetricValueLabel* m_value;
};

// The card's large value: it asks for room to show the text at `largestPixelSize` but accepts less,
// shrinking its font, keeping its weight, down to `smallestPixelSize`.
class MetricValueLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int largestPixelSize = 26;
    static constexpr int smallestPixelSize = 15;

    explicit MetricValueLabel(const QString& text, QWidget* parent = nullptr);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QString m_fullText;
};

} // namespace quorvane
