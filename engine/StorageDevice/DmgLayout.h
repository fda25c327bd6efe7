#pragma once

#include <cstdint>
#include <vector>

#include "ImageDevice.h"

// A run of an Apple disk image's sectors: stored raw at a byte offset of the
// file, or zeros that the file does not store (offset -1).
struct DmgRun {
    int64_t firstSector = 0;
    int64_t sectorCount = 0;
    int64_t fileOffset = -1;
};

// Where an image's sectors are. A plain sector copy has no runs: its sectors
// follow each other from the start of the file.
struct DmgLayout {
    bool udif = false;
    int64_t sectorCount = 0;
    std::vector<DmgRun> runs;  // by first sector, not overlapping
};

// Reads the trailer and block tables of the open image file `fd` of
// `fileSize` bytes. Every run is checked against the file and the image.
DmgRefusal ReadDmgLayout(int fd, int64_t fileSize, DmgLayout& layout);
