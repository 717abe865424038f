#include "Store/AppVersion.h"

namespace quorvane {

namespace {

#ifdef QUORVANE_VERSION
constexpr const char* builtVersion = QUORVANE_VERSION;
#else
constexpr const char* builtVersion = "";
#endif
#ifdef QUORVANE_BUILD
constexpr const char* builtBuild = QUORVANE_BUILD;
#else
constexpr const char* builtBuild = "";
#endif

QString orFallback(const char* value, const char* fallback) {
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}

} // namespace

const QString& applicationBuild() {
    static const QString build = orFallback(builtBuild, "40");
    return build;
}

const QString& appVersionLabel() {
    static const QString label = QStringLiteral("Quorvane ") + orFallback(builtVersion, "1.0.1") +
                                 QStringLiteral(" (Build ") + applicationBuild() + u')';
    return label;
}

} // namespace quorvane
