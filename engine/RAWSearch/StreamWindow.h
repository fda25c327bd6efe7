#pragma once

#include <algorithm>
#include <cstdint>

#include "RawFileAnalyser.h"

// Readable bytes of a file: `bytes` points at the asked offset and `count`
// bytes are readable from there (0 and null when none).
struct RawSpan {
    const uint8_t* bytes = nullptr;
    uint64_t count = 0;
};

// The bytes a streaming record may read in one call, as offsets in its file:
// the raw search's buffer holds the previous block, the current one up to
// the context's window end, and zeros after it.
class StreamWindow {
public:
    StreamWindow(const unsigned char* sector, int sectorSize, long long sectorNumber,
                 int64_t startSector, const CRawFileInfo::SearchContext& context)
        : sector_(sector),
          pos_((sectorNumber - startSector) * sectorSize),
          low_(std::max<int64_t>(0, pos_ - (sectorNumber - context.windowStart) * sectorSize)),
          high_(pos_ + std::max<int64_t>(1, context.windowEnd - sectorNumber) * sectorSize) {}

    // The sector's offset in the file.
    int64_t Position() const { return pos_; }
    RawSpan At(uint64_t offset) const {
        const int64_t at = static_cast<int64_t>(offset);
        if (at < low_ || at >= high_)
            return {};
        return {sector_ + (at - pos_), static_cast<uint64_t>(high_ - at)};
    }

private:
    const unsigned char* sector_;
    int64_t pos_;
    int64_t low_;
    int64_t high_;
};
