#include "Support/PlainText.h"

#include <QHash>

#include <cstdint>
#include <cstring>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace quorvane {

namespace {

// Read in place: utf16() would give a literal a buffer of its own, writing to a string that other
// threads may be reading.
icu::UnicodeString aliasOf(const QString& text) {
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.constData()),
                              static_cast<int32_t>(text.size()));
}

QString toQString(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

bool isAscii(QStringView text) {
    // Four units at a time: every text a scan compares is read here, most of them paths.
    const char16_t* units = text.utf16();
    const auto size = static_cast<std::size_t>(text.size());
    std::uint64_t seen = 0;
    std::size_t index = 0;
    for (; index + 4 <= size; index += 4) {
        std::uint64_t four = 0;
        std::memcpy(&four, units + index, sizeof four);
        seen |= four;
    }
    for (; index < size; ++index)
        seen |= units[index];
    return (seen & 0xff80'ff80'ff80'ff80) == 0;
}

QString nfc(const QString& text) {
    if (isAscii(text))
        return text;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return text;
    const icu::UnicodeString source = aliasOf(text);
    if (normalizer->isNormalized(source, status) && U_SUCCESS(status))
        return text;
    status = U_ZERO_ERROR;
    const icu::UnicodeString normalized = normalizer->normalize(source, status);
    return U_SUCCESS(status) ? toQString(normalized) : text;
}

bool plainEqual(const QString& a, const QString& b) {
    if (a == b)
        return true;
    if (isAscii(a) && isAscii(b))
        return false;
    return nfc(a) == nfc(b);
}

int plainCompare(const QString& a, const QString& b) {
    const QString left = nfc(a);
    const QString right = nfc(b);
    // Code point order, not UTF-16 code unit order, so that supplementary characters sort after
    // U+E000..U+FFFF.
    const int32_t result = u_strCompare(
        reinterpret_cast<const UChar*>(left.constData()), static_cast<int32_t>(left.size()),
        reinterpret_cast<const UChar*>(right.constData()), static_cast<int32_t>(right.size()), true);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

bool plainLess(const QString& a, const QString& b) {
    return plainCompare(a, b) < 0;
}

size_t plainHash(const QString& text) {
    return isAscii(text) ? qHash(text) : qHash(nfc(text));
}

} // namespace quorvane
