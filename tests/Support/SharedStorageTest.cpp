#include "Support/BackgroundPool.h"
#include "Support/ParallelFor.h"
#include "Support/PreparedRoom.h"
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

TEST(PreparedRoomTest, ACopyGoesIntoRoomMadeReadyAndOnlyWhenItIsLargeEnough) {
    std::vector<QString> source(3000);
    for (std::size_t index = 0; index < source.size(); ++index)
        source[index] = QString::number(index);

    const PreparedRoom<QString> room;
    EXPECT_EQ(room.take(10).capacity(), 0u);
    room.prepare(source.size());
    backgroundPool().waitForDone();
    EXPECT_EQ(room.take(source.size() + 1).capacity(), 0u);

    std::vector<QString> taken = room.take(source.size());
    ASSERT_GE(taken.capacity(), source.size());
    EXPECT_TRUE(taken.empty());
    const QString* storage = taken.data();
    const std::vector<QString> copy = copyInParallel(source, 1, std::move(taken));
    EXPECT_EQ(copy, source);
    EXPECT_EQ(copy.data(), storage);
    // Taken once; the next copy allocates unless room is made ready again.
    EXPECT_EQ(room.take(1).capacity(), 0u);
}
