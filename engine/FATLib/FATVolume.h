#pragma once

#include <cstdint>

#include "VolumeAnalyze.h"

class CTempFATDBR;
class IStorageDevice;

constexpr int kFATLabelSize = 100;

// Reads the volume label entry from the root folder of a FAT volume.
class CFATVolume {
public:
    explicit CFATVolume(IStorageDevice* device);
    // False when the volume has no label entry, is not FAT16/FAT32, or cannot be read.
    bool GetPartitionLabel(uint64_t volumeStart, const CTempFATDBR& dbr, char* label);

private:
    // 1 label found, 0 not in this cluster (walk on), -1 the folder ends here.
    int ExamineCluster(const uint8_t* data, uint32_t bytes, char* label) const;

    IStorageDevice* device_;
    uint32_t sectorSize_;
};

// The FAT answer to volume recognition: FAT16 or FAT32 with total sectors and label.
class CFatVolumeAnalyze : public IVolumeAnalyze {
public:
    CFatVolumeAnalyze(IStorageDevice* device, uint64_t volumeStart);
    enumFILE_SYSTEM_TYPE GetFileSystemType() override { return type_; }
    unsigned long long GetTotalSector() override { return totalSectors_; }
    void GetLabel(char* buffer, int size) override;

private:
    enumFILE_SYSTEM_TYPE type_ = FILE_SYSTEM_UNKNOWN;
    char label_[kFATLabelSize] = {};
    uint64_t totalSectors_ = 0;
};

// Never null; the type stays unrecognised when the volume is not FAT16/FAT32.
IVolumeAnalyze* CreateFatVolumeAnalyze(IStorageDevice* device, unsigned long long volumeStart);
