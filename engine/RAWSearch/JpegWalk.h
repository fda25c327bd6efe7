#pragma once

#include <cstdint>
#include <cstring>

#include "StreamWindow.h"

// Follows a JPEG picture to its end: marker segments by their lengths, then
// the entropy-coded data byte by byte (stuffed FF 00, restart markers and
// fill bytes are data) up to the end-of-image marker. Tables and further
// scans of progressive pictures between the scans are segments again.
class JpegWalk {
public:
    enum class Step {
        kMore,  // the bytes needed next are not readable (yet)
        kEnd,   // `end` holds the picture's size
        kLost,  // the bytes at `offset` are no JPEG structure
    };

    // Walks while the next byte to examine lies before `limit`. `read(offset)`
    // answers the RawSpan at that offset.
    template <class Reader>
    Step Advance(Reader&& read, uint64_t limit);

    // With this set the walk pauses (kMore) once a scan's data begins.
    bool pauseAtScan = false;

    uint64_t offset = 2;  // the next byte to examine; the SOI lies before it
    uint64_t end = 0;
    bool inScan = false;
    bool sofSeen = false;
    bool sosBeforeSof = false;
    uint8_t precision = 0;
    uint8_t sofComponents = 0;
    uint8_t sosComponents = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t exifAt = 0;      // the first APP1 "Exif" identifier, 0 when none
    uint32_t exifLength = 0;  // its segment's length field
    uint32_t markers = 0;

private:
    static bool IsSof(uint8_t marker) {
        return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
               marker != 0xCC;
    }
    Step Segment(const RawSpan& span);
};

template <class Reader>
JpegWalk::Step JpegWalk::Advance(Reader&& read, uint64_t limit) {
    while (offset < limit) {
        const RawSpan span = read(offset);
        if (span.bytes == nullptr || span.count == 0)
            return Step::kMore;
        if (!inScan) {
            const uint64_t before = offset;
            const Step step = Segment(span);
            if (step != Step::kMore || offset == before)
                return step;
            if (inScan && pauseAtScan)
                return Step::kMore;
            continue;
        }
        const auto* ff = static_cast<const uint8_t*>(std::memchr(span.bytes, 0xFF, span.count));
        if (ff == nullptr) {
            offset += span.count;
            continue;
        }
        const uint64_t at = static_cast<uint64_t>(ff - span.bytes);
        offset += at;
        if (at + 1 >= span.count)
            return Step::kMore;  // the byte after FF is not readable yet
        const uint8_t next = ff[1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
            offset += 2;
        } else if (next == 0xFF) {
            offset += 1;
        } else if (next == 0xD9) {
            end = offset + 2;
            return Step::kEnd;
        } else {
            inScan = false;  // a table or the next scan's header
        }
    }
    return Step::kMore;
}
