#include "FATTableAnalyser.h"

#include <cassert>

#include "LittleEndian.h"

bool CFATTableAnalyser::IsValidFATTableFirstSector(const uint8_t* sector, int sectorSize,
                                                   enumFILE_SYSTEM_TYPE& type) {
    assert(sector != nullptr && "pSectorBuffer != NULL");
    if (sectorSize < 8) {
        return false;
    }
    if ((ReadLE32(sector) & 0x0FFFFFF0) == 0x0FFFFFF0 &&
        (ReadLE32(sector + 4) & 0x07FFFFF8) == 0x07FFFFF8) {
        type = FILE_SYSTEM_FAT32;
        return true;
    }
    if ((ReadLE32(sector) & 0x7FFFFFF8) == 0x7FFFFFF8) {
        type = FILE_SYSTEM_FAT16;
        return true;
    }
    return false;
}
