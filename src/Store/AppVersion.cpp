#include "Store/AppVersion.h"

#include "Shared/QuorvaneHelperProtocol.h"

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

QString orFallback(const char* value, const QString& fallback) {
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? fallback : text;
}

} // namespace

const QString& applicationBuild() {
    // The helper answers the handshake with its build, which must equal the application's.
    static const QString build = orFallback(builtBuild, helperBuild());
    return build;
}

const QString& appVersion() {
    static const QString version = orFallback(builtVersion, QStringLiteral("1.0.1"));
    return version;
}

const QString& appVersionLabel() {
    static const QString label =
        QStringLiteral("Quorvane ") + appVersion() + QStringLiteral(" (Build ") + applicationBuild() + u')';
    return label;
}

} // namespace quorvane
