#pragma once

#include <QString>

#include <ostream>

// Readable failure messages for QString values (GoogleTest looks PrintTo up next to the type).
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
