#include <gtest/gtest.h>

#include <cstdlib>

#include "core/core.h"

namespace {

TEST(GrowingArray, DoublesFromItsFirstCapacityAndKeepsItsItems)
{
    int32_t *items = nullptr;
    int32_t capacity = 0;
    ASSERT_TRUE(ReserveArray(&items, &capacity, 1, 4));
    EXPECT_EQ(capacity, 4);
    for (int32_t i = 0; i < 4; ++i)
        items[i] = i;
    ASSERT_TRUE(ReserveArray(&items, &capacity, 5, 4));
    EXPECT_EQ(capacity, 8);
    ASSERT_TRUE(ReserveArray(&items, &capacity, 33, 4));
    EXPECT_EQ(capacity, 64) << "doubled until it held them";
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(items[i], i);
    int32_t *before = items;
    ASSERT_TRUE(ReserveArray(&items, &capacity, 64, 4));
    EXPECT_EQ(items, before) << "room enough: nothing moves";
    EXPECT_EQ(capacity, 64);
    std::free(items);
}

TEST(GrowingArray, RefusesWhatItsCapacityCannotCountAndStaysAsItWas)
{
    char *items = nullptr;
    int8_t capacity = 0;
    ASSERT_TRUE(ReserveArray(&items, &capacity, 100, 64));
    EXPECT_EQ(capacity, 127) << "the last doubling stops at what the type counts";
    char *before = items;
    EXPECT_FALSE(ReserveArray(&items, &capacity, 128, 64));
    EXPECT_EQ(items, before);
    EXPECT_EQ(capacity, 127);
    std::free(items);

    void *huge = nullptr;
    int64_t huge_capacity = 0;
    EXPECT_FALSE(ReserveItems(&huge, &huge_capacity, int64_t(1) << 62, 1, 16, INT64_MAX))
        << "more bytes than the address space";
    EXPECT_EQ(huge, nullptr);
    EXPECT_EQ(huge_capacity, 0);
}

}  // namespace
