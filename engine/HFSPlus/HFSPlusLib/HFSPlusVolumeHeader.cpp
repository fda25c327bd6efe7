#include "HFSPlusVolumeHeader.h"

#include <cstring>

#include "HFSPlusEndian.h"
#include "HFSPlusFormat.h"

namespace {

constexpr uint16_t kMostVersion = 16;

bool IsValidBlockSize(uint32_t size) {
    return size >= 512 && (size & (size - 1)) == 0;
}

}  // namespace

bool IsValidHFSPlusVolumeHeader(const unsigned char* buffer, unsigned short length) {
    if (buffer == nullptr || length < sizeof(HFSPlusVolumeHeader))
        return false;
    HFSPlusVolumeHeader header;
    std::memcpy(&header, buffer, sizeof(header));
    flipVolumeHeader(&header);
    if (header.signature != kHFSPlusSigWord && header.signature != kHFSXSigWord)
        return false;
    // Every later offset divides by or multiplies with the block size.
    if (!IsValidBlockSize(header.blockSize))
        return false;
    if (header.version > kMostVersion)
        return false;
    if (header.freeBlocks > header.totalBlocks || header.journalInfoBlock > header.totalBlocks)
        return false;
    return uint64_t{header.blockSize} * header.catalogFile.totalBlocks ==
           header.catalogFile.logicalSize;
}
