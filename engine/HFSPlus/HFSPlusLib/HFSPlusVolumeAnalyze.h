#pragma once

#include <cstdint>

#include "VolumeAnalyze.h"

// Tells volume recognition whether a volume holds HFS+ (or HFSX), and its size.
// The header is read once, when the analyser is made.
class CHFSPlusVolumeAnalyze : public IVolumeAnalyze {
public:
    static constexpr int kLabelSize = 100;

    CHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
    enumFILE_SYSTEM_TYPE GetFileSystemType() override { return type_; }
    unsigned long long GetTotalSector() override { return totalSectors_; }
    // HFS+ keeps its name in the catalog, not the header: the label is always empty.
    void GetLabel(char* buffer, int size) override;

private:
    enumFILE_SYSTEM_TYPE type_ = FILE_SYSTEM_UNKNOWN;
    uint64_t totalSectors_ = 0;
    char label_[kLabelSize] = {};
};

// Never null; the type stays unrecognised when the volume is not HFS+.
IVolumeAnalyze* CreateHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
