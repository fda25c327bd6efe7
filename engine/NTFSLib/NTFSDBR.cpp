#include "NTFSDBR.h"

#include <cassert>
#include <cstring>
#include <initializer_list>

#include "ByteOrder.h"

namespace {
constexpr char kOemId[] = "NTFS    ";
}

bool CNTFSDBR::IsValidDBR(const uint8_t* buffer) {
    return buffer != nullptr && std::memcmp(buffer + 3, kOemId, 8) == 0;
}

bool CNTFSDBR::IsFullValidDBR(const uint8_t* buffer) {
    if (!IsValidDBR(buffer)) {
        return false;
    }
    const uint16_t bytesPerSector = ReadLE16(buffer + 11);
    if (bytesPerSector == 0 || bytesPerSector % 512 != 0) {
        return false;
    }
    if (ReadLE16(buffer + 14) != 0) {
        return false;
    }
    const uint8_t spc = buffer[13];
    if (spc == 0 || spc > 128 || (spc & (spc - 1)) != 0) {
        return false;
    }
    for (int offset : {16, 17, 18, 19, 20, 22, 23, 32, 33, 34, 35}) {
        if (buffer[offset] != 0) {
            return false;
        }
    }
    return buffer[510] == 0x55 && buffer[511] == 0xAA;
}

bool CNTFSDBR::InitFromBuffer(const uint8_t* buffer) {
    if (!IsFullValidDBR(buffer)) {
        return false;
    }
    std::memcpy(sector_, buffer, kSize);
    return true;
}

void CNTFSDBR::GetFileSystemID(char* id) const {
    assert(IsValidDBR(sector_) && "IsValidDBR()");
    std::memcpy(id, sector_ + 3, 8);
}

uint32_t CNTFSDBR::GetBytesPerSector() const {
    return ReadLE16(sector_ + 11);
}

uint32_t CNTFSDBR::GetFileRecordSizeByByte() const {
    const uint8_t b = sector_[64];
    if (b & 0x80) {
        return 1u << ((256 - b) % 32);
    }
    if (b == 0) {
        return 1024;
    }
    return uint32_t{b} * GetSectorsperCluster() * GetBytesPerSector();
}

int64_t CNTFSDBR::GetMFTStartCluster() const {
    return static_cast<int64_t>(ReadLE64(sector_ + 48));
}

int64_t CNTFSDBR::GetMFTMirrorStartCluster() const {
    return static_cast<int64_t>(ReadLE64(sector_ + 56));
}

int64_t CNTFSDBR::GetTotalSectors() const {
    return static_cast<int64_t>(ReadLE64(sector_ + 40));
}

uint64_t CNTFSDBR::GetSerialNumber() const {
    return ReadLE64(sector_ + 72);
}
