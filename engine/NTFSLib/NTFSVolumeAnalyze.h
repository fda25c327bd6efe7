#pragma once

#include <cstdint>
#include <string>

#include "VolumeAnalyze.h"

class IStorageDevice;

// The NTFS answer to volume recognition: total sectors from the boot sector and
// the label from the $Volume record.
class CNTFSVolumeAnalyer : public IVolumeAnalyze {
public:
    CNTFSVolumeAnalyer(uint64_t totalSectors, std::string label)
        : totalSectors_(totalSectors), label_(std::move(label)) {}
    enumFILE_SYSTEM_TYPE GetFileSystemType() override { return FILE_SYSTEM_NTFS; }
    unsigned long long GetTotalSector() override { return totalSectors_; }
    void GetLabel(char* buffer, int size) override;

private:
    uint64_t totalSectors_;
    std::string label_;
};

// Null unless the sector at `volumeStart` is a valid NTFS boot sector.
IVolumeAnalyze* CreateNTFSVolumeAnalyze(IStorageDevice* device, unsigned long long volumeStart);

// The label of the volume at `volumeStart`; false when $Volume cannot be read.
bool ReadNTFSVolumeLabel(IStorageDevice& device, uint64_t volumeStart, std::string& label);
