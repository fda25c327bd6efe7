// The HFS+ block searcher of a complete scan over the fixture disks held in
// memory: the bit map it marks, sectors of 4 KiB, records of freed nodes and
// damaged disks.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "Bitmap.h"
#include "ByteOrder.h"
#include "DataRunList.h"
#include "FileNode.h"
#include "HFSPlusCompleteSearcher.h"
#include "HFSPlusTestImages.h"
#include "HFSPlusTestTrees.h"
#include "SearchedPartitionInfo.h"

using namespace harbex::test;

namespace {

// Feeds the whole device to a searcher in blocks, as a complete scan does.
void Scan(CHFSPlusCompleteFileSystemSearchController& searcher, IStorageDevice& device,
          IDirecotryTreeBuilder& builder, TBitmap& bitmap) {
    searcher.SetDevice(&device);
    searcher.SetDirecotryTreeBuilder(&builder);
    searcher.SetBitmap(&bitmap);
    searcher.PreparetoSearch();
    constexpr long long kBlock = 96;  // sectors: blocks end inside nodes and volumes
    for (long long first = 0; first < device.GetTotalSectors(); first += kBlock)
        searcher.AnalyzeBlock(first, std::min(kBlock, device.GetTotalSectors() - first));
    searcher.EndSearch(1);
}

int64_t MarkedSectors(const TBitmap& bitmap) {
    int64_t marked = 0;
    for (long long bit = 0; bit <= bitmap.GetMaxBitIndex(); ++bit)
        marked += bitmap.GetBit(bit) != 0 ? bitmap.GetSectorsPerBit() : 0;
    return marked;
}

// The sectors the live files of a volume's manifest occupy (whole blocks).
int64_t LiveFileSectors(const HFSPlusManifest& manifest, uint32_t blockSize) {
    int64_t sectors = 0;
    for (const HFSPlusManifestEntry& entry : manifest.entries) {
        if (!entry.directory && !entry.deleted)
            sectors += (entry.size + blockSize - 1) / blockSize * (blockSize / 512);
    }
    return sectors;
}

struct BitmapCase {
    const char* disk;
    const char* volume;  // whose manifest gives the block size
    int copies;
};

class HFSPlusCompleteBitmap : public ::testing::TestWithParam<BitmapCase> {};

}  // namespace

TEST_P(HFSPlusCompleteBitmap, HoldsExactlyTheLiveFilesBlocks) {
    const BitmapCase& c = GetParam();
    HFSPlusMemoryDevice device(HFSPlusImage(c.disk), 512, kStorageDeviceDisk);
    RecordingBuilder builder;
    TBitmap bitmap;
    CHFSPlusCompleteFileSystemSearchController searcher;
    Scan(searcher, device, builder, bitmap);

    const HFSPlusManifest volume = ReadHFSPlusManifest(c.volume);
    ASSERT_NE(bitmap.GetBitmapData(), nullptr);
    EXPECT_EQ(MarkedSectors(bitmap), c.copies * LiveFileSectors(volume, volume.blockSize));
    // Nothing outside the volumes is marked.
    for (int64_t sector = 0; sector < device.GetTotalSectors(); ++sector) {
        if (bitmap.GetBit(sector) == 0)
            continue;
        const bool inside = std::any_of(
            searcher.Partitions().begin(), searcher.Partitions().end(), [sector](const auto& p) {
                return p->startSector <= sector && sector < p->startSector + p->sectorCount;
            });
        EXPECT_TRUE(inside) << sector;
    }
    // Deleted files leave their sectors to the signature search.
    for (IFileNode* node : builder.nodes) {
        auto* file = dynamic_cast<CFileNode*>(node);
        if (!node->IsDeleted() || file == nullptr || file->GetDataRunList() == nullptr)
            continue;
        const auto& partition = searcher.Partitions().at(file->GetBelongedPartition());
        const int64_t perBlock = partition->blockSize / 512;
        IDataRunList* runs = file->GetDataRunList();
        for (DataRun* run = runs->GetFirst(); run != nullptr; run = runs->GetNext()) {
            const int64_t first = partition->startSector + run->firstCluster * perBlock;
            for (int64_t s = first; s < first + int64_t(run->clusterCount) * perBlock; ++s)
                EXPECT_EQ(bitmap.GetBit(s), 0) << node->GetFileName() << " " << s;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Disks, HFSPlusCompleteBitmap,
                         ::testing::Values(BitmapCase{"hfsplus_disk_gpt40", "hfsplus_journaled", 1},
                                           BitmapCase{"hfsplus_disk_two", "hfsplus_512", 2}),
                         [](const auto& info) { return std::string(info.param.disk); });

TEST(HFSPlusCompleteSearch, FindsVolumesOnFourKiBSectors) {
    // The GPT disk read in 4096-byte sectors: the volume at byte 20,480 starts at
    // sector 5, its header 1,024 bytes into that sector.
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_disk_gpt40"), 4096, kStorageDeviceDisk);
    RecordingBuilder builder;
    TBitmap bitmap;
    CHFSPlusCompleteFileSystemSearchController searcher;
    Scan(searcher, device, builder, bitmap);

    ASSERT_EQ(searcher.GetSearchedPartitionInfo(nullptr, 0), 1);
    CSearchedPartitionInfo* record = nullptr;
    ASSERT_EQ(searcher.GetSearchedPartitionInfo(&record, 1), 1);
    const std::unique_ptr<CSearchedPartitionInfo> owned(record);
    EXPECT_EQ(record->startSector, 5u);
    EXPECT_EQ(record->GetTotalSectors(), 1112u * 512 / 4096);
    EXPECT_EQ(record->fileSystemType, static_cast<uint32_t>(FILE_SYSTEM_HFSPLUS));
    EXPECT_NE(builder.Named("stays.bin"), nullptr);
    EXPECT_NE(builder.Named("gone.txt"), nullptr);
}

TEST(HFSPlusCompleteSearch, AVolumeKnownByItsAlternateHeaderIsClaimedBeforeItIsListed) {
    // The volume at sector 40 with its first header zeroed: only the
    // alternate one, at its end, says where it lies.
    std::vector<uint8_t> image = HFSPlusImage("hfsplus_disk_gpt40");
    std::fill_n(image.begin() + 40 * 512 + 1024, 512, uint8_t{0});
    HFSPlusMemoryDevice device(image, 512, kStorageDeviceDisk);
    RecordingBuilder builder;
    TBitmap bitmap;
    CHFSPlusCompleteFileSystemSearchController searcher;
    searcher.SetDevice(&device);
    searcher.SetDirecotryTreeBuilder(&builder);
    searcher.SetBitmap(&bitmap);
    searcher.PreparetoSearch();
    EXPECT_FALSE(searcher.MayListAtEnd(100));  // nothing met yet
    // What the search says of each sector once the walk has passed it, as the
    // signature search asks about a file it sized there.
    std::vector<bool> claimed;
    constexpr long long kBlock = 96;
    const int64_t total = device.GetTotalSectors();
    for (long long first = 0; first < total; first += kBlock) {
        const long long count = std::min(kBlock, total - first);
        searcher.AnalyzeBlock(first, count);
        for (long long sector = first; sector < first + count; ++sector)
            claimed.push_back(searcher.MayListAtEnd(sector));
    }
    EXPECT_EQ(bitmap.GetBitmapData(), nullptr);  // nothing listed during the walk

    // Its files' sectors, marked when the search ends, were all claimed.
    searcher.EndSearch(1);
    ASSERT_NE(bitmap.GetBitmapData(), nullptr);
    ASSERT_GT(MarkedSectors(bitmap), 0);
    for (int64_t sector = 0; sector < total; ++sector) {
        const bool marked = bitmap.GetBit(sector / std::max(1u, bitmap.GetSectorsPerBit())) != 0;
        EXPECT_TRUE(!marked || claimed[size_t(sector)]) << sector;
    }
}

TEST(HFSPlusCompleteSearch, RecordsOfFreedNodesComeBackDeleted) {
    // Without its journal the volume lists only its live files; the catalog
    // leaf from before the deletion still lies in the journal's blocks.
    std::vector<uint8_t> disk = HFSPlusImage("hfsplus_disk_gpt40");
    const size_t header = 40 * 512 + 1024;
    const uint32_t attributes = ReadBE32(disk.data() + header + 4);
    PutBE32(disk, header + 4, attributes & ~kHFSVolumeJournaledMask);
    HFSPlusMemoryDevice device(std::move(disk), 512, kStorageDeviceDisk);
    RecordingBuilder builder;
    TBitmap bitmap;
    CHFSPlusCompleteFileSystemSearchController searcher;
    Scan(searcher, device, builder, bitmap);

    for (const char* name : {"gone.txt", "also gone.bin"}) {
        IFileNode* node = builder.Named(name);
        ASSERT_NE(node, nullptr) << name;
        EXPECT_TRUE(node->IsDeleted()) << name;
    }
    IFileNode* live = builder.Named("stays.bin");
    ASSERT_NE(live, nullptr);
    EXPECT_FALSE(live->IsDeleted());
    // A live file is not offered twice from its own catalog's nodes.
    int copies = 0;
    for (IFileNode* node : builder.nodes)
        copies += std::string(node->GetFileName()) == "stays.bin";
    EXPECT_EQ(copies, 1);
}

TEST(HFSPlusCompleteSearch, AVolumeWithoutHeadersIsPlacedByItsJournalOrNotRead) {
    // Journal header gone too: the start behind the GPT protective MBR is a
    // guess, so the files are listed but their data is not read. Files only
    // the journal holds are listed deleted when the journal is placed (the
    // catalog leaves found outside it say which live); unplaced, nothing
    // tells its old leaves from the catalog's.
    for (const bool journalHeaderLost : {false, true}) {
        SCOPED_TRACE(journalHeaderLost ? "journal header lost" : "journal intact");
        std::vector<uint8_t> disk = HFSPlusImage("hfsplus_disk_headers_zeroed");
        ASSERT_FALSE(disk.empty());
        if (journalHeaderLost) {
            for (size_t at = 0; at + 512 <= disk.size(); at += 512) {
                if (ReadLE32(disk.data() + at) == kJournalMagic)
                    std::fill_n(disk.begin() + at, 512, 0);
            }
        }
        HFSPlusMemoryDevice device(std::move(disk), 512, kStorageDeviceDisk);
        RecordingBuilder builder;
        TBitmap bitmap;
        CHFSPlusCompleteFileSystemSearchController searcher;
        Scan(searcher, device, builder, bitmap);

        CSearchedPartitionInfo* record = nullptr;
        ASSERT_EQ(searcher.GetSearchedPartitionInfo(&record, 1), 1);
        const std::unique_ptr<CSearchedPartitionInfo> owned(record);
        EXPECT_EQ(record->startSector, 40u);
        EXPECT_EQ(record->sectorsPerCluster, 2048u / 512);
        const std::pair<const char*, bool> files[] = {
            {"stays.bin", false}, {"kzpt.txt", false}, {"gone.txt", true}, {"also gone.bin", true}};
        for (const auto& [name, deleted] : files) {
            auto* node = dynamic_cast<CFileNode*>(builder.Named(name));
            ASSERT_NE(node, nullptr) << name;
            if (!journalHeaderLost || !deleted) {
                EXPECT_EQ(node->IsDeleted() != 0, deleted) << name;
            }
            EXPECT_EQ(node->GetDataRunList() == nullptr, journalHeaderLost) << name;
        }
    }
}

TEST(HFSPlusCompleteSearch, RandomDamageEndsCleanly) {
    std::mt19937 random(7);
    for (const char* name : {"hfsplus_disk_gpt40", "hfsplus_disk_two"}) {
        const std::vector<uint8_t>& pristine = HFSPlusImage(name);
        for (int round = 0; round < 12; ++round) {
            std::vector<uint8_t> disk = pristine;
            // Bursts of random bytes over headers, catalogs and data alike.
            for (int burst = 0; burst < 40; ++burst) {
                const size_t at = random() % (disk.size() - 64);
                for (size_t i = 0; i < 1 + random() % 64; ++i)
                    disk[at + i] = static_cast<uint8_t>(random());
            }
            HFSPlusMemoryDevice device(std::move(disk), 512, kStorageDeviceDisk);
            RecordingBuilder builder;
            TBitmap bitmap;
            CHFSPlusCompleteFileSystemSearchController searcher;
            Scan(searcher, device, builder, bitmap);  // under the sanitizers: no fault
        }
    }
}
