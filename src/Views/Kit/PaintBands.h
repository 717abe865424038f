#pragma once

#include <functional>

class QColor;
class QPainter;
class QRect;

namespace quorvane {

// Qt's raster engine hands a translucent or shaded fill of more than about 96 spans (a span is a
// run of pixels in one row) to the threads of Qt's own pool, and the window's thread waits for
// them. Waking them costs more than filling a few hundred rows, and while our own threads keep the
// cores busy, the window waits a time slice or more for each fill. Cut into bands of
// `bandDeviceRows` rows, or drawn as one run, the same pixels are filled on the window's thread.
inline constexpr int bandDeviceRows = 24;
// Bands for a style sheet's rounded outline, whose rows hold more spans than a plain fill's.
inline constexpr int styledButtonBandRows = 12;

// How many of the painter's rows make `deviceRows` rows of its device; at least one.
int bandRows(const QPainter& painter, int deviceRows = bandDeviceRows);

// Calls paint() once for each band of `area` `rows` device rows high, top to bottom, with the
// painter's clip narrowed to the band. For drawing that only ever narrows the clip further: a band
// then holds the very pixels the whole drawing puts there.
void paintInBands(QPainter& painter, const QRect& area, int rows, const std::function<void()>& paint);

// painter.fillRect(area, color), band by band.
void fillInBands(QPainter& painter, const QRect& area, const QColor& color);

// A 1-pixel rule in `color` along the bottom row of `row`: the pixels of a 1-pixel line from its
// bottom left to its bottom right, filled as one run rather than drawn pixel by pixel.
void drawBottomRule(QPainter& painter, const QRect& row, const QColor& color);

} // namespace quorvane
