#include "Views/Kit/RoundedBox.h"

#include "Views/Kit/Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvane {

RoundedBox::RoundedBox(const QColor& fill, std::optional<QColor> stroke, qreal radius, QWidget* parent)
    : QFrame(parent), m_fill(fill), m_stroke(stroke), m_radius(radius) {
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(0, 0, 0, 0);
}

void RoundedBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(area, m_radius, m_radius);
    painter.fillPath(path, m_fill);
    if (m_stroke) {
        QPen pen(*m_stroke, 1.0);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawPath(path);
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
