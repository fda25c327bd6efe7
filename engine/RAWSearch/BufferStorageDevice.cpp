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
    capacity_ = 0;
    held_ = 0;
    oldest_ = 0;
    hiddenAt_ = nullptr;
    storage_.Free();
    slots_.clear();
    if (sectorsPerBlock == 0 || blockCount == 0)
        return false;
    const size_t slots = size_t{blockCount} + 1;
    if (!storage_.Allocate((slots + 1) * BlockBytes() + TailBytes()))
        return false;
    // Only the mirror ahead of the first block and the zeros at the end are
    // read before they are written.
    std::memset(storage_.data(), 0, BlockBytes());
    std::memset(storage_.data() + storage_.size() - TailBytes(), 0, TailBytes());
    slots_.assign(slots, Slot());
    capacity_ = blockCount;
    return true;
}

bool CBufferStorageDevice::IsFullBuffer() const {
    return capacity_ != 0 && held_ == capacity_;
}

size_t CBufferStorageDevice::TailBytes() const {
    return std::max<size_t>(4096, sectorSize_);
}

uint8_t* CBufferStorageDevice::OpenNextBlock() {
    if (slots_.empty())
        return nullptr;
    CloseNextBlock();
    const size_t next = NextSlot();
    uint8_t* room = SlotBytes(next);
    if (next == 0 && held_ != 0)
        std::memcpy(storage_.data(), SlotBytes(slots_.size() - 1), BlockBytes());
    hiddenAt_ = room + BlockBytes();
    hidden_.assign(hiddenAt_, hiddenAt_ + TailBytes());
    std::memset(hiddenAt_, 0, TailBytes());
    return room;
}

void CBufferStorageDevice::CloseNextBlock() {
    if (hiddenAt_ == nullptr)
        return;
    std::memcpy(hiddenAt_, hidden_.data(), hidden_.size());
    hiddenAt_ = nullptr;
}

void CBufferStorageDevice::AddNextBlock(int64_t first, int64_t count, bool good) {
    if (slots_.empty())
        return;
    CloseNextBlock();
    const size_t index = NextSlot();
    if (held_ < capacity_)
        ++held_;
    else
        oldest_ = (oldest_ + 1) % slots_.size();
    Slot& slot = slots_[index];
    slot.first = first;
    slot.count = std::clamp<int64_t>(count, 0, sectorsPerBlock_);
    slot.valid = good;
    // A block that could not be read looks back as zeros, not as older data.
    if (!good)
        std::memset(SlotBytes(index), 0, BlockBytes());
}

void CBufferStorageDevice::AddBlockToBuffer(const uint8_t* block, int64_t first, int64_t count) {
    uint8_t* room = OpenNextBlock();
    if (room == nullptr)
        return;
    if (block != nullptr) {
        std::memcpy(
            room, block,
            static_cast<size_t>(std::clamp<int64_t>(count, 0, sectorsPerBlock_)) * sectorSize_);
    }
    AddNextBlock(first, count, block != nullptr);
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
    capacity_ = 0;
    held_ = 0;
    hiddenAt_ = nullptr;
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
        const uint8_t* source =
            SlotBytes(index) + static_cast<size_t>(sector - slot->first) * sectorSize_;
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
    for (size_t k = 0; k < held_; ++k) {
        const Slot& slot = slots_[(oldest_ + k) % slots_.size()];
        end = std::max(end, slot.first + slot.count);
    }
    return end;
}
