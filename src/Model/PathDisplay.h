#pragma once

#include <QString>

namespace quorvane {

// The standardised path, with the home folder shown as "~": the home itself gives "~", a path
// beneath it "~/…". A path that merely starts with the same letters (/Users/ab for /Users/a)
// is not beneath it. What follows "~" is the path's own text. With no home folder, the path as
// given.
QString abbreviatedHomePath(const QString& path, const QString& homePath);

} // namespace quorvane
