#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "CompleteRecoveryController.h"
#include "ControllerFakes.h"
#include "DiskDevice.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "SearcherFactories.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;

ControllerPtr MakeComplete(_RECOVERY_CONTROLLER_TYPE type = RECOVERY_CONTROLLER_COMPLETE) {
    ControllerPtr controller(CreateRecoveryController(type));
    EXPECT_TRUE(controller->Initialize(CreateFilter()));
    return controller;
}

// Block searchers of the given types, registered in the given order.
SearcherFactories Journaling(std::vector<_tagSearcherType> types,
                             std::vector<std::string>& journal) {
    SearcherFactories factories;
    for (_tagSearcherType type : types) {
        factories.complete.push_back(
            {type, [type, &journal] { return new JournalingBlockSearcher(type, journal); }});
    }
    return factories;
}

std::vector<std::string> CallsOf(const std::vector<std::string>& journal, const std::string& type,
                                 const std::string& prefix = "") {
    std::vector<std::string> calls;
    for (const std::string& entry : journal) {
        if (entry.rfind(type + ":" + prefix, 0) == 0)
            calls.push_back(entry.substr(type.size() + 1));
    }
    return calls;
}

TEST(CompleteRecoveryController, BlockSizeIsFourMiBOfSectors) {
    struct Case {
        uint32_t sectorSize;
        int sectors;
    };
    for (const Case& c : {Case{512, 8192}, Case{0, 8192}, Case{4096, 1024}, Case{0x800000, 8192}}) {
        EXPECT_EQ(CCompleteRecoveryController::BlockSectors(c.sectorSize), c.sectors)
            << c.sectorSize;
    }
}

TEST(CompleteRecoveryController, WalksTheDeviceBlockByBlock) {
    struct Case {
        int64_t sectors;
        std::vector<std::string> blocks;
    };
    const std::vector<Case> cases = {
        {8192 * 3, {"analyze:0+8192", "analyze:8192+8192", "analyze:16384+8192"}},
        {8192 * 3 + 1,
         {"analyze:0+8192", "analyze:8192+8192", "analyze:16384+8192", "analyze:24576+1"}},
        {100, {"analyze:0+100"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sectors);
        std::vector<std::string> journal;
        ScopedSearcherFactories scoped(Journaling({SEARCHER_NTFS}, journal));
        PatternDevice disk(kStorageDeviceDisk, c.sectors);
        RecordingProgress progress;
        NullTree tree;
        EXPECT_EQ(MakeComplete()->StartDataRecovery(&disk, &progress, &tree), kResultSuccess);
        EXPECT_EQ(CallsOf(journal, "35", "analyze"), c.blocks);

        // Started, the counted walk announcing blocks + 1, one record per block
        // filling at most 80 per cent, finished.
        const uint64_t blocks = c.blocks.size();
        std::vector<ProgressRecord> expected = {{2, 1, 0, 0}, {0, blocks + 1, 0, 0}};
        for (uint64_t done = 1; done <= blocks; ++done) {
            expected.push_back({2, blocks + 1, uint64_t(double(done) * 0.8), 0});
        }
        expected.push_back({3, 1, 1, 0});
        EXPECT_EQ(progress.records, expected);
    }
}

TEST(CompleteRecoveryController, PreparesAndEndsSearchersInTheFixedOrder) {
    std::vector<std::string> journal;
    // Registered out of order on purpose.
    ScopedSearcherFactories scoped(Journaling({SEARCHER_APFS, SEARCHER_NTFS, SEARCHER_RAW_BY_TYPE,
                                               SEARCHER_FAT, SEARCHER_EXFAT, SEARCHER_HFSPLUS},
                                              journal));
    PatternDevice volume(kStorageDeviceVolume, 10);
    AttachVolumeRecord(volume, FILE_SYSTEM_HFSPLUS);
    RecordingProgress progress;
    NullTree tree;
    EXPECT_EQ(MakeComplete()->StartDataRecovery(&volume, &progress, &tree), kResultSuccess);

    auto order = [&journal](const std::string& call) {
        std::vector<std::string> types;
        for (const std::string& entry : journal) {
            const size_t colon = entry.find(':');
            if (entry.substr(colon + 1) == call)
                types.push_back(entry.substr(0, colon));
        }
        return types;
    };
    const std::vector<std::string> fixed = {"31", "33", "32", "34", "35", "37"};
    EXPECT_EQ(order("prepare"), fixed);
    EXPECT_EQ(order("analyze:0+10"), fixed);
    EXPECT_EQ(order("end:1"), fixed);

    // What each searcher is given before the walk.
    EXPECT_EQ(CallsOf(journal, "31"),
              (std::vector<std::string>{"sink", "active", "device:cache", "block:8192", "builder",
                                        "bitmap", "prepare", "analyze:0+10", "end:1"}));
    EXPECT_EQ(CallsOf(journal, "32", "map"), std::vector<std::string>{"map"});
    EXPECT_EQ(CallsOf(journal, "34").front(), "map");
    EXPECT_EQ(CallsOf(journal, "34")[1], "sink");
    EXPECT_EQ(CallsOf(journal, "35").front(), "device:cache");
}

TEST(CompleteRecoveryController, TheActivePartitionIsOnlyAnHFSPlusVolume) {
    for (uint32_t fileSystem : {FILE_SYSTEM_FAT32, FILE_SYSTEM_HFSPLUS}) {
        std::vector<std::string> journal;
        ScopedSearcherFactories scoped(Journaling({SEARCHER_HFSPLUS}, journal));
        PatternDevice volume(kStorageDeviceVolume, 10);
        AttachVolumeRecord(volume, fileSystem);
        RecordingProgress progress;
        NullTree tree;
        MakeComplete()->StartDataRecovery(&volume, &progress, &tree);
        EXPECT_EQ(CallsOf(journal, "31", "active").size(), fileSystem == FILE_SYSTEM_HFSPLUS);
    }
}

TEST(CompleteRecoveryController, AStoppedScanStillEndsEverySearcher) {
    std::vector<std::string> journal;
    ScopedSearcherFactories scoped(
        Journaling({SEARCHER_FAT, SEARCHER_RAW_BY_TYPE, SEARCHER_NTFS}, journal));
    PatternDevice disk(kStorageDeviceDisk, 8192 * 5);
    RecordingProgress progress;
    progress.stopAfter = 2;  // two blocks, then stop
    NullTree tree;
    EXPECT_EQ(MakeComplete()->StartDataRecovery(&disk, &progress, &tree), kResultSuccess);
    EXPECT_EQ(CallsOf(journal, "32", "analyze").size(), 2u);
    EXPECT_EQ(CallsOf(journal, "32", "end").size(), 1u);
    EXPECT_EQ(CallsOf(journal, "35", "end").size(), 1u);
    EXPECT_EQ(CallsOf(journal, "34", "end").size(), 1u);
    EXPECT_EQ(progress.records.back(), (ProgressRecord{3, 1, 1, 0}));
}

TEST(CompleteRecoveryController, NoSearcherFailsWithAFinishedRecord) {
    SearcherFactories none;
    none.complete.push_back({SEARCHER_RAW_BY_TYPE, [] { return nullptr; }});
    ScopedSearcherFactories scoped(none);
    PatternDevice disk(kStorageDeviceDisk, 100);
    RecordingProgress progress;
    NullTree tree;
    const RESULT_CODE result = MakeComplete()->StartDataRecovery(&disk, &progress, &tree);
    EXPECT_EQ(ResultKindOf(result), kResultNoSearcher);
    EXPECT_TRUE(IsFailure(result));
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(progress.records.back().result, result);
}

TEST(CompleteRecoveryController, AnEmptyDeviceFailsAfterEndingItsSearchers) {
    std::vector<std::string> journal;
    ScopedSearcherFactories scoped(Journaling({SEARCHER_FAT}, journal));
    PatternDevice disk(kStorageDeviceDisk, 0);
    RecordingProgress progress;
    NullTree tree;
    const RESULT_CODE result = MakeComplete()->StartDataRecovery(&disk, &progress, &tree);
    EXPECT_EQ(ResultKindOf(result), kResultBadArguments);
    EXPECT_EQ(CallsOf(journal, "32", "end").size(), 1u);
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
}

TEST(CompleteRecoveryController, MissingArgumentsFail) {
    PatternDevice disk(kStorageDeviceDisk, 100);
    RecordingProgress progress;
    NullTree tree;
    EXPECT_EQ(ResultKindOf(MakeComplete()->StartDataRecovery(nullptr, &progress, &tree)),
              kResultBadArguments);
    EXPECT_EQ(ResultKindOf(MakeComplete()->StartDataRecovery(&disk, nullptr, &tree)),
              kResultBadArguments);
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{3}));
}

TEST(CompleteRecoveryController, CopyOutIsBoundToEachSearchersPartitions) {
    std::vector<std::string> journal;
    ScopedSearcherFactories scoped(Journaling({SEARCHER_FAT, SEARCHER_RAW_BY_TYPE}, journal));
    PatternDevice disk(kStorageDeviceDisk, 100);
    RecordingProgress progress;
    NullTree tree;
    ControllerPtr controller = MakeComplete(RECOVERY_CONTROLLER_PARTITION);
    ASSERT_EQ(controller->StartDataRecovery(&disk, &progress, &tree), kResultSuccess);
    EXPECT_NE(RecoveryPtr(controller->GetDataRecovery(SEARCHER_FAT)), nullptr);
    EXPECT_NE(RecoveryPtr(controller->GetDataRecovery(SEARCHER_RAW_BY_TYPE)), nullptr);
    // Both raw trees come from the one raw searcher.
    EXPECT_NE(RecoveryPtr(controller->GetDataRecovery(SEARCHER_RAW_BY_TAG)), nullptr);
    EXPECT_EQ(RecoveryPtr(controller->GetDataRecovery(SEARCHER_NTFS)), nullptr);
}

TEST(CompleteRecoveryController, ARestoredResultReplacesTheWalk) {
    std::vector<std::string> journal;
    ScopedSearcherFactories scoped(Journaling({SEARCHER_FAT}, journal));
    PatternDevice disk(kStorageDeviceDisk, 100);
    FakeRestoreSource source;
    RecordingProgress progress;
    NullTree tree;
    ControllerPtr controller = MakeComplete();
    controller->SetRestoreScanSink(&source);
    EXPECT_EQ(controller->StartDataRecovery(&disk, &progress, &tree), kResultSuccess);
    EXPECT_NE(source.replayedInto, nullptr);
    EXPECT_TRUE(CallsOf(journal, "32", "prepare").empty());
    EXPECT_TRUE(CallsOf(journal, "32", "analyze").empty());
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
    RecoveryPtr recovery(controller->GetDataRecovery(SEARCHER_FAT));
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(recovery->GetSearchedPartition().size(), 1u);
}

// Notes every read made on a thread other than the one that made it.
class ForeignReadDevice : public PatternDevice {
public:
    using PatternDevice::PatternDevice;
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (std::this_thread::get_id() != owner_) {
            std::lock_guard<std::mutex> hold(lock_);
            foreignReads_ = true;
            read_.notify_all();
        }
        return PatternDevice::ReadSector(buffer, first, count);
    }
    void Reset() {
        std::lock_guard<std::mutex> hold(lock_);
        foreignReads_ = false;
    }
    // Whether another thread reads within a short while.
    bool ForeignReadSoon() {
        std::unique_lock<std::mutex> hold(lock_);
        return read_.wait_for(hold, std::chrono::milliseconds(300),
                              [this] { return foreignReads_; });
    }

private:
    const std::thread::id owner_ = std::this_thread::get_id();
    std::mutex lock_;
    std::condition_variable read_;
    bool foreignReads_ = false;
};

// Once a run has returned, the device is the caller's alone: the copy-out
// reads it directly, and no other thread may read it meanwhile.
TEST(CompleteRecoveryController, NoOtherThreadReadsTheDeviceAfterARun) {
    for (const bool restored : {false, true}) {
        SCOPED_TRACE(restored ? "restored" : "walked");
        std::vector<std::string> journal;
        ScopedSearcherFactories scoped(Journaling({SEARCHER_FAT}, journal));
        ForeignReadDevice disk(kStorageDeviceDisk, 8192 * 4);
        FakeRestoreSource source;
        RecordingProgress progress;
        progress.stopAfter = 1;  // a cancelled walk leaves blocks unread
        NullTree tree;
        ControllerPtr controller = MakeComplete();
        if (restored)
            controller->SetRestoreScanSink(&source);
        ASSERT_EQ(controller->StartDataRecovery(&disk, &progress, &tree), kResultSuccess);
        // A walk reads ahead on a thread of its own; a restored result has no walk.
        if (!restored)
            disk.Reset();
        EXPECT_FALSE(disk.ForeignReadSoon());
    }
}

TEST(CompleteRecoveryController, ASecondRunStartsAfresh) {
    std::vector<std::string> journal;
    ScopedSearcherFactories scoped(Journaling({SEARCHER_FAT}, journal));
    PatternDevice disk(kStorageDeviceDisk, 100);
    NullTree tree;
    ControllerPtr controller = MakeComplete();
    for (int run = 0; run < 2; ++run) {
        RecordingProgress progress;
        EXPECT_EQ(controller->StartDataRecovery(&disk, &progress, &tree), kResultSuccess);
        EXPECT_EQ(progress.records.back(), (ProgressRecord{3, 1, 1, 0}));
    }
    EXPECT_EQ(CallsOf(journal, "32", "prepare").size(), 2u);
    EXPECT_NE(RecoveryPtr(controller->GetDataRecovery(SEARCHER_FAT)), nullptr);
}

TEST(CompleteRecoveryController, RunsOverAnImageFileAndALoopDevice) {
    TempDir dir;
    const auto image = dir / "disk.img";
    WriteFile(image, std::vector<uint8_t>(8192 * 512 + 512 * 3, 0xAB));

    auto scan = [](IStorageDevice* device) {
        std::vector<std::string> journal;
        ScopedSearcherFactories scoped(Journaling({SEARCHER_EXFAT}, journal));
        for (auto type : {RECOVERY_CONTROLLER_COMPLETE, RECOVERY_CONTROLLER_PARTITION}) {
            RecordingProgress progress;
            NullTree tree;
            EXPECT_EQ(MakeComplete(type)->StartDataRecovery(device, &progress, &tree),
                      kResultSuccess);
        }
        return CallsOf(journal, "33", "analyze");
    };
    // Each block twice: once by the complete, once by the partition controller.
    const std::vector<std::string> blocks = {"analyze:0+8192", "analyze:8192+3", "analyze:0+8192",
                                             "analyze:8192+3"};
    std::unique_ptr<IStorageDevice> file(CreateDiskDevice(image.c_str()));
    ASSERT_TRUE(file->Open(nullptr));
    EXPECT_EQ(scan(file.get()), blocks);

    LoopDevice loop(image, false);
    HARBEX_REQUIRE_LOOP(loop);
    std::unique_ptr<IStorageDevice> disk(CreateDiskDevice(loop.device().c_str()));
    ASSERT_TRUE(disk->Open(nullptr));
    EXPECT_EQ(scan(disk.get()), blocks);
}

}  // namespace
