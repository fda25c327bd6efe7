#pragma once

#include <cstdint>
#include <string>

#include "VolumeAnalyze.h"

// Volume recognition's view of an APFS container: its size and the name of
// its first volume.
class APFSRecognize : public IVolumeAnalyze {
public:
    APFSRecognize(IStorageDevice* device, uint64_t startSector, uint64_t totalSectors)
        : device_(device), startSector_(startSector), totalSectors_(totalSectors) {}

    enumFILE_SYSTEM_TYPE GetFileSystemType() override { return FILE_SYSTEM_APFS; }
    unsigned long long GetTotalSector() override { return totalSectors_; }
    // At most 32 bytes of the name and a NUL, within `size`; the buffer is
    // left untouched when no name can be read.
    void GetLabel(char* label, int size) override;

private:
    // The name of the first volume the object map at `map` names; empty when
    // none can be read.
    std::string ReadVolumeName(uint64_t map);

    IStorageDevice* device_;
    uint64_t startSector_;
    uint64_t totalSectors_;
};
