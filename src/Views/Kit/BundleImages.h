#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

namespace quorvane {

// Reads one of the program's optional PNG images by name ("quorvane-wordmark",
// "quorvane-mascot", "quorvane-app-mark"); a null pixmap when it is not shipped.
using ImageLoader = std::function<QPixmap(const QString& name)>;

// Loads ":/images/<name>.png" from the program's resources.
QPixmap loadBundleImage(const QString& name);
ImageLoader bundleImageLoader();

} // namespace quorvane
