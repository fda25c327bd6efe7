#pragma once

#include <cstdint>

// Entry types of an exFAT folder and the checks of single 32-byte entries
// shared by the folder walk and the search of lost folders.
constexpr uint8_t kExFatEndOfFolder = 0x00;
constexpr uint8_t kExFatBitmap = 0x81;
constexpr uint8_t kExFatUpCase = 0x82;
constexpr uint8_t kExFatLabel = 0x83;
constexpr uint8_t kExFatFile = 0x85;
constexpr uint8_t kExFatStream = 0xC0;
constexpr uint8_t kExFatName = 0xC1;
constexpr uint8_t kExFatInUse = 0x80;
constexpr uint8_t kExFatSecondary = 0x40;
constexpr uint8_t kExFatBenign = 0x20;
constexpr uint32_t kExFatEntrySize = 32;
constexpr uint32_t kExFatNameCharsPerEntry = 15;
constexpr uint16_t kExFatDirectoryAttribute = 0x10;
constexpr uint32_t kExFatLastCluster = 0xFFFFFFF5;  // highest usable cluster number

// The type without its in-use bit: 0x05 file, 0x40 stream, 0x41 name, 0x03 label.
constexpr uint8_t ExFatBaseType(uint8_t type) {
    return type & 0x7F;
}

// A file entry: no benign or secondary bit, 2 to 18 secondaries, plausible
// times, 10-ms increments up to 199, reserved bytes zero.
bool IsValidFileEntry(const uint8_t* entry);
// A name entry: secondary, flags zero, a first character, allowed characters.
bool IsValidNameEntry(const uint8_t* entry);
// A volume label: at most 11 allowed characters, the rest of the entry zero.
bool IsValidLabelEntry(const uint8_t* entry);
// The stream extension's reserved fields are all zero.
bool StreamReservedFieldsClear(const uint8_t* entry);

struct ExFatStream {
    uint8_t flags = 0;
    uint8_t nameLength = 0;
    uint64_t validLength = 0;
    uint32_t firstCluster = 0;
    uint64_t dataLength = 0;
    bool NoFatChain() const { return (flags & 2) != 0; }
};
ExFatStream ReadStreamEntry(const uint8_t* entry);

// The exFAT entry-set checksum over `bytes` bytes (the checksum field skipped).
uint16_t ExFatSetChecksum(const uint8_t* entries, uint32_t bytes);
