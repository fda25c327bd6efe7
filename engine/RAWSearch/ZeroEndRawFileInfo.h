#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

// A streaming record for formats whose data is followed by a run of zero
// bytes: the file ends in the first sector that ends in zeros, one byte after
// its last nonzero byte (or just after an end pattern near there).
class CZeroEndRawFileInfo : public CRawFileInfo {
public:
    static constexpr int kMaxEndPattern = 80;

    bool WhetherImplementGuess() override { return true; }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                    SearchContext& context) override;

    uint64_t maxSize = 0;
    int32_t recordLength = 1;  // 1 to 4 bytes
    int64_t resumePosition = 0;
    uint8_t endPattern[kMaxEndPattern] = {};
    uint16_t endPatternLength = 0;

private:
    // Where the data ends in a sector whose last `zeros` bytes are zero.
    int64_t EndInSector(const unsigned char* sector, int sectorSize, uint32_t zeros) const;
    int SearchEndPattern(const unsigned char* sector, int sectorSize);
};
