#pragma once

#include <cstdint>

#include "EngineTypes.h"

// A view of a FAT boot sector in the caller's buffer (which must outlive it).
// The type is decided once: FAT16, FAT32 or unrecognised; FAT12 is never
// recognised, so it gets no search.
class CTempFATDBR {
public:
    CTempFATDBR(const uint8_t* sector, uint32_t sectorSize);

    enumFILE_SYSTEM_TYPE GetFileSystemType() const { return type_; }
    bool IsValidDBR() const { return type_ != FILE_SYSTEM_UNKNOWN; }

    uint16_t GetReservedSector() const;
    uint8_t GetNumberOfFat() const;
    uint8_t GetSectorsperCluster() const;
    uint32_t GetSectorsPerFat() const;
    uint32_t GetTotalSectors() const;
    uint32_t GetRootDirStartCluster() const;
    uint16_t GetFatTableStartSector() const;
    uint16_t GetRootEntries() const;
    uint16_t GetBytesPerSector() const;

    // First byte not 0 and the 0x55 0xAA mark at 510.
    static bool SimpleCheck(const uint8_t* sector);

private:
    bool IsFullValidFAT16DBR() const;
    bool IsFullValidFAT32DBR() const;
    bool HasCommonGeometry() const;

    const uint8_t* sector_;
    enumFILE_SYSTEM_TYPE type_ = FILE_SYSTEM_UNKNOWN;
    uint32_t sectorSize_;
};
