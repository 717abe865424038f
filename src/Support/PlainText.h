#pragma once

#include <QString>

#include <cstddef>

namespace quorvane {

// Plain text equality and order: canonically equivalent texts are equal, and order follows the
// Unicode scalar values of the NFC forms. Use these for user and path text in model code; never
// normalise a path that is then used for disk I/O.

// Every UTF-16 unit below 0x80: such text is its own NFC form.
bool isAscii(QStringView text);
QString nfc(const QString& text);
bool plainEqual(const QString& a, const QString& b);
// <0, 0 or >0.
int plainCompare(const QString& a, const QString& b);
bool plainLess(const QString& a, const QString& b);
// Consistent with plainEqual: canonically equivalent texts hash alike.
size_t plainHash(const QString& text);

struct PlainHash {
    size_t operator()(const QString& text) const { return plainHash(text); }
};

struct PlainEqualTo {
    bool operator()(const QString& a, const QString& b) const { return plainEqual(a, b); }
};

struct PlainLessThan {
    bool operator()(const QString& a, const QString& b) const { return plainLess(a, b); }
};

} // namespace quorvane
