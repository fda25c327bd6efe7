#include "HeaderFieldMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"
#include "RawUtility.h"

namespace {

constexpr uint8_t kDbxSignatures[5][16] = {
    {0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00,
     0xC0},
    {0xCF, 0xAD, 0x12, 0xFE, 0xC6, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00,
     0xC0},
    {0xCF, 0xAD, 0x12, 0xFE, 0xC7, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00,
     0xC0},
    {0xCF, 0xAD, 0x12, 0xFE, 0x30, 0x9D, 0xFE, 0x26, 0x8F, 0x1A, 0xD2, 0x11, 0xAA, 0xBF, 0x00,
     0x60},
    {0xF7, 0x89, 0x34, 0x2C, 0xF7, 0xF0, 0xEE, 0x6D, 0xAF, 0x22, 0x89, 0xD1, 0x00, 0xFF, 0xF0,
     0xB0},
};
constexpr uint8_t kDbxOtherStart[8] = {0x4A, 0x4D, 0x46, 0x36, 0x03, 0x00, 0x01, 0x00};
constexpr uint8_t kWebbSignature[16] = {0x57, 0x45, 0x42, 0x42, 0x41, 0x49, 0x4B, 0x45,
                                        0x66, 0x66, 0xEB, 0xB4, 0xA3, 0x74, 0xBD, 0x7B};

// Bytes of a StuffIt X end mark past its start, by the mark's fourth byte.
int64_t StuffItXTail(uint8_t kind) {
    return 8 + (kind == 0x19 ? 4 : kind == 0x3B ? 5 : 6);
}

}  // namespace

int64_t FindStuffItXEnd(const unsigned char* bytes, int64_t length) {
    static constexpr uint8_t kHead[3] = {0x02, 0xD7, 0x0A};
    static constexpr uint8_t kTail[4] = {0x98, 0xF6, 0x42, 0x88};
    for (int64_t at = 0; at + 8 <= length; ++at) {
        if (std::memcmp(bytes + at, kHead, 3) == 0 && std::memcmp(bytes + at + 4, kTail, 4) == 0)
            return at;
    }
    return -1;
}

namespace ZizEdoza {

uint32_t DbxAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const bool known = std::any_of(std::begin(kDbxSignatures), std::end(kDbxSignatures),
                                   [b](const uint8_t* s) { return std::memcmp(b, s, 16) == 0; });
    if (!known && std::memcmp(b, kDbxOtherStart, 8) != 0)
        return 0;
    return Match(info);
}

int DbxAnalyser::DBXRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > kMaxSize)
        return 1;
    if (!begun_) {
        begun_ = true;
        zeroTail_ = std::memcmp(sector, kDbxSignatures[4], 16) == 0;
        if (!zeroTail_) {  // the header's file-size field
            size = std::min<int64_t>(kMaxSize, ReadLE32(sector + 124));
            return 1;
        }
    }
    if (context.trailingZeroBytes < 9)
        return 2;
    return Finish(offset + BruteForce::RawUtility::Binary_Compare(sector, sectorSize), sectorNumber,
                  ".");
}

SITAnalyser::SITAnalyser() : StreamingAnalyser(kType, new FileSITAnalyser()) {}

uint32_t SITAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    if (std::memcmp(b + 4, "fIt", 3) == 0) {
        info.fileType = b[7] == '!' ? kSitxType : kType;
        return 1;
    }
    return std::memcmp(b, kWebbSignature, 16) == 0 ? Match(info) : 0;
}

int SITAnalyser::SITRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (form_ == Form::Unknown) {
        if (std::memcmp(sector, kWebbSignature, 16) == 0) {
            form_ = Form::ZeroTail;
        } else if (sector[7] == '!') {
            form_ = Form::StuffItX;
            fileType = kSitxType;
        } else if (sector[7] == ' ') {
            const int64_t stated = ReadBE32(sector + 84);
            size = stated >= 1 && stated < kMaxSize ? stated : kMaxSize;
            return 1;
        } else {
            return 1;
        }
    }
    if (offset > kMaxSize)
        return Finish(kMaxSize, sectorNumber, "");
    const int length = BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
    if (form_ == Form::ZeroTail) {
        if (context.trailingZeroBytes < 9)
            return 2;
        return Finish(offset + length, sectorNumber, "");
    }
    if (context.trailingZeroBytes < 4)
        return 2;
    // The end mark lies among the last bytes of data, perhaps reaching back
    // into the sector before when that is in memory.
    const int64_t back = sectorNumber > context.windowStart ? 19 : std::min(19, length);
    if (FindStuffItXEnd(sector + length - back, back + 8) < 0)
        return 2;
    return Finish(offset + length, sectorNumber, "");
}

}  // namespace ZizEdoza

uint32_t FileSITAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr || (header[7] != '!' && header[7] != ' '))
        return 0;
    if (header[7] == ' ') {
        info.fileType = ZizEdoza::SITAnalyser::kType;
        const auto stated = static_cast<int32_t>(ReadBE32(header + 84));
        info.size = stated < 0 ? int64_t{kCap} : stated;
        info.size =
            std::min<int64_t>(info.size, static_cast<int64_t>(reader.GetBytesToDeviceEnd()));
        return info.size > 0 ? 1 : 0;
    }
    info.fileType = ZizEdoza::SITAnalyser::kSitxType;
    const uint32_t sectorSize = reader.GetSectorSize();
    for (uint64_t offset = 0; offset <= kCap; offset += sectorSize) {
        // The sector and the 16 bytes before it, so a mark across the seam counts.
        const uint64_t from = offset >= 16 ? offset - 16 : 0;
        const uint8_t* bytes = reader.GetRawFileBuffer(from);
        if (bytes == nullptr)
            return 0;
        const uint8_t* sector = bytes + (offset - from);
        if (sector[sectorSize - 1] != 0 || sector[sectorSize - 2] != 0)
            continue;
        const int64_t at = FindStuffItXEnd(bytes, int64_t(offset - from) + sectorSize);
        if (at >= 0) {
            info.size = static_cast<int64_t>(from) + at + StuffItXTail(bytes[at + 3]);
            return 1;
        }
    }
    return 0;
}
