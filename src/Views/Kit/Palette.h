#pragma once

#include <QColor>

namespace quorvane {

// The one set of colours every screen draws with. The window is always dark, so there is no
// light variant.
class Palette {
public:
    static const QColor& accent();
    static const QColor& background();
    static const QColor& sidebarBackground();
    static const QColor& panel();
    static const QColor& raisedPanel();
    static const QColor& secondaryText();
    static const QColor& hairline();
    static const QColor& amber();
    static const QColor& green();
    static const QColor& red();
};

// The colour with its opacity multiplied by `opacity`.
QColor withOpacity(const QColor& color, double opacity);

} // namespace quorvane
