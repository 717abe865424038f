#include "Shared/PasswordDatabase.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quorvane;

TEST(PasswordDatabaseTest, TheRunningUserHasAnAbsoluteHomeAndAnUnknownUidHasNoEntry) {
    const auto entry = passwordEntryOf(::getuid());
    ASSERT_TRUE(entry.has_value());
    EXPECT_FALSE(entry->name.isEmpty());
    EXPECT_TRUE(entry->home.startsWith(u'/')) << entry->home.toStdString();

    // No account in a test machine's database has this id.
    EXPECT_FALSE(passwordEntryOf(static_cast<uid_t>(2147480000)).has_value());
}
