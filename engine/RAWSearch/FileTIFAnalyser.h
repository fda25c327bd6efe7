#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

// Measures a TIFF, camera-raw or RAF file on the device by following its
// image file directories, types it by its camera maker, and names and tags
// it after the camera.
class FileTIFAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kRafType = 89;

    FileTIFAnalyser() { analyserType = 64; }
    // 1 with the record's size set (0 when nothing could be measured).
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
    // The walk: the file's size in bytes, 0 when it cannot be read.
    uint64_t GetTiffSize(CRawFileInfo& info, IStorageDevice* device);
};
