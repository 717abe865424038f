#pragma once

#include <QThreadPool>

namespace quorvane {

// The pool for the application's own long work in the background: freeing large lists. Not Qt's global pool:
// Qt's painting shares large fills out over that one and the window's thread waits for them, so a long task
// of ours queued there would stall the paint.
QThreadPool& backgroundPool();

} // namespace quorvane
