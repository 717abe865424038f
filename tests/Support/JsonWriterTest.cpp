#include "Support/JsonWriter.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(JsonWriterTest, WritesSortedIndentedBytes) {
    QJsonObject inner;
    inner.insert(QStringLiteral("zeta"), true);
    inner.insert(QStringLiteral("alpha"), QStringLiteral("x"));
    QJsonObject object;
    object.insert(QStringLiteral("b"), 1);
    object.insert(QStringLiteral("a"), inner);
    object.insert(QStringLiteral("Z"), QJsonArray{});
    object.insert(QStringLiteral("date"), toJson(Timestamp{734512345.123456}));
    EXPECT_EQ(prettyJson(object), QByteArray("{\n"
                                             "    \"Z\": [\n"
                                             "    ],\n"
                                             "    \"a\": {\n"
                                             "        \"alpha\": \"x\",\n"
                                             "        \"zeta\": true\n"
                                             "    },\n"
                                             "    \"b\": 1,\n"
                                             "    \"date\": 734512345.123456\n"
                                             "}\n"));
}

TEST(JsonWriterTest, WritesUuidsInUpperCaseWithoutBraces) {
    const QUuid uuid = QUuid::fromString(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"));
    EXPECT_EQ(toJson(uuid), QJsonValue(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E")));
}

TEST(JsonWriterTest, SetOptionalOmitsAbsentValues) {
    QJsonObject object;
    setOptional(object, QStringLiteral("none"), std::optional<QString>());
    setOptional(object, QStringLiteral("noUuid"), std::optional<QUuid>());
    setOptional(object, QStringLiteral("text"), std::optional<QString>(QStringLiteral("t")));
    setOptional(object, QStringLiteral("flag"), std::optional<bool>(false));
    setOptional(object, QStringLiteral("size"), std::optional<qint64>(9007199254740992));
    setOptional(object, QStringLiteral("ratio"), std::optional<double>(0.5));
    setOptional(
        object, QStringLiteral("id"),
        std::optional<QUuid>(QUuid::fromString(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"))));
    setOptional(object, QStringLiteral("date"), std::optional<Timestamp>(Timestamp{2.5}));
    EXPECT_EQ(object.keys(),
              (QStringList{QStringLiteral("date"), QStringLiteral("flag"), QStringLiteral("id"),
                           QStringLiteral("ratio"), QStringLiteral("size"), QStringLiteral("text")}));
    EXPECT_EQ(object.value(QStringLiteral("flag")), QJsonValue(false));
    EXPECT_EQ(object.value(QStringLiteral("size")).toInteger(), 9007199254740992);
    EXPECT_EQ(object.value(QStringLiteral("id")).toString(),
              QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(object.value(QStringLiteral("date")).toDouble(), 2.5);
}

} // namespace
} // namespace quorvane
