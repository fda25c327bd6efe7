#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <memory>

#include "EnumDevice.h"
#include "EnumTestSupport.h"
#include "TestSupport.h"

namespace {

using enumtest::VolumeInfo;

// Volumes of a disk named on a command line, as the scan tool picks them.
class DiskVolumes : public testing::Test {
protected:
    void SetUp() override { enumtest::MakeSparseFile(image_, 64 << 20); }

    RESULT_CODE List() {
        disk_.reset(CreateDiskDevice(image_.c_str()));
        EXPECT_TRUE(disk_->Open(nullptr));
        return EnumDiskVolumes(disk_.get(), "disk.img", volumes_);
    }
    void TearDown() override {
        for (IStorageDevice* volume : volumes_)
            delete volume;
        disk_.reset();
    }

    harbex::test::TempDir dir_;
    std::filesystem::path image_ = dir_ / "disk.img";
    std::unique_ptr<IStorageDevice> disk_;
    std::list<IStorageDevice*> volumes_;
    ScopedVolumeAnalyzeFactories analyzers_{{enumtest::FakeNtfsAnalyzerFactory()}};
};

TEST_F(DiskVolumes, EachPartitionOfTheTableInOrder) {
    ASSERT_TRUE(enumtest::RunSfdisk(image_.string(), "label: gpt\\nsize=20MiB\\n,\\n"));
    auto dump = enumtest::SfdiskDumpStarts(image_.string());
    ASSERT_EQ(dump.size(), 2u);
    enumtest::WriteAt(image_, static_cast<uint64_t>(dump[1].first) * 512,
                      enumtest::FakeNtfsBootSector("Second"));

    ASSERT_EQ(List(), kResultSuccess);
    ASSERT_EQ(volumes_.size(), 2u);
    int n = 0;
    for (IStorageDevice* volume : volumes_) {
        SCOPED_TRACE(n);
        EXPECT_EQ(volume->GetType(), kStorageDeviceVolume);
        EXPECT_EQ(VolumeInfo(volume)->partitionNumber, n + 1);
        EXPECT_EQ(VolumeInfo(volume)->startSector, dump[n].first);
        EXPECT_EQ(volume->GetTotalSectors(), dump[n].second);
        ++n;
    }
    IStorageDevice* second = volumes_.back();
    EXPECT_EQ(VolumeInfo(second)->fileSystemType, 3u);
    EXPECT_STREQ(VolumeInfo(second)->label, "Second");
    std::vector<uint8_t> sector(512);
    ASSERT_TRUE(second->ReadSector(sector.data(), 0, 1));
    EXPECT_EQ(std::memcmp(sector.data() + 3, "NTFS    ", 8), 0);
}

TEST_F(DiskVolumes, AVolumeWithoutTableIsTheWholeDisk) {
    enumtest::WriteAt(image_, 0, enumtest::FakeNtfsBootSector("Whole"));
    ASSERT_EQ(List(), kResultSuccess);
    ASSERT_EQ(volumes_.size(), 1u);
    EXPECT_EQ(VolumeInfo(volumes_.front())->partitionNumber, -1);
    EXPECT_EQ(volumes_.front()->GetTotalSectors(), (64 << 20) / 512);
    EXPECT_STREQ(VolumeInfo(volumes_.front())->label, "Whole");
}

TEST_F(DiskVolumes, ABrokenTableIsAFailure) {
    std::vector<uint8_t> sector(512, 0);
    sector[446] = 0x7F;  // not a boot indicator
    sector[450] = 0x83;
    sector[510] = 0x55;
    sector[511] = 0xAA;
    enumtest::WriteAt(image_, 0, sector);
    RESULT_CODE code = List();
    EXPECT_TRUE(IsFailure(code));
    EXPECT_EQ(ResultKindOf(code), kResultMalformed);
    EXPECT_TRUE(volumes_.empty());

    std::list<IStorageDevice*> none;
    EXPECT_EQ(ResultKindOf(EnumDiskVolumes(nullptr, "x", none)), kResultBadArgument);
}

}  // namespace
