#include "NTFSGeometry.h"

#include <cstring>
#include <vector>

#include "NTFSDBR.h"
#include "StorageDevice.h"

bool NTFSGeometry::Init(const CNTFSDBR& dbr, uint32_t sectorSize, uint64_t start) {
    if (!IsValidSectorSize(sectorSize)) {
        return false;
    }
    const uint64_t cluster = uint64_t{dbr.GetBytesPerSector()} * dbr.GetSectorsperCluster();
    const uint64_t record = dbr.GetFileRecordSizeByByte();
    if (cluster == 0 || cluster % sectorSize != 0 || cluster > (1u << 24) || record < 1024 ||
        record > 65536) {
        return false;
    }
    volumeStart = start;
    deviceSectorSize = sectorSize;
    clusterBytes = static_cast<uint32_t>(cluster);
    recordBytes = static_cast<uint32_t>(record);
    sectorsPerCluster = static_cast<uint32_t>(cluster / sectorSize);
    sectorsPerRecord = static_cast<uint32_t>((record + sectorSize - 1) / sectorSize);
    mftCluster = dbr.GetMFTStartCluster();
    mftMirrCluster = dbr.GetMFTMirrorStartCluster();
    return true;
}

void ReadSectorsOrZeros(IStorageDevice& device, uint8_t* buffer, int64_t first, int64_t count) {
    if (device.ReadSector(buffer, first, count)) {
        return;
    }
    const uint32_t sectorSize = device.GetSectorSize();
    for (int64_t i = 0; i < count; ++i) {
        uint8_t* at = buffer + i * sectorSize;
        if (!device.ReadSector(at, first + i, 1)) {
            std::memset(at, 0, sectorSize);
        }
    }
}

bool ReadNTFSBootSector(IStorageDevice& device, uint64_t volumeStart, CNTFSDBR& dbr) {
    const uint32_t sectorSize = device.GetSectorSize();
    if (!IsValidSectorSize(sectorSize)) {
        return false;
    }
    std::vector<uint8_t> sector(sectorSize);
    if (!device.ReadSector(sector.data(), static_cast<int64_t>(volumeStart), 1)) {
        return false;
    }
    return dbr.InitFromBuffer(sector.data());
}
