#pragma once

class QApplication;
class QStyle;

namespace quorvane {

// The whole application's look: the Fusion style with the dark palette and the 13-pixel body font,
// whatever the desktop's settings. The views draw their symbols from the set shipped inside the
// program.
void applyKitAppearance(QApplication& application);
// The style applyKitAppearance installs: Fusion with check boxes that show on the dark panels.
QStyle* createKitStyle();

} // namespace quorvane
