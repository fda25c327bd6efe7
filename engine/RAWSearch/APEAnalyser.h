#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// APE audio files: sized from the descriptor of newer files, or from the
// seek table and the zero bytes after the audio of older ones.
class CAPEAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 81;

    class CAPERawFileInfo : public CRawFileInfo {
    public:
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        uint64_t bytesSeen = 0;
        uint64_t seekBytesLeft = 0;
        uint32_t lastFrameOffset = 0;
        uint16_t version = 0;
        int32_t blockAlign = 4;

    private:
        // The descriptor of a file of version 3980 or later; 1 when done.
        int SizeFromDescriptor(const uint8_t* sector, int64_t buffered);
        // The header of an older file; the position of its seek table, or -1.
        int64_t ReadOldHeader(const uint8_t* sector);
        int ReadSeekTable(const uint8_t* sector, int sectorSize, int64_t from);
        // The end of the file in a sector that ends in zero bytes.
        int EndInZeroSector(const uint8_t* sector, int sectorSize);

        bool started_ = false;
        bool seekTable_ = false;  // the old-format seek table is being read
    };

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return new CAPERawFileInfo(); }
};

}  // namespace BruteForce
