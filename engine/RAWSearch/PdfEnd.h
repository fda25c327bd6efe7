#pragma once

#include <cstdint>
#include <cstring>

// The end-of-file marker that closes a PDF and the line end after it.
namespace PdfEnd {

constexpr char kMarker[] = "%%EOF";
constexpr uint64_t kMarkerBytes = 5;

// Bytes of line end (CR LF, LF or CR) at `bytes`, of `length` readable.
inline uint64_t LineEnd(const uint8_t* bytes, uint64_t length) {
    if (length >= 1 && bytes[0] == '\r')
        return length >= 2 && bytes[1] == '\n' ? 2 : 1;
    return length >= 1 && bytes[0] == '\n' ? 1 : 0;
}

inline bool IsMarker(const uint8_t* bytes) {
    return bytes[0] == '%' && std::memcmp(bytes, kMarker, kMarkerBytes) == 0;
}

}  // namespace PdfEnd
