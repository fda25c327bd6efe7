#pragma once

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "DeviceTestData.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace harbex::test {

// An in-memory disk with a disk record. Reads touching sector `failFrom` or
// later fail; reads are counted per calling thread kind.
class MemoryDevice : public IStorageDevice {
public:
    MemoryDevice(int64_t sectors, uint32_t sectorSize)
        : bytes_(PatternBytes(sectors * sectorSize, 3)), sectorSize_(sectorSize) {
        auto* record = new CCollectDiskDeviceInfoStruct{};
        record->sectorSize = sectorSize;
        record->sectorCount = sectors;
        holder_.reset(CreateDiskDeviceData(record));
    }
    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        (std::this_thread::get_id() == owner_ ? ownerReads : otherReads)++;
        if (buffer == nullptr || first < 0 || count <= 0 || count > GetTotalSectors() - first ||
            first + count > failFrom) {
            return false;
        }
        std::memcpy(buffer, Sector(first), count * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return bytes_.size() / sectorSize_; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return holder_.get(); }
    void SetPrivateData(IStorageDeviceData* data) override { holder_.reset(data); }
    uint32_t GetType() override { return kStorageDeviceDisk; }
    RESULT_CODE GetLastError() override {
        return ENGINE_FAILURE(kModuleStorageDevice, kResultShortRead);
    }

    const uint8_t* Sector(int64_t sector) const { return &bytes_[sector * sectorSize_]; }
    std::vector<uint8_t> Sectors(int64_t first, int64_t count) const {
        return {Sector(first), Sector(first) + count * sectorSize_};
    }

    int64_t failFrom = INT64_MAX;    // set before reading starts
    std::atomic<int> ownerReads{0};  // reads from the thread that made the device
    std::atomic<int> otherReads{0};

private:
    std::vector<uint8_t> bytes_;
    uint32_t sectorSize_;
    std::unique_ptr<IStorageDeviceData> holder_;
    std::thread::id owner_ = std::this_thread::get_id();
};

}  // namespace harbex::test
