// The complete NTFS search driven block by block over test devices.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "ByteOrder.h"
#include "NTFSCompleteSearch.h"
#include "NTFSContentAnalyzers.h"
#include "NTFSMemoryDevice.h"
#include "NTFSRecordBuilder.h"
#include "NTFSScanHarness.h"
#include "SearchedNTFSPartitionInfo.h"

using namespace harbex::test;

namespace {

// Records what the searcher tells the tree builder; nodes are released at once.
class CallRecordingBuilder : public IDirecotryTreeBuilder {
public:
    bool Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return true; }
    bool AddNode(IFileNode* node, _tagSearcherType) override {
        ++nodes;
        node->Release();
        return true;
    }
    bool AddSearcherInfo(_tagSearcherType type, long long top) override {
        calls.push_back("info " + std::to_string(type) + " " + std::to_string(top));
        return true;
    }
    void FlashBuild(_tagSearcherType type) override {
        calls.push_back("flash " + std::to_string(type));
    }
    void Release() override {}
    void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice*) override {
        calls.push_back(partition == nullptr ? "device" : "partition");
    }
    std::vector<std::string> calls;
    int nodes = 0;
};

// Runs the searcher over `device` in blocks of `blockSectors` into a real tree builder.
struct CompleteScan {
    NTFSRecordingTree tree;
    IDirecotryTreeBuilder* builder = nullptr;
    IRecoveryFilter* filter = nullptr;
    std::unique_ptr<ICompleteFileSystemSearchController> searcher{CreateNTFSSearcher()};
    std::map<std::string, int64_t> sizeByPath;

    CompleteScan(const CompleteScan&) = delete;
    CompleteScan(IStorageDevice& device, int blockSectors) {
        filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        builder = CreateTreeBuilder(false, std::chrono::milliseconds::zero());
        builder->Initialize("disk", &tree, filter);
        searcher->SetDirecotryTreeBuilder(builder);
        searcher->SetDevice(&device);
        searcher->SetBlockSize(blockSectors);
        searcher->PreparetoSearch();
        for (int64_t first = 0; first < device.GetTotalSectors(); first += blockSectors) {
            searcher->AnalyzeBlock(
                first, std::min<int64_t>(blockSectors, device.GetTotalSectors() - first));
        }
        searcher->EndSearch(1);
        for (IFileNode* node : tree.nodes) {
            if (auto* ntfs = dynamic_cast<CNTFSFileNode*>(node))
                sizeByPath[NTFSNodePath(ntfs)] = ntfs->GetFileSize();
        }
    }
    ~CompleteScan() {
        builder->Release();
        filter->Release();
    }
    std::vector<std::unique_ptr<CSearchedPartitionInfo>> Partitions() {
        const int count = searcher->GetSearchedPartitionInfo(nullptr, 0);
        std::vector<CSearchedPartitionInfo*> raw(static_cast<size_t>(count));
        EXPECT_EQ(searcher->GetSearchedPartitionInfo(raw.data(), count), count);
        std::vector<std::unique_ptr<CSearchedPartitionInfo>> owned;
        for (CSearchedPartitionInfo* record : raw)
            owned.emplace_back(record);
        return owned;
    }
};

}  // namespace

// Records, index blocks and log pages that cross a block boundary are joined:
// blocks of any size find the same files.
TEST(NTFSCompleteSearch, BlockSizeDoesNotChangeWhatIsFound) {
    FATImageDevice device(NTFSFixtureImage("ntfs_512_1k"), 512);
    CompleteScan whole(device, 8192);
    ASSERT_GT(whole.sizeByPath.size(), 20u);
    const NTFSManifest manifest = ReadNTFSManifest("ntfs_512_1k");
    for (const NTFSManifestEntry& entry : manifest.entries) {
        if (entry.state != "hardlink") {
            EXPECT_EQ(whole.sizeByPath.count(entry.path), 1u) << entry.path;
        }
    }
    for (int blockSectors : {129, 7}) {
        SCOPED_TRACE(blockSectors);
        CompleteScan small(device, blockSectors);
        EXPECT_EQ(small.sizeByPath, whole.sizeByPath);
        const auto partitions = small.Partitions();
        ASSERT_EQ(partitions.size(), 1u);
        EXPECT_EQ(partitions[0]->integerScore, whole.Partitions()[0]->integerScore);
    }
}

// On a device of 4096-byte sectors the partitions count device sectors; the
// copies handed out belong to the caller and outlive the searcher.
TEST(NTFSCompleteSearch, PartitionsAreCopiesInDeviceSectors) {
    TempDir work;
    const auto image = work / "disk.img";
    ASSERT_TRUE(DecompressXz(FixturePath("ntfs-disks/big_sectors.img.xz"), image));
    FATImageDevice device(image, 4096);
    std::vector<std::unique_ptr<CSearchedPartitionInfo>> first;
    std::vector<std::unique_ptr<CSearchedPartitionInfo>> second;
    size_t files = 0;
    {
        CompleteScan scan(device, 1024);
        files = scan.sizeByPath.size();
        first = scan.Partitions();
        second = scan.Partitions();
        CSearchedPartitionInfo* none = nullptr;
        EXPECT_EQ(scan.searcher->GetSearchedPartitionInfo(&none, 0), 1);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_GE(files, 9u);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(first[0].get(), second[0].get());
    const CSearchedPartitionInfo& partition = *first[0];
    EXPECT_EQ(partition.fileSystemType, FILE_SYSTEM_NTFS);
    EXPECT_EQ(partition.firstDataSector, 256u);
    EXPECT_EQ(partition.startSector, 256u);
    EXPECT_EQ(partition.sectorsPerCluster, 1u);
    EXPECT_EQ(partition.sectorSize, 4096u);
    EXPECT_EQ(partition.totalSectors, 6143u);
    EXPECT_EQ(partition.partitionIndex, 0);
}

TEST(NTFSCompleteSearch, DeviceWithoutNTFSKeepsNoPartitionButStillFlashes) {
    NTFSMemoryDevice device(4096);
    CallRecordingBuilder builder;
    std::unique_ptr<ICompleteFileSystemSearchController> searcher(CreateNTFSSearcher());
    searcher->SetDirecotryTreeBuilder(&builder);
    searcher->SetDevice(&device);
    searcher->SetBlockSize(1000);
    searcher->PreparetoSearch();
    for (int64_t first = 0; first < 4096; first += 1000)
        searcher->AnalyzeBlock(first, std::min<int64_t>(1000, 4096 - first));
    searcher->EndSearch(0);
    EXPECT_EQ(builder.calls, std::vector<std::string>({"info 35 5"}));
    searcher->EndSearch(1);
    EXPECT_EQ(builder.calls, std::vector<std::string>({"info 35 5", "device", "flash 35"}));
    EXPECT_EQ(searcher->GetSearchedPartitionInfo(nullptr, 0), 0);
}

TEST(NTFSCompleteSearch, ReliabilityScoreFromEvidence) {
    struct Case {
        uint32_t flags;
        int64_t log, attrDef, upCase;
        uint64_t score;
    } cases[] = {
        {kNTFSEvidenceBootSector, 0, 0, 0, 30},
        {kNTFSEvidenceBootSector | kNTFSEvidenceBackupBootSector, 0, 0, 0, 40},
        {kNTFSEvidenceBootSector | kNTFSEvidenceBackupBootSector | kNTFSEvidenceFirstRestartPage |
             kNTFSEvidenceSecondRestartPage | kNTFSEvidenceMFTConfirmedByMirror,
         -1, 4, 255, 90},
        {kNTFSEvidenceIndexBlock, 10000, 5, 256, 30},
        {0xFF, 20000, 10, 600, 140},
    };
    for (const Case& c : cases) {
        CSearchedNTFSPartitionInfo partition(512);
        partition.SetPartitionBuildFromFlag(c.flags);
        partition.logMatchCount = c.log;
        partition.attrDefMatchCount = c.attrDef;
        partition.upCaseMatchCount = c.upCase;
        EXPECT_EQ(CNTFSSearchController::CalcFileSystemReliabilityScore(partition), c.score)
            << c.flags;
    }
}

TEST(NTFSContentAnalyzers, StandardContentsAreTheOnesVolumesHold) {
    const std::vector<uint8_t> table = CUpCaseFileAnalyzer::StandardTable();
    ASSERT_EQ(table.size(), 131072u);
    int differing = 0;
    for (uint32_t i = 0; i < 65536; ++i)
        differing += ReadLE16(table.data() + 2 * i) != i;
    EXPECT_EQ(differing, 636);
    const std::pair<uint16_t, uint16_t> rows[] = {
        {0x61, 0x41},   {0x7A, 0x5A},   {0xE0, 0xC0},     {0xFF, 0x178},
        {0x3B1, 0x391}, {0x430, 0x410}, {0xB5, 0xB5},     {0x131, 0x131},
        {0x17F, 0x17F}, {0x1C5, 0x1C5}, {0xFF5A, 0xFF3A},
    };
    for (const auto& [unit, upper] : rows)
        EXPECT_EQ(ReadLE16(table.data() + 2 * unit), upper) << unit;

    // mkntfs writes the standard attribute definitions.
    FATImageDevice device(NTFSFixtureImage("ntfs_512"), 512);
    NTFSQuickScan scan;
    scan.Run(&device);
    std::vector<uint8_t> boot(512);
    ASSERT_TRUE(device.ReadSector(boot.data(), 0, 1));
    const int64_t mft = ReadLE64(boot.data() + 48) * 8;
    std::vector<uint8_t> record(1024);
    ASSERT_TRUE(device.ReadSector(record.data(), mft + 8, 2));
    NTFSUpdateSequence::Undo(record.data(), 1024);
    const uint8_t* data = CNTFSFileRecord::FindAttibute(record.data(), 1024, 0x80, 0);
    ASSERT_NE(data, nullptr);
    CNTFSDataRunList runs;
    ASSERT_TRUE(runs.InitFromBuffer(data + ReadLE16(data + 32), 16));
    std::vector<uint8_t> content(5 * 512);
    ASSERT_TRUE(device.ReadSector(content.data(), runs.GetLCN(0) * 8, 5));
    EXPECT_EQ(content, CAttrDefFileAnalyzer::StandardContent());
}

// Every slice of an intact table is counted inside the record's runs; a
// slice with one byte changed is not.
TEST(NTFSContentAnalyzers, UpCaseSlicesInsideTheRecordsRunsAreCounted) {
    const std::vector<uint8_t> table = CUpCaseFileAnalyzer::StandardTable();
    CUpCaseFileAnalyzer analyzer;
    const int64_t start = 1000;
    const uint8_t lcn = 40;  // clusters of 512 bytes
    for (int k = 0; k < 256; ++k) {
        std::vector<uint8_t> sector(table.begin() + k * 512, table.begin() + (k + 1) * 512);
        if (k == 77)
            sector[300] ^= 1;
        EXPECT_EQ(
            analyzer.AnalyzeSectorBuffer(static_cast<uint64_t>(start + lcn + k), sector.data()),
            k != 77);
    }
    NTFSRecordBuilder record(1024, 1, 10);
    record.AddStandardInformation(0, 0, 0, 0x06);
    record.AddFileName(5, u"$UpCase");
    record.AddNonResident(0x80, {0x12, 0x00, 0x01, lcn, 0}, 0, 255, 131072);
    std::vector<uint8_t> bytes = record.Finish();
    analyzer.AnalyzeUpCaseFileRecord(start + 5000, bytes.data(), 1024);
    CSearchedNTFSPartitionInfo partition(512);
    partition.firstDataSector = start;
    partition.sectorsPerCluster = 1;
    partition.totalSectors = 100000;
    EXPECT_EQ(analyzer.CalcUpcaseMatch(partition), 255u);
    EXPECT_EQ(partition.upCaseRecordSector, start + 5000);
}

// Damaged boot sectors, records, index blocks and log pages end the search cleanly.
TEST(NTFSCompleteSearch, RandomDamageEndsCleanly) {
    const std::vector<uint8_t> bytes = ReadFile(NTFSFixtureImage("ntfs_512"));
    std::vector<size_t> structures;
    for (size_t at = 0; at + 512 <= bytes.size(); at += 512) {
        for (const char* magic : {"FILE", "INDX", "RCRD", "RSTR", "\xEBR\x90NTFS"}) {
            if (std::memcmp(bytes.data() + at, magic, std::strlen(magic)) == 0)
                structures.push_back(at);
        }
    }
    ASSERT_GT(structures.size(), 100u);
    std::mt19937 random(14);
    NTFSMemoryDevice device(bytes.size() / 512);
    for (int round = 0; round < 3; ++round) {
        device.Bytes() = bytes;
        for (size_t at : structures) {
            for (int i = 0; i < 3; ++i)
                device.Bytes()[at + random() % 512] = static_cast<uint8_t>(random());
        }
        CompleteScan scan(device, 1000);
        for (const auto& partition : scan.Partitions())
            EXPECT_LE(partition->firstDataSector + partition->totalSectors, bytes.size() / 512);
    }
}
