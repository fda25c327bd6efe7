#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include "DevListSortAlgorithm.h"
#include "EnumTestSupport.h"
#include "MergeVolumeAndPartition.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

namespace {

using enumtest::PartitionInfo;
using enumtest::VolumeInfo;

constexpr int64_t kGiB = 2097152;  // in 512-byte sectors
constexpr int64_t kMiB = 2048;

struct Extent {
    int64_t start;
    int64_t count;
    int32_t number;
};

// A disk over a small image file whose record claims 1 TiB: merging never reads.
class MergeFixture : public testing::Test {
protected:
    void SetUp() override {
        enumtest::MakeSparseFile(image_, 1 << 20);
        disk_.reset(CreateDiskDevice(image_.c_str()));
        ASSERT_TRUE(disk_->Open(nullptr));
        auto* record = new CCollectDiskDeviceInfoStruct{};
        std::strcpy(record->bsdName, "loop9");
        record->sectorSize = 512;
        record->sectorCount = 1024 * kGiB;
        disk_->SetPrivateData(CreateDiskDeviceData(record));
    }
    void TearDown() override {
        owned_.clear();
        disk_.reset();
    }

    IStorageDevice* Partition(const Extent& e) {
        IStorageDevice* device = CreatePartitionDevice(disk_.get(), e.start, e.count);
        EXPECT_TRUE(device->Open(nullptr));
        auto* record = new CCollectedPartitionDeviceInfoStruct{};
        record->fileSystemType = 3;
        std::strcpy(record->label, "DATA");
        record->sectorSize = 512;
        record->sectorCount = e.count;
        record->parentDisk = disk_.get();
        record->partitionEntryNumber = static_cast<uint32_t>(e.number);
        record->startSector = e.start;
        device->SetPrivateData(CreatePartitionDeviceData(record));
        owned_.emplace_back(device);
        return device;
    }

    IStorageDevice* Volume(const Extent& e) {
        IStorageDevice* device = CreateVolumeDevice(image_.c_str());
        auto* record = new CCollectedVolumeDeviceInfoStruct{};
        record->sectorSize = 512;
        record->sectorCount = e.count;
        record->partitionNumber = e.number;
        record->startSector = e.start;
        record->mounted = 1;
        device->SetPrivateData(CreateVolumeDeviceData(record));
        owned_.emplace_back(device);
        return device;
    }

    harbex::test::TempDir dir_;
    std::filesystem::path image_ = dir_ / "disk.img";
    std::unique_ptr<IStorageDevice> disk_;
    std::vector<std::unique_ptr<IStorageDevice>> owned_;
};

struct MergeCase {
    const char* name;
    std::vector<Extent> volumes;
    std::vector<Extent> partitions;
    std::vector<int32_t> convertedNumbers;  // partitions listed after the volumes
};

const MergeCase kCases[] = {
    {"volume_and_a_partition_without_one",
     {{2048, 100 * kGiB, 1}},
     {{2048, 100 * kGiB, 1}, {2048 + 100 * kGiB, 5 * kGiB, 2}},
     {2}},
    {"exactly_ten_mib_apart_is_the_volume", {{2048, kGiB, 1}}, {{2048, kGiB + 10 * kMiB, 1}}, {}},
    {"ten_mib_and_a_sector_apart_is_its_own",
     {{2048, kGiB, 1}},
     {{2048, kGiB + 10 * kMiB + 1, 1}},
     {1}},
    {"equal_sizes_at_other_starts_stay_apart",
     {{2048 + kGiB, kGiB, 2}},
     {{2048, kGiB, 1}, {2048 + kGiB, kGiB, 2}},
     {1}},
    {"one_volume_stands_for_one_partition",
     {{2048, kGiB, 1}},
     {{2048, kGiB, 1}, {2048, kGiB, 5}},
     {5}},
    {"whole_disk_without_table", {{0, 64 * kGiB, -1}}, {{0, 64 * kGiB, -1}}, {}},
};

class Merge : public MergeFixture, public testing::WithParamInterface<MergeCase> {};

TEST_P(Merge, VolumesThenPartitionsNoVolumeStandsFor) {
    const MergeCase& param = GetParam();
    std::vector<IStorageDevice*> volumes;
    std::vector<IStorageDevice*> partitions;
    for (const auto& e : param.volumes)
        volumes.push_back(Volume(e));
    for (const auto& e : param.partitions)
        partitions.push_back(Partition(e));

    std::list<IStorageDevice*> merged;
    ASSERT_EQ(CMergeVolumeAndPartition().MergeAsVolume(
                  merged, volumes.data(), static_cast<int>(volumes.size()), partitions.data(),
                  static_cast<int>(partitions.size())),
              kResultSuccess);
    ASSERT_EQ(merged.size(), volumes.size() + param.convertedNumbers.size());
    auto it = merged.begin();
    for (IStorageDevice* volume : volumes)
        EXPECT_EQ(*it++, volume);
    for (int32_t number : param.convertedNumbers) {
        std::unique_ptr<IStorageDevice> converted(*it++);
        SCOPED_TRACE(number);
        EXPECT_EQ(converted->GetType(), kStorageDeviceVolume);
        CCollectedVolumeDeviceInfoStruct* info = VolumeInfo(converted.get());
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->partitionNumber, number);
        const Extent& source = param.partitions[static_cast<size_t>(
            std::find_if(param.partitions.begin(), param.partitions.end(),
                         [&](const Extent& e) { return e.number == number; }) -
            param.partitions.begin())];
        EXPECT_EQ(info->startSector, source.start);
        EXPECT_EQ(info->sectorCount, source.count);
        EXPECT_EQ(converted->GetTotalSectors(), source.count);
        EXPECT_EQ(info->mounted, 0u);
        EXPECT_EQ(info->volumeName[0], '\0');
        EXPECT_EQ(info->fileSystemType, 3u);
        EXPECT_STREQ(info->label, "DATA");
        EXPECT_EQ(info->parentDisk, disk_.get());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Merge, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MergeFixture, AFailedConversionLeavesNothing) {
    IStorageDevice* volume = Volume({2048, kGiB, 1});
    IStorageDevice* good = Partition({4096 + kGiB, kGiB, 2});
    IStorageDevice* bad = Volume({8192 + 2 * kGiB, kGiB, 3});
    IStorageDevice* partitions[] = {good, bad};
    std::list<IStorageDevice*> merged{volume};
    RESULT_CODE code = CMergeVolumeAndPartition().MergeAsVolume(merged, &volume, 1, partitions, 2);
    EXPECT_TRUE(IsFailure(code));
    EXPECT_EQ(ResultKindOf(code), kResultBadArgument);
    EXPECT_TRUE(merged.empty());

    IStorageDevice* bare = CreatePartitionDevice(disk_.get(), 0, kGiB);
    owned_.emplace_back(bare);
    IStorageDevice* made = nullptr;
    code = CVolumePartitionConverter().ConvertPartition2Volume(made, bare);
    EXPECT_EQ(ResultKindOf(code), kResultMissingObject);
    EXPECT_EQ(made, nullptr);
}

TEST_F(MergeFixture, ListOrder) {
    std::list<IStorageDevice*> volumes{Volume({4096, kGiB, 3}), Volume({0, kGiB, -1}),
                                       Volume({2048, kGiB, 1})};
    volumes.sort(CDevListSortAlgorithm());
    std::vector<int32_t> numbers;
    for (auto* v : volumes)
        numbers.push_back(VolumeInfo(v)->partitionNumber);
    EXPECT_EQ(numbers, (std::vector<int32_t>{-1, 1, 3}));

    std::list<IStorageDevice*> partitions{Partition({4096, kGiB, 6}), Partition({2048, kGiB, 2})};
    partitions.sort(CDevListSortAlgorithm());
    EXPECT_EQ(PartitionInfo(partitions.front())->partitionEntryNumber, 2u);

    std::vector<std::unique_ptr<IStorageDevice>> disks;
    for (const char* name : {"disk2", "disk10"}) {
        disks.emplace_back(CreateDiskDevice(image_.c_str()));
        auto* record = new CCollectDiskDeviceInfoStruct{};
        std::strcpy(record->bsdName, name);
        record->sectorSize = 512;
        disks.back()->SetPrivateData(CreateDiskDeviceData(record));
    }
    CDevListSortAlgorithm less;
    EXPECT_TRUE(less(disks[1].get(), disks[0].get()));
    EXPECT_FALSE(less(disks[0].get(), disks[1].get()));
    // Different kinds compare as equal.
    EXPECT_FALSE(less(disks[1].get(), volumes.front()));
    EXPECT_FALSE(less(volumes.front(), disks[1].get()));
}

}  // namespace
