#pragma once

// A device over bytes in memory, for records and log pages built by the tests.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace harbex::test {

class NTFSMemoryDevice : public IStorageDevice {
public:
    NTFSMemoryDevice(size_t sectors, uint32_t sectorSize = 512)
        : bytes_(sectors * sectorSize, 0), sectorSize_(sectorSize) {}

    void Put(int64_t sector, const std::vector<uint8_t>& data) {
        std::memcpy(bytes_.data() + sector * sectorSize_, data.data(), data.size());
    }
    std::vector<uint8_t>& Bytes() { return bytes_; }

    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (first < 0 || count <= 0 || first + count > GetTotalSectors())
            return false;
        std::memcpy(buffer, bytes_.data() + first * sectorSize_, count * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return static_cast<int64_t>(bytes_.size() / sectorSize_); }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return data_.get(); }
    void SetPrivateData(IStorageDeviceData* data) override { data_.reset(data); }
    uint32_t GetType() override { return kStorageDeviceVolume; }
    RESULT_CODE GetLastError() override { return 0; }

private:
    std::vector<uint8_t> bytes_;
    uint32_t sectorSize_;
    std::unique_ptr<IStorageDeviceData> data_;
};

}  // namespace harbex::test
