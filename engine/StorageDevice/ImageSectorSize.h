#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Reads `length` bytes at byte `offset` of an image; false when they are not all there.
using ImageReader = std::function<bool(uint64_t offset, uint8_t* buffer, size_t length)>;

// The sector size an image file was made with. A file carries no sector size
// of its own, but what it holds says which one it had: the bytes-per-sector
// field of a volume's boot sector (exFAT, FAT, NTFS) at its start, where a
// GUID partition table's header lies, or the sector size the boot sector at
// an MBR partition's start declares and is found with. 512 when nothing says
// otherwise.
uint32_t ImageSectorSize(const ImageReader& read);
// The same for an open image file.
uint32_t ImageFileSectorSize(int fd);
