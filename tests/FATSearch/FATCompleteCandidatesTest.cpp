#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FATCompleteCandidates.h"
#include "FATCompleteFolderAnalyser.h"
#include "FATCompleteFolderSectors.h"

namespace {

struct Published {
    std::vector<CFATSearchedPartitionInfo*> records;
    ~Published() {
        for (auto* record : records)
            CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(record);
    }
};

TEST(FATCompleteCandidates, TwoSubFoldersThatAgreeMakeOnePartition) {
    CFATCompleteCandidates candidates;
    candidates.SetDevice(512, 4 << 20);
    // Clusters 100 and 140 put the data area at sector 300000 - 98 with one
    // sector per cluster.
    const int64_t dataStart = 300000 - 98;
    candidates.AnalyzeFATSubFolderFirstSector(dataStart + 98, 100);
    candidates.AnalyzeFATSubFolderFirstSector(dataStart + 138, 140);
    Published published;
    candidates.Publish(published.records);
    ASSERT_EQ(published.records.size(), 1u);
    const CFATSearchedPartitionInfo& record = *published.records[0];
    EXPECT_EQ(static_cast<int64_t>(record.firstDataSector), dataStart);
    EXPECT_EQ(record.sectorsPerCluster, 1u);
    EXPECT_EQ(record.GetFlag(), uint32_t{kFATEvidenceSubFolder});
    EXPECT_EQ(record.integerScore, 20u);
    EXPECT_EQ(candidates.CandidateCount(), 0u);
}

TEST(FATCompleteCandidates, OneSubFolderAloneIsNoPartition) {
    CFATCompleteCandidates candidates;
    candidates.SetDevice(512, 4 << 20);
    candidates.AnalyzeFATSubFolderFirstSector(300000, 100);
    EXPECT_GT(candidates.CandidateCount(), 0u);
    Published published;
    candidates.Publish(published.records);
    EXPECT_TRUE(published.records.empty());
}

// Look-alike sub-folder sectors that never agree with one another must not
// grow the candidates without end; a pair that agreed before the flood stays.
TEST(FATCompleteCandidates, LookAlikeFloodIsBounded) {
    CFATCompleteCandidates candidates;
    candidates.SetDevice(512, int64_t{4200000});
    const int64_t dataStart = 100000;
    candidates.AnalyzeFATSubFolderFirstSector(dataStart + 8, 10);
    candidates.AnalyzeFATSubFolderFirstSector(dataStart + 18, 20);
    size_t most = 0;
    for (int64_t i = 1000; i < 21000; ++i) {
        // Each sector puts its data area 1 to 128 sectors before it, never
        // where another sector puts it.
        candidates.AnalyzeFATSubFolderFirstSector(200 * i + 150, 3);
        most = std::max(most, candidates.CandidateCount());
    }
    EXPECT_LE(most, CFATCompleteCandidates::kMaxCandidates);
    EXPECT_GT(most, CFATCompleteCandidates::kMaxCandidates / 2);
    Published published;
    candidates.Publish(published.records);
    ASSERT_EQ(published.records.size(), 1u);
    EXPECT_EQ(static_cast<int64_t>(published.records[0]->firstDataSector), dataStart);
}

TEST(FATCompleteCandidates, FileSystemTypeFromDataStart) {
    CFATCompleteCandidates candidates;
    candidates.SetDevice(512, 1 << 20);
    uint32_t clusters = 0;
    uint32_t sectorsPerFat = 0;
    // 1 sector per cluster over about a million sectors: FAT32, its FATs
    // fitting before the data area.
    EXPECT_EQ(candidates.CalcFileSystemType(20000, 1, clusters, sectorsPerFat), FILE_SYSTEM_FAT32);
    EXPECT_EQ(clusters, (1u << 20) - 20000);
    EXPECT_EQ(sectorsPerFat, (clusters * 8 + 1023) / 1024);
    // Too little room before the data area for two such FATs: the clusters
    // are those that half the room can map.
    EXPECT_EQ(candidates.CalcFileSystemType(10000, 1, clusters, sectorsPerFat), FILE_SYSTEM_FAT32);
    EXPECT_EQ(clusters, 5000u * 2 * 512 / 8);
    EXPECT_EQ(sectorsPerFat, ((1u << 20) - 10000) * 8 / 1024 + 1);
    // 64 sectors per cluster: 16,228 clusters, FAT16.
    EXPECT_EQ(candidates.CalcFileSystemType(10000, 64, clusters, sectorsPerFat), FILE_SYSTEM_FAT16);
    EXPECT_EQ(clusters, ((1u << 20) - 10000) / 64);
    // Too few clusters for either.
    EXPECT_EQ(candidates.CalcFileSystemType((1 << 20) - 100, 1, clusters, sectorsPerFat),
              FILE_SYSTEM_UNKNOWN);
}

TEST(FATFolderSectorList, KeepsOrderDropsRepeatsAndIsBounded) {
    CFATFolderSectorList list;
    EXPECT_TRUE(list.Add({10, 5, 2}));
    EXPECT_TRUE(list.Add({4, kFATNoFolderCluster, kFATNoFolderCluster}));
    EXPECT_FALSE(list.Add({10, 7, 2}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.begin()->sector, 4);
    EXPECT_EQ(list.LowerBound(5)->sector, 10);
    EXPECT_EQ(list.UpperBound(9)->sector, 10);
    for (int64_t s = 11; list.size() < CFATFolderSectorList::kMaxRecords; ++s)
        list.Add({s, kFATNoFolderCluster, kFATNoFolderCluster});
    EXPECT_FALSE(list.Add({int64_t{1} << 40, 3, 2}));
    EXPECT_EQ(list.size(), CFATFolderSectorList::kMaxRecords);
    EXPECT_EQ(list.DroppedCount(), 1u);
}

// Folder entries as the analyser meets them in a sector.
std::vector<uint8_t> Entry(const char* name11, uint8_t attribute, uint32_t cluster, uint32_t size) {
    std::vector<uint8_t> e(32, 0);
    std::copy(name11, name11 + 11, e.begin());
    e[11] = attribute;
    e[20] = static_cast<uint8_t>(cluster >> 16);
    e[21] = static_cast<uint8_t>(cluster >> 24);
    e[26] = static_cast<uint8_t>(cluster);
    e[27] = static_cast<uint8_t>(cluster >> 8);
    for (int i = 0; i < 4; ++i)
        e[28 + i] = static_cast<uint8_t>(size >> (8 * i));
    return e;
}

struct FolderCase {
    const char* what;
    std::vector<std::vector<uint8_t>> entries;
    CFATFolderAnalyser::Kind kind;
};

TEST(FATFolderAnalyser, RecognisesFolderSectors) {
    const FolderCase cases[] = {
        {"first sector of a sub-folder",
         {Entry(".          ", 0x10, 9, 0), Entry("..         ", 0x10, 0, 0),
          Entry("A       TXT", 0x20, 12, 100)},
         CFATFolderAnalyser::kSubFolderFirstSector},
        {"entries without dot entries",
         {Entry("A       TXT", 0x20, 12, 100), Entry("B       TXT", 0x20, 13, 100)},
         CFATFolderAnalyser::kFolderSector},
        {"two empty files in a row share cluster 0",
         {Entry("A       TXT", 0x20, 0, 0), Entry("B       TXT", 0x20, 0, 0)},
         CFATFolderAnalyser::kNotFolder},
        {"an invalid entry that is not blank",
         {Entry("A       TXT", 0x20, 12, 100), Entry("B       TXT", 0x80, 13, 100)},
         CFATFolderAnalyser::kNotFolder},
        {"nothing but blank entries", {}, CFATFolderAnalyser::kNotFolder},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> sector;
        for (const auto& e : c.entries)
            sector.insert(sector.end(), e.begin(), e.end());
        sector.resize(512, 0);
        CFATFolderAnalyser analyser(512);
        EXPECT_EQ(analyser.AnalyseSector(sector.data()), c.kind != CFATFolderAnalyser::kNotFolder);
        EXPECT_EQ(analyser.GetKind(), c.kind);
        if (c.kind == CFATFolderAnalyser::kSubFolderFirstSector) {
            EXPECT_EQ(analyser.GetDotCluster(), 9u);
            EXPECT_EQ(analyser.GetDotDotCluster(), 0u);
        }
    }
}

}  // namespace
