#pragma once

#include "RawFileAnalyser.h"

// Measures a JPEG picture on the device, for the pictures whose end the
// streaming walk did not reach, and names it after its camera.
class FileJPGAnalyser : public IRawFileAnalyser {
public:
    // How far a picture is followed: pictures with a "JFIF" header, others.
    static constexpr uint64_t kJfifLimit = 0x1A000000;
    static constexpr uint64_t kLimit = 0xD000000;

    FileJPGAnalyser() { analyserType = 35; }
    // 1 with the size set, 0 when no picture could be measured.
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
