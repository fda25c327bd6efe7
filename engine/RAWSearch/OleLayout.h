#pragma once

#include <cstdint>

// What a compound file's header says about its layout. Sector number k
// starts at byte (k + 1) x the sector size; the header fills sector -1.
struct OleLayout {
    static constexpr uint32_t kHeaderFatEntries = 109;
    // Numbers from here on mark free sectors, chain ends and the like.
    static constexpr uint32_t kLastRegularSector = 0xFFFFFFF9;

    uint32_t sectorBytes = 512;
    uint32_t firstDirectory = 0;
    uint32_t firstDifat = 0;

    // Reads the first 512 bytes of the header.
    static OleLayout Read(const uint8_t* header);
    static bool IsSector(uint32_t number) { return number <= kLastRegularSector; }

    uint32_t EntriesPerSector() const { return sectorBytes / 4; }
    uint64_t OffsetOf(uint32_t number) const { return (uint64_t{number} + 1) * sectorBytes; }
    // One past the last entry of a FAT sector that is not free (0 when all are).
    uint32_t UsedEntries(const uint8_t* fatSector) const;
    // The file size a table of `fatSectors` sectors implies when the last of
    // them has `used` entries in use: the sectors before it, its used ones
    // and the header.
    uint64_t SizeFor(uint64_t fatSectors, uint64_t used) const {
        return ((fatSectors - 1) * EntriesPerSector() + used + 1) * sectorBytes;
    }
};
