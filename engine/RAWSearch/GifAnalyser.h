#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// GIF pictures (87a and 89a), measured while the scan streams past them by
// walking their blocks and data sub-blocks up to the trailer.
class CGifAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 30;

    class CGifFileInfo : public CRawFileInfo {
    public:
        static constexpr int64_t kMaxSize = 0xD000000;

        CGifFileInfo() { fileType = kType; }
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        uint64_t offset = 0;  // the next byte to read; 0 before the header
        bool firstCall = true;
        bool inSubBlocks = false;
    };

    CGifAnalyser() { analyserType = 0xFFFFFFFF; }
    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace BruteForce
