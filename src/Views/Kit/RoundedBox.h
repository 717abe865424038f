#pragma once

#include <QColor>
#include <QFrame>

class QPainter;

#include <optional>

namespace quorvane {

// A frame filled with a colour inside a rounded rectangle, optionally outlined 1 pixel wide. It
// adds no padding of its own: callers give it contents margins.
class RoundedBox : public QFrame {
    Q_OBJECT
public:
    RoundedBox(const QColor& fill, std::optional<QColor> stroke, qreal radius, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    std::optional<QColor> strokeColor() const { return m_stroke; }
    qreal radius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    std::optional<QColor> m_stroke;
    qreal m_radius;
};

// Paints the look of a `RoundedBox` filling `box`, as far as it lies in `dirty`.
void paintRoundedBox(QPainter& painter, const QRect& box, const QColor& fill,
                     const std::optional<QColor>& stroke, qreal radius, const QRect& dirty);

// The panel look of every card-like area: `Palette.panel` in a rounded rectangle of radius 10,
// outlined with `Palette.hairline`.
class PanelFrame : public RoundedBox {
    Q_OBJECT
public:
    explicit PanelFrame(QWidget* parent = nullptr);
};

// `content` placed inside a new panel with no padding of its own.
PanelFrame* panel(QWidget* content, QWidget* parent = nullptr);

// The inset well of detail-pane cards and path boxes: `Palette.background` at 0.55, radius 8.
QColor wellFill();
inline constexpr qreal wellRadius = 8;
// The tinted bar of info bars and the batch bar: the colour at 0.08, outlined at 0.5, radius 8.
class TintedBar : public RoundedBox {
    Q_OBJECT
public:
    explicit TintedBar(const QColor& color, QWidget* parent = nullptr);
};

// A 1-pixel horizontal line in `Palette.hairline`.
QFrame* makeDivider(QWidget* parent = nullptr);

} // namespace quorvane
