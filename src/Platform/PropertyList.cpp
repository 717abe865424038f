#include "Platform/PropertyList.h"

#include "Platform/RegularFile.h"

#include <QDateTime>
#include <QStringConverter>
#include <QStringDecoder>
#include <QTimeZone>
#include <QVariantList>

#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistDeleter>;

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

// The parser recurses once per level of nesting, so the nesting of an XML list is bounded by
// counting its container tags: every array and dictionary it can produce has one.
bool xmlWithinLimits(QByteArrayView bytes) {
    constexpr qint64 containerLimit = 16384;
    qint64 containers = 0;
    for (const char* tag : {"<array", "<dict"}) {
        const QByteArrayView needle(tag);
        for (qsizetype at = bytes.indexOf(needle); at >= 0; at = bytes.indexOf(needle, at + needle.size())) {
            if (++containers > containerLimit)
                return false;
        }
    }
    return true;
}

// Checks the object graph of a binary list before the parser sees it: every reference in range,
// no cycle, dictionary keys that are strings without a NUL, and the tree it expands to within the
// depth and node limits. Only the trailer, the offset table, the container headers and the keys
// are looked at.
class BinaryListCheck {
public:
    explicit BinaryListCheck(QByteArrayView bytes) : m_bytes(bytes) {}

    [[nodiscard]] std::expected<void, PropertyListError> run() {
        const qint64 size = m_bytes.size();
        if (size < 8 + 32)
            return std::unexpected(PropertyListError::malformed);
        const qint64 trailer = size - 32;
        m_offsetSize = byteAt(trailer + 6);
        m_refSize = byteAt(trailer + 7);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return std::unexpected(PropertyListError::malformed);
        const quint64 objectCount = number(trailer + 8, 8);
        const quint64 top = number(trailer + 16, 8);
        const quint64 tableOffset = number(trailer + 24, 8);
        if (objectCount == 0 || objectCount > tableOffset || top >= objectCount || tableOffset < 8 ||
            tableOffset > quint64(trailer) || objectCount > (quint64(trailer) - tableOffset) / m_offsetSize)
            return std::unexpected(PropertyListError::malformed);
        m_objectCount = objectCount;
        m_tableOffset = static_cast<qint64>(tableOffset);
        m_keyVerdicts.assign(objectCount, 0);
        return walk(static_cast<qint64>(top));
    }

private:
    struct Container {
        qint64 refs = 0;     // number of references that follow
        qint64 firstRef = 0; // offset of the first one
    };
    struct Frame {
        qint64 object;
        Container container;
        qint64 next = 0;
        qint64 nodes = 1;
        int childDepth = 0;
    };

    int byteAt(qint64 offset) const { return static_cast<unsigned char>(m_bytes[offset]); }

    // Big-endian, `width` bytes; the caller has checked the range.
    quint64 number(qint64 offset, int width) const {
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | quint64(byteAt(offset + i));
        return value;
    }

    // The object's marker and its element count, and where its contents begin; none when the
    // object or its count lies outside the object area.
    struct Object {
        int type = 0;
        quint64 count = 0;
        qint64 contents = 0;
    };
    std::optional<Object> objectAt(quint64 object) const {
        if (object >= m_objectCount)
            return std::nullopt;
        const quint64 offset =
            number(m_tableOffset + static_cast<qint64>(object) * m_offsetSize, m_offsetSize);
        if (offset < 8 || offset >= quint64(m_tableOffset))
            return std::nullopt;
        qint64 at = static_cast<qint64>(offset);
        const int marker = byteAt(at);
        Object result{marker >> 4, quint64(marker & 0xF), at + 1};
        if (result.count == 0xF && (result.type == 0x5 || result.type == 0x6 || result.type == 0xA ||
                                    result.type == 0xC || result.type == 0xD)) {
            ++at;
            if (at >= m_tableOffset || byteAt(at) >> 4 != 0x1)
                return std::nullopt;
            const int width = 1 << (byteAt(at) & 0xF);
            if (width > 8 || at + 1 + width > m_tableOffset)
                return std::nullopt;
            result.count = number(at + 1, width);
            result.contents = at + 1 + width;
        }
        return result;
    }

    // The parser aborts on a dictionary key holding a NUL, and expects string keys only. Dictionaries
    // share key objects, so each verdict is kept: one long key named by every dictionary would
    // otherwise be scanned again for each of them.
    bool isPlainKey(quint64 object) const {
        if (object >= m_objectCount)
            return false;
        signed char& verdict = m_keyVerdicts[object];
        if (verdict == 0)
            verdict = scanKey(object) ? 1 : -1;
        return verdict > 0;
    }

    bool scanKey(quint64 object) const {
        const auto key = objectAt(object);
        if (!key || (key->type != 0x5 && key->type != 0x6))
            return false;
        const qint64 unit = key->type == 0x5 ? 1 : 2;
        if (key->count > quint64(m_tableOffset - key->contents) / unit)
            return false;
        for (qint64 i = 0; i < static_cast<qint64>(key->count); ++i) {
            const qint64 at = key->contents + i * unit;
            if (byteAt(at) == 0 && (unit == 1 || byteAt(at + 1) == 0))
                return false;
        }
        return true;
    }

    [[nodiscard]] std::expected<Container, PropertyListError> containerAt(qint64 object) const {
        const auto found = objectAt(quint64(object));
        if (!found)
            return std::unexpected(PropertyListError::malformed);
        if (found->type != 0xA && found->type != 0xC && found->type != 0xD)
            return Container{};
        const quint64 available = quint64(m_tableOffset - found->contents) / m_refSize;
        const quint64 refs = found->type == 0xD ? found->count * 2 : found->count;
        if (found->count > available || refs > available)
            return std::unexpected(PropertyListError::malformed);
        if (found->type == 0xD) {
            for (quint64 k = 0; k < found->count; ++k) {
                if (!isPlainKey(number(found->contents + static_cast<qint64>(k) * m_refSize, m_refSize)))
                    return std::unexpected(PropertyListError::malformed);
            }
        }
        return Container{static_cast<qint64>(refs), found->contents};
    }

    [[nodiscard]] std::expected<void, PropertyListError> walk(qint64 top) {
        enum : unsigned char { unseen, open, done };
        std::vector<unsigned char> state(m_objectCount, unseen);
        std::vector<quint32> nodes(m_objectCount, 0);
        std::vector<quint8> depths(m_objectCount, 0);
        std::vector<Frame> stack;

        auto push = [&](qint64 object) -> std::expected<void, PropertyListError> {
            if (static_cast<int>(stack.size()) >= propertyListDepthLimit)
                return std::unexpected(PropertyListError::tooComplex);
            auto container = containerAt(object);
            if (!container)
                return std::unexpected(container.error());
            state[object] = open;
            stack.push_back(Frame{object, *container});
            return {};
        };

        if (auto pushed = push(top); !pushed)
            return pushed;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next < frame.container.refs) {
                const quint64 child = number(frame.container.firstRef + frame.next * m_refSize, m_refSize);
                ++frame.next;
                if (child >= m_objectCount || state[child] == open)
                    return std::unexpected(PropertyListError::malformed);
                if (state[child] == done) {
                    frame.nodes += nodes[child];
                    frame.childDepth = std::max(frame.childDepth, int(depths[child]));
                    if (frame.nodes > propertyListNodeLimit)
                        return std::unexpected(PropertyListError::tooComplex);
                    continue;
                }
                if (auto pushed = push(static_cast<qint64>(child)); !pushed)
                    return pushed;
                continue;
            }
            const Frame finished = frame;
            stack.pop_back();
            state[finished.object] = done;
            nodes[finished.object] = static_cast<quint32>(finished.nodes);
            depths[finished.object] = static_cast<quint8>(finished.childDepth + 1);
            if (!stack.empty()) {
                Frame& parent = stack.back();
                parent.nodes += finished.nodes;
                parent.childDepth = std::max(parent.childDepth, finished.childDepth + 1);
                if (parent.nodes > propertyListNodeLimit)
                    return std::unexpected(PropertyListError::tooComplex);
            }
        }
        return {};
    }

    QByteArrayView m_bytes;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    qint64 m_tableOffset = 0;
    // Per object: 0 not looked at yet, 1 a plain key, -1 not one.
    mutable std::vector<signed char> m_keyVerdicts;
};

[[nodiscard]] std::expected<QVariant, PropertyListError> toVariant(plist_t node, int depth) {
    if (depth > propertyListDepthLimit)
        return std::unexpected(PropertyListError::tooComplex);
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // The parser keeps negative integers as their two's complement; property lists hold
        // signed 64-bit integers in practice.
        return QVariant::fromValue(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (!text)
            return QVariant(QString());
        if (length > uint64_t(std::numeric_limits<qsizetype>::max()))
            return std::unexpected(PropertyListError::tooLarge);
        return QVariant(QString::fromUtf8(text, static_cast<qsizetype>(length)));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* data = plist_get_data_ptr(node, &length);
        if (length > uint64_t(std::numeric_limits<qsizetype>::max()))
            return std::unexpected(PropertyListError::tooLarge);
        return QVariant(QByteArray(data, static_cast<qsizetype>(length)));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        const qint64 referenceDate = 978307200; // 2001-01-01T00:00:00Z
        return QVariant(QDateTime::fromMSecsSinceEpoch((referenceDate + seconds) * 1000 + microseconds / 1000,
                                                       QTimeZone::utc()));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant::fromValue(quint64(value));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            auto item = toVariant(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return item;
            list.append(*item);
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        const std::unique_ptr<void, FreeDeleter> iteratorOwner(iterator);
        for (;;) {
            char* rawKey = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &value);
            const std::unique_ptr<char, FreeDeleter> key(rawKey);
            if (!value)
                break;
            auto item = toVariant(value, depth + 1);
            if (!item)
                return item;
            map.insert(QString::fromUtf8(key ? key.get() : ""), *item);
        }
        return QVariant(map);
    }
    case PLIST_NONE:
        break;
    }
    return std::unexpected(PropertyListError::malformed);
}

// The parser reads text lists only as UTF-8 without a byte order mark, while lists written by
// other tools may carry a mark or be in UTF-16; those are handed over as plain UTF-8. Lists
// without a mark are passed on as they are. A marked list is text, never a binary list.
[[nodiscard]] std::expected<QByteArray, PropertyListError> asUnmarkedUtf8(QByteArrayView bytes) {
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(bytes);
    if (!encoding || (*encoding != QStringConverter::Utf8 && *encoding != QStringConverter::Utf16LE &&
                      *encoding != QStringConverter::Utf16BE))
        return bytes.toByteArray();
    const qsizetype markSize = *encoding == QStringConverter::Utf8 ? 3 : 2;
    const QByteArrayView text = bytes.sliced(markSize);
    QByteArray utf8;
    if (*encoding == QStringConverter::Utf8) {
        utf8 = text.toByteArray();
    } else {
        QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(text);
        // An odd byte count or a lone surrogate is a damaged file, not one to guess at.
        if (decoder.hasError() || text.size() % 2 != 0)
            return std::unexpected(PropertyListError::malformed);
        utf8 = decoded.toUtf8();
    }
    if (utf8.startsWith("bplist"))
        return std::unexpected(PropertyListError::malformed);
    return utf8;
}

} // namespace

QString description(PropertyListError error) {
    switch (error) {
    case PropertyListError::unreadable:
        return QStringLiteral("The property list could not be read.");
    case PropertyListError::tooLarge:
        return QStringLiteral("The property list is larger than Quorvane reads.");
    case PropertyListError::tooComplex:
        return QStringLiteral(
            "The property list nests or repeats its contents more deeply than Quorvane reads.");
    case PropertyListError::malformed:
        return QStringLiteral("The property list is damaged or not a property list.");
    case PropertyListError::notDictionary:
        return QStringLiteral("The property list does not hold a dictionary.");
    }
    return {};
}

std::expected<QVariant, PropertyListError> parsePropertyList(QByteArrayView bytes) {
    if (bytes.size() > propertyListSizeLimit)
        return std::unexpected(PropertyListError::tooLarge);
    if (bytes.isEmpty())
        return std::unexpected(PropertyListError::malformed);
    // The parser is handed a copy that is sure to end in a NUL, and the guards look at that copy.
    const auto converted = asUnmarkedUtf8(bytes);
    if (!converted)
        return std::unexpected(converted.error());
    const QByteArray& copy = *converted;
    if (copy.isEmpty())
        return std::unexpected(PropertyListError::malformed);
    if (copy.startsWith("bplist")) {
        if (auto checked = BinaryListCheck(copy).run(); !checked)
            return std::unexpected(checked.error());
    } else if (!xmlWithinLimits(copy)) {
        return std::unexpected(PropertyListError::tooComplex);
    }
    plist_t raw = nullptr;
    plist_from_memory(copy.constData(), static_cast<uint32_t>(copy.size()), &raw);
    const PlistPointer root(raw);
    if (!root)
        return std::unexpected(PropertyListError::malformed);
    return toVariant(root.get(), 0);
}

std::expected<QVariantMap, PropertyListError> readPropertyListDictionary(const QString& path,
                                                                         int directoryFd) {
    auto bytes = readRegularFile(path, propertyListSizeLimit, directoryFd);
    if (!bytes)
        return std::unexpected(bytes.error().code == EFBIG ? PropertyListError::tooLarge
                                                           : PropertyListError::unreadable);
    auto value = parsePropertyList(*bytes);
    if (!value)
        return std::unexpected(value.error());
    if (value->typeId() != QMetaType::QVariantMap)
        return std::unexpected(PropertyListError::notDictionary);
    return value->toMap();
}

} // namespace quorvane
