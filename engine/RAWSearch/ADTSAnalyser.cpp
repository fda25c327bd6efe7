#include "ADTSAnalyser.h"

#include <new>

#include "StreamReach.h"

namespace BruteForce {

namespace {
constexpr int64_t kHeaderBytes = 9;
constexpr long long kMostFrameBytes = 8191;
}  // namespace

uint32_t CADTSAnalyser::FrameLength(const uint8_t* header) {
    if (((header[0] << 8) | header[1]) < 0xFFF0 || ((header[1] >> 1) & 3) != 0)
        return 0;
    return (uint32_t{header[3]} & 3) << 11 | uint32_t{header[4]} << 3 | header[5] >> 5;
}

uint32_t CADTSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    info.fileType = kType;
    return 1;
}

int CADTSAnalyser::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                                   long long sectorNumber, long long windowStart,
                                   long long windowEnd) {
    overflow_ = false;
    if (sector == nullptr || sectorSize <= 0)
        return 0;
    // A frame of a stream already passed may end where this sector starts.
    const long long before = std::max(0LL, sectorNumber - windowStart) * sectorSize;
    if (FollowsAFrame(sector, before, kMostFrameBytes, [](const uint8_t* at, uint32_t& length) {
            length = FrameLength(at);
            return length != 0;
        })) {
        return 0;
    }
    const long long buffered = (windowEnd - sectorNumber) * sectorSize;
    int frames = 0;
    for (long long offset = 0; offset + kHeaderBytes <= buffered;) {
        const uint32_t length = FrameLength(sector + offset);
        if (length == 0)
            return 0;
        if (++frames == kFramesToMatch) {
            info.fileType = kType;
            return 1;
        }
        offset += length;
    }
    if (frames == 0)
        return 0;
    overflow_ = true;
    info.fileType = kType;
    return 1;
}

CRawFileInfo* CADTSAnalyser::CreateRawFileInfo() {
    auto* record = new (std::nothrow) CADTSRawFileInfo(overflow_);
    overflow_ = false;
    return record;
}

int CADTSAnalyser::CADTSRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                                 long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t sectorOffset = (sectorNumber - startSector) * sectorSize;
    bytesSeen = static_cast<uint64_t>(sectorOffset + sectorSize);
    while (static_cast<uint64_t>(size) < bytesSeen) {
        const int64_t at = size - sectorOffset;
        const StreamReach reach = ReachOf(at, kHeaderBytes, sectorSize, sectorNumber, context);
        if (reach == StreamReach::kLater)
            return 2;
        const uint32_t length = reach == StreamReach::kHere ? FrameLength(sector + at) : 0;
        if (length == 0) {
            // A stream of proven frames ends after its last one, whatever
            // follows it; a shorter one only where zeros follow.
            const bool proven = frames >= kFramesToMatch;
            if (!proven && (context.trailingZeroBytes == 0 || overflow_))
                size = 0;
            return 1;
        }
        ++frames;
        size += length;
    }
    return 2;
}

}  // namespace BruteForce
