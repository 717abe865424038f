#pragma once

// Readable failure messages for QString values; GoogleTest looks PrintTo up next to the type, which
// lives in the global namespace. Header-only; needs nothing but Qt Core.

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
