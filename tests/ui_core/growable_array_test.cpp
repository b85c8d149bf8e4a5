#include "app/growable_array.h"

#include <gtest/gtest.h>

#include <utility>

namespace corvane {
namespace {

TEST(GrowableArray, StartsEmptyTakesCapacityOneThenDoubles) {
    GrowableArray<int> values;
    EXPECT_EQ(values.size(), 0u);
    EXPECT_EQ(values.capacity(), 0u);

    const std::size_t expectedCapacity[] = {1, 2, 4, 4, 8, 8, 8, 8, 16};
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(values.append(i * 10));
        EXPECT_EQ(values.capacity(), expectedCapacity[i]) << "after " << i + 1 << " appends";
    }
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(values[static_cast<std::size_t>(i)], i * 10);
    }
}

TEST(GrowableArray, RemovalMovesLaterEntriesDownAndKeepsCapacity) {
    GrowableArray<int> values;
    for (int v : {1, 2, 3, 2, 5}) {
        ASSERT_TRUE(values.append(v));
    }
    ASSERT_TRUE(values.removeFirst(2)); // the first 2 only
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 3);
    EXPECT_EQ(values[2], 2);
    EXPECT_EQ(values[3], 5);
    EXPECT_EQ(values.capacity(), 8u);

    values.removeAt(3); // the last one
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[2], 2);
}

TEST(GrowableArray, RemovingAnAbsentValueChangesNothing) {
    GrowableArray<int> values;
    EXPECT_FALSE(values.removeFirst(7));
    ASSERT_TRUE(values.append(7));
    EXPECT_FALSE(values.removeFirst(8));
    values.removeAt(5);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], 7);
    EXPECT_EQ(values.find(8), values.size());
}

TEST(GrowableArray, MoveLeavesTheSourceEmpty) {
    GrowableArray<int> source;
    ASSERT_TRUE(source.append(4));
    GrowableArray<int> target(std::move(source));
    EXPECT_EQ(source.size(), 0u);
    EXPECT_EQ(source.capacity(), 0u);
    ASSERT_EQ(target.size(), 1u);
    EXPECT_EQ(target[0], 4);

    GrowableArray<int> other;
    ASSERT_TRUE(other.append(9));
    other = std::move(target);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0], 4);
}

} // namespace
} // namespace corvane
