#include <gtest/gtest.h>

#include <list>

#include "ImageDisk.h"
#include "PartitionTableAnalyze.h"
#include "TableImages.h"
#include "TestSupport.h"

namespace {

using harbex::test::TempDir;

using tables::MapEntry;
using tables::WriteApm;

const std::vector<MapEntry> kMap = {
    {1, 63, "Apple_partition_map"},
    {64, 40960, "Apple_HFS"},
    {41024, 20000, "Apple_Free"},
    {61024, 50000, "Apple_HFS"},
};

TEST(ApplePartitionMap, ParsesAsPartxShows) {
    TempDir dir;
    auto image = dir / "apm.img";
    tables::MakeSparseImage(image, 64 << 20);
    WriteApm(image, 512, kMap, kMap.size());
    auto expected = tables::PartxShow(image.string());
    ASSERT_EQ(expected.size(), kMap.size());

    ImageDisk disk(image, 512);
    enumDiskPartitionScheme scheme = kPartitionSchemeNone;
    CPartitionTableAnalyze analyze;
    ASSERT_EQ(analyze.GetDiskType(&disk, scheme), kResultSuccess);
    EXPECT_EQ(scheme, kPartitionSchemeAPM);
    std::list<PartitionEntry> partitions;
    ASSERT_EQ(analyze.AnalyzePartitionTable(&disk, partitions), kResultSuccess);
    ASSERT_EQ(partitions.size(), expected.size());
    size_t i = 0;
    for (const auto& p : partitions) {
        EXPECT_EQ(p.number, expected[i].number);
        EXPECT_EQ(p.startSector, expected[i].start);
        EXPECT_EQ(p.sectorCount, expected[i].size);
        EXPECT_STREQ(p.appleType, kMap[i].type);
        ++i;
    }
}

TEST(ApplePartitionMap, LargerBlocksScaleToSectors) {
    TempDir dir;
    auto image = dir / "apm2k.img";
    tables::MakeSparseImage(image, 64 << 20);
    WriteApm(image, 2048, {{1, 3, "Apple_partition_map"}, {16, 5000, "Apple_HFS"}}, 2);
    ImageDisk disk(image, 512);
    std::list<PartitionEntry> partitions;
    ASSERT_EQ(CPartitionTableAnalyze().AnalyzePartitionTable(&disk, partitions), kResultSuccess);
    ASSERT_EQ(partitions.size(), 2u);
    EXPECT_EQ(partitions.back().startSector, 64);
    EXPECT_EQ(partitions.back().sectorCount, 20000);
}

TEST(ApplePartitionMap, BrokenMapsAreRefused) {
    struct Case {
        const char* name;
        uint32_t blockSize;
        uint32_t claimed;
    } cases[] = {{"32 entries", 512, 32}, {"block smaller than a sector", 256, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        auto image = dir / "apm.img";
        tables::MakeSparseImage(image, 64 << 20);
        WriteApm(image, c.blockSize, {{1, 63, "Apple_partition_map"}}, c.claimed);
        ImageDisk disk(image, 512);
        std::list<PartitionEntry> partitions;
        RESULT_CODE code = CPartitionTableAnalyze().AnalyzePartitionTable(&disk, partitions);
        EXPECT_EQ(ResultKindOf(code), kResultMalformed);
        EXPECT_TRUE(IsFailure(code));
    }
}

}  // namespace
