#include "ZeroTailMembers.h"

#include <cassert>
#include <cctype>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"
#include "RawUtility.h"
#include "SearchSignFileAnalyser.h"

int ZeroTailRecord::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > maxSize_)
        return Finish(offset, sectorNumber);
    if (context.trailingZeroBytes < 8)
        return 2;
    // The minimum holds for the file's end, not the sector's start, so a
    // file shorter than a sector ends in its header sector.
    const int64_t end = offset + BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
    if (end < minSize_)
        return 2;
    return Finish(end, sectorNumber);
}

namespace ZizEdoza {

uint32_t PSAFE3Analyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr ||
        (!SameTextIgnoringCase(b, "PWS3", 4) && !SameTextIgnoringCase(b + 3, "PWS3", 4))) {
        return 0;
    }
    return Match(info);
}

uint32_t SIBAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || b[0] != 0x0F || !SameTextIgnoringCase(b + 1, "SIBELIUS", 8))
        return 0;
    return Match(info);
}

uint32_t JKSAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || ReadBE32(b) != 0xFEEDFEED)
        return 0;
    return Match(info);
}

HTMLAnalyser::HTMLAnalyser() : StreamingAnalyser(kType, new FileHTMAnalyser()) {}

uint32_t HTMLAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    if (SameTextIgnoringCase(b, "<HTML", 5) || SameTextIgnoringCase(b, "<!DOCTYPE HTML", 14))
        return Match(info);
    static constexpr uint8_t kWideStart[] = {0xFF, 0xFE, 0x3C, 0x00};
    if (std::memcmp(b, kWideStart, 4) != 0)
        return 0;
    if (b[4] == '!')
        return Match(info);
    // Or the tag's letters as 32-bit units, either case.
    static constexpr char kTag[] = "<html>";
    for (int i = 0; i < 6; ++i) {
        const uint32_t unit = ReadLE32(b + 2 + 4 * i);
        if (unit > 0x7F || std::tolower(static_cast<int>(unit)) != kTag[i])
            return 0;
    }
    return Match(info);
}

uint32_t WpgAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint8_t kSignature[] = {0x77, 0x70, 0x67, 0x00};
    if (b == nullptr || std::memcmp(b, kSignature, 4) != 0)
        return 0;
    return Match(info);
}

int WpgAnalyser::WPGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    static constexpr int64_t kMaxSize = 500000000;
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > kMaxSize)
        return 1;
    if (context.trailingZeroBytes < 16)
        return 2;
    return Finish(offset + BruteForce::RawUtility::Binary_Compare(sector, sectorSize), sectorNumber,
                  ".");
}

}  // namespace ZizEdoza

uint32_t FileHTMAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    SearchSignCodeInfo request;
    std::memcpy(request.signature, "</html>", 7);
    request.length = 7;
    request.maxSearchLength = 0x100000;
    SearchSignFileAnalyser::SearchEndSignCode(info, device, request, 0);
    if (info.size <= 0)
        return 0;
    // The line break after the closing tag belongs to the text.
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    if (const uint8_t* after = reader.GetRawFileBuffer(static_cast<uint64_t>(info.size))) {
        if (after[0] == '\r' && after[1] == '\n')
            info.size += 2;
        else if (after[0] == '\n')
            info.size += 1;
    }
    return 1;
}
