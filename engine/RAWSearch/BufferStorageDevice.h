#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "RawBlockMemory.h"
#include "StorageDevice.h"

struct RawScanContext;

// The look-back ring of the raw search: the last blocks it analysed, kept in
// memory and offered as a device so that a size walk over a file that started
// a while ago reads from memory. Sector numbers are those of the real device;
// a read that is not wholly inside good blocks of the ring goes to the real
// device. Reads fail once the scan is stopped.
//
// The raw search reads each block straight into the ring and analyses it
// there: the block is stored right after the one added before it (the block
// before the first slot is mirrored ahead of it), so a look back from any of
// its sectors runs on into the previous block, and zeros follow it while it is
// being analysed. The oldest block stays readable until the new one is added.
class CBufferStorageDevice : public IStorageDevice {
public:
    CBufferStorageDevice() = default;
    ~CBufferStorageDevice() override = default;
    CBufferStorageDevice(const CBufferStorageDevice&) = delete;
    CBufferStorageDevice& operator=(const CBufferStorageDevice&) = delete;

    // Makes an empty ring of `blockCount` blocks; false without room for it.
    bool InitBufferDevice(IStorageDevice* realDevice, uint32_t sectorSize, uint32_t sectorsPerBlock,
                          uint32_t blockCount, const RawScanContext* context);
    // True when the ring holds as many blocks as it has room for.
    bool IsFullBuffer() const;
    // Appends the block of `count` sectors at device sector `first`, replacing
    // the oldest block once the ring is full. A null `block` records a block
    // that could not be read: reads over it go to the real device.
    void AddBlockToBuffer(const uint8_t* block, int64_t first, int64_t count);
    // Room for the next block (a whole block of bytes), with the newest
    // block's bytes right before it and `TailBytes()` zeros right after it
    // until `CloseNextBlock`. Null when the ring has no storage.
    uint8_t* OpenNextBlock();
    // Puts back the bytes the zeros after the next block stood in for.
    void CloseNextBlock();
    // Adds what was read into the room of `OpenNextBlock` as the block at
    // `first` (closing it first when still open); `good` false records a
    // block that could not be read.
    void AddNextBlock(int64_t first, int64_t count, bool good);
    // Zeros after an opened block: at least a sector, never less than 4096 bytes.
    size_t TailBytes() const;
    // First sector of the oldest block held, and one past its last sector.
    int64_t GetDeviceStartSector() const;
    int64_t GetOldestBlockEnd() const;

    bool Open(char* path) override;
    bool Close() override;
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override { return sectorSize_ == 0 ? 512 : sectorSize_; }
    // The real device's sector count: positions are absolute.
    int64_t GetTotalSectors() override;
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return kStorageDeviceCache; }
    RESULT_CODE GetLastError() override { return kResultSuccess; }

private:
    struct Slot {
        int64_t first = 0;
        int64_t count = 0;
        bool valid = false;
    };

    // The slot holding `sector` with good data, or null.
    const Slot* SlotOf(int64_t sector, size_t& index) const;
    size_t BlockBytes() const { return size_t{sectorsPerBlock_} * sectorSize_; }
    uint8_t* SlotBytes(size_t index) const { return storage_.data() + (index + 1) * BlockBytes(); }
    size_t NextSlot() const { return (oldest_ + held_) % slots_.size(); }

    // A mirror of the last slot, the slots, then zeros.
    RawBlockMemory storage_;
    // One more slot than blocks held: the next block is read into the spare.
    std::vector<Slot> slots_;
    size_t capacity_ = 0;  // blocks held at most
    size_t held_ = 0;      // slots in use
    size_t oldest_ = 0;    // slot of the oldest block
    // What the zeros after an open block cover while it is open.
    std::vector<uint8_t> hidden_;
    uint8_t* hiddenAt_ = nullptr;
    uint32_t sectorsPerBlock_ = 0;
    uint32_t sectorSize_ = 512;
    IStorageDevice* realDevice_ = nullptr;  // not owned
    const RawScanContext* context_ = nullptr;
};
