#pragma once

#include <cstdint>

namespace BruteForce {

// Byte searches and number reads the streaming records share.
class RawUtility {
public:
    // Searches backwards from position length - backOffset down to 0 for a
    // pattern whose first byte is nonzero; answers the position just past the
    // match, or 0 when there is none (or length - backOffset is negative).
    // The pattern may run past length - backOffset: the caller keeps
    // patternLength bytes readable from that position on.
    static int FindMagicInBuffer(const unsigned char* buffer, int length, int backOffset,
                                 const unsigned char* pattern, int patternLength);
    // The number of bytes before the buffer's trailing run of zero bytes
    // (0 for an all-zero buffer).
    static int Binary_Compare(const unsigned char* buffer, int length);
    static uint32_t EXIF_Get32s(const unsigned char* p, bool littleEndian);
    static uint16_t EXIF_Get16s(const unsigned char* p, bool littleEndian);
};

}  // namespace BruteForce
