#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include "StorageDevice.h"
#include "StorageDeviceData.h"

// A whole disk read from an image file with any sector size, carrying a disk
// record, with sectors that can be made to fail.
class ImageDisk : public IStorageDevice {
public:
    ImageDisk(const std::filesystem::path& image, uint32_t sectorSize,
              uint32_t type = kStorageDeviceDisk)
        : sectorSize_(sectorSize), type_(type) {
        fd_ = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
        sectorCount_ = static_cast<int64_t>(std::filesystem::file_size(image) / sectorSize);
        std::memset(&record_, 0, sizeof record_);
        record_.sectorSize = sectorSize;
        record_.sectorCount = sectorCount_;
        holder_ = std::make_unique<Holder>(&record_);
    }
    ~ImageDisk() override { ::close(fd_); }

    void FailSector(int64_t sector) { failing_.insert(sector); }
    void DropRecord() { holder_.reset(); }
    CCollectDiskDeviceInfoStruct& record() { return record_; }

    bool Open(char*) override { return fd_ >= 0; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        for (int64_t s = first; s < first + count; ++s) {
            if (failing_.count(s) != 0 || s >= sectorCount_) {
                lastError_ = MakeFailure(kModuleStorageDevice, 1, kResultFailed);
                return false;
            }
        }
        auto bytes = static_cast<size_t>(count * sectorSize_);
        return ::pread(fd_, buffer, bytes, first * sectorSize_) == static_cast<ssize_t>(bytes);
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectorCount_; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return holder_.get(); }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return type_; }
    RESULT_CODE GetLastError() override { return lastError_; }

private:
    class Holder : public IDiskDeviceData {
    public:
        explicit Holder(CCollectDiskDeviceInfoStruct* record) : record_(record) {}
        CCollectDiskDeviceInfoStruct* GetDiskInfo() override { return record_; }
        void SetDiskInfo(CCollectDiskDeviceInfoStruct* info) override { record_ = info; }

    private:
        CCollectDiskDeviceInfoStruct* record_;
    };

    int fd_ = -1;
    uint32_t sectorSize_;
    uint32_t type_;
    int64_t sectorCount_ = 0;
    RESULT_CODE lastError_ = kResultSuccess;
    CCollectDiskDeviceInfoStruct record_;
    std::unique_ptr<Holder> holder_;
    std::set<int64_t> failing_;
};
