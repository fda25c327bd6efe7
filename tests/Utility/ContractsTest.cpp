#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "Progress.h"
#include "SearchedPartitionInfo.h"

namespace {

TEST(ProgressInfo, IsAFixedRecordThatStartsZeroed) {
    EXPECT_EQ(sizeof(_PROGRESS_INFO), 4128u);
    EXPECT_EQ(offsetof(_PROGRESS_INFO, total), 8u);
    EXPECT_EQ(offsetof(_PROGRESS_INFO, result), 24u);
    EXPECT_EQ(offsetof(_PROGRESS_INFO, reserved), 32u);

    _PROGRESS_INFO info{};
    const _PROGRESS_INFO zero = [] {
        _PROGRESS_INFO z;
        std::memset(&z, 0, sizeof(z));
        return z;
    }();
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof(info)), 0);
}

TEST(SearchedPartitionInfo, SectorSizeFallsBackTo512) {
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 512},   {1000, 512},  {256, 512},
                                                   {512, 512}, {4096, 4096}, {1536, 1536}};
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(CSearchedPartitionInfo(given).sectorSize, expected) << given;
}

TEST(SearchedPartitionInfo, DefaultsAndCopies) {
    CSearchedPartitionInfo record;
    EXPECT_EQ(record.partitionIndex, 0xFFFF);
    EXPECT_EQ(record.fileSystemType, FILE_SYSTEM_UNKNOWN);
    EXPECT_EQ(record.score, 0.0);
    EXPECT_EQ(record.integerScore, 1u);
    EXPECT_EQ(record.GetType(), 4u);

    record.SetTotalSectors(12345);
    record.fileSystemValue2 = 77;
    record.score = 2.5;
    CSearchedPartitionInfo copy(4096);
    copy = record;
    EXPECT_EQ(copy.GetTotalSectors(), 12345u);
    EXPECT_EQ(copy.fileSystemValue2, 77u);
    EXPECT_EQ(copy.sectorSize, 512u);
    EXPECT_EQ(copy.score, 2.5);
}

}  // namespace
