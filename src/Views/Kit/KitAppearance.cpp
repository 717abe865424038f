#include "Views/Kit/KitAppearance.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace quorvane {

namespace {

// Fusion with check boxes that stay visible on the dark panels: Fusion outlines an unticked box in
// a darker shade of the window, which vanishes against it.
class KitStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        drawCheckBox(option, painter);
    }

private:
    static void drawCheckBox(const QStyleOption* option, QPainter* painter) {
        const bool enabled = option->state & State_Enabled;
        const bool ticked = option->state & (State_On | State_NoChange);
        const bool focused = enabled && (option->state & State_HasFocus);
        const int side = qMin(option->rect.width(), option->rect.height());
        const QRectF box = QRectF(option->rect.x() + (option->rect.width() - side) / 2,
                                  option->rect.y() + (option->rect.height() - side) / 2, side, side)
                               .adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        QPainterPath outline;
        outline.addRoundedRect(box, 3, 3);
        const QColor white(Qt::white);
        if (!enabled) {
            // Disabled reads as such at a glance: no accent, a faint outline, a grey tick.
            painter->fillPath(outline, withOpacity(white, ticked ? 0.18 : 0.0));
            painter->setPen(QPen(withOpacity(white, 0.22), 1.0));
            painter->drawPath(outline);
        } else if (ticked) {
            painter->fillPath(outline, Palette::accent());
        } else {
            const bool hovered = option->state & State_MouseOver;
            painter->fillPath(outline, withOpacity(white, hovered ? 0.12 : 0.06));
            painter->setPen(QPen(withOpacity(white, 0.55), 1.0));
            painter->drawPath(outline);
        }
        // Focus shows as a ring on the box itself, which has no room around it: the accent, lighter
        // on a ticked box that is filled with it.
        if (focused) {
            QPainterPath ring;
            ring.addRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
            painter->setPen(QPen(ticked ? Palette::accent().lighter(170) : Palette::accent(), 2.0));
            painter->drawPath(ring);
        }
        if (ticked) {
            QPen mark(enabled ? white : withOpacity(white, 0.45), qMax(1.5, side / 8.0), Qt::SolidLine,
                      Qt::RoundCap, Qt::RoundJoin);
            painter->setPen(mark);
            painter->setBrush(Qt::NoBrush);
            const QPointF origin = box.topLeft();
            const qreal w = box.width();
            if (option->state & State_NoChange) {
                painter->drawLine(origin + QPointF(w * 0.25, w * 0.5), origin + QPointF(w * 0.75, w * 0.5));
            } else {
                QPainterPath tick;
                tick.moveTo(origin + QPointF(w * 0.24, w * 0.52));
                tick.lineTo(origin + QPointF(w * 0.42, w * 0.70));
                tick.lineTo(origin + QPointF(w * 0.76, w * 0.32));
                painter->drawPath(tick);
            }
        }
        painter->restore();
    }
};

} // namespace

QStyle* createKitStyle() {
    return new KitStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

void applyKitAppearance(QApplication& application) {
    application.setStyle(createKitStyle());

    QFont font = application.font();
    font.setPixelSize(bodyPixelSize);
    application.setFont(font);

    const QColor white(Qt::white);
    QPalette palette;
    palette.setColor(QPalette::Window, Palette::background());
    palette.setColor(QPalette::WindowText, white);
    palette.setColor(QPalette::Base, Palette::panel());
    palette.setColor(QPalette::AlternateBase, Palette::raisedPanel());
    palette.setColor(QPalette::Text, white);
    palette.setColor(QPalette::Button, Palette::raisedPanel());
    palette.setColor(QPalette::ButtonText, white);
    palette.setColor(QPalette::BrightText, white);
    palette.setColor(QPalette::Highlight, Palette::accent());
    palette.setColor(QPalette::HighlightedText, white);
    palette.setColor(QPalette::Link, Palette::accent());
    palette.setColor(QPalette::ToolTipBase, Palette::raisedPanel());
    palette.setColor(QPalette::ToolTipText, white);
    palette.setColor(QPalette::PlaceholderText, Palette::secondaryText());
    palette.setColor(QPalette::Light, Palette::raisedPanel().lighter(140));
    palette.setColor(QPalette::Midlight, Palette::raisedPanel().lighter(120));
    palette.setColor(QPalette::Mid, Palette::panel());
    palette.setColor(QPalette::Dark, Palette::sidebarBackground());
    palette.setColor(QPalette::Shadow, Qt::black);
    const QColor disabled = withOpacity(white, 0.3);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    application.setPalette(palette);
}

} // namespace quorvane
