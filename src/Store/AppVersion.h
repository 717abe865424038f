#pragma once

#include <QString>

namespace quorvane {

// "Quorvane <version> (Build <build>)": the application's own label, shown in the diagnostic
// report and sent as the client version of the helper handshake.
const QString& appVersionLabel();
// The application's build: the build system's, else the helper protocol's.
const QString& applicationBuild();
// The application's version: the build system's, else "1.0.1".
const QString& appVersion();

} // namespace quorvane
