#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class IStorageDevice;

// The byte window through which a size walk reads a file on the device:
// offsets count from the file's first sector, and the reader keeps its own
// window of 128 sectors (plus one, so a structure may run a little past the
// window's end). Each reader has its own bytes; a pointer it hands out stays
// valid until this reader loads another window.
class RawFileBuffer {
public:
    static constexpr uint32_t kWindowSectors = 128;

    RawFileBuffer(IStorageDevice* device, uint64_t startSector);
    RawFileBuffer(const RawFileBuffer&) = delete;
    RawFileBuffer& operator=(const RawFileBuffer&) = delete;

    // The byte at `offset` from the start sector, or null when it cannot be
    // read (past the device's end, a failed read, a stopped scan). At least
    // one sector beyond the returned byte is readable.
    const uint8_t* GetRawFileBuffer(uint64_t offset);

    // Copies up to `length` bytes from `offset` into `out`, stopping at the
    // device's end or the first unreadable sector; false when none was read.
    bool CopyBytes(uint64_t offset, uint64_t length, std::vector<uint8_t>& out);

    // How many bytes GetRawFileBuffer(offset) leaves readable from its answer.
    uint64_t BytesReadableAt(uint64_t offset) const {
        return uint64_t{kWindowSectors + 1} * sectorSize_ - offset % windowBytes_;
    }
    uint32_t GetSectorSize() const { return sectorSize_; }
    // Bytes from the start sector to the device's end.
    uint64_t GetBytesToDeviceEnd() const { return bytesToEnd_; }

private:
    IStorageDevice* device_;
    uint64_t startSector_;
    uint64_t window_ = UINT64_MAX;  // none loaded yet
    uint32_t sectorSize_ = 512;
    uint32_t windowBytes_ = 0x10000;
    uint64_t totalSectors_ = 0;
    uint64_t bytesToEnd_ = 0;
    std::vector<uint8_t> bytes_;
};
