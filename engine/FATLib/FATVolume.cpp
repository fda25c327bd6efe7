#include "FATVolume.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "FATBootSector.h"
#include "FATDirEntry.h"
#include "FATTableAnalyser.h"
#include "LittleEndian.h"
#include "StorageDevice.h"

CFATVolume::CFATVolume(IStorageDevice* device)
    : device_(device), sectorSize_(device ? device->GetSectorSize() : 512) {}

int CFATVolume::ExamineCluster(const uint8_t* data, uint32_t bytes, char* label) const {
    for (uint32_t offset = 0; offset + kFATDirEntrySize <= bytes; offset += kFATDirEntrySize) {
        CTempFATDirEntry entry(const_cast<uint8_t*>(data + offset));
        if (!entry.IsValidFATDirEntry(0)) {
            return -1;
        }
        // Long-name pieces carry the label bit too; they are never the label.
        if (!entry.IsErased() && entry.IsVolumeLabel() && !entry.IsLongFileNameEntry()) {
            if (data[offset] != 0) {
                entry.GetShortName(label, 1);
            }
            return 1;
        }
    }
    return 0;
}

bool CFATVolume::GetPartitionLabel(uint64_t volumeStart, const CTempFATDBR& dbr, char* label) {
    assert(label != nullptr && "pLabelBuffer != NULL");
    assert(device_ != nullptr && "m_pDevice != NULL");
    const uint32_t spc = dbr.GetSectorsperCluster();
    if (spc == 0 || sectorSize_ < 512) {
        return false;
    }
    const uint64_t dataStart = volumeStart + dbr.GetReservedSector() +
                               uint64_t{dbr.GetNumberOfFat()} * dbr.GetSectorsPerFat();
    const uint32_t clusterBytes = spc * sectorSize_;
    std::vector<uint8_t> cluster(clusterBytes);

    if (dbr.GetFileSystemType() == FILE_SYSTEM_FAT16) {
        const uint32_t rootSectors = dbr.GetRootEntries() * 32u / sectorSize_;
        const uint32_t reads = rootSectors == 0 ? 0 : (rootSectors - 1) / spc + 1;
        for (uint32_t i = 0; i < reads; ++i) {
            if (!device_->ReadSector(cluster.data(), dataStart + uint64_t{i} * spc, spc)) {
                return false;
            }
            const int found = ExamineCluster(cluster.data(), clusterBytes, label);
            if (found != 0) {
                return found > 0;
            }
        }
        return false;
    }
    if (dbr.GetFileSystemType() != FILE_SYSTEM_FAT32) {
        return false;
    }

    // FAT32: the root folder's chain, no longer than the largest folder and
    // than the volume, so that a looping chain ends.
    const uint64_t clusterCount =
        std::min<uint64_t>(dbr.GetTotalSectors() / spc + 2,
                           uint64_t{kFATMaxFolderEntries} * kFATDirEntrySize / clusterBytes + 1);
    const uint32_t entriesPerPiece = clusterBytes / 4;
    std::vector<uint8_t> fatPiece(clusterBytes);
    int64_t loadedPiece = -1;
    uint64_t current = dbr.GetRootDirStartCluster();
    for (uint64_t walked = 0; CFATTableAnalyser::IsUsedCluster(current) && walked < clusterCount;
         ++walked) {
        if (!device_->ReadSector(cluster.data(), dataStart + (current - 2) * spc, spc)) {
            return false;
        }
        const int found = ExamineCluster(cluster.data(), clusterBytes, label);
        if (found != 0) {
            return found > 0;
        }
        const int64_t piece = static_cast<int64_t>(current / entriesPerPiece);
        if (piece != loadedPiece) {
            const uint64_t pieceSector =
                volumeStart + dbr.GetReservedSector() + uint64_t(piece) * spc;
            if (!device_->ReadSector(fatPiece.data(), pieceSector, spc)) {
                return false;
            }
            loadedPiece = piece;
        }
        current = ReadLE32(fatPiece.data() + (current % entriesPerPiece) * 4) & 0x0FFFFFFF;
    }
    return false;
}

CFatVolumeAnalyze::CFatVolumeAnalyze(IStorageDevice* device, uint64_t volumeStart) {
    if (!device) {
        return;
    }
    const uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize < 512) {
        return;
    }
    std::vector<uint8_t> sectors(size_t{sectorSize} * 4);
    if (!device->ReadSector(sectors.data(), static_cast<int64_t>(volumeStart), 4)) {
        return;
    }
    CTempFATDBR dbr(sectors.data(), sectorSize);
    if (!dbr.IsValidDBR()) {
        return;
    }
    type_ = dbr.GetFileSystemType();
    totalSectors_ = dbr.GetTotalSectors();
    char label[kFATLabelSize] = {};
    if (CFATVolume(device).GetPartitionLabel(volumeStart, dbr, label)) {
        std::memcpy(label_, label, sizeof(label_) - 1);
    }
}

void CFatVolumeAnalyze::GetLabel(char* buffer, int size) {
    assert(size > 0 && "iLabelLength > 0");
    const int count = std::min(size, kFATLabelSize);
    std::memcpy(buffer, label_, static_cast<size_t>(count));
    buffer[count - 1] = '\0';
}

IVolumeAnalyze* CreateFatVolumeAnalyze(IStorageDevice* device, unsigned long long volumeStart) {
    return new CFatVolumeAnalyze(device, volumeStart);
}
