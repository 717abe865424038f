#include "Support/PlainText.h"
#include "Support/PlainTextSet.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <map>
#include <unordered_set>

namespace quorvane {
namespace {

const QString composedE = QString::fromUtf8("caf\u00E9");
const QString decomposedE = QString::fromUtf8("cafe\u0301");

TEST(PlainTextTest, CanonicallyEquivalentTextsAreEqualAndHashAlike) {
    ASSERT_NE(composedE, decomposedE);
    EXPECT_TRUE(plainEqual(composedE, decomposedE));
    EXPECT_EQ(plainCompare(composedE, decomposedE), 0);
    EXPECT_FALSE(plainLess(composedE, decomposedE));
    EXPECT_FALSE(plainLess(decomposedE, composedE));
    EXPECT_EQ(plainHash(composedE), plainHash(decomposedE));
    EXPECT_EQ(nfc(decomposedE), composedE);
    EXPECT_EQ(nfc(QStringLiteral("ascii only")), QStringLiteral("ascii only"));
}

TEST(PlainTextTest, DifferentTextsAreNotEqual) {
    EXPECT_FALSE(plainEqual(QStringLiteral("cafe"), composedE));
    EXPECT_FALSE(plainEqual(QStringLiteral("Cafe"), QStringLiteral("cafe")));
    EXPECT_FALSE(plainEqual(QStringLiteral("a"), QStringLiteral("ab")));
    EXPECT_TRUE(plainEqual(QString(), QStringLiteral("")));
}

TEST(PlainTextTest, OrdersByScalarValueNotByUtf16CodeUnit) {
    const QString replacement(QChar(0xFFFD));
    const QString grinning = QString::fromUcs4(U"\U0001F600");
    // UTF-16 puts the surrogate pair (0xD83D...) before U+FFFD; scalar order puts it after.
    ASSERT_LT(QString::compare(grinning, replacement), 0);
    EXPECT_TRUE(plainLess(replacement, grinning));
    EXPECT_FALSE(plainLess(grinning, replacement));
    EXPECT_GT(plainCompare(grinning, replacement), 0);
    EXPECT_TRUE(plainLess(QString(QChar(0xE000)), grinning));
}

TEST(PlainTextTest, UppercaseAsciiSortsBeforeLowercase) {
    struct Row {
        const char* smaller;
        const char* larger;
    };
    const Row rows[] = {{"Z", "a"},  {"Zebra", "apple"}, {"ABC", "abc"},
                        {"a", "ab"}, {"", "a"},          {"e", "\u00E9"}};
    for (const Row& row : rows) {
        const QString smaller = QString::fromUtf8(row.smaller);
        const QString larger = QString::fromUtf8(row.larger);
        EXPECT_TRUE(plainLess(smaller, larger)) << row.smaller << " < " << row.larger;
        EXPECT_FALSE(plainLess(larger, smaller)) << row.larger << " !< " << row.smaller;
        EXPECT_LT(plainCompare(smaller, larger), 0);
    }
}

TEST(PlainTextTest, ContainersTreatEquivalentFormsAsOneKey) {
    std::unordered_set<QString, PlainHash, PlainEqualTo> set{composedE, decomposedE, QStringLiteral("cafe")};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(set.contains(decomposedE));

    std::map<QString, int, PlainLessThan> map;
    map[composedE] = 1;
    map[decomposedE] = 2;
    map[QStringLiteral("Cafe")] = 3;
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.begin()->first, QStringLiteral("Cafe"));
    EXPECT_EQ(map[composedE], 2);
}

// The check reads several units at a time: a unit of 0x80 or more is found wherever it stands.
TEST(PlainTextTest, AsciiIsFoundAtEveryPlaceAndLength) {
    for (const char16_t unit : {u'\u0080', u'\u00e9', u'\uff80', char16_t{0xd83d}}) {
        for (qsizetype length = 1; length <= 9; ++length) {
            for (qsizetype place = 0; place < length; ++place) {
                QString text(length, QChar(u'\u007f'));
                EXPECT_TRUE(isAscii(text));
                text[place] = QChar(unit);
                EXPECT_FALSE(isAscii(text)) << int(unit) << " at " << place << " of " << length;
                EXPECT_FALSE(isAscii(QStringView(text).mid(place, 1)));
                EXPECT_TRUE(isAscii(QStringView(text).first(place)));
            }
        }
    }
    EXPECT_TRUE(isAscii(QString()));
}

TEST(PlainTextSetTest, HoldsEachPlainTextOnceAndFindsWhatTheOtherLacks) {
    const PlainTextSet scanned({QStringLiteral("/a"), composedE, QStringLiteral("/b"), decomposedE,
                                QStringLiteral("/a"), QStringLiteral("/c")});
    EXPECT_EQ(scanned.size(), 4u);
    EXPECT_TRUE(scanned.contains(decomposedE));
    EXPECT_TRUE(scanned.contains(QStringLiteral("/c")));
    EXPECT_FALSE(scanned.contains(QStringLiteral("/A")));
    EXPECT_FALSE(PlainTextSet().contains(QString()));

    const PlainTextSet previous({decomposedE, QStringLiteral("/b"), QStringLiteral("/d")});
    const auto missing = [](const PlainTextSet& from, const PlainTextSet& other) {
        QStringList texts;
        from.forEachMissingFrom(other, [&](const QString& text) { texts.push_back(text); });
        texts.sort();
        return texts;
    };
    EXPECT_EQ(missing(scanned, previous), (QStringList{QStringLiteral("/a"), QStringLiteral("/c")}));
    EXPECT_EQ(missing(previous, scanned), QStringList{QStringLiteral("/d")});
    EXPECT_EQ(missing(previous, PlainTextSet()).size(), 3);
    EXPECT_TRUE(missing(PlainTextSet(), previous).isEmpty());
}

} // namespace
} // namespace quorvane
