#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "FATBootSector.h"
#include "FATCompleteScanHarness.h"

namespace harbex::test {
namespace {

// Where the parts of the odd-start disk's FAT32 volume lie.
struct OddStartLayout {
    int64_t start = 4097;
    int64_t fat1 = 0;
    int64_t fat2 = 0;
};

OddStartLayout ReadOddStartLayout(FATImageDevice& device) {
    OddStartLayout layout;
    const std::vector<uint8_t> boot = device.Sector(layout.start);
    const CTempFATDBR dbr(boot.data(), 512);
    layout.fat1 = layout.start + dbr.GetReservedSector();
    layout.fat2 = layout.fat1 + dbr.GetSectorsPerFat();
    return layout;
}

struct DamageCase {
    const char* what;
    std::function<void(FATImageDevice&, const OddStartLayout&)> damage;
    uint64_t score;
    uint32_t flags;  // evidence flags expected, FAT usability bits included
};

const std::vector<uint8_t> kZeroSector(512, 0);

TEST(FATCompleteEvidence, ScoreFollowsTheEvidenceLeft) {
    const DamageCase cases[] = {
        {"intact", [](FATImageDevice&, const OddStartLayout&) {}, 100, 0x3DC},
        {"backup boot sector zeroed",
         [](FATImageDevice& d, const OddStartLayout& l) { d.Overlay(l.start + 6, kZeroSector); },
         95, 0x3D4},
        {"first sector of FAT 1 zeroed",
         [](FATImageDevice& d, const OddStartLayout& l) { d.Overlay(l.fat1, kZeroSector); }, 95,
         0x31C},
        {"first sectors of both FATs unreadable",
         [](FATImageDevice& d, const OddStartLayout& l) {
             d.MakeUnreadable(l.fat1);
             d.MakeUnreadable(l.fat2);
         },
         60, 0x1C},
        {"both boot sectors zeroed",
         [](FATImageDevice& d, const OddStartLayout& l) {
             d.Overlay(l.start, kZeroSector);
             d.Overlay(l.start + 6, kZeroSector);
         },
         20, 0x10},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.what);
        FATImageDevice device(DiskImage("odd_start"), 512, kStorageDeviceDisk);
        c.damage(device, ReadOddStartLayout(device));
        CompleteScan scan;
        scan.Run(&device);
        ASSERT_EQ(scan.partitions.size(), 1u);
        const auto* record = dynamic_cast<CFATSearchedPartitionInfo*>(scan.partitions[0].get());
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->integerScore, c.score);
        EXPECT_EQ(record->GetFlag(), c.flags);
        EXPECT_EQ(record->firstDataSector, 5263u);
        // The files are there whatever was lost, through the backup FAT or,
        // without one, as contiguous runs (in a made-up folder without a root).
        CFATFileNode* found = scan.FindEndingWith("/meeting notes.txt");
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->GetFileSize(), 512);
    }
}

// A FAT16 volume has no backup boot sector: without it the partition comes
// from its sub-folders, and its fixed root folder is found in the sectors
// just before the data area.
TEST(FATCompleteEvidence, LostFAT16RootIsListedFromTheAreaBeforeTheData) {
    const DiskManifest manifest = ReadDiskManifest("big_sectors");
    FATImageDevice device(DiskImage("big_sectors"), 8192, kStorageDeviceDisk);
    device.Overlay(16, std::vector<uint8_t>(8192, 0));
    CompleteScan scan;
    scan.Run(&device);
    ASSERT_EQ(scan.partitions.size(), 1u);
    const CSearchedPartitionInfo& partition = *scan.partitions[0];
    EXPECT_EQ(partition.integerScore, 20u);
    EXPECT_EQ(partition.startSector, 16u);
    EXPECT_EQ(partition.fileSystemType, uint32_t{FILE_SYSTEM_FAT16});
    for (const DiskFile& file : manifest.files) {
        SCOPED_TRACE(file.path);
        const auto found = scan.byPath.find(file.path);
        ASSERT_NE(found, scan.byPath.end());
        if (!file.directory) {
            EXPECT_EQ(Sha256Of(ReadThroughExtents(&device, partition, found->second)), file.sha256);
        }
    }
}

TEST(FATCompleteEvidence, BootSectorClaimingMoreThanTheDeviceIsCutToIt) {
    FATImageDevice device(DiskImage("odd_start"), 512, kStorageDeviceDisk);
    device.SetTotalSectors(device.GetTotalSectors() - 4000);
    CompleteScan scan;
    scan.Run(&device);
    ASSERT_EQ(scan.partitions.size(), 1u);
    EXPECT_EQ(scan.partitions[0]->startSector, 4097u);
    EXPECT_EQ(static_cast<int64_t>(scan.partitions[0]->GetTotalSectors()),
              device.GetTotalSectors() - 4097);
}

// A sector that cannot be read is skipped; the bytes left in the buffer by
// the sector before it are never taken for its content.
TEST(FATCompleteEvidence, UnreadableSectorIsNeverAnalysedFromAStaleBuffer) {
    FATImageDevice intact(DiskImage("two_partitions"), 512, kStorageDeviceDisk);
    CompleteScan first;
    first.Run(&intact);
    const CFATFolderSectorList& records = first.searcher->GetFolderSectors();
    int64_t folder = -1;
    for (const FIRSTFOLDERSECTOR& record : records) {
        const auto next = records.LowerBound(record.sector + 1);
        if (record.cluster != kFATNoFolderCluster &&
            (next == records.end() || next->sector != record.sector + 1)) {
            folder = record.sector;
            break;
        }
    }
    ASSERT_GE(folder, 0);

    FATImageDevice device(DiskImage("two_partitions"), 512, kStorageDeviceDisk);
    device.MakeUnreadable(folder + 1);
    CompleteScan scan;
    scan.Run(&device);
    const CFATFolderSectorList& seen = scan.searcher->GetFolderSectors();
    EXPECT_EQ(seen.size(), records.size());
    const auto at = seen.LowerBound(folder);
    ASSERT_NE(at, seen.end());
    EXPECT_EQ(at->sector, folder);
    EXPECT_TRUE(std::next(at) == seen.end() || std::next(at)->sector != folder + 1);
    // The rest of that block was still analysed.
    EXPECT_EQ(scan.partitions.size(), 2u);
}

// A lost sub-folder whose ".." names the folder itself makes a folder node the
// tree builder refuses (its id is its parent id). Its entries are still
// listed, and the refused node is not used after it was released.
TEST(FATCompleteEvidence, RefusedMadeUpFolderStillListsItsEntries) {
    FATImageDevice device(DiskImage("fat16_reformatted"), 512, kStorageDeviceDisk);
    CompleteScan first;
    first.Run(&device);
    int64_t taxes = -1;
    for (const FIRSTFOLDERSECTOR& record : first.searcher->GetFolderSectors()) {
        const std::vector<uint8_t> bytes = device.Sector(record.sector);
        const char* name = "RETURN  PDF";
        if (record.cluster != kFATNoFolderCluster &&
            std::search(bytes.begin(), bytes.end(), name, name + 11) != bytes.end()) {
            taxes = record.sector;
        }
    }
    ASSERT_GE(taxes, 0);
    std::vector<uint8_t> bytes = device.Sector(taxes);
    std::memcpy(&bytes[32 + 20], &bytes[20], 2);
    std::memcpy(&bytes[32 + 26], &bytes[26], 2);
    device.Overlay(taxes, bytes);

    CompleteScan scan;
    scan.Run(&device);
    CFATFileNode* listed = scan.FindEndingWith("/RETURN.PDF");
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->GetFileSize(), 5000);
}

TEST(FATCompleteEvidence, NoBuildPublishesNothing) {
    FATImageDevice device(DiskImage("two_partitions"), 512, kStorageDeviceDisk);
    CompleteScan scan;
    scan.Run(&device, false);
    EXPECT_TRUE(scan.partitions.empty());
    EXPECT_TRUE(scan.tree.nodes.empty());
}

TEST(FATCompleteEvidence, TooSmallAnArrayGetsNoPartition) {
    FATImageDevice device(DiskImage("two_partitions"), 512, kStorageDeviceDisk);
    CompleteScan scan;
    scan.Run(&device);
    ASSERT_EQ(scan.partitions.size(), 2u);
    CSearchedPartitionInfo* records[1] = {nullptr};
    EXPECT_EQ(scan.searcher->GetSearchedPartitionInfo(records, 1), 0);
    EXPECT_EQ(records[0], nullptr);
}

}  // namespace
}  // namespace harbex::test
