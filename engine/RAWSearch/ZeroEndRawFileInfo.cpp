#include "ZeroEndRawFileInfo.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kZeroTailCap = 32;

bool AllZero(const unsigned char* bytes, int length) {
    for (int i = 0; i < length; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

}  // namespace

int CZeroEndRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long,
                                     SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    if (size < resumePosition) {
        size += sectorSize;
        return 2;
    }
    const uint32_t zeros = context.trailingZeroBytes;
    if (zeros == 0) {
        size += sectorSize;
        return 2;
    }
    size += zeros < static_cast<uint32_t>(sectorSize) ? EndInSector(sector, sectorSize, zeros)
                                                      : sectorSize;
    if (maxSize != 0 && static_cast<uint64_t>(size) > maxSize)
        size = static_cast<int64_t>(maxSize);
    if (endPatternLength == 0)
        return 1;
    return SearchEndPattern(sector, sectorSize);
}

int64_t CZeroEndRawFileInfo::EndInSector(const unsigned char* sector, int sectorSize,
                                         uint32_t zeros) const {
    if (zeros < kZeroTailCap)
        return sectorSize - static_cast<int64_t>(zeros);
    const int64_t length = std::clamp(recordLength, 1, 4);
    const int64_t body = sectorSize - static_cast<int64_t>(kZeroTailCap);
    int64_t lo = 0;
    int64_t hi = body / length;
    while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (!AllZero(sector + mid * length, static_cast<int>(length)))
            lo = mid;
        else
            hi = mid;
    }
    int64_t end = std::min<int64_t>((std::max(lo, hi) + 1) * length, sectorSize);
    while (end > 0 && sector[end - 1] == 0)
        --end;
    return end;
}

int CZeroEndRawFileInfo::SearchEndPattern(const unsigned char* sector, int sectorSize) {
    const int64_t length = std::min<int64_t>(endPatternLength, kMaxEndPattern);
    const int64_t within = size % sectorSize;
    const int64_t from = std::max<int64_t>(within - length, 0);
    const int64_t to = std::min<int64_t>(within + length, sectorSize);
    for (int64_t i = from; i < to; ++i) {
        if (i + length <= sectorSize && std::memcmp(sector + i, endPattern, length) == 0) {
            size = size - within + i + length;
            return 1;
        }
    }
    resumePosition = size - within + sectorSize;
    return 2;
}
