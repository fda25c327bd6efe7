#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// Raw AAC streams in ADTS framing, measured frame by frame while the scan
// streams past them.
class CADTSAnalyser : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 45;
    static constexpr int kFramesToMatch = 5;

    class CADTSRawFileInfo : public CRawFileInfo {
    public:
        explicit CADTSRawFileInfo(bool overflow) : overflow_(overflow) {}
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        uint64_t bytesSeen = 0;
        uint64_t frames = 0;

    private:
        // Its header test ran out of data before it saw enough frames.
        bool overflow_;
    };

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
    ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
    int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                        long long sectorNumber, long long windowStart,
                        long long windowEnd) override;

    // The length of the ADTS frame at `header`, 0 when it is none.
    static uint32_t FrameLength(const uint8_t* header);

private:
    // The last header test matched only because the data in memory ran out;
    // the record made from it carries that along.
    bool overflow_ = false;
};

}  // namespace BruteForce
