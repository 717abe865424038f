#include "Views/Kit/Palette.h"

namespace quorvane {

const QColor& Palette::accent() {
    static const QColor color = QColor::fromRgbF(0.02f, 0.45f, 1.0f);
    return color;
}

const QColor& Palette::background() {
    static const QColor color = QColor::fromRgbF(0.018f, 0.043f, 0.066f);
    return color;
}

const QColor& Palette::sidebarBackground() {
    static const QColor color = QColor::fromRgbF(0.012f, 0.03f, 0.047f);
    return color;
}

const QColor& Palette::panel() {
    static const QColor color = QColor::fromRgbF(0.035f, 0.075f, 0.105f);
    return color;
}

const QColor& Palette::raisedPanel() {
    static const QColor color = QColor::fromRgbF(0.045f, 0.095f, 0.132f);
    return color;
}

const QColor& Palette::secondaryText() {
    static const QColor color = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.62f);
    return color;
}

const QColor& Palette::hairline() {
    static const QColor color = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.12f);
    return color;
}

const QColor& Palette::amber() {
    static const QColor color = QColor::fromRgbF(1.0f, 0.68f, 0.02f);
    return color;
}

const QColor& Palette::green() {
    static const QColor color = QColor::fromRgbF(0.27f, 0.76f, 0.35f);
    return color;
}

const QColor& Palette::red() {
    static const QColor color = QColor::fromRgbF(0.95f, 0.22f, 0.22f);
    return color;
}

QColor withOpacity(const QColor& color, double opacity) {
    QColor result = color;
    result.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return result;
}

} // namespace quorvane
