#include "RawUtility.h"

#include <cstring>

#include "ByteOrder.h"

namespace BruteForce {

int RawUtility::FindMagicInBuffer(const unsigned char* buffer, int length, int backOffset,
                                  const unsigned char* pattern, int patternLength) {
    if (buffer == nullptr || pattern == nullptr || patternLength < 1 || pattern[0] == 0)
        return 0;
    const int from = length - backOffset;
    for (int at = from; at >= 0; --at) {
        if (buffer[at] == pattern[0] && std::memcmp(buffer + at + 1, pattern + 1,
                                                    static_cast<size_t>(patternLength - 1)) == 0) {
            return at + patternLength;
        }
    }
    return 0;
}

int RawUtility::Binary_Compare(const unsigned char* buffer, int length) {
    if (buffer == nullptr)
        return 0;
    int end = length;
    while (end > 0 && buffer[end - 1] == 0)
        --end;
    return end;
}

uint32_t RawUtility::EXIF_Get32s(const unsigned char* p, bool littleEndian) {
    return littleEndian ? ReadLE32(p) : ReadBE32(p);
}

uint16_t RawUtility::EXIF_Get16s(const unsigned char* p, bool littleEndian) {
    return littleEndian ? ReadLE16(p) : ReadBE16(p);
}

}  // namespace BruteForce
