#include "NTFSVolumeAnalyze.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "NTFSDBR.h"
#include "NTFSGeometry.h"
#include "NTFSMetaFile.h"
#include "StorageDevice.h"

void CNTFSVolumeAnalyer::GetLabel(char* buffer, int size) {
    if (buffer == nullptr || size < 1) {
        return;
    }
    const size_t count = std::min(label_.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, label_.data(), count);
    buffer[count] = '\0';
}

bool ReadNTFSVolumeLabel(IStorageDevice& device, uint64_t volumeStart, std::string& label) {
    CNTFSDBR dbr;
    NTFSGeometry geometry;
    if (!ReadNTFSBootSector(device, volumeStart, dbr) ||
        !geometry.Init(dbr, device.GetSectorSize(), volumeStart)) {
        return false;
    }
    // $Volume is record 3, in the first run of the table like every early record.
    const uint64_t byteOffset = uint64_t{3} * geometry.recordBytes;
    const int64_t mft = geometry.ClusterSector(geometry.mftCluster);
    if (mft < 0 || mft > device.GetTotalSectors()) {
        return false;
    }
    const int64_t sector = mft + static_cast<int64_t>(byteOffset / geometry.deviceSectorSize);
    const uint32_t skip = static_cast<uint32_t>(byteOffset % geometry.deviceSectorSize);
    const uint32_t sectors =
        (skip + geometry.recordBytes + geometry.deviceSectorSize - 1) / geometry.deviceSectorSize;
    if (sector < 0 || sector + sectors > device.GetTotalSectors()) {
        return false;
    }
    std::vector<uint8_t> buffer(size_t{sectors} * geometry.deviceSectorSize);
    if (!device.ReadSector(buffer.data(), sector, sectors)) {
        return false;
    }
    return CVolumeFileAnalyzer::GetLabel(buffer.data() + skip,
                                         static_cast<int>(geometry.recordBytes), label);
}

IVolumeAnalyze* CreateNTFSVolumeAnalyze(IStorageDevice* device, unsigned long long volumeStart) {
    CNTFSDBR dbr;
    if (device == nullptr || !ReadNTFSBootSector(*device, volumeStart, dbr)) {
        return nullptr;
    }
    std::string label;
    if (!ReadNTFSVolumeLabel(*device, volumeStart, label)) {
        label.clear();
    }
    return new CNTFSVolumeAnalyer(static_cast<uint64_t>(dbr.GetTotalSectors()), std::move(label));
}
