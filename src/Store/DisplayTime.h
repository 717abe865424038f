#pragma once

#include "Support/Timestamp.h"

#include <QString>

namespace quorvane {

// Display texts of an instant in the text locale and the default time zone; never stored back.

// The short time of day with the date omitted, as history lines show it ("3:04 PM").
QString shortTimeText(Timestamp instant);
// The abbreviated date alone ("Jan 2, 2024").
QString abbreviatedDateText(Timestamp instant);
// The abbreviated date with the standard time ("Jan 2, 2024, 3:04:05 PM"), as the diagnostic
// report shows it.
QString abbreviatedDateTimeText(Timestamp instant);
// The abbreviated date with the short time ("Jan 2, 2024, 3:04 PM"), as screens show a scan or a
// move.
QString abbreviatedDateShortTimeText(Timestamp instant);

} // namespace quorvane
