#include "Views/Kit/RoundedBox.h"

#include "Views/Kit/PaintBands.h"
#include "Views/Kit/Palette.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quorvane {

RoundedBox::RoundedBox(const QColor& fill, std::optional<QColor> stroke, qreal radius, QWidget* parent)
    : QFrame(parent), m_fill(fill), m_stroke(stroke), m_radius(radius) {
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(0, 0, 0, 0);
}

namespace {

// The box is drawn in pieces of fewer rows than the raster engine hands to Qt's pool (see
// PaintBands.h): the bands holding the corners as smaller rounded rectangles with the same corners,
// and the rows between them a band at a time, as antialiased polygons and the two side strokes.
// The pixels are those of the whole shape drawn at once (at a fractional scale, within one step).

QPainterPath roundedPath(const QRectF& shape, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(shape, radius, radius);
    return path;
}

void fillAndStroke(QPainter& painter, const QPainterPath& path, const QColor& fill,
                   const std::optional<QPen>& pen) {
    painter.fillPath(path, fill);
    if (pen) {
        painter.setPen(*pen);
        painter.drawPath(path);
    }
}

} // namespace

void paintRoundedBox(QPainter& painter, const QRect& box, const QColor& fill,
                     const std::optional<QColor>& stroke, qreal radius, const QRect& dirty) {
    const QRect region = dirty & box;
    if (region.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
    std::optional<QPen> pen;
    if (stroke) {
        pen.emplace(*stroke, 1.0);
        pen->setCapStyle(Qt::FlatCap);
        pen->setJoinStyle(Qt::MiterJoin);
    }
    // Rows from the top and bottom edges that the corners reach into.
    const int edge = static_cast<int>(std::ceil(radius)) + 2;
    if (box.height() < 2 * edge + 1) {
        painter.setClipRect(region);
        fillAndStroke(painter, roundedPath(area, radius), fill, pen);
        painter.restore();
        return;
    }
    const qreal cornerHeight = 2 * edge + 2;
    const QRect top = QRect(box.left(), box.top(), box.width(), edge) & region;
    if (!top.isEmpty()) {
        painter.setClipRect(top);
        fillAndStroke(painter,
                      roundedPath(QRectF(area.left(), area.top(), area.width(), cornerHeight), radius), fill,
                      pen);
    }
    const QRect bottom = QRect(box.left(), box.bottom() + 1 - edge, box.width(), edge) & region;
    if (!bottom.isEmpty()) {
        painter.setClipRect(bottom);
        fillAndStroke(
            painter,
            roundedPath(QRectF(area.left(), area.bottom() - cornerHeight, area.width(), cornerHeight),
                        radius),
            fill, pen);
    }
    const int firstRow = std::max(box.top() + edge, region.top());
    const int lastRow = std::min(box.bottom() - edge, region.bottom());
    const int step = bandRows(painter);
    for (int bandTop = firstRow; bandTop <= lastRow; bandTop += step) {
        const int rows = std::min(step, lastRow + 1 - bandTop);
        painter.setClipRect(QRect(region.left(), bandTop, region.width(), rows));
        // A polygon, not a rectangle: a rectangle takes another rasteriser, which rounds the
        // half-covered edge pixels differently.
        QPainterPath band;
        band.addPolygon(QPolygonF(QRectF(area.left(), bandTop - 1, area.width(), rows + 2)));
        painter.fillPath(band, fill);
        if (pen) {
            painter.setPen(*pen);
            painter.drawLine(QLineF(area.left(), bandTop - 1, area.left(), bandTop + rows + 1));
            painter.drawLine(QLineF(area.right(), bandTop - 1, area.right(), bandTop + rows + 1));
        }
    }
    painter.restore();
}

void RoundedBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    paintRoundedBox(painter, rect(), m_fill, m_stroke, m_radius, event->rect());
}

PanelFrame::PanelFrame(QWidget* parent) : RoundedBox(Palette::panel(), Palette::hairline(), 10, parent) {}

PanelFrame* panel(QWidget* content, QWidget* parent) {
    auto* frame = new PanelFrame(parent);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    return frame;
}

QColor wellFill() {
    return withOpacity(Palette::background(), 0.55);
}

TintedBar::TintedBar(const QColor& color, QWidget* parent)
    : RoundedBox(withOpacity(color, 0.08), withOpacity(color, 0.5), 8, parent) {}

QFrame* makeDivider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("divider"));
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Palette::hairline());
    line->setPalette(palette);
    return line;
}

} // namespace quorvane
