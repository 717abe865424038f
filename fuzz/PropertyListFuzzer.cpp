// Info.plist bytes as anyone who can write in a plug-in folder may leave them, XML or binary,
// through the guards and the parser. After every input: a value made only of the property-list
// types and no deeper than the limit, or an error with its sentence. A byte order mark in front of
// an unmarked text list, or the same text in UTF-16, reads the same.

#include "FuzzCheck.h"
#include "Platform/PropertyList.h"

#include <QDateTime>
#include <QStringEncoder>
#include <QVariantList>
#include <QVariantMap>

#include <cmath>
#include <cstdint>

namespace {

using namespace quorvane;
using fuzz::require;

void checkValue(const QVariant& value, int depth) {
    require(depth <= propertyListDepthLimit + 1, "a value nests no deeper than the limit");
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return;
    case QMetaType::QDateTime:
        require(value.toDateTime().isValid(), "dates are valid");
        return;
    case QMetaType::QVariantList:
        for (const QVariant& item : value.toList())
            checkValue(item, depth + 1);
        return;
    case QMetaType::QVariantMap:
        for (const QVariant& item : value.toMap())
            checkValue(item, depth + 1);
        return;
    default:
        require(false, "values are of the property-list types only");
    }
}

// Equal values; a real that is not a number equals itself here.
bool same(const QVariant& a, const QVariant& b) {
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double:
        return (std::isnan(a.toDouble()) && std::isnan(b.toDouble())) || a.toDouble() == b.toDouble();
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i) {
            if (!same(x[i], y[i]))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.begin(); it != x.end(); ++it) {
            if (!same(it.value(), y.value(it.key())))
                return false;
        }
        return true;
    }
    default:
        return a == b;
    }
}

bool sameOutcome(const std::expected<QVariant, PropertyListError>& a,
                 const std::expected<QVariant, PropertyListError>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return a ? same(*a, *b) : a.error() == b.error();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto parsed = parsePropertyList(bytes);
    if (parsed)
        checkValue(*parsed, 0);
    else
        require(!description(parsed.error()).isEmpty(), "every error has its sentence");

    // Only unmarked text lists can be marked or re-encoded; a first character U+0000 would make
    // the UTF-16 mark read as a UTF-32 one.
    const bool unmarkedText = !bytes.startsWith("\xEF\xBB\xBF") && !bytes.startsWith("\xFF\xFE") &&
                              !bytes.startsWith("\xFE\xFF") && !bytes.startsWith("bplist") &&
                              !bytes.startsWith('\0') && !bytes.isEmpty();
    if (!unmarkedText || (!parsed && parsed.error() == PropertyListError::tooLarge))
        return 0;
    if (bytes.size() + 3 <= propertyListSizeLimit)
        require(sameOutcome(parsePropertyList(QByteArray("\xEF\xBB\xBF") + bytes), parsed),
                "a UTF-8 byte order mark changes nothing");
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes) {
        QStringEncoder encoder(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
        const QByteArray utf16 = encoder.encode(text);
        if (utf16.size() <= propertyListSizeLimit)
            require(sameOutcome(parsePropertyList(utf16), parsed), "UTF-16 text reads as its UTF-8");
    }
    return 0;
}
