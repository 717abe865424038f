#pragma once

#include "Support/EnumText.h"
#include "Support/ParallelFor.h"
#include "Support/Timestamp.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUuid>

#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

// The fewest records each thread takes when long record arrays are decoded or encoded on several
// threads.
inline constexpr std::size_t jsonRecordsPerThread = 512;

struct JsonError {
    // The path of the offending key, such as "bundles[2].format"; empty for the whole document.
    QString key;
    QString message;

    QString description() const;
    bool operator==(const JsonError&) const = default;
};

// Reads one JSON object strictly, so that every record decodes the same way: required keys must
// be present and not null (null reads as absent), types must match exactly, enumeration texts
// must match exactly, and unknown keys are ignored. The first failure sticks; afterwards every
// getter returns a default value, and the caller checks ok() once at the end.
class JsonReader {
public:
    explicit JsonReader(const QJsonObject& object, QString context = {});

    // Present and not null.
    bool has(QStringView key) const;

    QString string(QStringView key);
    std::optional<QString> optionalString(QStringView key);
    bool boolean(QStringView key);
    std::optional<bool> optionalBoolean(QStringView key);
    // Only from an integral number within ±2^53.
    qint64 integer(QStringView key);
    std::optional<qint64> optionalInteger(QStringView key);
    int int32(QStringView key);
    std::optional<int> optionalInt32(QStringView key);
    double number(QStringView key);
    std::optional<double> optionalNumber(QStringView key);
    QUuid uuid(QStringView key);
    std::optional<QUuid> optionalUuid(QStringView key);
    Timestamp timestamp(QStringView key);
    std::optional<Timestamp> optionalTimestamp(QStringView key);

    template <class E>
    E enumeration(QStringView key, const EnumTextTable<E>& table) {
        if (const auto value = readEnumeration(key, table, true))
            return *value;
        return E{};
    }

    template <class E>
    std::optional<E> optionalEnumeration(QStringView key, const EnumTextTable<E>& table) {
        return readEnumeration(key, table, false);
    }

    QStringList stringArray(QStringView key);
    std::optional<QStringList> optionalStringArray(QStringView key);
    QJsonObject object(QStringView key);
    std::optional<QJsonObject> optionalObject(QStringView key);

    // decode(const QJsonObject&, const QString& context) -> std::expected<T, JsonError>. Each
    // element is decoded with an empty context, and a failing element's path, such as
    // "bundles[2]", is put before the key of its error then, so that no path is built for the
    // elements that decode.
    template <class T, class F>
    std::vector<T> objectArray(QStringView key, F decode) {
        if (auto values = readObjectArray<T>(key, decode, true, false))
            return std::move(*values);
        return {};
    }

    // As objectArray, with the elements of a long array decoded on several threads at once;
    // `decode` must be safe to call that way.
    template <class T, class F>
    std::vector<T> objectArrayInParallel(QStringView key, F decode) {
        if (auto values = readObjectArray<T>(key, decode, true, true))
            return std::move(*values);
        return {};
    }

    template <class T, class F>
    std::optional<std::vector<T>> optionalObjectArray(QStringView key, F decode) {
        return readObjectArray<T>(key, decode, false, false);
    }

    // The object of `key` decoded with decode(object, pathOf(key)). A decoding error, whose key
    // then holds the whole path, becomes this reader's.
    template <class T, class F>
    T decodedObject(QStringView key, F decode) {
        return readDecodedObject<T>(key, decode, true).value_or(T{});
    }

    // As decodedObject, but absent when `key` is missing or null.
    template <class T, class F>
    std::optional<T> optionalDecodedObject(QStringView key, F decode) {
        return readDecodedObject<T>(key, decode, false);
    }

    // Records a failure of `key` unless an earlier one is already recorded.
    void fail(QStringView key, const QString& message);
    bool ok() const { return !m_failed; }
    const JsonError& error() const { return m_error; }

    const QString& context() const { return m_context; }
    // The context path of `key` in this object, such as "bundles[2].format".
    QString pathOf(QStringView key) const;

private:
    // The value of `key` when it is present and not null and no failure is recorded yet;
    // records "missing" when `required`. A reference into m_object, so that reading a value
    // copies nothing but the value itself.
    std::optional<QJsonValueConstRef> present(QStringView key, bool required);
    std::optional<QString> readString(QStringView key, bool required);
    std::optional<bool> readBoolean(QStringView key, bool required);
    std::optional<qint64> readInteger(QStringView key, bool required, qint64 minimum, qint64 maximum);
    std::optional<qint64> readInteger64(QStringView key, bool required);
    std::optional<double> readNumber(QStringView key, bool required);
    std::optional<QUuid> readUuid(QStringView key, bool required);
    std::optional<QStringList> readStringArray(QStringView key, bool required);
    std::optional<QJsonObject> readObject(QStringView key, bool required);

    template <class E>
    std::optional<E> readEnumeration(QStringView key, const EnumTextTable<E>& table, bool required) {
        const auto raw = readString(key, required);
        if (!raw)
            return std::nullopt;
        if (const auto value = table.parse(*raw))
            return value;
        failUnknownValue(key, *raw);
        return std::nullopt;
    }

    template <class T, class F>
    std::optional<T> readDecodedObject(QStringView key, F& decode, bool required) {
        const std::optional<QJsonObject> value = readObject(key, required);
        if (!value)
            return std::nullopt;
        std::expected<T, JsonError> decoded = decode(*value, pathOf(key));
        if (!decoded) {
            failWith(decoded.error());
            return std::nullopt;
        }
        return std::move(*decoded);
    }

    template <class T, class F>
    std::optional<std::vector<T>> readObjectArray(QStringView key, F& decode, bool required,
                                                  bool inParallel) {
        const auto value = present(key, required);
        if (!value)
            return std::nullopt;
        if (!value->isArray()) {
            failType(key, QStringLiteral("an array"));
            return std::nullopt;
        }
        const QJsonArray array = value->toArray();
        const auto count = static_cast<std::size_t>(array.size());
        // Absent where the element is no object.
        const auto decodeAt = [&](std::size_t index) -> std::optional<std::expected<T, JsonError>> {
            const QJsonValue element = array.at(static_cast<qsizetype>(index));
            if (!element.isObject())
                return std::nullopt;
            return decode(element.toObject(), QString());
        };
        // Decoded on several threads, every element is decoded ahead; on one, each in turn, up to
        // the first failure.
        const std::size_t helperThreads = inParallel ? helperThreadsFor(count, jsonRecordsPerThread) : 0;
        std::vector<std::optional<std::expected<T, JsonError>>> decodedAhead;
        if (helperThreads > 0) {
            decodedAhead.resize(count);
            forEachIndexInParallel(count, helperThreads,
                                   [&](std::size_t index) { decodedAhead[index] = decodeAt(index); });
        }
        // The first failing element in order is the one reported, however the work was shared.
        std::vector<T> result;
        result.reserve(count);
        for (std::size_t index = 0; index < count; ++index) {
            std::optional<std::expected<T, JsonError>> element =
                helperThreads > 0 ? std::move(decodedAhead[index]) : decodeAt(index);
            if (!element) {
                failPath(elementPathOf(key, static_cast<qsizetype>(index)),
                         QStringLiteral("must be an object"));
                return std::nullopt;
            }
            if (!*element) {
                failElement(key, static_cast<qsizetype>(index), element->error());
                return std::nullopt;
            }
            result.push_back(std::move(**element));
        }
        return result;
    }

    QString elementPathOf(QStringView key, qsizetype index) const;
    void failType(QStringView key, const QString& expected);
    void failUnknownValue(QStringView key, const QString& raw);
    void failPath(const QString& path, const QString& message);
    void failWith(const JsonError& error);
    // Records `error` of element `index` of array `key`, whose key is relative to the element.
    void failElement(QStringView key, qsizetype index, const JsonError& error);

    QJsonObject m_object;
    QString m_context;
    bool m_failed = false;
    JsonError m_error;
};

// Every document parsed here comes from outside this process: a file on disk or another program.
// Two readers could take different values from what Qt's parser lets through, so it is refused
// too: an object that names one key twice (Qt keeps the last) and a control character written
// raw inside a string (Qt keeps it as it stands). The top level must be an object; malformed
// JSON fails with the parser's reason.
[[nodiscard]] std::expected<QJsonObject, JsonError> parseJsonObject(const QByteArray& data);

// Parses `data` as parseJsonObject does and hands the object to `use`; fails, whatever `use` did,
// when the document is refused. On a large document (a state file) `use` runs beside the check
// for repeated keys, which walks the whole tree.
[[nodiscard]] std::optional<JsonError>
parseJsonObjectInto(const QByteArray& data, const std::function<void(const QJsonObject&)>& use);

// Parses `data` as one JSON object and decodes it with `fromJson(object, context)`.
template <class T, class FromJson>
[[nodiscard]] std::expected<T, JsonError> decodeJsonDocument(const QByteArray& data, FromJson fromJson) {
    std::optional<std::expected<T, JsonError>> decoded;
    if (auto refused = parseJsonObjectInto(
            data, [&](const QJsonObject& object) { decoded = fromJson(object, QString()); }))
        return std::unexpected(std::move(*refused));
    return std::move(*decoded);
}

} // namespace quorvane
