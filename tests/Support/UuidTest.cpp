#include "Support/Uuid.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

const QUuid sample = QUuid::fromString(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"));

TEST(UuidTest, WritesThirtySixUpperCaseCharacters) {
    EXPECT_EQ(uuidText(sample), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    const QUuid made = makeUuid();
    EXPECT_FALSE(made.isNull());
    EXPECT_NE(made, makeUuid());
    EXPECT_EQ(uuidText(made).size(), 36);
    EXPECT_EQ(uuidText(made), uuidText(made).toUpper());
}

TEST(UuidTest, ReadsOnlyTheHyphenatedFormInEitherCase) {
    EXPECT_EQ(parseUuid(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E")), sample);
    EXPECT_EQ(parseUuid(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e")), sample);
    EXPECT_EQ(parseUuid(QStringLiteral("0f8fAD5B-d9cb-469F-a165-70867728950e")), sample);
    EXPECT_EQ(parseUuid(QStringLiteral("00000000-0000-0000-0000-000000000000")), QUuid());

    const char* refused[] = {
        "{0f8fad5b-d9cb-469f-a165-70867728950e}", "0f8fad5b-d9cb-469f-a165-70867728950",
        "0f8fad5b-d9cb-469f-a165-70867728950e0",  "0f8fad5bd9cb469fa16570867728950e",
        "0f8fad5b-d9cb-469f-a165_70867728950e",   "0f8fad5b-d9cb-469f-a16570867728950e-",
        "0f8fad5g-d9cb-469f-a165-70867728950e",   " 0f8fad5b-d9cb-469f-a165-70867728950",
        "0f8fad5b-d9cb-469f-a165-70867728950 ",   "",
    };
    for (const char* text : refused)
        EXPECT_FALSE(parseUuid(QString::fromLatin1(text)).has_value()) << text;

    QString withNul = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
    withNul[35] = QChar(0);
    EXPECT_FALSE(parseUuid(withNul).has_value());
    QString fullWidth = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
    fullWidth[0] = QChar(0xFF10);
    EXPECT_FALSE(parseUuid(fullWidth).has_value());
}

TEST(UuidTest, RoundTripsThroughText) {
    for (int i = 0; i < 20; ++i) {
        const QUuid uuid = makeUuid();
        EXPECT_EQ(parseUuid(uuidText(uuid)), uuid);
    }
}

} // namespace
} // namespace quorvane
