#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

// Measures an ISO base-media file (the MP4 family) by stepping from box to
// box on the device while the boxes are of the kinds such files are made of.
class CRawBoxFileAnalyser {
public:
    static constexpr int kMostBoxes = 500;

    // Nonzero when a size was written into the record.
    int GetFileSize(CRawFileInfo& info, IStorageDevice* device);

    static uint32_t DWORDBigEndian2LittleEndian(uint32_t value);
};
