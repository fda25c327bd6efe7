#include <gtest/gtest.h>

#include "CopyOutFakes.h"
#include "NodePartition.h"

namespace {

using namespace harbex::test;

// A partition of `count` sectors at `start` with `spc` sectors per cluster.
CSearchedPartitionInfo At(uint64_t start, uint64_t count, uint32_t spc, uint16_t index) {
    CSearchedPartitionInfo partition(512);
    partition.startSector = start;
    partition.totalSectors = count;
    partition.sectorsPerCluster = spc;
    partition.partitionIndex = index;
    return partition;
}

TEST(ChooseNodePartition, PrefersTheNodesOwnPartitionIndex) {
    CSearchedPartitionInfo a = At(0, 1000, 8, 1), b = At(1000, 1000, 8, 2);
    TestNode node("f", 100, {DataRun(10, 1)});
    node.SetBelongedPartition(2);
    EXPECT_EQ(ChooseNodePartition({&a, &b}, &node), &b);
    EXPECT_EQ(ChooseNodePartition({}, &node), nullptr);
    // A single record is taken whatever it says.
    EXPECT_EQ(ChooseNodePartition({&a}, &node), &a);
}

TEST(ChooseNodePartition, OtherwiseTheFirstWhoseBoundsAndClusterSizeFit) {
    // Partitions at 0 and at 10000, both of 10000 sectors; the node's record
    // lies in the second.
    struct Case {
        const char* what;
        uint32_t secondClusterSize;
        int64_t size;
        std::vector<DataRun> runs;
        int expected;  // 0 first, 1 second
    };
    const std::vector<Case> cases = {
        {"fits the second", 8, 8 * 4096, {DataRun(1300, 8)}, 1},
        {"no extents fit at once", 8, 100, {}, 1},
        {"one cluster fits at once", 8, 100, {DataRun(1300, 1)}, 1},
        {"cluster size 4 KiB expected, 2 KiB given", 4, 8 * 4096, {DataRun(2600, 8)}, 0},
        // 4097 bytes do not fit two 2 KiB clusters: 4 KiB ones are asked for.
        {"a byte past two 2 KiB clusters", 8, 4097, {DataRun(1300, 2)}, 1},
        {"a byte past two 2 KiB clusters, 2 KiB given", 4, 4097, {DataRun(2600, 2)}, 0},
        {"odd sectors per cluster", 1, 8 * 512, {DataRun(10500, 8)}, 0},
        {"extent outside", 8, 8 * 4096, {DataRun(5000, 8)}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSearchedPartitionInfo first = At(0, 10000, 8, 1);
        CSearchedPartitionInfo second = At(10000, 10000, c.secondClusterSize, 2);
        TestNode node("f", c.size, c.runs);
        node.SetMetaDataSector(15000);
        CSearchedPartitionInfo* chosen = ChooseNodePartition({&first, &second}, &node);
        EXPECT_EQ(chosen, c.expected == 0 ? &first : &second);
    }
}

TEST(SortPartitionsByScore, HighestScoreFirstAndNullLast) {
    CSearchedPartitionInfo a(512), b(512), c(512);
    a.score = 1;
    b.score = 3;
    c.score = 2;
    std::vector<CSearchedPartitionInfo*> list = {&a, nullptr, &b, &c};
    SortPartitionsByScore(list);
    EXPECT_EQ(list, (std::vector<CSearchedPartitionInfo*>{&b, &c, &a, nullptr}));
}

}  // namespace
