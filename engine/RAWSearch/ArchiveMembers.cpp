#include "ArchiveMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

const unsigned char kRarEndBlock[7] = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};

int classRarSearch::GetBlockSize(const unsigned char* block, int length, unsigned int* low,
                                 unsigned int* high) {
    if (block == nullptr || length < 7)
        return 0;
    const uint8_t type = block[2];
    const uint16_t headerSize = ReadLE16(block + 5);
    if (type < 0x73 || type > 0x7B || type == 0x79)
        return 0;
    if (type == 0x74 && (ReadLE32(block + 7) > ReadLE32(block + 11) || block[15] >= 5))
        return 0;
    if (type == 0x77 && block[13] != 0)
        return 0;
    if (headerSize < 7)
        return 0;
    uint64_t size = headerSize;
    switch (type) {
        case 0x73:
        case 0x78:
        case 0x7A:
        case 0x7B:
            if (headerSize < 10)
                return 0;
            if (type != 0x73)
                size = uint32_t(headerSize + ReadLE32(block + 7));
            break;
        case 0x74:
        case 0x77:
            size += ReadLE32(block + 7);
            break;
        case 0x75:
            size += ReadLE16(block + 7);
            break;
        default:  // 0x76
            break;
    }
    if (low != nullptr)
        *low = static_cast<unsigned int>(size);
    if (high != nullptr)
        *high = static_cast<unsigned int>(size >> 32);
    return 1;
}

namespace {

// The block size at `block`, or 0 when it is no valid block.
uint64_t RarBlockSize(const unsigned char* block, int length) {
    unsigned int low = 0, high = 0;
    if (classRarSearch::GetBlockSize(block, length, &low, &high) == 0)
        return 0;
    return uint64_t{high} << 32 | low;
}

}  // namespace

bool TarHeader::IsHeader(const unsigned char* block) {
    if (std::memcmp(block + 257, "ustar", 5) != 0)
        return false;
    // The header's checksum: the sum of its bytes, the checksum field read as
    // blanks, in octal at 148; some writers summed signed bytes.
    uint64_t stored = 0;
    int i = 148;
    while (i < 156 && (block[i] == ' ' || block[i] == 0))
        ++i;
    if (i == 156)
        return false;
    for (; i < 156 && block[i] >= '0' && block[i] <= '7'; ++i)
        stored = stored << 3 | uint64_t(block[i] - '0');
    int64_t unsignedSum = 0;
    int64_t signedSum = 0;
    for (int k = 0; k < 512; ++k) {
        const bool inField = k >= 148 && k < 156;
        unsignedSum += inField ? ' ' : block[k];
        signedSum += inField ? ' ' : static_cast<signed char>(block[k]);
    }
    return int64_t(stored) == unsignedSum || int64_t(stored) == signedSum;
}

uint64_t TarHeader::EntrySize(const unsigned char* block) {
    const unsigned char* field = block + 124;
    uint64_t value = 0;
    if (field[0] & 0x80) {
        for (int i = 4; i < 12; ++i)
            value = value << 8 | field[i];
        return value;
    }
    int i = 0;
    while (i < 12 && (field[i] == ' ' || field[i] == 0))
        ++i;
    for (; i < 12 && field[i] >= '0' && field[i] <= '7'; ++i)
        value = value << 3 | uint64_t(field[i] - '0');
    return value;
}

bool TarHeader::IsEndBlock(const unsigned char* block) {
    return std::all_of(block, block + 512, [](unsigned char b) { return b == 0; });
}

namespace {

enum class TarStep { Next, End };

// Steps over the entry whose header block is at `block`, or ends the archive:
// after its two zero end blocks, or where the headers stop without them.
TarStep StepTar(const unsigned char* block, int64_t& next) {
    if (TarHeader::IsHeader(block)) {
        const uint64_t data = std::min<uint64_t>(TarHeader::EntrySize(block), uint64_t{1} << 50);
        next += 512 + static_cast<int64_t>((data + 511) / 512 * 512);
        return TarStep::Next;
    }
    if (TarHeader::IsEndBlock(block))
        next += 1024;
    return TarStep::End;
}

}  // namespace

namespace ZizEdoza {

RARAnalyser::RARAnalyser() : StreamingAnalyser(kType, new FileRARAnalyser()) {}

uint32_t RARAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || b[4] != 0x1A || b[5] != 0x07 || b[6] != 0x00)
        return 0;
    return Match(info);
}

int RARAnalyser::RARRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > kMaxSize)
        return Finish(nextOffset, sectorNumber);
    // Block headers are read up to 10 bytes past the sector.
    const int64_t reach = offset + sectorSize + 10;
    if (nextOffset <= offset || nextOffset > reach)
        return 2;
    for (;;) {
        if (mainHeaderPending) {
            const uint64_t size = RarBlockSize(sector + 7, 505);
            if (size == 0)
                return 2;
            nextOffset += static_cast<int64_t>(size);
            mainHeaderPending = false;
        } else {
            const uint64_t size = RarBlockSize(sector + (nextOffset - offset), 32);
            if (size == 0) {
                chainIntact = false;
                break;
            }
            nextOffset += static_cast<int64_t>(std::min<uint64_t>(size, uint64_t{1} << 50));
        }
        if (nextOffset > reach) {
            if (chainIntact)
                return 2;
            break;
        }
    }
    if (context.windowEnd - sectorNumber < 1 || nextOffset > reach)
        return 2;
    if (std::memcmp(sector + (nextOffset - offset), kRarEndBlock, 7) == 0)
        return Finish(nextOffset + 7, sectorNumber);
    return 2;
}

TARAnalyser::TARAnalyser() : StreamingAnalyser(kType, new FileTARAnalyser()) {}

uint32_t TARAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || openStart >= 0 || !TarHeader::IsHeader(b))
        return 0;
    return Match(info);
}

int TARAnalyser::TARRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext&) {
    if (owner_ != nullptr && owner_->openStart < 0)
        owner_->openStart = startSector;
    if (sector == nullptr || sectorSize < 512)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    while (nextOffset >= offset && nextOffset + 512 <= offset + sectorSize) {
        if (StepTar(sector + (nextOffset - offset), nextOffset) == TarStep::End) {
            Close();
            return Finish(nextOffset, sectorNumber);
        }
    }
    return 2;
}

void TARAnalyser::TARRawFileInfo::WillBeRemove(unsigned char* sector, long long sectorNumber) {
    Close();
    StreamingRecord::WillBeRemove(sector, sectorNumber);
}

void TARAnalyser::TARRawFileInfo::Close() {
    if (owner_ != nullptr && owner_->openStart == startSector)
        owner_->openStart = -1;
    owner_ = nullptr;
}

}  // namespace ZizEdoza

uint32_t FileRARAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* first = reader.GetRawFileBuffer(0);
    if (first == nullptr)
        return 0;
    const uint64_t mainHeader = RarBlockSize(first + 7, 505);
    if (mainHeader == 0)
        return 0;
    uint64_t offset = 7 + mainHeader;
    while (offset <= uint64_t(kCap)) {
        const uint8_t* block = reader.GetRawFileBuffer(offset);
        if (block == nullptr)
            break;
        const uint64_t size = RarBlockSize(block, 32);
        if (size == 0) {
            if (std::memcmp(block, kRarEndBlock, 7) == 0)
                offset += 7;
            break;
        }
        offset += size;
    }
    // Blocks that run past the device are no archive's.
    if (offset > reader.GetBytesToDeviceEnd())
        return 0;
    info.size = static_cast<int64_t>(std::min(offset, uint64_t(kCap)));
    return 1;
}

uint32_t FileTARAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* first = reader.GetRawFileBuffer(0);
    if (first == nullptr || !TarHeader::IsHeader(first))
        return 0;
    int64_t next = 0;
    while (next <= kCap) {
        const uint8_t* block = reader.GetRawFileBuffer(static_cast<uint64_t>(next));
        if (block == nullptr || StepTar(block, next) == TarStep::End)
            break;
    }
    // Entries that run past the device are no archive's.
    if (next > static_cast<int64_t>(reader.GetBytesToDeviceEnd()))
        return 0;
    info.size = std::min<int64_t>(next, kCap);
    return 1;
}
