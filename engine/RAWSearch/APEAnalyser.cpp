#include "APEAnalyser.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"

namespace BruteForce {

namespace {

constexpr uint64_t kMostBytes = 0x82000000;
constexpr uint32_t kMostSeekEntry = 0x81FFFFFF;
constexpr uint32_t kMostTagBytes = 16777216;
constexpr uint32_t kMostTagItems = 65535;
constexpr uint16_t kDescriptorVersion = 3980;

// Bytes per sample times channels, or 0 for what APE files never hold.
int32_t BlockAlign(uint32_t bytesPerSample, uint32_t channels) {
    if (channels != 1 && channels != 2)
        return 0;
    return static_cast<int32_t>(bytesPerSample * channels);
}

}  // namespace

uint32_t CAPEAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    info.fileType = kType;
    return 1;
}

int CAPEAnalyser::CAPERawFileInfo::SizeFromDescriptor(const uint8_t* sector, int64_t buffered) {
    const int32_t descriptor = static_cast<int32_t>(ReadLE32(sector + 8));
    if (descriptor < 1 || descriptor + 24 > buffered)
        return 1;
    const uint8_t* header = sector + descriptor;
    blockAlign = BlockAlign(ReadLE16(header + 16) / 8u, ReadLE16(header + 18));
    if (blockAlign == 0)
        return 1;
    const uint64_t total = uint64_t{ReadLE32(sector + 24)} + ReadLE32(sector + 12) +
                           ReadLE32(sector + 16) + static_cast<uint64_t>(descriptor) +
                           ReadLE32(sector + 20) + ReadLE32(sector + 32);
    size = static_cast<int64_t>(std::min(total, kMostBytes));
    return 1;
}

int64_t CAPEAnalyser::CAPERawFileInfo::ReadOldHeader(const uint8_t* sector) {
    const uint16_t flags = ReadLE16(sector + 8);
    const uint16_t channels = ReadLE16(sector + 10);
    const uint32_t wavHeaderBytes = ReadLE32(sector + 16);
    int64_t end = 32;
    if (flags & 4)
        end += 4;  // peak level
    uint32_t seekElements = ReadLE32(sector + 24);
    if (flags & 16) {
        seekElements = ReadLE32(sector + end);
        end += 4;
    }
    if (wavHeaderBytes != 0)
        end += 44;
    const uint32_t bytesPerSample = (flags & 1) ? 1 : (flags & 8) ? 3 : 2;
    blockAlign = BlockAlign(bytesPerSample, channels);
    if (blockAlign == 0)
        return -1;
    const uint32_t first = ReadLE32(sector + end);
    if (first < 1 || first > kMostSeekEntry)
        return -2;
    seekBytesLeft = first;
    if (version < 3801)
        seekBytesLeft = seekBytesLeft > seekElements ? seekBytesLeft - seekElements : 0;
    return end;
}

int CAPEAnalyser::CAPERawFileInfo::ReadSeekTable(const uint8_t* sector, int sectorSize,
                                                 int64_t from) {
    const int64_t to = std::min<int64_t>(from + static_cast<int64_t>(seekBytesLeft), sectorSize);
    for (int64_t at = from; at + 4 <= to; at += 4) {
        const uint32_t entry = ReadLE32(sector + at);
        if (entry < 1 || entry > kMostSeekEntry)
            break;
        lastFrameOffset = std::max(lastFrameOffset, entry);
    }
    if (seekBytesLeft > static_cast<uint64_t>(sectorSize) + 4) {
        seekBytesLeft -= static_cast<uint64_t>(sectorSize);
        return 2;
    }
    seekTable_ = false;
    size = lastFrameOffset;
    return 2;
}

int CAPEAnalyser::CAPERawFileInfo::EndInZeroSector(const uint8_t* sector, int sectorSize) {
    int64_t zeros = 0;
    while (zeros < sectorSize && sector[sectorSize - 1 - zeros] == 0)
        ++zeros;
    const int64_t sectorStart = static_cast<int64_t>(bytesSeen) - sectorSize;
    for (int64_t at = sectorSize - 24; at >= 0; --at) {
        if (std::memcmp(sector + at, "APETAGEX", 8) != 0)
            continue;
        const uint32_t tagSize = ReadLE32(sector + at + 12);
        if (tagSize < 32 || tagSize - 32 > kMostTagBytes ||
            ReadLE32(sector + at + 16) > kMostTagItems) {
            continue;
        }
        const uint32_t flags = ReadLE32(sector + at + 20);
        const int64_t total = int64_t{tagSize} + ((flags & 0x80000000u) ? 32 : 0);
        const int64_t tagStart = (flags & 0x20000000u) ? at : at + 32 - total;
        size = sectorStart + tagStart + total;
        return 1;
    }
    int64_t data = static_cast<int64_t>(bytesSeen) - zeros;
    data = (data + blockAlign - 1) / blockAlign * blockAlign;
    size = data + blockAlign;
    return 1;
}

int CAPEAnalyser::CAPERawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    int64_t seekFrom = 0;
    if (!started_) {
        started_ = true;
        version = ReadLE16(sector + 4);
        if (version < 1000 || version > 9999)
            return 1;
        const int64_t buffered = (context.windowEnd - sectorNumber) * int64_t{sectorSize};
        if (version >= kDescriptorVersion)
            return SizeFromDescriptor(sector, buffered);
        seekFrom = ReadOldHeader(sector);
        if (seekFrom == -1)
            return 1;
        seekTable_ = seekFrom >= 0;
    }
    bytesSeen = static_cast<uint64_t>((sectorNumber - startSector + 1) * int64_t{sectorSize});
    if (bytesSeen >= kMostBytes || static_cast<uint64_t>(size) >= kMostBytes) {
        if (static_cast<uint64_t>(size) > kMostBytes) {
            size = static_cast<int64_t>(kMostBytes);
            return 1;
        }
        return 2;
    }
    if (size == 0) {
        if (seekTable_)
            return ReadSeekTable(sector, sectorSize, seekFrom);
        return 2;
    }
    if (bytesSeen < static_cast<uint64_t>(size) || blockAlign < 1)
        return 2;
    if (context.trailingZeroBytes < 1) {
        size = static_cast<int64_t>(bytesSeen);
        return 2;
    }
    return EndInZeroSector(sector, sectorSize);
}

}  // namespace BruteForce
