#pragma once

#include <cstdint>

// Unaligned reads of on-disk integers in a fixed byte order.
inline uint16_t ReadLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint64_t ReadLE64(const uint8_t* p) {
    return ReadLE32(p) | uint64_t{ReadLE32(p + 4)} << 32;
}
inline uint16_t ReadBE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t ReadBE32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
inline uint64_t ReadBE64(const uint8_t* p) {
    return uint64_t{ReadBE32(p)} << 32 | ReadBE32(p + 4);
}
