#pragma once

#include <cstdint>

// Opens a node read-only (never for writing). Answers the descriptor, or -1
// with errno set.
int OpenBlockDeviceReadOnly(const char* path);

// Logical sector size and size in bytes of an open node: the kernel's answer
// for a block device, 512 and the file length for a regular file.
struct BlockDeviceGeometry {
    uint32_t sectorSize = 512;
    uint64_t sizeBytes = 0;
};
bool QueryBlockDeviceGeometry(int fd, BlockDeviceGeometry& geometry);

// True for errno values that mean the caller lacks the rights to open a node.
bool IsPermissionError(int error);
