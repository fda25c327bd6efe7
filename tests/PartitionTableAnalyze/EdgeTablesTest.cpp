#include <gtest/gtest.h>

#include <list>

#include "ImageDisk.h"
#include "PartitionTableAnalyze.h"
#include "TableImages.h"
#include "TestSupport.h"

namespace {

using harbex::test::TempDir;
using tables::MbrSector;
using tables::MbrSlot;

constexpr uint64_t kDiskBytes = 64 << 20;
constexpr int64_t kDiskSectors = kDiskBytes / 512;

struct Listed {
    uint32_t number;
    int64_t start;
    int64_t count;
    bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& p, std::ostream* os) {
    *os << "#" << p.number << " " << p.start << "+" << p.count;
}

class EdgeTables : public testing::Test {
protected:
    // Analyses the image as a disk of `sectorSize` sectors.
    RESULT_CODE Analyze(uint32_t sectorSize = 512) {
        ImageDisk disk(image_, sectorSize);
        return Analyze(disk);
    }
    RESULT_CODE Analyze(ImageDisk& disk) {
        std::list<PartitionEntry> partitions;
        RESULT_CODE code = CPartitionTableAnalyze().AnalyzePartitionTable(&disk, partitions);
        listed_.clear();
        for (const auto& p : partitions)
            listed_.push_back({p.number, p.startSector, p.sectorCount});
        return code;
    }
    enumDiskPartitionScheme Scheme() {
        ImageDisk disk(image_, 512);
        enumDiskPartitionScheme scheme = kPartitionSchemeNone;
        EXPECT_EQ(CPartitionTableAnalyze().GetDiskType(&disk, scheme), kResultSuccess);
        return scheme;
    }
    void Sector(int64_t sector, const std::vector<uint8_t>& bytes) {
        tables::WriteAt(image_, sector * 512, bytes);
    }

    TempDir dir_;
    std::filesystem::path image_ = dir_ / "disk.img";
    std::vector<Listed> listed_;

    void SetUp() override { tables::MakeSparseImage(image_, kDiskBytes); }
};

uint32_t KindOf(RESULT_CODE code) {
    return IsFailure(code) ? ResultKindOf(code) : 0;
}

TEST_F(EdgeTables, BlankDiskHasNoTable) {
    EXPECT_EQ(Scheme(), kPartitionSchemeNone);
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_TRUE(listed_.empty());
}

// A volume written onto the whole disk carries 0x55AA too; it is no table.
TEST_F(EdgeTables, VolumeBootSectorIsNoTable) {
    const char* makers[] = {"mkfs.fat -F 32 -S 512", "mkfs.fat -F 16", "mkntfs -q -F -Q -s 512",
                            "mkfs.exfat"};
    for (const char* maker : makers) {
        SCOPED_TRACE(maker);
        tables::MakeSparseImage(image_, kDiskBytes);
        auto made = harbex::test::RunCommand(std::string(maker) + " '" + image_.string() +
                                             "' >/dev/null 2>&1");
        ASSERT_EQ(made.status, 0);
        EXPECT_EQ(Scheme(), kPartitionSchemeNone);
        EXPECT_EQ(Analyze(), kResultSuccess);
        EXPECT_TRUE(listed_.empty());
    }
}

// Partitioning a disk that once held a whole-disk volume may leave its boot
// code and parameter block in front of a real table.
TEST_F(EdgeTables, TableBehindOldBootCodeIsMbr) {
    auto made =
        harbex::test::RunCommand("mkfs.fat -F 16 '" + image_.string() + "' >/dev/null 2>&1");
    ASSERT_EQ(made.status, 0);
    std::vector<uint8_t> sector(512);
    {
        ImageDisk disk(image_, 512);
        ASSERT_TRUE(disk.ReadSector(sector.data(), 0, 1));
    }
    std::vector<uint8_t> table = MbrSector({{0, 0x83, 2048, 20480}});
    std::copy(table.begin() + 446, table.end(), sector.begin() + 446);
    Sector(0, sector);
    EXPECT_EQ(Scheme(), kPartitionSchemeMBR);
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{1, 2048, 20480}}));
}

TEST_F(EdgeTables, ProtectiveTypeOutsideFirstSlotIsMbr) {
    Sector(0, MbrSector({{0x80, 0x83, 2048, 20480}, {0, 0xEE, 30000, 20000}}));
    EXPECT_EQ(Scheme(), kPartitionSchemeMBR);
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{1, 2048, 20480}, {2, 30000, 20000}}));
}

TEST_F(EdgeTables, MbrEntriesAreCutAtTheDiskEnd) {
    Sector(0, MbrSector({{0, 0x83, 2048, 0}, {0, 0x83, 100000, 999999}, {0, 0x83, 999999, 10}}));
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{1, 2048, kDiskSectors - 2048},
                                            {2, 100000, kDiskSectors - 100000}}));
}

struct BrokenMbr {
    const char* name;
    std::vector<MbrSlot> slots;
    uint32_t kind;
};

TEST_F(EdgeTables, BrokenOrDynamicMbrIsRefused) {
    const BrokenMbr cases[] = {
        {"boot indicator", {{0x81, 0x83, 2048, 2048}}, kResultMalformed},
        {"dynamic disk", {{0, 0x42, 2048, 2048}}, kResultNotSupported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sector(0, MbrSector(c.slots));
        EXPECT_EQ(KindOf(Analyze()), c.kind);
    }
}

// Extended partition at 40960; chain records at E, E+10000, E+20000.
constexpr uint32_t kExtended = 40960;

TEST_F(EdgeTables, ChainLinkingBackToItselfEnds) {
    Sector(0, MbrSector({{0, 0x83, 2048, 20480}, {0, 0x05, kExtended, 60000}}));
    Sector(kExtended, MbrSector({{0, 0x83, 2048, 4096}, {0, 0x05, 0, 60000}}));
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{1, 2048, 20480}, {5, kExtended + 2048, 4096}}));
}

TEST_F(EdgeTables, ChainOfRecordsWithoutPartitionsPointingAtEachOtherEnds) {
    Sector(0, MbrSector({{0, 0x0F, kExtended, 60000}}));
    Sector(kExtended, MbrSector({{0, 0x83, 2048, 4096}, {0, 0x05, 10000, 20000}}));
    Sector(kExtended + 10000, MbrSector({{0, 0x05, 20000, 100}}));
    Sector(kExtended + 20000, MbrSector({{0, 0x05, 10000, 100}}));
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{5, kExtended + 2048, 4096}}));
}

TEST_F(EdgeTables, LogicalPartitionAtAListedStartStopsTheChain) {
    Sector(0, MbrSector({{0, 0x05, kExtended, 60000}}));
    Sector(kExtended, MbrSector({{0, 0x83, 2048, 4096}, {0, 0x05, 10000, 20000}}));
    Sector(kExtended + 10000, MbrSector({{0, 0x83, kExtended + 2048 - (kExtended + 10000), 8}}));
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{5, kExtended + 2048, 4096}}));
}

TEST_F(EdgeTables, BrokenChainRecordFailsButKeepsEarlierPartitions) {
    Sector(0, MbrSector({{0, 0x83, 2048, 20480}, {0, 0x05, kExtended, 60000}}));
    Sector(kExtended,
           MbrSector({{0, 0x83, 2048, 4096}, {0, 0x05, 10000, 100}, {0, 0x05, 20000, 100}}));
    EXPECT_EQ(KindOf(Analyze()), kResultMalformed);
    std::vector<uint8_t> unsigned_(512, 0);
    Sector(kExtended, unsigned_);
    EXPECT_EQ(KindOf(Analyze()), kResultMalformed);
}

TEST_F(EdgeTables, ChainRecordBeyondTheDiskFailsWithTheReadCode) {
    Sector(0, MbrSector({{0, 0x05, kDiskSectors + 10, 60000}}));
    EXPECT_EQ(ResultModuleOf(Analyze()), kModuleStorageDevice);
}

TEST_F(EdgeTables, GptEightMiBFloorAtFiveHundredTwelveBytes) {
    ASSERT_TRUE(tables::RunSfdisk(image_.string(), "label: gpt\\nsize=16384\\nsize=16385\\n"));
    EXPECT_EQ(Analyze(), kResultSuccess);
    ASSERT_EQ(listed_.size(), 1u);
    EXPECT_EQ(listed_[0].number, 2u);
    EXPECT_EQ(listed_[0].count, 16385);
}

TEST_F(EdgeTables, GptEntryPastTheDiskIsCut) {
    ASSERT_TRUE(tables::RunSfdisk(image_.string(), "label: gpt\\nsize=20MiB\\n,\\n"));
    auto before = tables::SfdiskDump(image_.string());
    ASSERT_EQ(before.size(), 2u);
    const int64_t shorter = kDiskSectors - 4096;
    std::filesystem::resize_file(image_, shorter * 512);
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, (std::vector<Listed>{{1, before[0].start, before[0].size},
                                            {2, before[1].start, shorter - before[1].start}}));
}

TEST_F(EdgeTables, GptFallsBackToTheBackupHeaderThenFails) {
    ASSERT_TRUE(tables::RunSfdisk(image_.string(), "label: gpt\\nsize=20MiB\\n,\\n"));
    EXPECT_EQ(Analyze(), kResultSuccess);
    auto intact = listed_;
    ASSERT_EQ(intact.size(), 2u);

    Sector(1, std::vector<uint8_t>(512, 0xA5));
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_, intact);

    Sector(kDiskSectors - 1, std::vector<uint8_t>(512, 0xA5));
    EXPECT_EQ(KindOf(Analyze()), kResultMalformed);
}

TEST_F(EdgeTables, GptEntryArrayChecksumIsChecked) {
    ASSERT_TRUE(tables::RunSfdisk(image_.string(), "label: gpt\\nsize=20MiB\\n,\\n"));
    // Damage the primary entry array only: the backup array still answers.
    Sector(2, std::vector<uint8_t>(512, 0x11));
    EXPECT_EQ(Analyze(), kResultSuccess);
    EXPECT_EQ(listed_.size(), 2u);
}

TEST_F(EdgeTables, DeviceChecks) {
    Sector(0, MbrSector({{0, 0x83, 2048, 20480}}));
    std::list<PartitionEntry> partitions{PartitionEntry{}};
    CPartitionTableAnalyze analyze;
    EXPECT_EQ(KindOf(analyze.AnalyzePartitionTable(nullptr, partitions)), kResultBadArgument);
    EXPECT_TRUE(partitions.empty());

    ImageDisk partition(image_, 512, kStorageDevicePartition);
    EXPECT_EQ(KindOf(analyze.AnalyzePartitionTable(&partition, partitions)), kResultNotSupported);

    ImageDisk otherKind(image_, 512);
    otherKind.record().kind = 1;
    EXPECT_EQ(KindOf(analyze.AnalyzePartitionTable(&otherKind, partitions)), kResultNotSupported);

    ImageDisk noRecord(image_, 512);
    noRecord.DropRecord();
    EXPECT_EQ(KindOf(analyze.AnalyzePartitionTable(&noRecord, partitions)), kResultMissingObject);

    ImageDisk small(image_, 256);
    EXPECT_EQ(KindOf(analyze.AnalyzePartitionTable(&small, partitions)), kResultSectorTooSmall);

    ImageDisk unreadable(image_, 512);
    unreadable.FailSector(0);
    RESULT_CODE code = analyze.AnalyzePartitionTable(&unreadable, partitions);
    EXPECT_EQ(code, unreadable.GetLastError());
    EXPECT_TRUE(IsFailure(code));
}

}  // namespace
