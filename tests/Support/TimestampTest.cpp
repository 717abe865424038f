#include "Support/Timestamp.h"

#include "Support/JsonReader.h"
#include "Support/JsonWriter.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(TimestampTest, CountsSecondsSinceTheReferenceDate) {
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(Timestamp::fromDateTime(reference).sinceReferenceDate, 0.0);
    EXPECT_EQ(Timestamp{}.toDateTime(), reference);
    EXPECT_EQ(Timestamp::fromDateTime(QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc())).sinceReferenceDate,
              -978307200.0);
    const QDateTime later(QDate(2024, 3, 5), QTime(6, 7, 8, 250), QTimeZone::utc());
    EXPECT_EQ(Timestamp::fromDateTime(later).toDateTime(), later);
    EXPECT_EQ(Timestamp{1.5}.toDateTime(), reference.addMSecs(1500));
    EXPECT_FALSE(Timestamp{1e300}.toDateTime().isValid());
}

TEST(TimestampTest, NowIsNearTheSystemClock) {
    const Timestamp before = Timestamp::fromDateTime(QDateTime::currentDateTimeUtc());
    const Timestamp now = Timestamp::now();
    const Timestamp after = Timestamp::fromDateTime(QDateTime::currentDateTimeUtc());
    // QDateTime truncates to milliseconds.
    EXPECT_GE(now.sinceReferenceDate, before.sinceReferenceDate);
    EXPECT_LE(now.sinceReferenceDate, after.sinceReferenceDate + 0.001);
    EXPECT_GT(now.sinceReferenceDate, 7e8);
}

TEST(TimestampTest, OrdersByValue) {
    EXPECT_LT(Timestamp{1.0}, Timestamp{1.5});
    EXPECT_EQ(Timestamp{2.25}, Timestamp{2.25});
    EXPECT_NE(Timestamp{2.25}, Timestamp{2.250001});
}

TEST(TimestampTest, SurvivesJsonWriteAndReadExactly) {
    const double values[] = {734512345.123456,  734512345.1234567, 0.1, -978307200.5, 1e-7,
                             123456789012345.0, 7.0e8 + 1.0 / 3.0};
    for (const double value : values) {
        QJsonObject object;
        object.insert(QStringLiteral("date"), toJson(Timestamp{value}));
        const auto parsed = parseJsonObject(prettyJson(object));
        ASSERT_TRUE(parsed.has_value());
        JsonReader reader(*parsed);
        EXPECT_EQ(reader.timestamp(u"date").sinceReferenceDate, value) << prettyJson(object).constData();
        EXPECT_TRUE(reader.ok());
    }
}

} // namespace
} // namespace quorvane
