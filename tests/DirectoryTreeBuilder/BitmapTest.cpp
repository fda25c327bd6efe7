#include <gtest/gtest.h>

#include <vector>

#include "Bitmap.h"

namespace {

TEST(BitmapTest, FreshMapHasNoBitsAndReadsClear) {
    TBitmap map;
    EXPECT_EQ(map.GetBitmapData(), nullptr);
    EXPECT_EQ(map.GetBitmapSize(), 0u);
    EXPECT_EQ(map.GetSectorsPerBit(), 1u);
    EXPECT_EQ(map.GetBit(0), 0);
    EXPECT_FALSE(map.SetBit(0, 1, 1));
    EXPECT_FALSE(map.FillBitmap(0));
}

TEST(BitmapTest, CreateSizesTheMapAndRefusesBadCounts) {
    TBitmap map;
    EXPECT_FALSE(map.CreateBitmap(0, 1));
    EXPECT_FALSE(map.CreateBitmap(-5, 1));
    // 2^35 bits need 4 GiB of bytes: more than a 32-bit byte count.
    EXPECT_FALSE(map.CreateBitmap(1LL << 35, 1));

    ASSERT_TRUE(map.CreateBitmap(9, 8));
    EXPECT_EQ(map.GetBitmapSize(), 2u);
    EXPECT_EQ(map.GetMaxBitIndex(), 8);
    EXPECT_EQ(map.GetSectorsPerBit(), 8u);
    EXPECT_EQ(map.GetBitmapData()[0], 0);
    EXPECT_EQ(map.GetBitmapData()[1], 0);
}

TEST(BitmapTest, SetBitStaysInsideTheMap) {
    TBitmap map;
    ASSERT_TRUE(map.CreateBitmap(9, 1));
    EXPECT_TRUE(map.SetBit(8, 1, 5));  // runs past the end: only bit 8
    EXPECT_EQ(map.GetBitmapData()[1], 0x01);
    EXPECT_EQ(map.GetBitmapData()[0], 0x00);
    EXPECT_EQ(map.GetBit(9), 0);
    EXPECT_EQ(map.GetBit(-1), 0);
    EXPECT_FALSE(map.SetBit(-1, 1, 1));
    EXPECT_FALSE(map.SetBit(9, 1, 1));
    EXPECT_TRUE(map.SetBit(0, 1, 0));
    EXPECT_EQ(map.GetBitmapData()[0], 0x00);
}

// Runs that start and end inside bytes, cover whole bytes, or both, checked
// bit by bit against a plain model.
TEST(BitmapTest, RunsMatchABitByBitModel) {
    struct Run {
        long long index;
        int value;
        unsigned int count;
    };
    const std::vector<Run> runs = {{3, 1, 2},    {5, 1, 30},  {0, 1, 8},  {16, 0, 9},
                                   {60, 1, 100}, {70, 0, 20}, {99, 1, 1}, {1, 0, 63}};
    TBitmap map;
    ASSERT_TRUE(map.CreateBitmap(100, 1));
    std::vector<int> model(100, 0);
    for (const Run& run : runs) {
        ASSERT_TRUE(map.SetBit(run.index, run.value, run.count));
        for (long long i = run.index; i < run.index + run.count && i < 100; ++i) {
            model[i] = run.value;
        }
        for (long long i = 0; i < 100; ++i) {
            ASSERT_EQ(map.GetBit(i) != 0, model[i] != 0)
                << "bit " << i << " after run at " << run.index << " of " << run.count;
        }
    }
}

TEST(BitmapTest, FillSetsOrClearsEveryByteAndDestroyEmpties) {
    TBitmap map;
    ASSERT_TRUE(map.CreateBitmap(20, 1));
    ASSERT_TRUE(map.FillBitmap(0));
    EXPECT_EQ(map.GetBitmapData()[2], 0xFF);
    EXPECT_NE(map.GetBit(19), 0);
    ASSERT_TRUE(map.FillBitmap(1));
    EXPECT_EQ(map.GetBit(19), 0);

    ASSERT_TRUE(map.CreateBitmap(4, 1));  // replaces the old map
    EXPECT_EQ(map.GetBitmapSize(), 1u);
    EXPECT_EQ(map.GetBit(5), 0);

    EXPECT_TRUE(map.DestroyBitmap());
    EXPECT_EQ(map.GetBitmapData(), nullptr);
    EXPECT_EQ(map.GetBitmapSize(), 0u);
    EXPECT_EQ(map.GetMaxBitIndex(), 0);
}

}  // namespace
