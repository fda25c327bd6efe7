#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class IStorageDevice;

namespace apfs {

// Reads `length` bytes at byte `offset` of the device through the whole
// sectors that hold them, whatever the sector size; false when any of them
// cannot be read or the range overflows.
bool ReadDeviceBytes(IStorageDevice* device, uint64_t offset, size_t length, uint8_t* out,
                     std::vector<uint8_t>& scratch);

// Reads one 4096-byte block of the container that begins at `startSector`.
bool ReadContainerBlock(IStorageDevice* device, uint64_t startSector, uint64_t block, uint8_t* out,
                        std::vector<uint8_t>& scratch);

// The object maps of the container's checkpoints, newest first: the one of
// the superblock in hand, then those of the other container superblocks kept
// in the checkpoint-descriptor area (valid checksum, older transaction), by
// descending transaction; at most 32, each once. `readBlock` reads a
// container-relative block into a 4096-byte buffer.
using BlockReader = std::function<bool(uint64_t block, uint8_t* out)>;
std::vector<uint64_t> CheckpointObjectMaps(const uint8_t* superblock, const BlockReader& readBlock);

}  // namespace apfs
