#include "BufferStorageDevice.h"

#include <algorithm>
#include <cstring>

#include "RawScanContext.h"

bool CBufferStorageDevice::InitBufferDevice(IStorageDevice* realDevice, uint32_t sectorSize,
                                            uint32_t sectorsPerBlock, uint32_t blockCount,
                                            const RawScanContext* context) {
    realDevice_ = realDevice;
    context_ = context;
    sectorSize_ = sectorSize == 0 ? 512 : sectorSize;
    sectorsPerBlock_ = sectorsPerBlock;
    held_ = 0;
    oldest_ = 0;
    storage_.Free();
    slots_.clear();
    if (sectorsPerBlock == 0 || blockCount == 0)
        return false;
    // Only blocks that were added are ever read back: the bytes need no zeros.
    if (!storage_.Allocate(size_t{blockCount} * sectorsPerBlock * sectorSize_))
        return false;
    slots_.assign(blockCount, Slot());
    return true;
}

bool CBufferStorageDevice::IsFullBuffer() const {
    return !slots_.empty() && held_ == slots_.size();
}

void CBufferStorageDevice::AddBlockToBuffer(const uint8_t* block, int64_t first, int64_t count) {
    if (slots_.empty())
        return;
    count = std::clamp<int64_t>(count, 0, sectorsPerBlock_);
    size_t index = 0;
    if (held_ < slots_.size()) {
        index = (oldest_ + held_) % slots_.size();
        ++held_;
    } else {
        index = oldest_;
        oldest_ = (oldest_ + 1) % slots_.size();
    }
    Slot& slot = slots_[index];
    slot.first = first;
    slot.count = count;
    slot.valid = block != nullptr;
    if (block != nullptr) {
        std::memcpy(storage_.data() + index * sectorsPerBlock_ * size_t{sectorSize_}, block,
                    static_cast<size_t>(count) * sectorSize_);
    }
}

int64_t CBufferStorageDevice::GetDeviceStartSector() const {
    return held_ == 0 ? 0 : slots_[oldest_].first;
}

int64_t CBufferStorageDevice::GetOldestBlockEnd() const {
    return held_ == 0 ? 0 : slots_[oldest_].first + slots_[oldest_].count;
}

const CBufferStorageDevice::Slot* CBufferStorageDevice::SlotOf(int64_t sector,
                                                               size_t& index) const {
    for (size_t k = 0; k < held_; ++k) {
        index = (oldest_ + k) % slots_.size();
        const Slot& slot = slots_[index];
        if (slot.valid && sector >= slot.first && sector < slot.first + slot.count)
            return &slot;
    }
    return nullptr;
}

bool CBufferStorageDevice::Open(char*) {
    return true;
}

bool CBufferStorageDevice::Close() {
    storage_.Free();
    slots_.clear();
    held_ = 0;
    return true;
}

bool CBufferStorageDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    if (slots_.empty() || buffer == nullptr || first < 0 || count <= 0)
        return false;
    if (context_ != nullptr && !context_->Continue())
        return false;
    auto* target = static_cast<uint8_t*>(buffer);
    int64_t sector = first;
    const int64_t end = first + count;
    while (sector < end) {
        size_t index = 0;
        const Slot* slot = SlotOf(sector, index);
        if (slot == nullptr)
            break;
        const int64_t piece = std::min(end, slot->first + slot->count) - sector;
        const uint8_t* source = storage_.data() + index * sectorsPerBlock_ * size_t{sectorSize_} +
                                static_cast<size_t>(sector - slot->first) * sectorSize_;
        std::memcpy(target + static_cast<size_t>(sector - first) * sectorSize_, source,
                    static_cast<size_t>(piece) * sectorSize_);
        sector += piece;
    }
    if (sector == end)
        return true;
    return realDevice_ != nullptr && realDevice_->ReadSector(buffer, first, count);
}

int64_t CBufferStorageDevice::GetTotalSectors() {
    if (realDevice_ != nullptr)
        return realDevice_->GetTotalSectors();
    int64_t end = 0;
    for (size_t k = 0; k < held_; ++k)
        end = std::max(end, slots_[k].first + slots_[k].count);
    return end;
}
