// The quick searcher around the volume listing: its partition record, its
// answers and its progress reports.

#include <gtest/gtest.h>

#include <memory>

#include "HFSPlusQuickSearcher.h"
#include "HFSPlusTestTrees.h"
#include "HFSPlusVolume.h"

using namespace harbex::test;

namespace {

std::unique_ptr<CSearchedPartitionInfo> Record(IQuickFileSystemSearchController& searcher) {
    CSearchedPartitionInfo* record = nullptr;
    if (searcher.GetSearchedPartitionInfo(&record, 1) != 1)
        return nullptr;
    return std::unique_ptr<CSearchedPartitionInfo>(record);
}

}  // namespace

TEST(HFSPlusQuickSearcher, ListsTheVolumeAndDescribesItsPartition) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_2048"), 512);
    CHFSPlusQuickFileSystemSearchController searcher;
    RecordingBuilder builder;
    CountingSink sink;
    searcher.SetDirecotryTreeBuilder(&builder);
    EXPECT_EQ(searcher.QuickSearchFiles(&device, &sink), 0u);
    EXPECT_EQ(builder.topIds, std::vector<long long>{2});
    EXPECT_EQ(builder.flashed, std::vector<_tagSearcherType>{SEARCHER_HFSPLUS});
    EXPECT_NE(builder.Named("README.txt"), nullptr);
    ASSERT_FALSE(sink.records.empty());
    EXPECT_EQ(sink.records.back().state, PROGRESS_STATE_FINISHED);
    EXPECT_EQ(sink.records.back().total, 1507u + 6u + 1u);  // files, folders below the root, 1

    EXPECT_EQ(searcher.GetSearchedPartitionInfo(nullptr, 0), 1);
    const auto record = Record(searcher);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->fileSystemType, FILE_SYSTEM_HFSPLUS);
    EXPECT_EQ(record->sectorsPerCluster, 4u);
    EXPECT_EQ(record->firstDataSector, 0u);
    EXPECT_EQ(record->partitionIndex, 0);
    EXPECT_EQ(record->GetTotalSectors(), static_cast<uint64_t>(device.GetTotalSectors()));
}

TEST(HFSPlusQuickSearcher, EachRecordKeepsItsOwnShareOfTheVolume) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    auto searcher = std::make_unique<CHFSPlusQuickFileSystemSearchController>();
    RecordingBuilder builder;
    searcher->SetDirecotryTreeBuilder(&builder);
    ASSERT_EQ(searcher->QuickSearchFiles(&device, nullptr), 0u);
    auto first = Record(*searcher);
    auto second = Record(*searcher);
    searcher.reset();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    auto& firstHolder = dynamic_cast<CHFSPlusSearchedPartitionInfo&>(*first).GetPrivateData();
    auto& secondHolder = dynamic_cast<CHFSPlusSearchedPartitionInfo&>(*second).GetPrivateData();
    ASSERT_EQ(firstHolder.GetVolume(), secondHolder.GetVolume());
    firstHolder.Release();
    first.reset();
    // The other record's volume is still open and readable.
    CHFSPlusVolume* volume = secondHolder.GetVolume();
    ASSERT_NE(volume, nullptr);
    unsigned char bytes[2];
    EXPECT_EQ(volume->Read(1024, bytes, 2), 2u);
    EXPECT_EQ(bytes[0], 'H');
}

TEST(HFSPlusQuickSearcher, FailuresAndStopsAreReportedAsSuch) {
    // No builder yet: kind 2, and the end is still reported once.
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_journaled"), 512);
    CHFSPlusQuickFileSystemSearchController searcher;
    CountingSink early;
    EXPECT_EQ(ResultKindOf(searcher.QuickSearchFiles(&device, &early)), kResultNotInitialised);
    ASSERT_EQ(early.records.size(), 1u);
    EXPECT_EQ(early.records[0].state, PROGRESS_STATE_FINISHED);

    // A stop during the listing is no success; the tree is still finished.
    RecordingBuilder builder;
    searcher.SetDirecotryTreeBuilder(&builder);
    CountingSink stopping;
    stopping.continues = 4;
    EXPECT_EQ(ResultKindOf(searcher.QuickSearchFiles(&device, &stopping)), kResultStopped);
    EXPECT_EQ(builder.flashed, std::vector<_tagSearcherType>{SEARCHER_HFSPLUS});
    EXPECT_EQ(stopping.records.back().state, PROGRESS_STATE_FINISHED);

    // A device without HFS+ adds nothing.
    HFSPlusMemoryDevice zeros(Bytes(64 * 1024, 0), 512);
    RecordingBuilder untouched;
    CHFSPlusQuickFileSystemSearchController other;
    other.SetDirecotryTreeBuilder(&untouched);
    EXPECT_TRUE(IsFailure(other.QuickSearchFiles(&zeros, nullptr)));
    EXPECT_TRUE(untouched.nodes.empty());
    EXPECT_EQ(other.GetSearchedPartitionInfo(nullptr, 1), 1);
    CSearchedPartitionInfo* none = nullptr;
    EXPECT_EQ(other.GetSearchedPartitionInfo(&none, 1), 0);
}
