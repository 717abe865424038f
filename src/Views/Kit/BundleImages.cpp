#include "Views/Kit/BundleImages.h"

namespace quorvane {

QPixmap loadBundleImage(const QString& name) {
    return QPixmap(QStringLiteral(":/images/") + name + QStringLiteral(".png"), "PNG");
}

ImageLoader bundleImageLoader() {
    return &loadBundleImage;
}

} // namespace quorvane
