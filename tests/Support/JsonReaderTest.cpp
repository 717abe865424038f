#include "Support/JsonReader.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <variant>

namespace quorvane {

void PrintTo(const JsonError& error, std::ostream* out) {
    *out << '{' << error.key.toStdString() << ": " << error.message.toStdString() << '}';
}

namespace {

enum class Format { au, vst3, clap };

const EnumTextTable<Format> formatTexts{
    {Format::au, QStringLiteral("au")},
    {Format::vst3, QStringLiteral("vst3")},
    {Format::clap, QStringLiteral("clap")},
};

QJsonObject objectFrom(const char* json) {
    const auto parsed = parseJsonObject(QByteArray(json));
    EXPECT_TRUE(parsed.has_value()) << json;
    return parsed.value_or(QJsonObject());
}

using Value = std::variant<std::monostate, QString, bool, qint64, int, double, QUuid, Format, QStringList>;

struct Row {
    const char* name;
    const char* json;
    // Reads key "v" and returns what the getter gave; std::monostate stands for nullopt.
    std::function<Value(JsonReader&)> read;
    Value expected;
    const char* error; // nullptr when the read succeeds
};

template <class T>
Value optionalValue(const std::optional<T>& value) {
    return value ? Value(*value) : Value(std::monostate{});
}

const QUuid sampleUuid = QUuid::fromString(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));

const Row rows[] = {
    // Strings: required, optional, null reads as absent.
    {"string", R"({"v": "x"})", [](JsonReader& r) { return Value(r.string(u"v")); }, QStringLiteral("x"),
     nullptr},
    {"string missing", R"({})", [](JsonReader& r) { return Value(r.string(u"v")); }, QString(), "is missing"},
    {"string null", R"({"v": null})", [](JsonReader& r) { return Value(r.string(u"v")); }, QString(),
     "is missing"},
    {"string number", R"({"v": 1})", [](JsonReader& r) { return Value(r.string(u"v")); }, QString(),
     "must be a string"},
    {"optional string missing", R"({})", [](JsonReader& r) { return optionalValue(r.optionalString(u"v")); },
     std::monostate{}, nullptr},
    {"optional string null", R"({"v": null})",
     [](JsonReader& r) { return optionalValue(r.optionalString(u"v")); }, std::monostate{}, nullptr},
    {"optional string wrong type", R"({"v": false})",
     [](JsonReader& r) { return optionalValue(r.optionalString(u"v")); }, std::monostate{},
     "must be a string"},
    // Booleans only from true and false.
    {"bool true", R"({"v": true})", [](JsonReader& r) { return Value(r.boolean(u"v")); }, true, nullptr},
    {"bool false", R"({"v": false})", [](JsonReader& r) { return Value(r.boolean(u"v")); }, false, nullptr},
    {"bool from 1", R"({"v": 1})", [](JsonReader& r) { return Value(r.boolean(u"v")); }, false,
     "must be true or false"},
    {"bool from text", R"({"v": "true"})", [](JsonReader& r) { return Value(r.boolean(u"v")); }, false,
     "must be true or false"},
    {"optional bool null", R"({"v": null})",
     [](JsonReader& r) { return optionalValue(r.optionalBoolean(u"v")); }, std::monostate{}, nullptr},
    // Integers only from integral numbers within ±2^53.
    {"integer", R"({"v": 42})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(42), nullptr},
    {"integer from 1.0", R"({"v": 1.0})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(1),
     nullptr},
    {"integer from 1e3", R"({"v": 1e3})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(1000),
     nullptr},
    {"integer negative", R"({"v": -7})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(-7),
     nullptr},
    {"integer 2^53", R"({"v": 9007199254740992})", [](JsonReader& r) { return Value(r.integer(u"v")); },
     qint64(9007199254740992), nullptr},
    {"integer from 1.5", R"({"v": 1.5})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(0),
     "must be an integer from -9007199254740992 to 9007199254740992"},
    {"integer beyond 2^53", R"({"v": 9007199254740993})",
     [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(0),
     "must be an integer from -9007199254740992 to 9007199254740992"},
    {"integer below -2^53", R"({"v": -9007199254740994})",
     [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(0),
     "must be an integer from -9007199254740992 to 9007199254740992"},
    {"integer huge", R"({"v": 1e300})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(0),
     "must be an integer from -9007199254740992 to 9007199254740992"},
    {"integer from text", R"({"v": "1"})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(0),
     "must be an integer from -9007199254740992 to 9007199254740992"},
    {"integer from true", R"({"v": true})", [](JsonReader& r) { return Value(r.integer(u"v")); }, qint64(0),
     "must be an integer from -9007199254740992 to 9007199254740992"},
    {"optional integer missing", R"({})",
     [](JsonReader& r) { return optionalValue(r.optionalInteger(u"v")); }, std::monostate{}, nullptr},
    {"int32 max", R"({"v": 2147483647})", [](JsonReader& r) { return Value(r.int32(u"v")); }, 2147483647,
     nullptr},
    {"int32 beyond", R"({"v": 2147483648})", [](JsonReader& r) { return Value(r.int32(u"v")); }, 0,
     "must be an integer from -2147483648 to 2147483647"},
    // Numbers.
    {"number", R"({"v": 1.5})", [](JsonReader& r) { return Value(r.number(u"v")); }, 1.5, nullptr},
    {"number from text", R"({"v": "1.5"})", [](JsonReader& r) { return Value(r.number(u"v")); }, 0.0,
     "must be a number"},
    {"optional number", R"({"v": -2})", [](JsonReader& r) { return optionalValue(r.optionalNumber(u"v")); },
     -2.0, nullptr},
    // UUIDs: the 36-character form only.
    {"uuid lower", R"({"v": "0f8fad5b-d9cb-469f-a165-70867728950e"})",
     [](JsonReader& r) { return Value(r.uuid(u"v")); }, sampleUuid, nullptr},
    {"uuid upper", R"({"v": "0F8FAD5B-D9CB-469F-A165-70867728950E"})",
     [](JsonReader& r) { return Value(r.uuid(u"v")); }, sampleUuid, nullptr},
    {"uuid braces", R"({"v": "{0f8fad5b-d9cb-469f-a165-70867728950e}"})",
     [](JsonReader& r) { return Value(r.uuid(u"v")); }, QUuid(), "must be a UUID of 36 characters"},
    {"uuid with nul", R"({"v": "0f8fad5b-d9cb-469f-a165-70867728950\u0000"})",
     [](JsonReader& r) { return Value(r.uuid(u"v")); }, QUuid(), "must be a UUID of 36 characters"},
    {"uuid number", R"({"v": 5})", [](JsonReader& r) { return Value(r.uuid(u"v")); }, QUuid(),
     "must be a string"},
    {"optional uuid null", R"({"v": null})",
     [](JsonReader& r) { return optionalValue(r.optionalUuid(u"v")); }, std::monostate{}, nullptr},
    // Enumerations match their raw text exactly.
    {"enum", R"({"v": "vst3"})", [](JsonReader& r) { return Value(r.enumeration(u"v", formatTexts)); },
     Format::vst3, nullptr},
    {"enum case mismatch", R"({"v": "VST3"})",
     [](JsonReader& r) { return Value(r.enumeration(u"v", formatTexts)); }, Format::au,
     "has the unknown value \u201CVST3\u201D"},
    {"enum with space", R"({"v": "vst3 "})",
     [](JsonReader& r) { return Value(r.enumeration(u"v", formatTexts)); }, Format::au,
     "has the unknown value \u201Cvst3 \u201D"},
    {"optional enum missing", R"({})",
     [](JsonReader& r) { return optionalValue(r.optionalEnumeration(u"v", formatTexts)); }, std::monostate{},
     nullptr},
    {"optional enum unknown", R"({"v": "aax"})",
     [](JsonReader& r) { return optionalValue(r.optionalEnumeration(u"v", formatTexts)); }, std::monostate{},
     "has the unknown value \u201Caax\u201D"},
    // String arrays.
    {"string array", R"({"v": ["a", "b"]})", [](JsonReader& r) { return Value(r.stringArray(u"v")); },
     QStringList{QStringLiteral("a"), QStringLiteral("b")}, nullptr},
    {"empty string array", R"({"v": []})", [](JsonReader& r) { return Value(r.stringArray(u"v")); },
     QStringList(), nullptr},
    {"string array not array", R"({"v": "a"})", [](JsonReader& r) { return Value(r.stringArray(u"v")); },
     QStringList(), "must be an array"},
    {"optional string array null", R"({"v": null})",
     [](JsonReader& r) { return optionalValue(r.optionalStringArray(u"v")); }, std::monostate{}, nullptr},
    // Unknown keys are ignored.
    {"unknown keys", R"({"v": "x", "future": {"a": [1, 2]}, "V": 3})",
     [](JsonReader& r) { return Value(r.string(u"v")); }, QStringLiteral("x"), nullptr},
};

TEST(JsonReaderTest, ReadsValuesStrictly) {
    for (const Row& row : rows) {
        JsonReader reader(objectFrom(row.json));
        const Value value = row.read(reader);
        EXPECT_EQ(value, row.expected) << row.name;
        if (row.error) {
            EXPECT_FALSE(reader.ok()) << row.name;
            EXPECT_EQ(reader.error().key, QStringLiteral("v")) << row.name;
            EXPECT_EQ(reader.error().message, QString::fromUtf8(row.error)) << row.name;
        } else {
            EXPECT_TRUE(reader.ok()) << row.name << ": " << reader.error().description().toStdString();
        }
    }
}

TEST(JsonReaderTest, StringArrayErrorNamesTheElement) {
    JsonReader reader(objectFrom(R"({"tags": ["a", 1]})"), QStringLiteral("plugins[0]"));
    EXPECT_EQ(reader.stringArray(u"tags"), QStringList());
    EXPECT_EQ(reader.error(),
              (JsonError{QStringLiteral("plugins[0].tags[1]"), QStringLiteral("must be a string")}));
}

TEST(JsonReaderTest, HasMeansPresentAndNotNull) {
    const JsonReader reader(objectFrom(R"({"a": 0, "b": null, "c": false, "d": ""})"));
    EXPECT_TRUE(reader.has(u"a"));
    EXPECT_FALSE(reader.has(u"b"));
    EXPECT_TRUE(reader.has(u"c"));
    EXPECT_TRUE(reader.has(u"d"));
    EXPECT_FALSE(reader.has(u"e"));
}

TEST(JsonReaderTest, FirstErrorSticksAndLaterGettersReturnDefaults) {
    JsonReader reader(objectFrom(R"({"name": 5, "format": "AU", "count": 3})"), QStringLiteral("state"));
    EXPECT_EQ(reader.string(u"name"), QString());
    EXPECT_EQ(reader.enumeration(u"format", formatTexts), Format::au);
    EXPECT_EQ(reader.integer(u"count"), 0);
    EXPECT_EQ(reader.optionalInteger(u"count"), std::nullopt);
    reader.fail(u"other", QStringLiteral("is wrong"));
    EXPECT_FALSE(reader.ok());
    EXPECT_EQ(reader.error(), (JsonError{QStringLiteral("state.name"), QStringLiteral("must be a string")}));
    EXPECT_EQ(reader.error().description(),
              QString::fromUtf8("The value of \u201Cstate.name\u201D must be a string."));
}

struct Bundle {
    QString path;
    Format format = Format::au;
    bool operator==(const Bundle&) const = default;
};

[[nodiscard]] std::expected<Bundle, JsonError> decodeBundle(const QJsonObject& object,
                                                            const QString& context) {
    JsonReader reader(object, context);
    Bundle bundle{reader.string(u"path"), reader.enumeration(u"format", formatTexts)};
    if (!reader.ok())
        return std::unexpected(reader.error());
    return bundle;
}

TEST(JsonReaderTest, ObjectArraysDecodeEachElementWithItsContext) {
    JsonReader good(
        objectFrom(R"({"bundles": [{"path": "/a", "format": "vst3"}, {"path": "/b", "format": "clap"}]})"));
    EXPECT_EQ(
        good.objectArray<Bundle>(u"bundles", decodeBundle),
        (std::vector<Bundle>{{QStringLiteral("/a"), Format::vst3}, {QStringLiteral("/b"), Format::clap}}));
    EXPECT_TRUE(good.ok());

    JsonReader badElement(objectFrom(
        R"({"bundles": [{"path": "/a", "format": "vst3"}, {"path": "/b"}, {"path": "/c", "format": "VST"}]})"));
    EXPECT_TRUE(badElement.objectArray<Bundle>(u"bundles", decodeBundle).empty());
    EXPECT_EQ(badElement.error(),
              (JsonError{QStringLiteral("bundles[1].format"), QStringLiteral("is missing")}));

    JsonReader nested(objectFrom(R"({"bundles": [{"path": "/a", "format": "vst"}]})"),
                      QStringLiteral("products[3]"));
    EXPECT_EQ(nested.optionalObjectArray<Bundle>(u"bundles", decodeBundle), std::nullopt);
    EXPECT_EQ(nested.error().key, QStringLiteral("products[3].bundles[0].format"));

    JsonReader notObject(objectFrom(R"({"bundles": [{"path": "/a", "format": "au"}, 7]})"));
    notObject.objectArray<Bundle>(u"bundles", decodeBundle);
    EXPECT_EQ(notObject.error(),
              (JsonError{QStringLiteral("bundles[1]"), QStringLiteral("must be an object")}));

    JsonReader absent(objectFrom(R"({"bundles": null})"));
    EXPECT_EQ(absent.optionalObjectArray<Bundle>(u"bundles", decodeBundle), std::nullopt);
    EXPECT_TRUE(absent.ok());
    absent.objectArray<Bundle>(u"bundles", decodeBundle);
    EXPECT_EQ(absent.error(), (JsonError{QStringLiteral("bundles"), QStringLiteral("is missing")}));
}

struct Product {
    QString name;
    std::vector<Bundle> bundles;
    bool operator==(const Product&) const = default;
};

[[nodiscard]] std::expected<Product, JsonError> decodeProduct(const QJsonObject& object,
                                                              const QString& context) {
    JsonReader reader(object, context);
    Product product{reader.string(u"name"), reader.objectArray<Bundle>(u"bundles", decodeBundle)};
    if (!reader.ok())
        return std::unexpected(reader.error());
    return product;
}

// Element paths are only put together once an element fails, so they must still name every level.
TEST(JsonReaderTest, NestedArrayErrorsNameTheWholePath) {
    const char* json = R"({"products": [
        {"name": "A", "bundles": [{"path": "/a", "format": "au"}]},
        {"name": "B", "bundles": [{"path": "/b", "format": "au"}, {"path": "/c", "format": "vst3"},
                                  {"path": "/d", "format": "VST3"}, {"path": "/e"}]}]})";
    JsonReader top(objectFrom(json));
    EXPECT_TRUE(top.objectArray<Product>(u"products", decodeProduct).empty());
    EXPECT_EQ(top.error(), (JsonError{QStringLiteral("products[1].bundles[2].format"),
                                      QString::fromUtf8("has the unknown value \u201CVST3\u201D")}));

    JsonReader inContext(objectFrom(json), QStringLiteral("state"));
    inContext.objectArray<Product>(u"products", decodeProduct);
    EXPECT_EQ(inContext.error().key, QStringLiteral("state.products[1].bundles[2].format"));

    JsonReader notObject(objectFrom(R"({"products": [{"name": "A", "bundles": [1]}]})"));
    notObject.objectArray<Product>(u"products", decodeProduct);
    EXPECT_EQ(notObject.error(),
              (JsonError{QStringLiteral("products[0].bundles[0]"), QStringLiteral("must be an object")}));

    // A decoder's error about the element as a whole is named after the element.
    JsonReader whole(objectFrom(R"({"products": [{"name": "A"}, {}]})"));
    const auto refuseEmpty = [](const QJsonObject& object, const QString&) -> std::expected<int, JsonError> {
        if (object.isEmpty())
            return std::unexpected(JsonError{{}, QStringLiteral("is empty")});
        return 0;
    };
    EXPECT_TRUE(whole.objectArray<int>(u"products", refuseEmpty).empty());
    EXPECT_EQ(whole.error(), (JsonError{QStringLiteral("products[1]"), QStringLiteral("is empty")}));
}

// Long arrays are decoded on several threads; the result must read as if decoded in turn.
TEST(JsonReaderTest, ParallelObjectArraysKeepOrderAndReportTheFirstFailure) {
    const auto arrayOf = [](int count, const std::function<QJsonValue(int)>& element) {
        QJsonArray array;
        for (int index = 0; index < count; ++index)
            array.append(element(index));
        return QJsonObject{{QStringLiteral("bundles"), array}};
    };
    const auto good = [](int index) {
        return QJsonValue(QJsonObject{{QStringLiteral("path"), QStringLiteral("/%1").arg(index)},
                                      {QStringLiteral("format"), QStringLiteral("clap")}});
    };

    JsonReader all(arrayOf(5000, good));
    const std::vector<Bundle> bundles = all.objectArrayInParallel<Bundle>(u"bundles", decodeBundle);
    ASSERT_TRUE(all.ok());
    ASSERT_EQ(bundles.size(), 5000u);
    for (int index = 0; index < 5000; ++index)
        ASSERT_EQ(bundles[static_cast<std::size_t>(index)].path, QStringLiteral("/%1").arg(index));

    // Later failures, of either kind, never hide an earlier one.
    JsonReader failing(arrayOf(5000, [&](int index) {
        if (index == 4100)
            return QJsonValue(7);
        if (index == 1500 || index == 3900)
            return QJsonValue(QJsonObject{{QStringLiteral("path"), QStringLiteral("/x")}});
        return good(index);
    }));
    EXPECT_TRUE(failing.objectArrayInParallel<Bundle>(u"bundles", decodeBundle).empty());
    EXPECT_EQ(failing.error(),
              (JsonError{QStringLiteral("bundles[1500].format"), QStringLiteral("is missing")}));

    JsonReader notObject(arrayOf(
        5000, [&](int index) { return index == 2200 ? QJsonValue(QStringLiteral("x")) : good(index); }));
    notObject.objectArrayInParallel<Bundle>(u"bundles", decodeBundle);
    EXPECT_EQ(notObject.error(),
              (JsonError{QStringLiteral("bundles[2200]"), QStringLiteral("must be an object")}));
}

TEST(JsonReaderTest, ObjectsAndTimestamps) {
    JsonReader reader(objectFrom(R"({"inner": {"k": 1}, "date": 734512345.25, "list": [1]})"));
    EXPECT_EQ(reader.object(u"inner").value(QStringLiteral("k")).toInt(), 1);
    EXPECT_EQ(reader.timestamp(u"date"), Timestamp{734512345.25});
    EXPECT_EQ(reader.optionalTimestamp(u"missing"), std::nullopt);
    EXPECT_EQ(reader.optionalObject(u"missing"), std::nullopt);
    EXPECT_TRUE(reader.ok());
    reader.object(u"list");
    EXPECT_EQ(reader.error(), (JsonError{QStringLiteral("list"), QStringLiteral("must be an object")}));
}

TEST(JsonReaderTest, ParseJsonObjectRefusesOtherDocuments) {
    EXPECT_TRUE(parseJsonObject(QByteArray(R"({"a": 1})")).has_value());
    EXPECT_TRUE(parseJsonObject(QByteArray("  {}\n")).has_value());

    for (const char* json : {"[1, 2]", "\"text\"", "3", "null"}) {
        const auto result = parseJsonObject(QByteArray(json));
        ASSERT_FALSE(result.has_value()) << json;
        EXPECT_EQ(
            result.error(),
            (JsonError{QString(), QStringLiteral("The top level of the JSON document is not an object.")}))
            << json;
    }
    for (const char* json : {"", "{", "{\"a\": }", "{} trailing", "{'a': 1}", "\xff\xfe"}) {
        const auto result = parseJsonObject(QByteArray(json));
        ASSERT_FALSE(result.has_value()) << json;
        EXPECT_TRUE(result.error().key.isEmpty());
        EXPECT_TRUE(result.error().description().startsWith(QStringLiteral("The data is not valid JSON (")))
            << result.error().description().toStdString();
    }
}

TEST(JsonReaderTest, ParseJsonObjectRefusesWhatQtAloneWouldTake) {
    const QString control =
        QStringLiteral("The data is not valid JSON (a string holds a control character).");
    const QString repeated = QStringLiteral("The data is not valid JSON (an object repeats a key).");
    const std::vector<std::pair<QByteArray, QString>> documents{
        {QByteArray("{\"a\": \"x\0y\"}", 12), control},
        {"{\"a\": \"x\ty\"}", control},
        {"{\"a\": \"x\ny\"}", control},
        {"{\"a\": \"\\\x01\"}", control},
        {"{\"a\x1f\": 1}", control},
        {R"({"a": 1, "a": 1})", repeated},
        {R"({"o": [{"x": 1, "x": 2}]})", repeated},
        // Escaped, every character is allowed; white space between tokens is no string.
        {R"({"a": "x\u0000y\t\n", "b": "\\"})", {}},
        {"{\n\t\"a\":\r\n 1}", {}},
    };
    // The same, as the last element of a long array in a document of over a megabyte, which is read
    // on several threads.
    QByteArray padding("{\"pad\": [");
    for (int index = 0; index < 10000; ++index)
        padding += "{\"k\": \"" + QByteArray(100, 'x') + "\"},";
    for (const auto& [small, refusal] : documents) {
        for (const QByteArray& json : {small, padding + small + "], \"z\": 0}"}) {
            ASSERT_FALSE(QJsonDocument::fromJson(json).isNull()) << json.right(40).toHex().constData();
            const auto result = parseJsonObject(json);
            if (refusal.isEmpty())
                EXPECT_TRUE(result.has_value()) << json.right(40).toHex().constData();
            else
                EXPECT_EQ(result.error(), (JsonError{QString(), refusal}))
                    << json.right(40).toHex().constData();
        }
    }
}

} // namespace
} // namespace quorvane
