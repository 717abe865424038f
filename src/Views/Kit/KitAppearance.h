#pragma once

class QApplication;

namespace quorvane {

// The whole application's look: the Fusion style with the dark palette and the 13-pixel body font,
// whatever the desktop's settings. The views draw their symbols from the set shipped inside the
// program.
void applyKitAppearance(QApplication& application);

} // namespace quorvane
