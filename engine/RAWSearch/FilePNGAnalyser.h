#pragma once

#include "RawFileAnalyser.h"

// Measures a PNG picture by stepping over its chunks on the device, for the
// pictures whose end the streaming walk did not reach.
class FilePNGAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0x1400000;

    FilePNGAnalyser() { analyserType = 51; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
