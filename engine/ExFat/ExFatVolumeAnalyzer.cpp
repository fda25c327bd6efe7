#include "ExFatVolumeAnalyzer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ExFatBootSector.h"
#include "ExFatEntries.h"
#include "ExFatNames.h"
#include "ExFatPartition.h"
#include "StorageDevice.h"

namespace {

// The label lies among the first entries of the root; a root is read this far
// at most, so a looping chain ends.
constexpr uint32_t kLabelSearchBytes = 256 * 1024;

// The label entry of the root folder, empty when there is none or it cannot be read.
std::string ReadLabel(IStorageDevice* device, uint64_t start, const CExFatDBR& dbr) {
    CExFatPartition volume;
    volume.bytesPerSector = dbr.GetSectorSize();
    volume.sectorsPerCluster = dbr.GetSectorsPerCluster();
    volume.bytesPerCluster = volume.bytesPerSector * volume.sectorsPerCluster;
    volume.dataStartSector = static_cast<int64_t>(start + dbr.GetClusterHeapOffset());
    volume.clusterBound = dbr.GetClusterCount() + 2;
    std::vector<uint8_t> cluster(volume.bytesPerCluster);
    uint32_t current = dbr.GetRootCluster();
    for (uint32_t read = 0;
         read < kLabelSearchBytes && current >= 2 && current <= kExFatLastCluster;
         read += volume.bytesPerCluster) {
        if (!device->ReadSector(cluster.data(), volume.ConvertClusterNumToSector(current),
                                volume.sectorsPerCluster)) {
            return {};
        }
        for (uint32_t offset = 0; offset < cluster.size(); offset += kExFatEntrySize) {
            const uint8_t* entry = cluster.data() + offset;
            if (entry[0] == kExFatEndOfFolder)
                return {};
            if (entry[0] == kExFatLabel && IsValidLabelEntry(entry))
                return CExFatNameConverter().ToUtf8(entry + 2, entry[1]);
        }
        if (!volume.IsValid()) {
            volume.CreateFatTable(device, static_cast<int64_t>(start + dbr.GetFatOffset()),
                                  dbr.GetFatLength());
        }
        current = volume.GetNextCluster(current, 0);
    }
    return {};
}

}  // namespace

void CExFatVolumeAnalyer::GetLabel(char* buffer, int size) {
    if (!buffer || size < 1)
        return;
    size_t length = std::min(label_.size(), static_cast<size_t>(size - 1));
    while (length > 0 && length < label_.size() && (label_[length] & 0xC0) == 0x80)
        --length;
    std::memcpy(buffer, label_.data(), length);
    buffer[length] = '\0';
}

IVolumeAnalyze* CreateExfatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
    if (!device)
        return nullptr;
    const uint32_t sectorSize = device->GetSectorSize();
    if (!IsValidSectorSize(sectorSize))
        return nullptr;
    std::vector<uint8_t> sector(sectorSize);
    if (!device->ReadSector(sector.data(), static_cast<int64_t>(startSector), 1))
        return nullptr;
    const CExFatDBR dbr(sector.data());
    if (!dbr.IsValid(sectorSize))
        return nullptr;
    return new CExFatVolumeAnalyer(dbr.GetVolumeLength(), ReadLabel(device, startSector, dbr));
}
