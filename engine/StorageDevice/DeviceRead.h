#pragma once

#include <cstddef>
#include <cstdint>

#include "ResultCode.h"

// Copies `path` with its terminator into `field` of `size` bytes; false (and
// nothing copied) when it does not fit.
bool CopyPathField(char* field, size_t size, const char* path);

// Opens a node read-only and measures it (an image file by the sector size of
// what it holds). On failure answers the code and sets
// `permissionDenied` when the caller lacks the rights.
struct OpenedNode {
    int fd = -1;
    uint32_t sectorSize = 512;
    int64_t sectorCount = 0;
};
RESULT_CODE OpenNode(const char* path, OpenedNode& node, bool& permissionDenied);

// Reads `count` sectors from sector `first` of a descriptor whose sector 0 lies
// at byte `base`: bad arguments are kind 5, a read cut short by the end of the
// file or device kind 0x0E, any other failed read kind 1.
RESULT_CODE ReadDescriptorSectors(int fd, int64_t base, uint32_t sectorSize, void* buffer,
                                  int64_t first, int64_t count);

// True when a record's geometry is one a device can take over.
bool IsUsableGeometry(uint64_t sectorSize, int64_t sectorCount);
