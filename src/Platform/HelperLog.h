#pragma once

#include <QLoggingCategory>
#include <QString>

namespace quorvane {

// The helper's log: three categories, written to stderr with sd-daemon priority prefixes that
// journald reads when the helper runs under systemd. Lines at the default level go out as info
// (priority notice), rejections as critical (priority err), debug lines as debug.
Q_DECLARE_LOGGING_CATEGORY(helperLifecycleLog)
Q_DECLARE_LOGGING_CATEGORY(helperListenerLog)
Q_DECLARE_LOGGING_CATEGORY(helperServiceLog)

namespace HelperLog {

// Routes every Qt message of the process to stderr in that form.
void install();
// The line install() writes for one message.
QByteArray formatLine(QtMsgType type, const char* category, const QString& message);
// A value that must stay private: the first 16 hex digits of SHA-256 over a per-process random salt
// and the value, so equal values can be matched within one run but not recovered.
QString privateHash(const QString& value);

} // namespace HelperLog

} // namespace quorvane
