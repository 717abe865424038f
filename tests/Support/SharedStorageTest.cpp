#include "Support/SharedOptionalList.h"

#include <QString>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace quorvane;

using Texts = SharedOptionalList<QString>;

TEST(SharedOptionalListTest, CopiesShareUntilOneOfThemIsWrittenThrough) {
    Texts original = std::vector<QString>{"a", "b"};
    const Texts copy = original;
    EXPECT_EQ(&*copy, &*std::as_const(original));

    original->push_back("c");
    EXPECT_EQ(*copy, (std::vector<QString>{"a", "b"}));
    EXPECT_EQ(*std::as_const(original), (std::vector<QString>{"a", "b", "c"}));
    EXPECT_FALSE(copy == original);

    // A sole holder writes in place.
    const std::vector<QString>* before = &*std::as_const(original);
    (*original)[0] = "z";
    EXPECT_EQ(&*std::as_const(original), before);
}

TEST(SharedOptionalListTest, AnAbsentListDiffersFromAnEmptyOne) {
    const Texts absent;
    const Texts empty = std::vector<QString>{};
    EXPECT_FALSE(absent.has_value());
    EXPECT_TRUE(absent == std::nullopt);
    EXPECT_TRUE(empty.has_value());
    EXPECT_FALSE(absent == empty);
    EXPECT_TRUE(empty == Texts(std::optional<std::vector<QString>>(std::vector<QString>{})));
    EXPECT_TRUE(Texts({"x"}) == Texts(std::vector<QString>{"x"}));
}
