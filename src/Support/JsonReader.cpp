#include "Support/JsonReader.h"

#include "Support/ParallelFor.h"
#include "Support/Uuid.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace quorvane {

namespace {

// Beyond 2^53 a JSON number no longer names one integer.
constexpr double largestExactInteger = 9007199254740992.0;

} // namespace

QString JsonError::description() const {
    if (key.isEmpty())
        return message;
    return QStringLiteral("The value of \u201C%1\u201D %2.").arg(key, message);
}

JsonReader::JsonReader(const QJsonObject& object, QString context)
    : m_object(object), m_context(std::move(context)) {}

bool JsonReader::has(QStringView key) const {
    const auto it = m_object.constFind(key);
    return it != m_object.constEnd() && !it->isNull() && !it->isUndefined();
}

QString JsonReader::pathOf(QStringView key) const {
    if (m_context.isEmpty())
        return key.toString();
    return m_context + QLatin1Char('.') + key.toString();
}

QString JsonReader::elementPathOf(QStringView key, qsizetype index) const {
    return pathOf(key) + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

void JsonReader::fail(QStringView key, const QString& message) {
    failPath(pathOf(key), message);
}

void JsonReader::failPath(const QString& path, const QString& message) {
    failWith(JsonError{path, message});
}

void JsonReader::failWith(const JsonError& error) {
    if (m_failed)
        return;
    m_failed = true;
    m_error = error;
}

void JsonReader::failElement(QStringView key, qsizetype index, const JsonError& error) {
    if (m_failed)
        return;
    const QString elementPath = elementPathOf(key, index);
    failPath(error.key.isEmpty() ? elementPath : elementPath + QLatin1Char('.') + error.key, error.message);
}

void JsonReader::failType(QStringView key, const QString& expected) {
    fail(key, QStringLiteral("must be %1").arg(expected));
}

void JsonReader::failUnknownValue(QStringView key, const QString& raw) {
    fail(key, QStringLiteral("has the unknown value \u201C%1\u201D").arg(raw));
}

std::optional<QJsonValueConstRef> JsonReader::present(QStringView key, bool required) {
    if (m_failed)
        return std::nullopt;
    const auto it = m_object.constFind(key);
    const QJsonValue::Type type = it == m_object.constEnd() ? QJsonValue::Undefined : it->type();
    if (type == QJsonValue::Null || type == QJsonValue::Undefined) {
        if (required)
            fail(key, QStringLiteral("is missing"));
        return std::nullopt;
    }
    return *it;
}

std::optional<QString> JsonReader::readString(QStringView key, bool required) {
    const auto value = present(key, required);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        failType(key, QStringLiteral("a string"));
        return std::nullopt;
    }
    return value->toString();
}

QString JsonReader::string(QStringView key) {
    return readString(key, true).value_or(QString());
}

std::optional<QString> JsonReader::optionalString(QStringView key) {
    return readString(key, false);
}

namespace {

std::optional<bool> booleanOf(QJsonValueConstRef value) {
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<qint64> integerOf(QJsonValueConstRef value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || std::abs(number) > largestExactInteger)
        return std::nullopt;
    // Qt keeps integers it parsed exactly; 2^53 + 1 reads as 2^53 through a double.
    const qint64 integer = value.toInteger(static_cast<qint64>(number));
    if (integer > static_cast<qint64>(largestExactInteger) ||
        integer < -static_cast<qint64>(largestExactInteger))
        return std::nullopt;
    return integer;
}

} // namespace

bool JsonReader::boolean(QStringView key) {
    return readBoolean(key, true).value_or(false);
}

std::optional<bool> JsonReader::optionalBoolean(QStringView key) {
    return readBoolean(key, false);
}

std::optional<bool> JsonReader::readBoolean(QStringView key, bool required) {
    const auto value = present(key, required);
    if (!value)
        return std::nullopt;
    const auto result = booleanOf(*value);
    if (!result)
        failType(key, QStringLiteral("true or false"));
    return result;
}

std::optional<qint64> JsonReader::readInteger(QStringView key, bool required, qint64 minimum,
                                              qint64 maximum) {
    const auto value = present(key, required);
    if (!value)
        return std::nullopt;
    const auto result = integerOf(*value);
    if (!result || *result < minimum || *result > maximum) {
        failType(key, QStringLiteral("an integer from %1 to %2").arg(minimum).arg(maximum));
        return std::nullopt;
    }
    return result;
}

qint64 JsonReader::integer(QStringView key) {
    return readInteger64(key, true).value_or(0);
}

std::optional<qint64> JsonReader::optionalInteger(QStringView key) {
    return readInteger64(key, false);
}

std::optional<qint64> JsonReader::readInteger64(QStringView key, bool required) {
    constexpr auto limit = static_cast<qint64>(largestExactInteger);
    return readInteger(key, required, -limit, limit);
}

int JsonReader::int32(QStringView key) {
    return static_cast<int>(
        readInteger(key, true, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()).value_or(0));
}

std::optional<int> JsonReader::optionalInt32(QStringView key) {
    const auto value =
        readInteger(key, false, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<double> JsonReader::readNumber(QStringView key, bool required) {
    const auto value = present(key, required);
    if (!value)
        return std::nullopt;
    if (!value->isDouble()) {
        failType(key, QStringLiteral("a number"));
        return std::nullopt;
    }
    return value->toDouble();
}

double JsonReader::number(QStringView key) {
    return readNumber(key, true).value_or(0.0);
}

std::optional<double> JsonReader::optionalNumber(QStringView key) {
    return readNumber(key, false);
}

std::optional<QUuid> JsonReader::readUuid(QStringView key, bool required) {
    const auto text = readString(key, required);
    if (!text)
        return std::nullopt;
    const auto uuid = parseUuid(*text);
    if (!uuid)
        failType(key, QStringLiteral("a UUID of 36 characters"));
    return uuid;
}

QUuid JsonReader::uuid(QStringView key) {
    return readUuid(key, true).value_or(QUuid());
}

std::optional<QUuid> JsonReader::optionalUuid(QStringView key) {
    return readUuid(key, false);
}

Timestamp JsonReader::timestamp(QStringView key) {
    return Timestamp{number(key)};
}

std::optional<Timestamp> JsonReader::optionalTimestamp(QStringView key) {
    const auto seconds = readNumber(key, false);
    return seconds ? std::optional<Timestamp>(Timestamp{*seconds}) : std::nullopt;
}

std::optional<QStringList> JsonReader::readStringArray(QStringView key, bool required) {
    const auto value = present(key, required);
    if (!value)
        return std::nullopt;
    if (!value->isArray()) {
        failType(key, QStringLiteral("an array"));
        return std::nullopt;
    }
    const QJsonArray array = value->toArray();
    QStringList result;
    result.reserve(array.size());
    qsizetype index = 0;
    for (const QJsonValueConstRef element : array) {
        if (!element.isString()) {
            failPath(elementPathOf(key, index), QStringLiteral("must be a string"));
            return std::nullopt;
        }
        result.append(element.toString());
        ++index;
    }
    return result;
}

QStringList JsonReader::stringArray(QStringView key) {
    return readStringArray(key, true).value_or(QStringList());
}

std::optional<QStringList> JsonReader::optionalStringArray(QStringView key) {
    return readStringArray(key, false);
}

std::optional<QJsonObject> JsonReader::readObject(QStringView key, bool required) {
    const auto value = present(key, required);
    if (!value)
        return std::nullopt;
    if (!value->isObject()) {
        failType(key, QStringLiteral("an object"));
        return std::nullopt;
    }
    return value->toObject();
}

QJsonObject JsonReader::object(QStringView key) {
    return readObject(key, true).value_or(QJsonObject());
}

std::optional<QJsonObject> JsonReader::optionalObject(QStringView key) {
    return readObject(key, false);
}

namespace {

// The members of every object within, the object's own among them. Only objects and arrays are
// taken out of their container: copying out every string would cost more than the parse.
qsizetype keyCount(const QJsonObject& object);

qsizetype keyCount(QJsonValueConstRef value) {
    qsizetype count = 0;
    if (value.isObject()) {
        count = keyCount(value.toObject());
    } else if (value.isArray()) {
        for (const QJsonValueConstRef element : value.toArray())
            count += keyCount(element);
    }
    return count;
}

qsizetype keyCount(const QJsonObject& object) {
    qsizetype count = object.size();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        count += keyCount(it.value());
    return count;
}

// keyCount of a document's top object, whose long arrays (a state file's records) are counted in
// chunks on several threads.
qsizetype documentKeyCount(const QJsonObject& object) {
    constexpr qsizetype elementsPerChunk = 2048;
    qsizetype count = object.size();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isArray() || it.value().toArray().size() < 2 * elementsPerChunk) {
            count += keyCount(it.value());
            continue;
        }
        const QJsonArray array = it.value().toArray();
        std::vector<qsizetype> counts(std::size_t((array.size() + elementsPerChunk - 1) / elementsPerChunk));
        forEachIndexInParallel(counts.size(), helperThreadsFor(counts.size(), 1), [&](std::size_t chunk) {
            const qsizetype end = std::min(array.size(), qsizetype(chunk + 1) * elementsPerChunk);
            for (qsizetype index = qsizetype(chunk) * elementsPerChunk; index < end; ++index)
                counts[chunk] += keyCount(*(array.constBegin() + index));
        });
        for (const qsizetype part : counts)
            count += part;
    }
    return count;
}

// What of the text only a reader of the bytes sees.
struct TextShape {
    // Colons outside strings.
    qsizetype colons = 0;
    bool controlCharacterInString = false;
};

TextShape shapeOf(const QByteArray& data) {
    TextShape shape;
    bool inString = false;
    for (qsizetype index = 0; index < data.size(); ++index) {
        auto byte = static_cast<unsigned char>(data[index]);
        if (!inString) {
            if (byte == '"')
                inString = true;
            else if (byte == ':')
                ++shape.colons;
            continue;
        }
        // Qt also takes a control character after a backslash as that character.
        if (byte == '\\' && index + 1 < data.size()) {
            byte = static_cast<unsigned char>(data[++index]);
        } else if (byte == '"') {
            inString = false;
            continue;
        }
        if (byte < 0x20) {
            shape.controlCharacterInString = true;
            break;
        }
    }
    return shape;
}

// Why a document Qt's parser accepted is still refused; none when it is strict JSON.
std::optional<QString> laxityOf(const TextShape& shape, const QJsonObject& parsed) {
    if (shape.controlCharacterInString)
        return QStringLiteral("The data is not valid JSON (a string holds a control character).");
    // In valid JSON every member of every object has exactly one colon outside strings, and no colon
    // appears anywhere else; the parser keeps one member per distinct key. So the text has more
    // colons than the parsed tree has members exactly when some object repeats a key (a repeated
    // member's dropped value takes its own members along, which only widens the gap).
    if (shape.colons != documentKeyCount(parsed))
        return QStringLiteral("The data is not valid JSON (an object repeats a key).");
    return std::nullopt;
}

} // namespace

std::optional<JsonError> parseJsonObjectInto(const QByteArray& data,
                                             const std::function<void(const QJsonObject&)>& use) {
    // The bytes' own reading runs beside Qt's parse when the document is large (a state file).
    constexpr qsizetype largeDocument = qsizetype(1) << 20;
    const bool large = data.size() >= largeDocument;
    QJsonParseError parseError;
    QJsonDocument document;
    TextShape shape;
    forEachIndexInParallel(2, large ? 1 : 0, [&](std::size_t part) {
        if (part == 0)
            document = QJsonDocument::fromJson(data, &parseError);
        else
            shape = shapeOf(data);
    });
    // Qt refuses a lone scalar as a parse error; name it as what it is.
    if (parseError.error != QJsonParseError::NoError &&
        QJsonDocument::fromJson('[' + data + ']').array().size() == 1)
        return JsonError{{}, QStringLiteral("The top level of the JSON document is not an object.")};
    if (parseError.error != QJsonParseError::NoError) {
        return JsonError{{},
                         QStringLiteral("The data is not valid JSON (%1 at offset %2).")
                             .arg(parseError.errorString())
                             .arg(parseError.offset)};
    }
    if (!document.isObject())
        return JsonError{{}, QStringLiteral("The top level of the JSON document is not an object.")};
    const QJsonObject object = document.object();
    std::optional<QString> laxity;
    forEachIndexInParallel(2, large ? 1 : 0, [&](std::size_t part) {
        if (part == 0)
            laxity = laxityOf(shape, object);
        else
            use(object);
    });
    if (laxity)
        return JsonError{{}, std::move(*laxity)};
    return std::nullopt;
}

std::expected<QJsonObject, JsonError> parseJsonObject(const QByteArray& data) {
    QJsonObject parsed;
    if (auto refused = parseJsonObjectInto(data, [&](const QJsonObject& object) { parsed = object; }))
        return std::unexpected(std::move(*refused));
    return parsed;
}

} // namespace quorvane
