#include <gtest/gtest.h>

#include <memory>

#include "ControllerFakes.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "SearcherFactories.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;

ControllerPtr MakeDeleted() {
    ControllerPtr controller(CreateRecoveryController(RECOVERY_CONTROLLER_DELETED));
    EXPECT_TRUE(controller->Initialize(CreateFilter()));
    return controller;
}

SearcherFactories QuickFor(enumFILE_SYSTEM_TYPE fileSystem, FakeQuickSearcher::Script script) {
    SearcherFactories factories;
    factories.quick[fileSystem] = [script] { return new FakeQuickSearcher(script); };
    return factories;
}

constexpr ProgressRecord kStarted{2, 1, 0, 0};

TEST(CreateRecoveryController, MakesTheThreeKindsAndNothingElse) {
    for (auto type : {RECOVERY_CONTROLLER_DELETED, RECOVERY_CONTROLLER_COMPLETE,
                      RECOVERY_CONTROLLER_PARTITION}) {
        ControllerPtr controller(CreateRecoveryController(type));
        ASSERT_NE(controller, nullptr);
        EXPECT_EQ(controller->thisType(), type);
    }
    EXPECT_EQ(CreateRecoveryController(RECOVERY_CONTROLLER_NONE), nullptr);
    EXPECT_FALSE(
        ControllerPtr(CreateRecoveryController(RECOVERY_CONTROLLER_DELETED))->Initialize(nullptr));
}

TEST(DeletedRecoveryController, RefusesAWholeDiskAndStillFinishes) {
    PatternDevice disk(kStorageDeviceDisk, 1000);
    RecordingProgress progress;
    NullTree tree;
    const RESULT_CODE result = MakeDeleted()->StartDataRecovery(&disk, &progress, &tree);
    EXPECT_TRUE(IsFailure(result));
    EXPECT_EQ(ResultModuleOf(result), kModuleRecoveryController);
    EXPECT_EQ(ResultKindOf(result), kResultQuickScanOfWholeDisk);
    ASSERT_EQ(progress.records.size(), 2u);
    EXPECT_EQ(progress.records[0], kStarted);
    EXPECT_EQ(progress.records[1].state, 3u);
    EXPECT_EQ(progress.records[1].total, 1u);
    EXPECT_EQ(progress.records[1].done, 1u);
}

TEST(DeletedRecoveryController, FileSystemsWithoutQuickSearcherAreNotSupported) {
    // Every type has a factory here except the one under test, and APFS's gives none.
    for (uint32_t fileSystem : {4u, 5u, 6u, 9u, 10u, 77u}) {
        SCOPED_TRACE(fileSystem);
        SearcherFactories factories = QuickFor(FILE_SYSTEM_NTFS, {});
        factories.quick[FILE_SYSTEM_APFS] = [] { return nullptr; };
        ScopedSearcherFactories scoped(factories);
        PatternDevice volume(kStorageDeviceVolume, 1000);
        AttachVolumeRecord(volume, fileSystem);
        RecordingProgress progress;
        NullTree tree;
        const RESULT_CODE result = MakeDeleted()->StartDataRecovery(&volume, &progress, &tree);
        EXPECT_EQ(ResultKindOf(result), kResultFileSystemNotSupported);
        EXPECT_TRUE(IsFailure(result));
        ASSERT_EQ(progress.records.size(), 2u);
        EXPECT_EQ(progress.records[0], kStarted);
        EXPECT_EQ(progress.records[1].state, 3u);
    }
}

TEST(DeletedRecoveryController, AVolumeWithoutRecordIsNotSupported) {
    PatternDevice volume(kStorageDeviceVolume, 1000);
    RecordingProgress progress;
    NullTree tree;
    EXPECT_EQ(ResultKindOf(MakeDeleted()->StartDataRecovery(&volume, &progress, &tree)),
              kResultFileSystemNotSupported);
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
}

TEST(DeletedRecoveryController, RunsTheQuickSearcherOfTheVolumesFileSystem) {
    int searches = 0;
    IDirecotryTreeBuilder* builder = nullptr;
    ScopedSearcherFactories scoped(
        QuickFor(FILE_SYSTEM_FAT32, {.searches = &searches, .builder = &builder}));
    PatternDevice volume(kStorageDeviceVolume, 1000);
    AttachVolumeRecord(volume, FILE_SYSTEM_FAT32, "USB STICK");
    RecordingProgress progress;
    NullTree tree;
    ControllerPtr controller = MakeDeleted();
    EXPECT_EQ(controller->StartDataRecovery(&volume, &progress, &tree), kResultSuccess);
    EXPECT_EQ(searches, 1);
    EXPECT_NE(builder, nullptr);
    // The searcher's own finished record ends the scan; the controller adds none.
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(progress.records.back().total, 100u);
}

TEST(DeletedRecoveryController, ASearcherFailureIsReturnedAfterAFinishedRecord) {
    const RESULT_CODE searcherFailure = MakeFailure(kModuleFAT, 12, kResultMalformed);
    ScopedSearcherFactories scoped(
        QuickFor(FILE_SYSTEM_FAT16, {.result = searcherFailure, .reportsFinished = false}));
    PatternDevice volume(kStorageDeviceVolume, 1000);
    AttachVolumeRecord(volume, FILE_SYSTEM_FAT16);
    RecordingProgress progress;
    NullTree tree;
    EXPECT_EQ(MakeDeleted()->StartDataRecovery(&volume, &progress, &tree), searcherFailure);
    ASSERT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(progress.records.back().result, searcherFailure);
}

TEST(DeletedRecoveryController, MissingArgumentsFailWithFinishedRecordWhereASinkExists) {
    PatternDevice volume(kStorageDeviceVolume, 1000);
    RecordingProgress progress;
    NullTree tree;
    EXPECT_TRUE(IsFailure(MakeDeleted()->StartDataRecovery(&volume, nullptr, &tree)));
    EXPECT_TRUE(IsFailure(MakeDeleted()->StartDataRecovery(nullptr, &progress, &tree)));
    EXPECT_TRUE(IsFailure(MakeDeleted()->StartDataRecovery(&volume, &progress, nullptr)));
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{3, 3}));
}

TEST(DeletedRecoveryController, WithoutFilterTheBuilderRefusesAndTheScanFails) {
    ScopedSearcherFactories scoped(QuickFor(FILE_SYSTEM_FAT32, {}));
    PatternDevice volume(kStorageDeviceVolume, 1000);
    AttachVolumeRecord(volume, FILE_SYSTEM_FAT32);
    RecordingProgress progress;
    NullTree tree;
    ControllerPtr controller(CreateRecoveryController(RECOVERY_CONTROLLER_DELETED));
    EXPECT_TRUE(IsFailure(controller->StartDataRecovery(&volume, &progress, &tree)));
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));
}

TEST(DeletedRecoveryController, CopyOutIsBoundToThePartitionsTheSearcherReported) {
    for (int partitions : {0, 1, 3}) {
        SCOPED_TRACE(partitions);
        ScopedSearcherFactories scoped(QuickFor(FILE_SYSTEM_NTFS, {.partitions = partitions}));
        PatternDevice volume(kStorageDeviceVolume, 1000);
        AttachVolumeRecord(volume, FILE_SYSTEM_NTFS);
        RecordingProgress progress;
        NullTree tree;
        ControllerPtr controller = MakeDeleted();
        ASSERT_EQ(controller->StartDataRecovery(&volume, &progress, &tree), kResultSuccess);
        RecoveryPtr recovery(controller->GetDataRecovery(SEARCHER_NTFS));
        if (partitions == 0) {
            EXPECT_EQ(recovery, nullptr);
        } else {
            ASSERT_NE(recovery, nullptr);
            EXPECT_EQ(recovery->GetSearchedPartition().size(), size_t(partitions));
        }
    }
}

TEST(DeletedRecoveryController, ARestoredResultStandsInForTheSearch) {
    int searches = 0;
    ScopedSearcherFactories scoped(QuickFor(FILE_SYSTEM_FAT32, {.searches = &searches}));
    PatternDevice volume(kStorageDeviceVolume, 1000);
    AttachVolumeRecord(volume, FILE_SYSTEM_FAT32);
    FakeRestoreSource source;
    RecordingProgress progress;
    NullTree tree;
    ControllerPtr controller = MakeDeleted();
    controller->SetRestoreScanSink(&source);
    EXPECT_EQ(controller->StartDataRecovery(&volume, &progress, &tree), kResultSuccess);
    EXPECT_EQ(searches, 0);
    EXPECT_NE(source.replayedInto, nullptr);
    EXPECT_EQ(progress.States(), (std::vector<uint32_t>{2, 3}));

    RecoveryPtr recovery(controller->GetDataRecovery(SEARCHER_FAT));
    ASSERT_NE(recovery, nullptr);
    ASSERT_EQ(recovery->GetSearchedPartition().size(), 1u);
    EXPECT_EQ(recovery->GetSearchedPartition()[0]->sectorsPerCluster, 4u);
    EXPECT_EQ(source.askedTypes, std::vector<int>{SEARCHER_FAT});
}

TEST(DeletedRecoveryController, RunsOverAnImageFileAndAVolumeOnALoopDevice) {
    TempDir dir;
    const auto image = dir / "volume.img";
    WriteFile(image, std::vector<uint8_t>(1 << 20, 0));
    auto scan = [](const std::string& path) {
        int searches = 0;
        ScopedSearcherFactories scoped(QuickFor(FILE_SYSTEM_EXFAT, {.searches = &searches}));
        std::unique_ptr<IStorageDevice> volume(CreateVolumeDevice(path.c_str()));
        EXPECT_TRUE(volume->Open(nullptr));
        AttachVolumeRecord(*volume, FILE_SYSTEM_EXFAT);
        RecordingProgress progress;
        NullTree tree;
        EXPECT_EQ(MakeDeleted()->StartDataRecovery(volume.get(), &progress, &tree), kResultSuccess);
        return searches;
    };
    EXPECT_EQ(scan(image.string()), 1);

    LoopDevice loop(image, false);
    HARBEX_REQUIRE_LOOP(loop);
    EXPECT_EQ(scan(loop.device()), 1);
}

}  // namespace
