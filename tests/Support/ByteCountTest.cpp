#include "Support/ByteCount.h"

#include <gtest/gtest.h>

#include <limits>

namespace quorvane {
namespace {

TEST(ByteCountTest, FormatsInFileStyle) {
    struct Row {
        qint64 bytes;
        const char* text;
    };
    const Row rows[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {345, "345 bytes"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},
        {12345, "12 KB"},
        {999499, "999 KB"},
        {999500, "1 MB"},
        {1000000, "1 MB"},
        {1049999, "1 MB"},
        {1050000, "1.1 MB"},
        {3400000, "3.4 MB"},
        {3449999, "3.4 MB"},
        {999949999, "999.9 MB"},
        {999950000, "1 GB"},
        {1000000000, "1 GB"},
        {1200000000, "1.2 GB"},
        {1234567890, "1.23 GB"},
        {1205000000, "1.21 GB"},
        {1999999999, "2 GB"},
        {1234567890123, "1.23 TB"},
        {std::numeric_limits<qint64>::max(), "9.22 EB"},
        {-1, "-1 byte"},
        {-1500, "-2 KB"},
        {std::numeric_limits<qint64>::min(), "-9.22 EB"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(formatByteCount(row.bytes), QString::fromLatin1(row.text)) << row.bytes;
}

TEST(ByteCountTest, ParsesWhatItWrites) {
    struct Row {
        const char* text;
        qint64 bytes;
    };
    const Row rows[] = {
        {"Zero KB", 0},
        {"1 byte", 1},
        {"345 bytes", 345},
        {"12 KB", 12000},
        {"3.4 MB", 3400000},
        {"999.9 MB", 999900000},
        {"1.23 GB", 1230000000},
        {"1.23 TB", 1230000000000},
        {"9.22 EB", 9220000000000000000},
        {"-2 KB", -2000},
        {"1.2345 KB", 1234},
        {"0.0000001 MB", 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseByteCount(QString::fromLatin1(row.text)), row.bytes) << row.text;
}

TEST(ByteCountTest, RefusesAnythingElse) {
    const char* refused[] = {
        "",       "KB",    "12",      "12KB",      "12  KB",  " 12 KB",
        "12 KB ", "12 kb", "1,5 MB",  "1.5 bytes", "abc KB",  "+1 KB",
        "1e3 KB", ".5 MB", "5. MB",   "1.2.3 GB",  "9.23 EB", "99999999999999999999 KB",
        "1 ZB",   "Zero",  "zero KB", "- KB",      "inf GB",  "nan GB",
    };
    for (const char* text : refused)
        EXPECT_FALSE(parseByteCount(QString::fromLatin1(text)).has_value()) << text;
    EXPECT_FALSE(parseByteCount(QString::fromUtf8("12\u00A0KB")).has_value());
    EXPECT_FALSE(parseByteCount(QString::fromUtf8("\uFF11 KB")).has_value());
}

TEST(ByteCountTest, RoundTripsWithinTheTextsPrecision) {
    struct Row {
        qint64 bytes;
        qint64 step;
    };
    const Row rows[] = {
        {1, 1},
        {999, 1},
        {1234, 1000},
        {987654, 1000},
        {1234567, 100000},
        {987654321, 100000},
        {1234567890, 10000000},
        {987654321012, 10000000},
        {5555555555555, 10000000000},
    };
    for (const Row& row : rows) {
        const auto parsed = parseByteCount(formatByteCount(row.bytes));
        ASSERT_TRUE(parsed.has_value()) << row.bytes;
        EXPECT_LE(std::abs(*parsed - row.bytes), row.step / 2)
            << row.bytes << " " << formatByteCount(row.bytes).toStdString();
    }
}

} // namespace
} // namespace quorvane
