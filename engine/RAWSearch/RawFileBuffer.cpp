#include "RawFileBuffer.h"

#include <algorithm>
#include <cstring>

#include "StorageDevice.h"

RawFileBuffer::RawFileBuffer(IStorageDevice* device, uint64_t startSector)
    : device_(device), startSector_(startSector) {
    if (device_ == nullptr)
        return;
    const uint32_t sectorSize = device_->GetSectorSize();
    sectorSize_ = IsValidSectorSize(sectorSize) ? sectorSize : 512;
    windowBytes_ = kWindowSectors * sectorSize_;
    const int64_t total = device_->GetTotalSectors();
    totalSectors_ = total > 0 ? static_cast<uint64_t>(total) : 0;
    if (startSector_ < totalSectors_)
        bytesToEnd_ = (totalSectors_ - startSector_) * sectorSize_;
}

const uint8_t* RawFileBuffer::GetRawFileBuffer(uint64_t offset) {
    if (device_ == nullptr || offset >= bytesToEnd_)
        return nullptr;
    const uint64_t window = offset / windowBytes_;
    if (window != window_) {
        window_ = UINT64_MAX;
        if (bytes_.empty())
            bytes_.resize(size_t{kWindowSectors + 1} * sectorSize_);
        std::memset(bytes_.data(), 0, bytes_.size());
        const uint64_t first = startSector_ + window * kWindowSectors;
        const uint64_t count = std::min<uint64_t>(kWindowSectors + 1, totalSectors_ - first);
        if (!device_->ReadSector(bytes_.data(), static_cast<int64_t>(first),
                                 static_cast<int64_t>(count))) {
            return nullptr;
        }
        window_ = window;
    }
    return bytes_.data() + offset % windowBytes_;
}

bool RawFileBuffer::CopyBytes(uint64_t offset, uint64_t length, std::vector<uint8_t>& out) {
    out.clear();
    while (out.size() < length) {
        const uint64_t at = offset + out.size();
        const uint8_t* bytes = GetRawFileBuffer(at);
        if (bytes == nullptr)
            break;
        const uint64_t inSector = sectorSize_ - at % sectorSize_;
        const uint64_t take = std::min({inSector, length - out.size(), bytesToEnd_ - at});
        out.insert(out.end(), bytes, bytes + take);
    }
    return !out.empty();
}
