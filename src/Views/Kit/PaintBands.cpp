#include "Views/Kit/PaintBands.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace quorvane {

int bandRows(const QPainter& painter, int deviceRows) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    return std::max(1, static_cast<int>(deviceRows / ratio));
}

void paintInBands(QPainter& painter, const QRect& area, int rows, const std::function<void()>& paint) {
    const int step = bandRows(painter, rows);
    for (int top = area.top(); top <= area.bottom(); top += step) {
        painter.save();
        painter.setClipRect(QRect(area.left(), top, area.width(), std::min(step, area.bottom() + 1 - top)),
                            Qt::IntersectClip);
        paint();
        painter.restore();
    }
}

void fillInBands(QPainter& painter, const QRect& area, const QColor& color) {
    const int rows = bandRows(painter);
    for (int top = area.top(); top <= area.bottom(); top += rows)
        painter.fillRect(QRect(area.left(), top, area.width(), std::min(rows, area.bottom() + 1 - top)),
                         color);
}

void drawBottomRule(QPainter& painter, const QRect& row, const QColor& color) {
    painter.fillRect(QRect(row.left(), row.bottom(), row.width(), 1), color);
}

} // namespace quorvane
