#include "Views/Kit/PaintBands.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace quorvane {

int bandRows(const QPainter& painter, int deviceRows) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    return std::max(1, static_cast<int>(deviceRows / ratio));
}

namespace {

// Calls each(band) for the bands of `area`, `step` rows each (the last may be shorter), top to bottom.
template <class Each>
void forEachBand(const QRect& area, int step, Each each) {
    for (int top = area.top(); top <= area.bottom(); top += step)
        each(QRect(area.left(), top, area.width(), std::min(step, area.bottom() + 1 - top)));
}

} // namespace

void paintInBands(QPainter& painter, const QRect& area, int rows, const std::function<void()>& paint) {
    forEachBand(area, bandRows(painter, rows), [&](const QRect& band) {
        painter.save();
        painter.setClipRect(band, Qt::IntersectClip);
        paint();
        painter.restore();
    });
}

void fillInBands(QPainter& painter, const QRect& area, const QColor& color) {
    forEachBand(area, bandRows(painter), [&](const QRect& band) { painter.fillRect(band, color); });
}

void drawBottomRule(QPainter& painter, const QRect& row, const QColor& color) {
    painter.fillRect(QRect(row.left(), row.bottom(), row.width(), 1), color);
}

} // namespace quorvane
