#include "OleLayout.h"

#include "ByteOrder.h"

OleLayout OleLayout::Read(const uint8_t* header) {
    OleLayout layout;
    // Version 4 files have 4096-byte sectors; anything else is read as 512.
    if (ReadLE16(header + 26) == 4 && ReadLE16(header + 30) == 12)
        layout.sectorBytes = 4096;
    layout.firstDirectory = ReadLE32(header + 48);
    layout.firstDifat = ReadLE32(header + 68);
    return layout;
}

uint32_t OleLayout::UsedEntries(const uint8_t* fatSector) const {
    for (uint32_t entry = EntriesPerSector(); entry > 0; --entry) {
        if (ReadLE32(fatSector + (entry - 1) * 4) != 0xFFFFFFFF)
            return entry;
    }
    return 0;
}
