#pragma once

#include <cstdint>
#include <list>

#include "ResultCode.h"

class IStorageDevice;

// The partitioning scheme found in the first sectors of a disk.
enum enumDiskPartitionScheme : uint32_t {
    kPartitionSchemeNone = 0,
    kPartitionSchemeMBR = 1,
    kPartitionSchemeGPT = 2,
    kPartitionSchemeAPM = 3,
};

// One partition of a disk's table.
struct PartitionEntry {
    // 1-based position in its table: GPT entry index + 1, MBR slot 1-4, logical
    // partitions 5 and up, Apple map entry index. 0xFFFFFFFF (-1) stands for a
    // whole disk without a table.
    uint32_t number;
    uint32_t reserved;
    int64_t startSector;  // in the disk's own sectors
    int64_t sectorCount;
    uint8_t typeGuid[16];       // GPT only, else zero
    uint8_t partitionGuid[16];  // GPT only, else zero
    char appleType[32];         // Apple map only, else empty
};

class IPartitionTableAnalyze {
public:
    virtual ~IPartitionTableAnalyze() = default;
    // Lists the partitions of a whole disk (a device of type 0 carrying a disk
    // record of kind 0) in table order. The list is cleared first; a disk
    // without a table answers success with an empty list.
    virtual RESULT_CODE AnalyzePartitionTable(IStorageDevice* device,
                                              std::list<PartitionEntry>& partitions) = 0;
};

// A new analyser, deleted by the caller.
IPartitionTableAnalyze* CreatePartitionTableAnalyze();

class CPartitionTableAnalyze : public IPartitionTableAnalyze {
public:
    RESULT_CODE AnalyzePartitionTable(IStorageDevice* device,
                                      std::list<PartitionEntry>& partitions) override;

    // The scheme of the disk's table, from its first sector. A file-system boot
    // sector at sector 0 (a disk that is one volume) is scheme none.
    RESULT_CODE GetDiskType(IStorageDevice* device, enumDiskPartitionScheme& scheme);
};
