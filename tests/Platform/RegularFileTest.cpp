#include "Platform/RegularFile.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace quorvane {
namespace {

TEST(RegularFileTest, ReadsUpToTheLimitAndRefusesMore) {
    testing::TemporaryTree tree;
    const QString file = tree.writeFile(QStringLiteral("ten.txt"), "0123456789");
    EXPECT_EQ(readRegularFile(file, 10), QByteArray("0123456789"));
    EXPECT_EQ(readRegularFile(file, 9).error().code, EFBIG);
}

// The kernel gives such a file the size 0 and its text only as it is read: what a file that grows
// while it is read looks like, every time.
TEST(RegularFileTest, AFileThatGrowsPastTheLimitWhileReadIsRefused) {
    const QString growing = QStringLiteral("/proc/self/status");
    const auto whole = readRegularFile(growing, 1024 * 1024);
    ASSERT_TRUE(whole.has_value());
    ASSERT_GT(whole->size(), 64);
    EXPECT_EQ(readRegularFile(growing, 64).error().code, EFBIG);
}

} // namespace
} // namespace quorvane
