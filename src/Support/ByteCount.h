#pragma once

#include <QString>

#include <optional>

namespace quorvane {

// File-style size text in decimal units: "Zero KB", "1 byte", "345 bytes", "12 KB", "3.4 MB",
// "1.23 GB". Locale-independent so that parseByteCount can read it back.
QString formatByteCount(qint64 bytes);
// Reads the text formatByteCount writes (truncated toward zero); nullopt for anything else.
std::optional<qint64> parseByteCount(const QString& text);

} // namespace quorvane
