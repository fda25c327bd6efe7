#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "DirectoryTreeBuilder.h"
#include "FATCompleteSearcher.h"
#include "FATScanHarness.h"
#include "LittleEndian.h"

namespace harbex::test {
namespace {

// Keeps every node it is offered, so that folders are walked into, and counts
// them; a damaged image must not make the searches list without end.
class CountingBuilder : public IDirecotryTreeBuilder {
public:
    ~CountingBuilder() override { Release(); }
    bool Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return true; }
    bool AddNode(IFileNode* node, _tagSearcherType) override {
        nodes_.push_back(node);
        return true;
    }
    bool AddSearcherInfo(_tagSearcherType, long long) override { return true; }
    void FlashBuild(_tagSearcherType) override {}
    void Release() override {
        for (IFileNode* node : nodes_)
            node->Release();
        nodes_.clear();
    }
    void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice*) override {}
    size_t count() const { return nodes_.size(); }

private:
    std::vector<IFileNode*> nodes_;
};

// The sectors damage is aimed at: boot sectors, the first sectors of both
// FATs and every folder sector of the clean image.
std::vector<int64_t> MetadataSectors(FATImageDevice& device) {
    const auto boot = device.Sector(0);
    const int64_t reserved = ReadLE16(boot.data() + 14);
    const int64_t perFat =
        ReadLE16(boot.data() + 22) ? ReadLE16(boot.data() + 22) : ReadLE32(boot.data() + 36);
    std::vector<int64_t> sectors = {0, 6};
    for (int64_t i = 0; i < 4; ++i) {
        sectors.push_back(reserved + i);
        sectors.push_back(reserved + perFat + i);
    }
    CFATCompleteFSearcher searcher;
    searcher.SetDevice(&device);
    searcher.SetBlockSize(8192);
    searcher.PreparetoSearch();
    searcher.AnalyzeBlock(0, device.GetTotalSectors());
    for (const FIRSTFOLDERSECTOR& record : searcher.GetFolderSectors())
        sectors.push_back(record.sector);
    return sectors;
}

RESULT_CODE RunQuickSearch(FATImageDevice& device, CountingBuilder& builder) {
    RecordingProgress progress;
    std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateFATQuickSearcher());
    searcher->SetDirecotryTreeBuilder(&builder);
    return searcher->QuickSearchFiles(&device, &progress);
}

// The complete search fed only `sectors` (the evidence the clean image
// holds, where damage is aimed), in ascending order as the complete scan
// feeds them; the rest would only cost time. Its tree build reads the device.
void RunCompleteSearch(FATImageDevice& device, const std::vector<int64_t>& sectors,
                       CountingBuilder& builder) {
    CFATCompleteFSearcher searcher;
    searcher.SetDevice(&device);
    searcher.SetBlockSize(64);
    searcher.SetDirecotryTreeBuilder(&builder);
    searcher.PreparetoSearch();
    std::vector<int64_t> fed = sectors;
    std::sort(fed.begin(), fed.end());
    fed.erase(std::unique(fed.begin(), fed.end()), fed.end());
    for (const int64_t sector : fed)
        searcher.AnalyzeBlock(sector, 1);
    searcher.EndSearch(1);
}

TEST(FATDamagedImages, SearchesReturnOnRandomDamage) {
    constexpr int kCopiesPerImage = 150;
    constexpr size_t kMostNodes = 200000;
    std::mt19937 random(20261210);
    for (const char* image : {"fat16_512", "fat32_512"}) {
        SCOPED_TRACE(image);
        FATImageDevice clean(FATFixtureImage(image), 512, kStorageDeviceVolume);
        ASSERT_GT(clean.GetTotalSectors(), 0);
        const std::vector<int64_t> targets = MetadataSectors(clean);
        const uint32_t fsType = clean.Sector(0)[22] ? FILE_SYSTEM_FAT16 : FILE_SYSTEM_FAT32;
        {
            // Undamaged, both searches walk the folders.
            clean.DescribeAsVolume(fsType);
            CountingBuilder quick, complete;
            EXPECT_EQ(RunQuickSearch(clean, quick), kResultSuccess);
            RunCompleteSearch(clean, targets, complete);
            EXPECT_GT(quick.count(), 20u);
            EXPECT_GT(complete.count(), 20u);
        }
        for (int copy = 0; copy < kCopiesPerImage; ++copy) {
            SCOPED_TRACE(copy);
            FATImageDevice device(FATFixtureImage(image), 512, kStorageDeviceVolume);
            // Some copies are cut short as well, anywhere.
            if (copy % 8 == 0)
                device.SetTotalSectors(random() % clean.GetTotalSectors());
            device.DescribeAsVolume(fsType);
            const int sectors = 1 + static_cast<int>(random() % 4);
            for (int s = 0; s < sectors; ++s) {
                const int64_t sector = targets[random() % targets.size()];
                auto bytes = device.Sector(sector);
                const int changes = 1 + static_cast<int>(random() % 16);
                for (int c = 0; c < changes; ++c)
                    bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
                device.Overlay(sector, bytes);
            }

            CountingBuilder quick;
            RunQuickSearch(device, quick);
            EXPECT_LT(quick.count(), kMostNodes);

            CountingBuilder complete;
            RunCompleteSearch(device, targets, complete);
            EXPECT_LT(complete.count(), kMostNodes);
        }
    }
}

}  // namespace
}  // namespace harbex::test
