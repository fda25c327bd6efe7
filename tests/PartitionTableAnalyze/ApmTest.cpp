#include <gtest/gtest.h>

#include <cstring>
#include <list>

#include "ImageDisk.h"
#include "PartitionTableAnalyze.h"
#include "TableImages.h"
#include "TestSupport.h"

namespace {

using harbex::test::TempDir;

void PutBE(std::vector<uint8_t>& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

struct MapEntry {
    uint32_t first;
    uint32_t length;
    const char* type;
};

// Writes a driver descriptor of `blockSize` and one map block per entry.
void WriteApm(const std::filesystem::path& image, uint32_t blockSize,
              const std::vector<MapEntry>& entries, uint32_t claimedCount) {
    std::vector<uint8_t> descriptor(512, 0);
    descriptor[0] = 'E';
    descriptor[1] = 'R';
    PutBE(descriptor, 2, blockSize, 2);
    tables::WriteAt(image, 0, descriptor);
    for (size_t i = 0; i < entries.size(); ++i) {
        std::vector<uint8_t> block(512, 0);
        block[0] = 'P';
        block[1] = 'M';
        PutBE(block, 4, claimedCount, 4);
        PutBE(block, 8, entries[i].first, 4);
        PutBE(block, 12, entries[i].length, 4);
        std::memcpy(block.data() + 48, entries[i].type, std::strlen(entries[i].type));
        tables::WriteAt(image, (i + 1) * uint64_t{blockSize}, block);
    }
}

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
