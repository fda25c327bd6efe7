#include "JpegWalk.h"

#include "ByteOrder.h"

namespace {

constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kApp1 = 0xE1;

}  // namespace

// One segment at `offset`; kMore with `offset` moved past it, or unmoved
// when its header is not wholly readable.
JpegWalk::Step JpegWalk::Segment(const RawSpan& span) {
    const uint8_t* p = span.bytes;
    if (span.count < 2)
        return Step::kMore;
    if (p[0] != 0xFF)
        return Step::kLost;
    const uint8_t marker = p[1];
    ++markers;
    if (marker == 0xFF) {  // fill byte
        offset += 1;
        return Step::kMore;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
        offset += 2;
        return Step::kMore;
    }
    if (marker == kEoi) {
        end = offset + 2;
        return Step::kEnd;
    }
    if (marker < 0xC0)
        return Step::kLost;
    if (span.count < 4)
        return Step::kMore;
    const uint32_t length = ReadBE16(p + 2);
    if (length < 2)
        return Step::kLost;
    if (IsSof(marker)) {
        if (span.count < 10)
            return Step::kMore;
        if (!sofSeen) {
            sofSeen = true;
            precision = p[4];
            height = ReadBE16(p + 5);
            width = ReadBE16(p + 7);
            sofComponents = p[9];
        }
    } else if (marker == kSos) {
        if (span.count < 5)
            return Step::kMore;
        if (!sofSeen)
            sosBeforeSof = true;
        if (sosComponents == 0)
            sosComponents = p[4];
        inScan = true;
    } else if (marker == kApp1 && exifAt == 0 && span.count >= 10 &&
               std::memcmp(p + 4, "Exif\0\0", 6) == 0) {
        exifAt = offset + 4;
        exifLength = length;
    }
    offset += 2 + uint64_t{length};
    return Step::kMore;
}
