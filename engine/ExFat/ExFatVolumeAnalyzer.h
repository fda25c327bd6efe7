#pragma once

#include <cstdint>
#include <string>

#include "VolumeAnalyze.h"

class IStorageDevice;

// The exFAT answer to volume recognition: the volume length from the boot
// sector and the label from the root folder's label entry.
class CExFatVolumeAnalyer : public IVolumeAnalyze {
public:
    CExFatVolumeAnalyer(uint64_t totalSectors, std::string label)
        : totalSectors_(totalSectors), label_(std::move(label)) {}

    enumFILE_SYSTEM_TYPE GetFileSystemType() override { return FILE_SYSTEM_EXFAT; }
    unsigned long long GetTotalSector() override { return totalSectors_; }
    // UTF-8, cut at a character boundary to fit.
    void GetLabel(char* buffer, int size) override;

private:
    uint64_t totalSectors_;
    std::string label_;
};

// Null unless the sector at `startSector` is a valid exFAT boot sector for
// the device's sector size.
IVolumeAnalyze* CreateExfatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
