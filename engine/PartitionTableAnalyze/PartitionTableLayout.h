#pragma once

#include <cstdint>
#include <cstring>
#include <list>
#include <vector>

#include "ByteOrder.h"
#include "PartitionTableAnalyze.h"
#include "ResultCode.h"

class IStorageDevice;

// Byte layout of the sector-0 table shared by MBR and the extended boot records.
namespace mbr {
constexpr size_t kFirstEntryOffset = 446;
constexpr size_t kEntrySize = 16;
constexpr size_t kEntryCount = 4;
constexpr size_t kSignatureOffset = 510;
constexpr uint8_t kTypeExtendedChs = 0x05;
constexpr uint8_t kTypeExtendedLba = 0x0F;
constexpr uint8_t kTypeGptProtective = 0xEE;
constexpr uint8_t kTypeDynamicDisk = 0x42;

struct Entry {
    uint8_t bootIndicator;
    uint8_t type;
    uint32_t firstSector;
    uint32_t sectorCount;
    bool empty;
};

// The caller has checked that `sector` holds at least 512 bytes.
Entry ReadEntry(const uint8_t* sector, size_t slot);
bool HasSignature(const uint8_t* sector);
bool BootIndicatorsValid(const uint8_t* sector);
bool IsDynamicDisk(const uint8_t* sector);
bool IsExtended(uint8_t type);
}  // namespace mbr

// Reads `count` sectors at `first` into `buffer` (resized to fit); a failed read
// answers the device's own code.
RESULT_CODE ReadDeviceSectors(IStorageDevice* device, int64_t first, int64_t count,
                              std::vector<uint8_t>& buffer);

// A zeroed entry with its number and extent set.
PartitionEntry MakePartitionEntry(uint32_t number, int64_t start, int64_t count);

// True when the four MBR slots form a usable table: valid boot indicators and
// at least one entry, every entry typed and starting inside the disk after
// sector 0. Boot code in those bytes practically never passes.
bool HoldsPartitionTable(const uint8_t* sector, int64_t diskSectors);

// True when the sector is the boot sector of a FAT, exFAT or NTFS volume, the
// first sector of a disk that holds one volume and no partition table.
bool IsVolumeBootSector(const uint8_t* sector, size_t length);

// GPT: the entry array located through the GPT header (the backup header when
// the primary one is damaged).
class CBaseGPTAnalyzer {
public:
    RESULT_CODE AnalyzeBaseGPT(IStorageDevice* device, std::list<PartitionEntry>& partitions);
};

// Apple partition map.
class CAPMAnaly {
public:
    RESULT_CODE AnalyzePartition(IStorageDevice* device, std::list<PartitionEntry>& partitions);
};

// MBR with its chain of extended boot records.
class CPartitionTableChainAnalyzer {
public:
    RESULT_CODE AnalyzePartitionTableChain(IStorageDevice* device,
                                           std::list<PartitionEntry>& partitions);

private:
    RESULT_CODE AnalyzeEMBR(IStorageDevice* device, int64_t extendedStart, uint32_t& lastNumber,
                            std::list<PartitionEntry>& partitions);
};
