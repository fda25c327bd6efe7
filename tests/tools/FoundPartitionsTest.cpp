#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "DataRecovery.h"
#include "FoundPartitions.h"
#include "RecoveryController.h"
#include "SearchedPartitionInfo.h"

namespace {

// Hands out the partitions it was given; counts its releases.
class FakeRecovery : public IDataRecovery {
public:
    FakeRecovery(std::vector<CSearchedPartitionInfo*> partitions, int& released)
        : partitions_(std::move(partitions)), released_(released) {}
    RESULT_CODE Initialize(IFileSystemSearchController*, IStorageDevice*) override { return 0; }
    IFileReader* SetRecoverNode(IFileNode*) override { return nullptr; }
    RESULT_CODE RecoverTo(const char*, IProgress*, int) override { return 0; }
    std::string GetLastFailureReason() override { return {}; }
    uint32_t ReadSmallJPG(char*, uint32_t) override { return 0; }
    void Release() override {
        ++released_;
        delete this;
    }
    RESULT_CODE Initialize(std::vector<CSearchedPartitionInfo*>&, IStorageDevice*) override {
        return 0;
    }
    std::vector<CSearchedPartitionInfo*>& GetSearchedPartition() override { return partitions_; }

private:
    std::vector<CSearchedPartitionInfo*> partitions_;
    int& released_;
};

// A copy-out object for each type it knows, none for the others.
class FakeController : public IRecoveryController {
public:
    _RECOVERY_CONTROLLER_TYPE thisType() override { return RECOVERY_CONTROLLER_COMPLETE; }
    bool Initialize(IRecoveryFilter*) override { return true; }
    RESULT_CODE StartDataRecovery(IStorageDevice*, IProgress*, IDrirectoryTree*) override {
        return 0;
    }
    IDataRecovery* GetDataRecovery(_tagSearcherType type) const override {
        const auto found = partitions.find(type);
        return found == partitions.end() ? nullptr : new FakeRecovery(found->second, released);
    }
    void Release() override {}
    void SetRestoreScanSink(RestoreScanSink*) override {}

    std::map<_tagSearcherType, std::vector<CSearchedPartitionInfo*>> partitions;
    mutable int released = 0;
};

CSearchedPartitionInfo Partition(uint16_t index, uint32_t fileSystem, uint64_t start) {
    CSearchedPartitionInfo partition(4096);
    partition.partitionIndex = index;
    partition.fileSystemType = fileSystem;
    partition.startSector = start;
    partition.SetTotalSectors(1000);
    partition.sectorsPerCluster = 8;
    partition.firstDataSector = start + 40;
    partition.integerScore = 95;
    partition.score = 2.5;
    return partition;
}

TEST(FoundPartitions, FormatsEveryFieldOfTheRecord) {
    const struct {
        CSearchedPartitionInfo partition;
        _tagSearcherType type;
        const char* line;
    } cases[] = {
        {Partition(1, FILE_SYSTEM_FAT32, 2048), SEARCHER_FAT,
         "partition\t32\t1\tFAT32\t2048\t1000\t4096\t8\t2088\t95\t2.5"},
        {Partition(0, 42, 0), SEARCHER_NTFS,
         "partition\t35\t0\tunknown(42)\t0\t1000\t4096\t8\t40\t95\t2.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatPartition(c.type, c.partition), c.line);
}

TEST(FoundPartitions, ListsEachTypeInIndexOrderAndReleasesWhatItGets) {
    CSearchedPartitionInfo second = Partition(1, FILE_SYSTEM_FAT32, 18432);
    CSearchedPartitionInfo first = Partition(0, FILE_SYSTEM_FAT16, 2048);
    FakeController controller;
    // Kept by score, so not in index order; a missing record is passed over.
    controller.partitions[SEARCHER_FAT] = {&second, nullptr, &first};
    const std::vector<std::string> lines =
        ListPartitions(controller, {SEARCHER_NTFS, SEARCHER_FAT});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], FormatPartition(SEARCHER_FAT, first));
    EXPECT_EQ(lines[1], FormatPartition(SEARCHER_FAT, second));
    EXPECT_EQ(controller.released, 1);
}

}  // namespace
