#include "PartitionTableLayout.h"

#include "StorageDevice.h"

namespace mbr {

Entry ReadEntry(const uint8_t* sector, size_t slot) {
    const uint8_t* raw = sector + kFirstEntryOffset + slot * kEntrySize;
    Entry entry{};
    entry.bootIndicator = raw[0];
    entry.type = raw[4];
    entry.firstSector = ReadLE32(raw + 8);
    entry.sectorCount = ReadLE32(raw + 12);
    entry.empty = true;
    for (size_t i = 0; i < kEntrySize; ++i) {
        if (raw[i] != 0) {
            entry.empty = false;
        }
    }
    return entry;
}

bool HasSignature(const uint8_t* sector) {
    return sector[kSignatureOffset] == 0x55 && sector[kSignatureOffset + 1] == 0xAA;
}

bool BootIndicatorsValid(const uint8_t* sector) {
    for (size_t slot = 0; slot < kEntryCount; ++slot) {
        uint8_t indicator = ReadEntry(sector, slot).bootIndicator;
        if (indicator != 0x00 && indicator != 0x80) {
            return false;
        }
    }
    return true;
}

bool IsDynamicDisk(const uint8_t* sector) {
    for (size_t slot = 0; slot < kEntryCount; ++slot) {
        if (ReadEntry(sector, slot).type == kTypeDynamicDisk) {
            return true;
        }
    }
    return false;
}

bool IsExtended(uint8_t type) {
    return type == kTypeExtendedChs || type == kTypeExtendedLba;
}

}  // namespace mbr

RESULT_CODE ReadDeviceSectors(IStorageDevice* device, int64_t first, int64_t count,
                              std::vector<uint8_t>& buffer) {
    buffer.assign(static_cast<size_t>(count) * device->GetSectorSize(), 0);
    if (device->ReadSector(buffer.data(), first, count)) {
        return kResultSuccess;
    }
    RESULT_CODE code = device->GetLastError();
    return IsFailure(code) ? code : ENGINE_FAILURE(kModulePartitionTable, kResultFailed);
}

PartitionEntry MakePartitionEntry(uint32_t number, int64_t start, int64_t count) {
    PartitionEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.number = number;
    entry.startSector = start;
    entry.sectorCount = count;
    return entry;
}

namespace {

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// The BIOS parameter block of a FAT12/16/32 boot sector: a jump, then
// plausible geometry. MBR boot code does not pass this (its BPB area is code
// or zeros).
bool IsFatBootSector(const uint8_t* sector) {
    bool jump = (sector[0] == 0xEB && sector[2] == 0x90) || sector[0] == 0xE9;
    uint16_t bytesPerSector = ReadLE16(sector + 11);
    uint8_t sectorsPerCluster = sector[13];
    uint16_t reservedSectors = ReadLE16(sector + 14);
    uint8_t fatCount = sector[16];
    uint8_t media = sector[21];
    return jump && bytesPerSector >= 512 && bytesPerSector <= 4096 &&
           IsPowerOfTwo(bytesPerSector) && IsPowerOfTwo(sectorsPerCluster) &&
           reservedSectors >= 1 && (fatCount == 1 || fatCount == 2) &&
           (media == 0xF0 || media >= 0xF8);
}

}  // namespace

bool HoldsPartitionTable(const uint8_t* sector, int64_t diskSectors) {
    if (!mbr::HasSignature(sector) || !mbr::BootIndicatorsValid(sector)) {
        return false;
    }
    bool any = false;
    for (size_t slot = 0; slot < mbr::kEntryCount; ++slot) {
        mbr::Entry entry = mbr::ReadEntry(sector, slot);
        if (entry.empty) {
            continue;
        }
        if (entry.type == 0 || entry.firstSector == 0 || entry.firstSector >= diskSectors ||
            entry.sectorCount == 0) {
            return false;
        }
        any = true;
    }
    return any;
}

bool IsVolumeBootSector(const uint8_t* sector, size_t length) {
    if (length < 512) {
        return false;
    }
    if (std::memcmp(sector + 3, "NTFS    ", 8) == 0 ||
        std::memcmp(sector + 3, "EXFAT   ", 8) == 0) {
        return true;
    }
    return IsFatBootSector(sector);
}
