#include "Persistence/PrivilegedInventoryCommitError.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(PrivilegedInventoryCommitError, EachCaseHasItsSentence) {
    EXPECT_EQ(description(PrivilegedInventoryCommitError::missingInventoryRecord),
              QStringLiteral("A plugin bundle no longer has a matching inventory record."));
    EXPECT_EQ(description(PrivilegedInventoryCommitError::duplicateInventoryRecord),
              QStringLiteral("A plugin bundle matches more than one inventory record."));
}

} // namespace
} // namespace quorvane
