#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// Advanced Systems Format files (WMA, WMV, ASF), measured by walking their
// top-level objects while the scan streams past them and typed by the
// kinds of streams their header declares.
class CAsfAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kAsf = 6;
    static constexpr RAW_FILE_TYPE kWma = 7;
    static constexpr RAW_FILE_TYPE kWmv = 8;
    static constexpr uint64_t kMostBytes = 0x1964000000;

    // Header Object, Video Media, Audio Media, Stream Properties, File
    // Properties, then the five objects that may follow the header.
    static const uint8_t ucHeaderObjectHeaderID[10][16];

    class CAsfRawFileInfo : public CRawFileInfo {
    public:
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        uint64_t bytesSeen = 0;
        uint64_t nextTopLevelObject = 0;
        uint64_t headerEnd = 0;
        uint64_t nextHeaderObject = 0;
        int32_t mediaStreams = 0;
        int32_t videoStreams = 0;
        int32_t otherStreams = 0;

    private:
        bool started_ = false;
    };

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return new CAsfRawFileInfo(); }

    static bool CompareGUID(const uint8_t* a, const uint8_t* b);
};

}  // namespace BruteForce
