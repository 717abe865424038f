#include "Views/Kit/RoundedBox.h"

#include "Views/Kit/Palette.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

RoundedBox::RoundedBox(const QColor& fill, std::optional<QColor> stroke, qreal radius, QWidget* parent)
    : QFrame(parent), m_fill(fill), m_stroke(stroke), m_radius(radius) {
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(0, 0, 0, 0);
}

void RoundedBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(area, m_radius, m_radius);
    std::optional<QPen> pen;
    if (m_stroke) {
        pen.emplace(*m_stroke, 1.0);
        pen->setCapStyle(Qt::FlatCap);
        pen->setJoinStyle(Qt::MiterJoin);
    }
    // Drawn in short horizontal bands: the raster engine hands a large shape's rows to worker
    // threads, and waking them costs more than the few rows of a band. The pixels are the same.
    constexpr int bandHeight = 16;
    const QRect dirty = event->rect() & rect();
    for (int top = dirty.top(); top <= dirty.bottom(); top += bandHeight) {
        painter.setClipRect(
            QRect(dirty.left(), top, dirty.width(), std::min(bandHeight, dirty.bottom() + 1 - top)));
        painter.fillPath(path, m_fill);
        if (pen) {
            painter.setPen(*pen);
            painter.drawPath(path);
        }
    }
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
