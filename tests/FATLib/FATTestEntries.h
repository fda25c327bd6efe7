#pragma once

// 32-byte folder entries built as they lie on disk, for the FAT test suites.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "LittleEndian.h"

namespace harbex::test {

using FATEntryBytes = std::array<uint8_t, 32>;

// A short entry: 11 name bytes, attribute, first cluster, size.
inline FATEntryBytes ShortEntry(const char* name11, uint8_t attribute, uint32_t cluster,
                                uint32_t size) {
    FATEntryBytes entry{};
    std::memcpy(entry.data(), name11, 11);
    entry[11] = attribute;
    WriteLE16(entry.data() + 20, static_cast<uint16_t>(cluster >> 16));
    WriteLE16(entry.data() + 26, static_cast<uint16_t>(cluster));
    WriteLE16(entry.data() + 28, static_cast<uint16_t>(size));
    WriteLE16(entry.data() + 30, static_cast<uint16_t>(size >> 16));
    return entry;
}

// A long-name piece with sequence byte `sequence` holding `text` (UTF-16
// code units), padded as on disk.
inline FATEntryBytes LongNamePiece(uint8_t sequence, const std::u16string& text) {
    FATEntryBytes entry{};
    entry[0] = sequence;
    entry[11] = 0x0F;
    const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (size_t i = 0; i < 13; ++i) {
        const uint16_t unit = i < text.size() ? text[i] : (i == text.size() ? 0 : 0xFFFF);
        WriteLE16(entry.data() + offsets[i], unit);
    }
    return entry;
}

}  // namespace harbex::test
