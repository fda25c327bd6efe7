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

    RawBlockMemory storage_;
    std::vector<Slot> slots_;
    size_t held_ = 0;    // slots in use
    size_t oldest_ = 0;  // slot of the oldest block
    uint32_t sectorsPerBlock_ = 0;
    uint32_t sectorSize_ = 512;
    IStorageDevice* realDevice_ = nullptr;  // not owned
    const RawScanContext* context_ = nullptr;
};
