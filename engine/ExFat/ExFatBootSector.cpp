#include "ExFatBootSector.h"

#include <cstring>

#include "LittleEndian.h"

namespace {

uint64_t ReadLE64(const uint8_t* p) {
    return uint64_t{ReadLE32(p)} | (uint64_t{ReadLE32(p + 4)} << 32);
}

}  // namespace

uint64_t CExFatDBR::GetVolumeLength() const {
    return ReadLE64(sector_ + 72);
}
uint32_t CExFatDBR::GetFatOffset() const {
    return ReadLE32(sector_ + 80);
}
uint32_t CExFatDBR::GetFatLength() const {
    return ReadLE32(sector_ + 84);
}
uint32_t CExFatDBR::GetClusterHeapOffset() const {
    return ReadLE32(sector_ + 88);
}
uint32_t CExFatDBR::GetClusterCount() const {
    return ReadLE32(sector_ + 92);
}
uint32_t CExFatDBR::GetRootCluster() const {
    return ReadLE32(sector_ + 96);
}
uint16_t CExFatDBR::GetVolumeFlags() const {
    return ReadLE16(sector_ + 106);
}

uint32_t CExFatDBR::GetSectorSize() const {
    return GetBytesPerSectorShift() < 32 ? 1u << GetBytesPerSectorShift() : 0;
}

uint32_t CExFatDBR::GetSectorsPerCluster() const {
    return GetSectorsPerClusterShift() < 32 ? 1u << GetSectorsPerClusterShift() : 0;
}

bool CExFatDBR::IsValid(uint32_t deviceSectorSize) const {
    if (sector_[510] != 0x55 || sector_[511] != 0xAA)
        return false;
    if (std::memcmp(sector_ + 3, "EXFAT   ", 8) != 0)
        return false;
    for (int i = 11; i < 64; ++i) {
        if (sector_[i] != 0)
            return false;
    }
    const uint32_t sectorShift = GetBytesPerSectorShift();
    const uint32_t clusterShift = GetSectorsPerClusterShift();
    if (sectorShift < 9 || sectorShift > 12 || (1u << sectorShift) != deviceSectorSize)
        return false;
    if (sectorShift + clusterShift > 25)
        return false;
    if (GetNumberOfFats() != 1 && GetNumberOfFats() != 2)
        return false;
    const uint64_t length = GetVolumeLength();
    if (GetFatLength() == 0 || GetClusterHeapOffset() == 0 || GetFatOffset() == 0 || length == 0)
        return false;
    if (GetClusterCount() == 0 || GetRootCluster() < 2)
        return false;
    if (GetFatOffset() > length || GetClusterHeapOffset() > length)
        return false;
    if (uint64_t{GetFatOffset()} + GetFatLength() > GetClusterHeapOffset())
        return false;
    return ((uint64_t{GetClusterCount()} - 1) << clusterShift) + GetClusterHeapOffset() <= length;
}
