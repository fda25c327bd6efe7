#include <gtest/gtest.h>

#include "FATImageDevice.h"
#include "FATTable.h"
#include "LittleEndian.h"

using namespace harbex::test;

namespace {

// A device holding two copies of a FAT32 table of `sectors` sectors at sector 0.
class FAT32Tables {
public:
    explicit FAT32Tables(uint32_t sectors) : sectors_(sectors), bytes_(size_t{sectors} * 512 * 2) {
        Set(0, 0x0FFFFFF8);
        Set(1, 0x0FFFFFFF);
    }
    void Set(uint32_t index, uint32_t value, int copy = -1) {
        for (int c = 0; c < 2; ++c) {
            if (copy != -1 && copy != c)
                continue;
            uint8_t* p =
                bytes_.data() + static_cast<size_t>(c) * sectors_ * 512 + size_t{index} * 4;
            p[0] = value & 0xFF;
            p[1] = (value >> 8) & 0xFF;
            p[2] = (value >> 16) & 0xFF;
            p[3] = value >> 24;
        }
    }
    std::unique_ptr<FATImageDevice> Device() {
        const auto path = dir_ / "fat.img";
        WriteFile(path, bytes_);
        return std::make_unique<FATImageDevice>(path, 512);
    }
    uint32_t sectors() const { return sectors_; }

private:
    TempDir dir_;
    uint32_t sectors_;
    std::vector<uint8_t> bytes_;
};

}  // namespace

TEST(FATTable, FAT32NextClusterDropsTheReservedTopBits) {
    FAT32Tables tables(256);
    tables.Set(2, 0xF0000003);  // reserved bits set by some writers
    tables.Set(3, 0xFFFFFFFF);
    auto device = tables.Device();
    std::unique_ptr<IRealFATTable> table(
        IFATTableFactory::CreateRealFATTable(device.get(), FILE_SYSTEM_FAT32, 0, 256));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNextCluster(2), 3u);
    EXPECT_EQ(table->GetNextCluster(3), 0x0FFFFFFFu);
    EXPECT_GE(table->GetNextCluster(3), kFATEndOfChain);
    EXPECT_EQ(table->GetNextCluster(table->GetEntryCount()), 0u);
}

// One file written from the end of the volume backwards: every cluster links
// to the one before it. Checked once per cluster, not once per cluster per
// cluster before it, so this returns at once.
TEST(FATTable, ChainLaidOutBackwardsIsAccepted) {
    constexpr uint32_t kSectors = 8192;
    FAT32Tables tables(kSectors);
    const uint32_t count = kSectors * 512 / 4;
    tables.Set(3, 0x0FFFFFFF);
    for (uint32_t cluster = 4; cluster < count; ++cluster)
        tables.Set(cluster, cluster - 1);
    auto device = tables.Device();
    std::unique_ptr<IRealFATTable> table(
        IFATTableFactory::CreateRealFATTable(device.get(), FILE_SYSTEM_FAT32, 0, kSectors));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNextCluster(count - 1), count - 2);
}

TEST(FATTable, BrokenTablesAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> entries;
    } cases[] = {
        {"a chain that loops", {{2, 3}, {3, 4}, {4, 3}}},
        {"a loop nothing leads into", {{5, 6}, {6, 7}, {7, 5}}},
        {"two clusters lead to one", {{2, 4}, {3, 4}, {4, 0x0FFFFFFF}}},
        {"a cluster that points to itself", {{5, 5}}},
        {"a next cluster beyond the table", {{2, 0x00FFFFFF}}},
        {"the value 1", {{2, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FAT32Tables tables(256);
        for (const auto& [index, value] : c.entries)
            tables.Set(index, value);
        auto device = tables.Device();
        EXPECT_EQ(IFATTableFactory::CreateRealFATTable(device.get(), FILE_SYSTEM_FAT32, 0, 256),
                  nullptr);
    }
}

TEST(FATTable, DamagedEntriesAreCounted) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> entries;
        uint64_t damaged;
    } cases[] = {
        {"a sound chain", {{2, 3}, {3, 4}, {4, 0x0FFFFFFF}}, 0},
        {"a chain that loops", {{2, 3}, {3, 4}, {4, 3}}, 2},  // 3 linked twice, and a loop
        {"a loop nothing leads into", {{5, 6}, {6, 7}, {7, 5}}, 1},
        {"two clusters lead to one", {{2, 4}, {3, 4}, {4, 0x0FFFFFFF}}, 1},
        {"a cluster that points to itself", {{5, 5}}, 1},
        {"a next cluster beyond the table", {{2, 0x00FFFFFF}}, 1},
        {"the value 1", {{2, 1}}, 1},
        {"two cross-links and a bad value", {{2, 9}, {3, 9}, {4, 9}, {5, 0x0FFFFF00}}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FAT32Tables tables(256);
        for (const auto& [index, value] : c.entries)
            tables.Set(index, value);
        auto device = tables.Device();
        CFAT32Table table(device.get(), 0, 256);
        ASSERT_TRUE(table.HasValidHeader());
        EXPECT_EQ(table.CountDamagedEntries(), c.damaged);
        EXPECT_EQ(table.IsValidFATTable(), c.damaged == 0);
    }
}

TEST(FATTable, DamagedTableIsReadFromTheLessDamagedCopy) {
    // Both copies: 2 -> 3 -> 4 -> end, and 10 -> 4 as a cross-link. The copy
    // with more damage also has 20 -> 21 -> 22 broken into 20 -> far away.
    struct Case {
        const char* what;
        int moreDamagedCopy;  // -1: both alike
        int useFirst, useSecond;
        uint32_t expectedAfter20;
    } cases[] = {
        {"first copy worse", 0, 1, 1, 21},
        {"second copy worse", 1, 1, 1, 21},
        {"alike: the first copy", -1, 1, 1, kFATEndOfChain},
        {"only the worse first copy may be used", 0, 1, 0, kFATEndOfChain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FAT32Tables tables(256);
        tables.Set(2, 3);
        tables.Set(3, 4);
        tables.Set(4, 0x0FFFFFFF);
        tables.Set(10, 4);
        tables.Set(20, 21);
        tables.Set(21, 22);
        tables.Set(22, 0x0FFFFFFF);
        tables.Set(20, 0x0FFFFF00, c.moreDamagedCopy == -1 ? -1 : c.moreDamagedCopy);
        auto device = tables.Device();
        std::unique_ptr<CDoubleFATTable> strict(IFATTableFactory::CreateFATTable(
            device.get(), 0, FILE_SYSTEM_FAT32, 256, c.useFirst, c.useSecond));
        EXPECT_FALSE(strict->HasTable());
        std::unique_ptr<CDamagedFATTable> table(IFATTableFactory::CreateDamagedFATTable(
            device.get(), 0, FILE_SYSTEM_FAT32, 256, c.useFirst, c.useSecond));
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->GetNextCluster(20), c.expectedAfter20);
        EXPECT_EQ(table->GetNextCluster(2), 3u);
        EXPECT_EQ(table->GetNextCluster(10), 4u);  // the cross-link is still a link
    }
}

TEST(FATTable, DamagedTableEndsChainsAtValuesThatNameNoCluster) {
    FAT32Tables tables(256);
    const uint32_t count = 256 * 512 / 4;
    tables.Set(2, 2);
    tables.Set(3, 1);
    tables.Set(4, count);
    tables.Set(5, 0x0FFFFFF7);
    tables.Set(6, 0);
    tables.Set(7, 8);
    auto device = tables.Device();
    std::unique_ptr<CDamagedFATTable> table(
        IFATTableFactory::CreateDamagedFATTable(device.get(), 0, FILE_SYSTEM_FAT32, 256, 1, 1));
    ASSERT_NE(table, nullptr);
    struct Case {
        uint32_t cluster;
        uint32_t next;
    } cases[] = {{2, kFATEndOfChain}, {3, kFATEndOfChain}, {4, kFATEndOfChain},
                 {5, kFATBadCluster}, {6, 0},             {7, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cluster);
        EXPECT_EQ(table->GetNextCluster(c.cluster), c.next);
    }
}

TEST(FATTable, DamagedTableNeedsACopyThatBeginsLikeAFAT) {
    FAT32Tables tables(256);
    tables.Set(0, 0x12345678);
    tables.Set(2, 2);
    auto device = tables.Device();
    EXPECT_EQ(
        IFATTableFactory::CreateDamagedFATTable(device.get(), 0, FILE_SYSTEM_FAT32, 256, 1, 1),
        nullptr);
    EXPECT_EQ(IFATTableFactory::CreateDamagedFATTable(device.get(), 0, FILE_SYSTEM_NTFS, 256, 1, 1),
              nullptr);
}

// Large FAT32 volumes (about 500 GB and up with 32 KiB clusters) have FATs
// longer than 128000 sectors; they are read like any other.
TEST(FATTable, LongFAT32TableIsRead) {
    constexpr uint32_t kSectors = 131072;
    TempDir dir;
    const auto path = dir / "long.img";
    {
        std::ofstream(path, std::ios::binary).flush();
        std::filesystem::resize_file(path, uint64_t{kSectors} * 512);
        // Entries 0 and 1 (the marks), 2 -> 3, 3 the end.
        const std::vector<uint8_t> head = {0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x0F,
                                           0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x0F};
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    }
    FATImageDevice device(path, 512);
    std::unique_ptr<IRealFATTable> table(
        IFATTableFactory::CreateRealFATTable(&device, FILE_SYSTEM_FAT32, 0, kSectors));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetEntryCount(), kSectors * 128);
    EXPECT_EQ(table->GetNextCluster(2), 3u);
    // A length past the device's end is refused before anything is allocated.
    EXPECT_EQ(IFATTableFactory::CreateRealFATTable(&device, FILE_SYSTEM_FAT32, 8, kSectors),
              nullptr);
}

TEST(FATTable, LengthOutsideTheAcceptedRangeGivesNoTable) {
    FAT32Tables tables(256);
    auto device = tables.Device();
    EXPECT_EQ(IFATTableFactory::CreateRealFATTable(device.get(), FILE_SYSTEM_FAT32, 0, 255),
              nullptr);
    EXPECT_EQ(IFATTableFactory::CreateRealFATTable(device.get(), FILE_SYSTEM_NTFS, 0, 256),
              nullptr);
}

TEST(FATTable, UnreadableTableIsNoTable) {
    FAT32Tables tables(256);
    tables.Set(2, 0x0FFFFFFF);
    auto device = tables.Device();
    device->MakeUnreadable(100);
    EXPECT_EQ(IFATTableFactory::CreateRealFATTable(device.get(), FILE_SYSTEM_FAT32, 0, 256),
              nullptr);
}

TEST(FATTable, SecondCopyStandsInForABrokenFirst) {
    FAT32Tables tables(256);
    tables.Set(2, 3);
    tables.Set(3, 0x0FFFFFFF);
    tables.Set(4, 4, 0);  // a self loop in the first copy only
    auto device = tables.Device();

    std::unique_ptr<CDoubleFATTable> both(
        IFATTableFactory::CreateFATTable(device.get(), 0, FILE_SYSTEM_FAT32, 256, 1, 1));
    ASSERT_TRUE(both->HasTable());
    EXPECT_TRUE(both->UsesSecondCopy());
    EXPECT_EQ(both->GetNextCluster(2), 3u);

    std::unique_ptr<CDoubleFATTable> firstOnly(
        IFATTableFactory::CreateFATTable(device.get(), 0, FILE_SYSTEM_FAT32, 256, 1, 0));
    EXPECT_FALSE(firstOnly->HasTable());
    EXPECT_EQ(firstOnly->GetNextCluster(2), 0u);
}

TEST(FATTable, FAT16EndAndBadMarksAreWidened) {
    TempDir dir;
    std::vector<uint8_t> bytes(512 * 12);
    const uint16_t entries[] = {0xFFF8, 0xFFFF, 3, 0xFFFF, 0xFFF7, 0xFFF8};
    for (size_t i = 0; i < std::size(entries); ++i)
        WriteLE16(bytes.data() + i * 2, entries[i]);
    WriteFile(dir / "fat16.img", bytes);
    FATImageDevice device(dir / "fat16.img", 512);
    std::unique_ptr<IRealFATTable> table(
        IFATTableFactory::CreateRealFATTable(&device, FILE_SYSTEM_FAT16, 0, 12));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNextCluster(2), 3u);
    EXPECT_EQ(table->GetNextCluster(3), kFATEndOfChain);
    EXPECT_EQ(table->GetNextCluster(4), kFATBadCluster);
    EXPECT_EQ(table->GetNextCluster(5), kFATEndOfChain);
    EXPECT_EQ(table->GetNextCluster(512 * 12 / 2), 0u);
}

TEST(FATTable, FixtureTablesPassTheirTests) {
    for (const char* image : {"fat16_512", "fat32_512", "fat32_4096", "fat16_4096"}) {
        SCOPED_TRACE(image);
        const auto manifest = ReadFATManifest(image);
        FATImageDevice device(FATFixtureImage(image), manifest.sectorSize);
        const auto boot = device.Sector(0);
        const bool fat32 = boot[82] == 'F' && boot[86] == '2';
        const uint32_t spf = fat32 ? ReadLE32(boot.data() + 36) : ReadLE16(boot.data() + 22);
        std::unique_ptr<CDoubleFATTable> table(IFATTableFactory::CreateFATTable(
            &device, ReadLE16(boot.data() + 14), fat32 ? FILE_SYSTEM_FAT32 : FILE_SYSTEM_FAT16, spf,
            1, 1));
        EXPECT_TRUE(table->HasTable());
        EXPECT_FALSE(table->UsesSecondCopy());
    }
}
