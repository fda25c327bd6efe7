#include "FATBootSector.h"

#include <strings.h>

#include <cassert>

#include "LittleEndian.h"

namespace {

bool IsSectorsPerClusterValue(uint8_t value) {
    return value != 0 && value <= 128 && (value & (value - 1)) == 0;
}

}  // namespace

CTempFATDBR::CTempFATDBR(const uint8_t* sector, uint32_t sectorSize)
    : sector_(sector), sectorSize_(sectorSize) {
    assert(sector != nullptr && "lpDBRBuffer != NULL");
    if (IsFullValidFAT16DBR()) {
        type_ = FILE_SYSTEM_FAT16;
    } else if (IsFullValidFAT32DBR()) {
        type_ = FILE_SYSTEM_FAT32;
    }
}

bool CTempFATDBR::SimpleCheck(const uint8_t* sector) {
    return sector[0] != 0 && sector[510] == 0x55 && sector[511] == 0xAA;
}

bool CTempFATDBR::HasCommonGeometry() const {
    return sector_[16] == 2 && IsSectorsPerClusterValue(sector_[13]) &&
           ReadLE16(sector_ + 11) == sectorSize_ && sector_[510] == 0x55 && sector_[511] == 0xAA;
}

bool CTempFATDBR::IsFullValidFAT16DBR() const {
    if (strncasecmp(reinterpret_cast<const char*>(sector_ + 54), "FAT16   ", 8) != 0) {
        return false;
    }
    const uint32_t rootEntries = ReadLE16(sector_ + 17);
    return HasCommonGeometry() && rootEntries >= 224 && (rootEntries * 32) % sectorSize_ == 0 &&
           ReadLE16(sector_ + 22) != 0;
}

bool CTempFATDBR::IsFullValidFAT32DBR() const {
    if (strncasecmp(reinterpret_cast<const char*>(sector_ + 82), "FAT32   ", 8) != 0) {
        return false;
    }
    return HasCommonGeometry() && ReadLE32(sector_ + 36) != 0;
}

uint16_t CTempFATDBR::GetReservedSector() const {
    return IsValidDBR() ? ReadLE16(sector_ + 14) : 0;
}

uint8_t CTempFATDBR::GetNumberOfFat() const {
    return IsValidDBR() ? sector_[16] : 0;
}

uint8_t CTempFATDBR::GetSectorsperCluster() const {
    return IsValidDBR() ? sector_[13] : 0;
}

uint32_t CTempFATDBR::GetSectorsPerFat() const {
    switch (type_) {
        case FILE_SYSTEM_FAT32:
            return ReadLE32(sector_ + 36);
        case FILE_SYSTEM_FAT16:
            return ReadLE16(sector_ + 22);
        default:
            return 0;
    }
}

uint32_t CTempFATDBR::GetTotalSectors() const {
    switch (type_) {
        case FILE_SYSTEM_FAT32:
            return ReadLE32(sector_ + 32);
        case FILE_SYSTEM_FAT16: {
            const uint16_t small = ReadLE16(sector_ + 19);
            return small != 0 ? small : ReadLE32(sector_ + 32);
        }
        default:
            return 0;
    }
}

uint32_t CTempFATDBR::GetRootDirStartCluster() const {
    return type_ == FILE_SYSTEM_FAT32 ? ReadLE32(sector_ + 44) : 0;
}

uint16_t CTempFATDBR::GetFatTableStartSector() const {
    return ReadLE16(sector_ + 14);
}

uint16_t CTempFATDBR::GetRootEntries() const {
    return ReadLE16(sector_ + 17);
}

uint16_t CTempFATDBR::GetBytesPerSector() const {
    return ReadLE16(sector_ + 11);
}
