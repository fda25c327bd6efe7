#pragma once

#include <algorithm>
#include <cstdint>

#include "RawFileAnalyser.h"

// Whether a streaming record can read `need` bytes at `at` (relative to the
// sector it is shown; negative reaches into the sector before). Bytes past
// the sector are only the file's while the next sector is in memory;
// otherwise the read waits for the next call, where they begin in the
// sector before.
enum class StreamReach { kHere, kLater, kGone };

inline StreamReach ReachOf(int64_t at, int64_t need, int sectorSize, long long sectorNumber,
                           const CRawFileInfo::SearchContext& context) {
    if (at < 0 && (at < -int64_t{sectorSize} || sectorNumber - 1 < context.windowStart))
        return StreamReach::kGone;
    if (at + need > sectorSize && sectorNumber + 1 >= context.windowEnd)
        return StreamReach::kLater;
    return StreamReach::kHere;
}

// True when a frame that starts within the `before` bytes in memory ahead of
// `at` (at most `most` bytes back) ends exactly at `at`: then `at` is the
// middle of a stream, not the start of one. `frame` answers whether a frame
// starts at a position and how long it is.
template <class FrameTest>
bool FollowsAFrame(const uint8_t* at, long long before, long long most, FrameTest frame) {
    const long long limit = std::min(before, most);
    for (long long back = 1; back <= limit; ++back) {
        uint32_t length = 0;
        if (at[-back] == 0xFF && frame(at - back, length) && length == back)
            return true;
    }
    return false;
}
