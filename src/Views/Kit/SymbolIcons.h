#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

namespace quorvane {

// The views name their symbols by the names of the original design ("shield.checkered"); each is
// drawn by an icon of the set shipped inside the program, named in the freedesktop style (a few
// names are our own), so the look never depends on the desktop's icon theme.
const std::vector<std::pair<QString, QString>>& symbolIconTable();
// Empty for a symbol the table does not know.
QString freedesktopIconName(QStringView symbol);

// The symbol drawn in `color` at `pixelSize` logical pixels; a transparent pixmap of that size
// when the symbol is unknown, so layouts do not shift.
QPixmap symbolPixmap(QStringView symbol, const QColor& color, int pixelSize);
QIcon symbolIcon(QStringView symbol, const QColor& color, int pixelSize = 16);

} // namespace quorvane
