#pragma once

#include <cstdint>

// Does `buffer` (at least 512 bytes, big-endian) hold an HFS+ or HFSX volume
// header: signature, block size a power of two from 512, version at most 16,
// free blocks and journal info block within the volume, and a catalog whose
// logical size is its blocks times the block size.
bool IsValidHFSPlusVolumeHeader(const unsigned char* buffer, unsigned short length);
