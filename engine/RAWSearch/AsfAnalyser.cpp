#include "AsfAnalyser.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "StreamReach.h"

namespace BruteForce {

namespace {

enum Guid { kHeader, kVideoMedia, kAudioMedia, kStreamProperties, kFileProperties, kFirstTopLevel };
// GUID, object size, and the stream type of a Stream Properties Object.
constexpr int64_t kObjectBytes = 24;
constexpr int64_t kStreamTypeEnd = 40;
constexpr uint64_t kHeaderFields = 30;

}  // namespace

// In the file's byte order: the first three fields little-endian.
const uint8_t CAsfAnalyser::ucHeaderObjectHeaderID[10][16] = {
    {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
     0x6C},
    {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44,
     0x2B},
    {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44,
     0x2B},
    {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53,
     0x65},
    {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53,
     0x65},
    {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
     0x6C},
    {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11, 0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49,
     0xCB},
    {0xD3, 0x29, 0xE2, 0xD6, 0xDA, 0x35, 0xD1, 0x11, 0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49,
     0xBE},
    {0xF8, 0x03, 0xB1, 0xFE, 0xAD, 0x12, 0x64, 0x4C, 0x84, 0x0F, 0x2A, 0x1D, 0x2F, 0x7A, 0xD4,
     0x8C},
    {0xD0, 0x3F, 0xB7, 0x3C, 0x4A, 0x0C, 0x03, 0x48, 0x95, 0x3D, 0xED, 0xF7, 0xB6, 0x22, 0x8F,
     0x0C},
};

bool CAsfAnalyser::CompareGUID(const uint8_t* a, const uint8_t* b) {
    return std::memcmp(a, b, 16) == 0;
}

uint32_t CAsfAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo&) {
    return sector != nullptr && CompareGUID(sector, ucHeaderObjectHeaderID[kHeader]) ? 1 : 0;
}

int CAsfAnalyser::CAsfRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    if (!started_) {
        started_ = true;
        headerEnd = nextTopLevelObject = ReadLE64(sector + 16);
        nextHeaderObject = kHeaderFields;
    }
    const int64_t sectorOffset = (sectorNumber - startSector) * sectorSize;
    bytesSeen = static_cast<uint64_t>(sectorOffset + sectorSize);
    const auto& ids = ucHeaderObjectHeaderID;

    while (nextHeaderObject < bytesSeen && nextHeaderObject < headerEnd) {
        const int64_t at = static_cast<int64_t>(nextHeaderObject) - sectorOffset;
        const StreamReach reach = ReachOf(at, kStreamTypeEnd, sectorSize, sectorNumber, context);
        if (reach == StreamReach::kLater)
            return 2;
        if (reach == StreamReach::kGone)
            break;
        const uint8_t* object = sector + at;
        if (CompareGUID(object, ids[kStreamProperties])) {
            if (CompareGUID(object + kObjectBytes, ids[kVideoMedia])) {
                ++videoStreams;
                ++mediaStreams;
            } else if (CompareGUID(object + kObjectBytes, ids[kAudioMedia])) {
                ++mediaStreams;
            } else {
                ++otherStreams;
            }
        }
        const uint64_t objectSize = ReadLE64(object + 16);
        if (objectSize == 0)
            break;
        nextHeaderObject += objectSize;
    }

    while (nextTopLevelObject < bytesSeen) {
        const int64_t at = static_cast<int64_t>(nextTopLevelObject) - sectorOffset;
        const StreamReach reach = ReachOf(at, kObjectBytes, sectorSize, sectorNumber, context);
        if (reach == StreamReach::kLater)
            return 2;
        const uint8_t* object = reach == StreamReach::kHere ? sector + at : nullptr;
        const bool topLevel = object != nullptr &&
                              std::any_of(ids + kFirstTopLevel, ids + 10,
                                          [&](const auto& id) { return CompareGUID(object, id); });
        if (!topLevel) {
            size = static_cast<int64_t>(std::min(nextTopLevelObject, kMostBytes));
            if (otherStreams == 0 && videoStreams == 1)
                fileType = kWmv;
            else if (otherStreams == 0 && mediaStreams > 0)
                fileType = kWma;
            else
                fileType = kAsf;
            return 1;
        }
        const uint64_t objectSize = ReadLE64(object + 16);
        if (objectSize == 0)
            return 2;
        nextTopLevelObject += objectSize;
    }
    return 2;
}

}  // namespace BruteForce
