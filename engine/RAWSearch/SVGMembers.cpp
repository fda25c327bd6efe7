#include "SVGMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"
#include "RawUtility.h"

namespace {

constexpr uint8_t kLengthForm[4] = {0xCD, 0x01, 0x00, 0x00};

// The GPX and property-list test; 0 when the text is neither.
RAW_FILE_TYPE TrackOrPropertyList(const unsigned char* b) {
    if (!SameTextIgnoringCase(b, "<?xml", 5))
        return SameTextIgnoringCase(b, "BCFZ", 4) ? Zorado::SVGAnalyser::kGPX : 0;
    if (SameTextIgnoringCase(b + 57, "<gpx", 4) || SameTextIgnoringCase(b + 39, "<gpx", 4))
        return Zorado::SVGAnalyser::kGPX;
    if (SameTextIgnoringCase(b + 39, "<!DOCTYPE plist", 15) ||
        SameTextIgnoringCase(b + 40, "<!DOCTYPE plist", 15)) {
        return Zorado::SVGAnalyser::kPLIST;
    }
    return 0;
}

bool Has(const unsigned char* b, int64_t length, const char* text) {
    return FindBytes(b, length, text, static_cast<int64_t>(std::strlen(text))) >= 0;
}

}  // namespace

namespace Zorado {

SVGAnalyser::SVGAnalyser() : StreamingAnalyser(kSVG, new FileSVGAnalyser()) {}

uint32_t SVGAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    RAW_FILE_TYPE type = TrackOrPropertyList(b);
    if (type == 0 && (std::memcmp(b, "<?xml version=\"", 15) == 0 ||
                      std::memcmp(b + 3, "<?xml version=\"", 15) == 0)) {
        static constexpr const char* kSvgTags[] = {"<svg ",  "<svg\n ", "<svg\r ",
                                                   "<svg> ", "<svg>\n", "<svg>\r"};
        if (std::any_of(std::begin(kSvgTags), std::end(kSvgTags),
                        [b](const char* tag) { return Has(b, 512, tag); })) {
            type = kSVG;
        } else if (Has(b, 512, "=\"Evernote")) {
            type = kENEX;
        } else if (Has(b, 512, "csl")) {
            type = kCSL;
        }
    }
    if (type == 0 && (std::memcmp(b, kLengthForm, 4) == 0 || std::memcmp(b, "<svg ", 5) == 0))
        type = kSVG;
    if (type == 0)
        return 0;
    info.fileType = type;
    return 1;
}

int SVGAnalyser::SVGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    if (!begun_) {
        begun_ = true;
        lengthInHeader_ = std::memcmp(sector, kLengthForm, 4) == 0;
    }
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset >= kMaxSize)
        return Finish(kMaxSize, sectorNumber);
    if (lengthInHeader_) {
        // The length sits at byte 1100 of the file.
        static constexpr int64_t kField = 1100;
        if (kField < offset || kField + 4 > offset + sectorSize)
            return 2;
        const int64_t length = 1152 + int64_t{ReadLE32(sector + (kField - offset))};
        return length > kMaxSize ? 2 : Finish(length, sectorNumber);
    }
    const int dataLength = BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
    if (fileType == kGPX || fileType == kPLIST) {
        if (context.trailingZeroBytes < 8)
            return 2;
        return Finish(offset + dataLength, sectorNumber);
    }
    if (sector[sectorSize - 1] != 0 || sector[sectorSize - 2] != 0)
        return 2;
    // A closing tag in the sector, or in the half sector before it when that
    // is in memory, ends the text where its bytes end.
    const int64_t before = sectorNumber > context.windowStart ? sectorSize / 2 : 0;
    if (!Has(sector - before, before + std::max(dataLength, 0), "</"))
        return 2;
    return Finish(offset + dataLength, sectorNumber);
}

}  // namespace Zorado

uint32_t FileSVGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint32_t sectorSize = reader.GetSectorSize();
    if (info.fileType != Zorado::SVGAnalyser::kGPX &&
        info.fileType != Zorado::SVGAnalyser::kPLIST &&
        info.fileType != Zorado::SVGAnalyser::kCSL && info.fileType != Zorado::SVGAnalyser::kENEX) {
        info.fileType = Zorado::SVGAnalyser::kSVG;
    }
    for (uint64_t offset = 0; offset <= kCap; offset += sectorSize) {
        const uint8_t* sector = reader.GetRawFileBuffer(offset);
        if (sector == nullptr)
            return 0;
        if (sector[sectorSize - 1] == 0 && sector[sectorSize - 2] == 0) {
            // The text's last partial sector belongs to it.
            info.size = static_cast<int64_t>(offset) +
                        BruteForce::RawUtility::Binary_Compare(sector, int(sectorSize));
            return info.size > 0 ? 1 : 0;
        }
    }
    info.size = static_cast<int64_t>(kCap);
    return 1;
}
