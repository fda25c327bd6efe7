#pragma once

#include <cstdint>

#include "EngineTypes.h"

// A read-only view over the bytes of an exFAT boot sector (at least 512).
class CExFatDBR {
public:
    explicit CExFatDBR(const uint8_t* sector) : sector_(sector) {}

    // All the consistency checks of the boot sector, for a device whose
    // sectors are `deviceSectorSize` bytes.
    bool IsValid(uint32_t deviceSectorSize) const;

    uint64_t GetVolumeLength() const;
    uint32_t GetFatOffset() const;
    uint32_t GetFatLength() const;
    uint32_t GetClusterHeapOffset() const;
    uint32_t GetClusterCount() const;
    uint32_t GetRootCluster() const;
    uint16_t GetVolumeFlags() const;
    uint8_t GetBytesPerSectorShift() const { return sector_[108]; }
    uint8_t GetSectorsPerClusterShift() const { return sector_[109]; }
    uint8_t GetNumberOfFats() const { return sector_[110]; }
    // 1 shifted by the shifts; 0 when a shift is out of any sane range.
    uint32_t GetSectorSize() const;
    uint32_t GetSectorsPerCluster() const;
    enumFILE_SYSTEM_TYPE GetFileSystemType() const { return FILE_SYSTEM_EXFAT; }

private:
    const uint8_t* sector_;
};
