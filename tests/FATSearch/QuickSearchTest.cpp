#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "FATScanHarness.h"
#include "LittleEndian.h"

using namespace harbex::test;

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

struct ImageCase {
    const char* image;
    enumFILE_SYSTEM_TYPE type;
};

const ImageCase kImages[] = {
    {"fat16_512", FILE_SYSTEM_FAT16},  {"fat16_4096", FILE_SYSTEM_FAT16},
    {"fat16_8192", FILE_SYSTEM_FAT16},  // sectors larger than any fixed buffer
    {"fat32_512", FILE_SYSTEM_FAT32},  {"fat32_4096", FILE_SYSTEM_FAT32},
};

// Every file and folder of the manifest at its path, with its size, time,
// deleted state and content; nothing else but deleted leftovers.
void ExpectScanMatchesManifest(const char* image, QuickScan& scan, FATImageDevice& device) {
    const FATManifest manifest = ReadFATManifest(image);
    auto partition = scan.Partition();
    ASSERT_NE(partition, nullptr);
    std::set<std::string> expected;
    for (const FATManifestEntry& entry : manifest.entries) {
        const std::string path = ListedPath(entry);
        expected.insert(path);
        SCOPED_TRACE(path);
        const auto found = scan.byPath.find(path);
        ASSERT_NE(found, scan.byPath.end());
        CFATFileNode* node = found->second;
        EXPECT_EQ(node->IsDirectory() != 0, entry.directory);
        EXPECT_EQ(node->IsDeleted() != 0, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(node->GetFileSize(), entry.size);
        if (entry.mtime != 0) {
            EXPECT_EQ(node->GetModificationTime(),
                      static_cast<uint64_t>(entry.mtime) * 10000000 + kUnixEpochAsFileTime);
        }
        if (entry.size == 0) {
            EXPECT_GE(static_cast<uint64_t>(node->GetCurrentNodeID()), 1ull << 32);
            continue;
        }
        const std::string content = Sha256Of(ReadThroughExtents(&device, *partition, node));
        if (entry.state == "deleted-fragmented" || entry.state == "crosslinked") {
            // A deleted file is taken to lie on in the clusters after its first
            // one; this file did not, so its guessed content differs. A
            // cross-linked chain runs on into another file's clusters.
            EXPECT_NE(content, entry.sha256);
            if (entry.state == "crosslinked")
                continue;
            ASSERT_NE(node->GetDataRunList(), nullptr);
            DataRun* run = node->GetDataRunList()->GetFirst();
            ASSERT_NE(run, nullptr);
            EXPECT_EQ(node->GetDataRunList()->GetNext(), nullptr) << "one contiguous run";
        } else {
            EXPECT_EQ(content, entry.sha256);
        }
    }
    for (const auto& [path, node] : scan.byPath) {
        if (!expected.count(path)) {
            EXPECT_TRUE(node->IsDeleted()) << "unexpected live entry " << path;
        }
    }
}

}  // namespace

TEST(FATQuickSearch, ListsEveryFileOfTheFixtureImages) {
    ScopedTimeZone zone("UTC");
    for (const ImageCase& c : kImages) {
        SCOPED_TRACE(c.image);
        const FATManifest manifest = ReadFATManifest(c.image);
        FATImageDevice device(FATFixtureImage(c.image), manifest.sectorSize);
        device.DescribeAsVolume(c.type);
        QuickScan scan;
        scan.Run(&device);
        ASSERT_EQ(scan.code, kResultSuccess);
        ExpectScanMatchesManifest(c.image, scan, device);

        EXPECT_EQ(scan.searcher->GetSearchedPartitionInfo(nullptr, 0), 1);
        auto partition = scan.Partition();
        EXPECT_EQ(partition->GetType(), 1u);
        EXPECT_EQ(partition->fileSystemType, static_cast<uint32_t>(c.type));
        EXPECT_EQ(partition->GetTotalSectors(), static_cast<uint64_t>(manifest.totalSectors));
        const auto* fat = dynamic_cast<CFATSearchedPartitionInfo*>(partition.get());
        ASSERT_NE(fat, nullptr);
        EXPECT_EQ(fat->GetFlag(), c.type == FILE_SYSTEM_FAT32 ? 0x3CCu : 0x3C3u);

        ASSERT_FALSE(scan.progress.records.empty());
        EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
        EXPECT_EQ(scan.progress.records.back().done, 100u);
    }
}

TEST(FATQuickSearch, FragmentedLiveFileFollowsItsChain) {
    FATImageDevice device(FATFixtureImage("fat16_512"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT16);
    QuickScan scan;
    scan.Run(&device);
    CFATFileNode* node = scan.byPath.at("/Fragments/fragmented live.bin");
    int runs = 0;
    for (DataRun* run = node->GetDataRunList()->GetFirst(); run;
         run = node->GetDataRunList()->GetNext()) {
        ++runs;
    }
    EXPECT_EQ(runs, 2);
}

TEST(FATQuickSearch, RefusedVolumesAndArguments) {
    FATImageDevice volume(FATFixtureImage("fat16_512"), 512);
    volume.DescribeAsVolume(FILE_SYSTEM_FAT12);
    FATImageDevice disk(FATFixtureImage("fat16_512"), 512, kStorageDeviceDisk);
    FATImageDevice undescribed(FATFixtureImage("fat16_512"), 512);
    struct Case {
        const char* what;
        IStorageDevice* device;
        bool withBuilder;
        uint32_t kind;
    } cases[] = {
        {"FAT12 volume", &volume, true, kResultNoFATFileSystem},
        {"no device", nullptr, true, kResultBadArgument},
        {"no tree builder", &volume, false, kResultMissingObject},
        {"a whole disk", &disk, true, kResultNotSupported},
        {"no volume description", &undescribed, true, kResultMissingObject},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QuickScan scan;
        scan.Run(c.device, c.withBuilder);
        EXPECT_TRUE(IsFailure(scan.code));
        EXPECT_EQ(ResultModuleOf(scan.code), kModuleFAT);
        EXPECT_EQ(ResultKindOf(scan.code), c.kind);
        ASSERT_EQ(scan.progress.records.size(), 1u);
        EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
        EXPECT_TRUE(scan.all.empty());
    }
}

TEST(FATQuickSearch, BackupBootSectorStandsInOnFAT32Only) {
    {
        FATImageDevice device(FATFixtureImage("fat32_512"), 512);
        device.DescribeAsVolume(FILE_SYSTEM_FAT32);
        device.Overlay(0, std::vector<uint8_t>(512, 0));
        QuickScan scan;
        scan.Run(&device);
        EXPECT_EQ(scan.code, kResultSuccess);
        EXPECT_TRUE(scan.byPath.count("/Docs/Nested/Deep/NOTE.TXT"));
    }
    {
        FATImageDevice device(FATFixtureImage("fat32_512"), 512);
        device.DescribeAsVolume(FILE_SYSTEM_FAT32);
        device.MakeUnreadable(0);
        QuickScan scan;
        scan.Run(&device);
        EXPECT_EQ(scan.code, kResultSuccess) << "an unreadable boot sector is no boot sector";
    }
    {
        FATImageDevice device(FATFixtureImage("fat16_512"), 512);
        device.DescribeAsVolume(FILE_SYSTEM_FAT16);
        device.Overlay(0, std::vector<uint8_t>(512, 0));
        QuickScan scan;
        scan.Run(&device);
        EXPECT_EQ(ResultKindOf(scan.code), kResultNoFATFileSystem);
    }
}

TEST(FATQuickSearch, SecondFATStandsInForABrokenFirst) {
    for (const ImageCase& c : kImages) {
        SCOPED_TRACE(c.image);
        ScopedTimeZone zone("UTC");
        const FATManifest manifest = ReadFATManifest(c.image);
        FATImageDevice device(FATFixtureImage(c.image), manifest.sectorSize);
        device.DescribeAsVolume(c.type);
        const auto boot = device.Sector(0);
        const uint16_t reserved = ReadLE16(boot.data() + 14);
        device.Overlay(reserved, std::vector<uint8_t>(manifest.sectorSize, 0));
        QuickScan scan;
        scan.Run(&device);
        ASSERT_EQ(scan.code, kResultSuccess);
        ExpectScanMatchesManifest(c.image, scan, device);
    }
}

// Both copies fail the table tests (here for a cross-link in free clusters, which
// harms no file): the copies are read all the same and every file is found.
TEST(FATQuickSearch, BothFATsDamagedAreStillRead) {
    for (const ImageCase& c : {kImages[0], kImages[3]}) {
        SCOPED_TRACE(c.image);
        ScopedTimeZone zone("UTC");
        const FATManifest manifest = ReadFATManifest(c.image);
        FATImageDevice device(FATFixtureImage(c.image), manifest.sectorSize);
        device.DescribeAsVolume(c.type);
        const auto boot = device.Sector(0);
        const uint16_t reserved = ReadLE16(boot.data() + 14);
        const uint32_t perFat =
            c.type == FILE_SYSTEM_FAT16 ? ReadLE16(boot.data() + 22) : ReadLE32(boot.data() + 36);
        for (int copy = 0; copy < 2; ++copy) {
            // The last sector of each copy maps free clusters at the volume's end.
            const int64_t sector = reserved + int64_t{copy + 1} * perFat - 1;
            auto fat = device.Sector(sector);
            const uint32_t width = c.type == FILE_SYSTEM_FAT16 ? 2 : 4;
            const uint32_t first = (manifest.sectorSize / width) * (perFat - 1);
            for (uint32_t i = 0; i < 3; ++i) {
                const uint32_t value = i < 2 ? first + 2 : 0x0FFFFFFF;
                if (width == 2)
                    WriteLE16(fat.data() + i * 2, static_cast<uint16_t>(value));
                else
                    for (uint32_t b = 0; b < 4; ++b)
                        fat[i * 4 + b] = static_cast<uint8_t>(value >> (8 * b));
            }
            device.Overlay(sector, fat);
        }
        QuickScan scan;
        scan.Run(&device);
        ASSERT_EQ(scan.code, kResultSuccess);
        ExpectScanMatchesManifest(c.image, scan, device);
    }
}

// Both copies hold a cross-link that breaks CROSSED.BIN; the first copy also
// breaks the fragmented FRAG.BIN, so the second copy, less damaged, is read.
TEST(FATQuickSearch, CrossLinkedFATsGiveEveryIntactFileWhole) {
    ScopedTimeZone zone("UTC");
    FATImageDevice device(FATFixtureImage("fat32_crosslinked"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT32);
    QuickScan scan;
    scan.Run(&device);
    ASSERT_EQ(scan.code, kResultSuccess);
    ExpectScanMatchesManifest("fat32_crosslinked", scan, device);
}

TEST(FATQuickSearch, NoReadableFATIsAFailure) {
    FATImageDevice device(FATFixtureImage("fat16_512"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT16);
    const auto boot = device.Sector(0);
    const uint16_t reserved = ReadLE16(boot.data() + 14);
    const uint16_t perFat = ReadLE16(boot.data() + 22);
    device.MakeUnreadable(reserved + perFat / 2);
    device.MakeUnreadable(reserved + perFat + perFat / 2);
    QuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(ResultKindOf(scan.code), kResultMissingObject);
}

// The files the root's first cluster lists in fat32_512; BIG.BIN fills the
// first 65600 clusters, the others lie after it.
const std::vector<std::string> kFAT32RootFiles = {
    "/BIG.BIN",   "/README.TXT", "/Long file name with spaces.txt", "/Ünïcödé 名前.txt",
    "/#ONE.TXT", "/EMPTY.DAT"};

// The record describes what the device holds; files past its end are still
// listed, from the boot sector's size.
TEST(FATQuickSearch, CutShortVolumeListsFilesPastItsEnd) {
    FATImageDevice device(FATFixtureImage("fat32_512"), 512);
    device.SetTotalSectors(40000);
    device.DescribeAsVolume(FILE_SYSTEM_FAT32);
    QuickScan scan;
    scan.Run(&device);
    ASSERT_EQ(scan.code, kResultSuccess);
    EXPECT_EQ(scan.Partition()->GetTotalSectors(), 40000u);
    for (const std::string& path : kFAT32RootFiles)
        EXPECT_TRUE(scan.byPath.count(path)) << path;
}

// When the first run of the FAT32 root cannot be read, the rest of the root
// chain is listed.
TEST(FATQuickSearch, UnreadableFirstRunOfTheRootIsSkipped) {
    FATImageDevice clean(FATFixtureImage("fat32_crosslinked"), 512);
    clean.DescribeAsVolume(FILE_SYSTEM_FAT32);
    QuickScan whole;
    whole.Run(&clean);
    ASSERT_EQ(whole.code, kResultSuccess);
    const auto partition = whole.Partition();

    FATImageDevice device(FATFixtureImage("fat32_crosslinked"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT32);
    const auto* fat = dynamic_cast<CFATSearchedPartitionInfo*>(partition.get());
    device.MakeUnreadable(static_cast<int64_t>(partition->firstDataSector) +
                          (int64_t{fat->GetRootInfo()} - 2) * partition->sectorsPerCluster);
    QuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.code, kResultSuccess);
    EXPECT_FALSE(scan.byPath.empty());
    EXPECT_LT(scan.byPath.size(), whole.byPath.size());
    for (const auto& [path, node] : scan.byPath)
        EXPECT_TRUE(whole.byPath.count(path)) << path;
}

TEST(FATQuickSearch, UnreadableFolderIsSkippedAndTheRestListed) {
    const int64_t sector = FolderFirstSector("fat32_512", FILE_SYSTEM_FAT32, "/Photos");
    FATImageDevice damaged(FATFixtureImage("fat32_512"), 512);
    damaged.DescribeAsVolume(FILE_SYSTEM_FAT32);
    damaged.MakeUnreadable(sector);
    QuickScan scan;
    scan.Run(&damaged);
    // The folder is made but lists nothing, so it is not shown.
    EXPECT_EQ(scan.code, kResultSuccess);
    EXPECT_FALSE(scan.byPath.count("/Photos/PIC1.JPG"));
    EXPECT_TRUE(scan.byPath.count("/Docs/Nested/Deep/NOTE.TXT"));
}

TEST(FATQuickSearch, FolderWithoutDotEntriesIsNotListed) {
    const int64_t sector = FolderFirstSector("fat16_512", FILE_SYSTEM_FAT16, "/Docs");
    FATImageDevice device(FATFixtureImage("fat16_512"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT16);
    auto bytes = device.Sector(sector);
    bytes[0] = 'X';  // "." becomes "X"
    device.Overlay(sector, bytes);
    QuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.code, kResultSuccess);
    EXPECT_FALSE(scan.byPath.count("/Docs/report 2024.doc"));
    EXPECT_FALSE(scan.byPath.count("/Docs/Nested/Deep/NOTE.TXT"));
    EXPECT_TRUE(scan.byPath.count("/Fragments/A.BIN"));
}

TEST(FATQuickSearch, StopRequestEndsTheWalk) {
    FATImageDevice device(FATFixtureImage("fat16_512"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT16);
    QuickScan scan;
    scan.progress.continueAnswers = 1;
    scan.Run(&device);
    EXPECT_EQ(ResultKindOf(scan.code), kResultStopped);
    EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
}
