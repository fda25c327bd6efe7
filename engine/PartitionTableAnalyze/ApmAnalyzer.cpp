#include "PartitionTableLayout.h"
#include "StorageDevice.h"

#define PT_FAILURE(kind) ENGINE_FAILURE(kModulePartitionTable, kind)

namespace {

constexpr uint32_t kMaxMapEntries = 31;

bool IsMapEntry(const uint8_t* block) {
    return (block[0] == 'P' && block[1] == 'M') || (block[0] == 'T' && block[1] == 'S');
}

}  // namespace

RESULT_CODE CAPMAnaly::AnalyzePartition(IStorageDevice* device,
                                        std::list<PartitionEntry>& partitions) {
    partitions.clear();
    if (device == nullptr) {
        return PT_FAILURE(kResultBadArgument);
    }
    uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize == 0 || sectorSize % 512 != 0) {
        return PT_FAILURE(kResultNotSupported);
    }
    std::vector<uint8_t> sector;
    RESULT_CODE code = ReadDeviceSectors(device, 0, 1, sector);
    if (IsFailure(code)) {
        return code;
    }
    if (sector[0] != 'E' || sector[1] != 'R') {
        return PT_FAILURE(kResultMalformed);
    }
    uint32_t blockSize = ReadBE16(sector.data() + 2);
    if (blockSize < sectorSize || blockSize % sectorSize != 0) {
        return PT_FAILURE(kResultMalformed);
    }
    const int64_t sectorsPerBlock = blockSize / sectorSize;
    code = ReadDeviceSectors(device, sectorsPerBlock, 1, sector);
    if (IsFailure(code)) {
        return code;
    }
    if (!IsMapEntry(sector.data())) {
        return PT_FAILURE(kResultMalformed);
    }
    uint32_t entryCount = ReadBE32(sector.data() + 4);
    if (entryCount > kMaxMapEntries) {
        return PT_FAILURE(kResultMalformed);
    }
    for (uint32_t i = 1; i <= entryCount; ++i) {
        code = ReadDeviceSectors(device, i * sectorsPerBlock, 1, sector);
        if (IsFailure(code)) {
            return code;
        }
        const uint8_t* block = sector.data();
        if (!IsMapEntry(block)) {
            continue;
        }
        PartitionEntry entry = MakePartitionEntry(i, ReadBE32(block + 8) * sectorsPerBlock,
                                                  ReadBE32(block + 12) * sectorsPerBlock);
        std::memcpy(entry.appleType, block + 48, sizeof entry.appleType - 1);
        partitions.push_back(entry);
    }
    return kResultSuccess;
}
