#include "DrawingAnalysers.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "DwgLz77.h"
#include "RawUtility.h"
#include "StreamWindow.h"
#include "ZeroEndRawFileInfo.h"

namespace BruteForce {

namespace {

// Where a DWG's file header lies, by version.
constexpr uint64_t kLocatorCountAt = 21;
constexpr uint64_t kLocatorsAt = 25;
constexpr uint64_t kLocatorBytes = 9;
// Locator records numbered by one byte: more cannot be in sequence.
constexpr int32_t kMostLocators = 256;
constexpr uint64_t kScrambledHeaderAt = 0x80;
constexpr uint64_t kScrambledHeaderBytes = 108;
constexpr int64_t kCodedHeaderAt = 0x80;
constexpr uint64_t kCodedBlockBytes = 239;
constexpr uint64_t kCompressedLengthAt = 24;
constexpr uint64_t kHeaderDataAt = 32;
constexpr uint64_t kHeaderBytes = 272;
constexpr uint64_t kFileSizeAt = 8;

// The record keeps the family as a number: 0 until the first sector.
enum class DwgFamily : int32_t { kLocators = 1, kScrambled = 2, kCoded = 3, kUnsized = 4 };

DwgFamily FamilyOf(const unsigned char* header) {
    static const char* const kLocators[] = {"AC1015", "AC1014", "AC1013", "AC1012"};
    static const char* const kScrambled[] = {"AC1018", "AC1024", "AC1027"};
    for (const char* version : kLocators) {
        if (std::memcmp(header, version, 6) == 0)
            return DwgFamily::kLocators;
    }
    for (const char* version : kScrambled) {
        if (std::memcmp(header, version, 6) == 0)
            return DwgFamily::kScrambled;
    }
    return std::memcmp(header, "AC1021", 6) == 0 ? DwgFamily::kCoded : DwgFamily::kUnsized;
}

// Size from the section locators; 0 when a record is out of sequence.
uint64_t LocatorsEnd(const uint8_t* header, int32_t count) {
    uint64_t end = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* record = header + kLocatorsAt + kLocatorBytes * uint64_t(i);
        if (record[0] != i)
            return 0;
        end = std::max<uint64_t>(end, uint64_t{ReadLE32(record + 1)} + ReadLE32(record + 5));
    }
    return end;
}

// Size from the descrambled file header; 0 when it does not check out.
uint64_t ScrambledEnd(const uint8_t* header) {
    uint8_t plain[kScrambledHeaderBytes];
    uint32_t seed = 1;
    for (uint64_t i = 0; i < kScrambledHeaderBytes; ++i) {
        seed = seed * 214013 + 2531011;
        plain[i] = header[kScrambledHeaderAt + i] ^ static_cast<uint8_t>(seed >> 16);
    }
    if (plain[11] != 0 || ReadLE32(plain + 16) != 0x6C || ReadLE32(plain + 20) != 4 ||
        ReadLE32(plain + 68) != 32 || ReadLE32(plain + 72) != 0x80 ||
        ReadLE32(plain + 76) != 0x40) {
        return 0;
    }
    return ReadLE64(plain + 52) + kScrambledHeaderBytes;
}

// Size from the coded file header: the collected bytes interleave three
// blocks; the de-interleaved data holds the header, stored plain or
// compressed. A compressed header that would read or write out of bounds
// gives no size.
uint64_t CodedEnd(const uint8_t* collected) {
    uint8_t blocks[3 * kCodedBlockBytes];
    for (uint64_t block = 0; block < 3; ++block) {
        for (uint64_t i = 0; i < kCodedBlockBytes; ++i)
            blocks[kCodedBlockBytes * block + i] = collected[3 * i + block];
    }
    const int32_t compressed = static_cast<int32_t>(ReadLE32(blocks + kCompressedLengthAt));
    uint8_t header[kHeaderBytes] = {};
    if (compressed < 1) {
        std::memcpy(header, blocks + kHeaderDataAt, kHeaderBytes);
    } else {
        size_t produced = 0;
        if (uint64_t(compressed) > sizeof(blocks) - kHeaderDataAt ||
            !DecompressDwgLz77(blocks + kHeaderDataAt, size_t(compressed), header, kHeaderBytes,
                               produced) ||
            produced < kFileSizeAt + 8) {
            return 0;
        }
    }
    return ReadLE64(header + kFileSizeAt);
}

}  // namespace

uint32_t CDWGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    if (FamilyOf(sector) == DwgFamily::kUnsized && std::memcmp(sector, "AC1009", 6) != 0)
        return 0;
    info.fileType = kType;
    return 1;
}

CRawFileInfo* CDWGAnalyser::CreateRawFileInfo() {
    return new (std::nothrow) CDWGRawInfo();
}

int CDWGAnalyser::CDWGRawInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                           long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const RawSpan header = window.At(0);
    if (versionFamily == 0) {
        if (header.bytes == nullptr)
            return 1;  // the header has left the buffer: no size
        versionFamily = static_cast<int32_t>(FamilyOf(header.bytes));
    }
    const auto family = static_cast<DwgFamily>(versionFamily);
    if (family == DwgFamily::kCoded)
        return CollectCodedHeader(sector, sectorSize, window.Position());
    if (family == DwgFamily::kUnsized || header.bytes == nullptr)
        return 1;
    uint64_t needed = kScrambledHeaderAt + kScrambledHeaderBytes;
    if (family == DwgFamily::kLocators) {
        const int32_t count = static_cast<int32_t>(ReadLE32(header.bytes + kLocatorCountAt));
        if (count < 0 || count > kMostLocators)
            return 1;
        needed = kLocatorsAt + kLocatorBytes * uint64_t(count);
    }
    // Wait until the buffer holds the whole header.
    if (header.count < needed)
        return 2;
    const uint64_t end =
        family == DwgFamily::kLocators
            ? LocatorsEnd(header.bytes,
                          static_cast<int32_t>(ReadLE32(header.bytes + kLocatorCountAt)))
            : ScrambledEnd(header.bytes);
    size = end <= kMaxSize ? static_cast<int64_t>(end) : 0;
    return 1;
}

// The coded header is taken sector by sector as the search streams past.
int CDWGAnalyser::CDWGRawInfo::CollectCodedHeader(const unsigned char* sector, int sectorSize,
                                                  int64_t position) {
    const int64_t from = kCodedHeaderAt + headerBytesCollected - position;
    if (from < 0)
        return 1;  // the wanted bytes went by unseen: no size
    if (from < sectorSize) {
        const auto take =
            static_cast<int32_t>(std::min<int64_t>(headerBytesWanted, sectorSize - from));
        std::memcpy(headerBuffer + headerBytesCollected, sector + from, size_t(take));
        headerBytesCollected += take;
        headerBytesWanted -= take;
    }
    if (headerBytesWanted > 0)
        return 2;
    const uint64_t end = CodedEnd(headerBuffer);
    size = end <= kMaxSize ? static_cast<int64_t>(end) : 0;
    return 1;
}

uint32_t CDXFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || std::memcmp(sector, "  0\r\nSECTION\r\n  ", 16) != 0)
        return 0;
    info.fileType = kType;
    return 1;
}

int CDXFAnalyser::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                                  long long, long long, long long) {
    if (sector == nullptr || sectorSize < 16)
        return 0;
    if (AnalyseBuffer(sector, info) == 1)
        return 1;
    const char* pattern = nullptr;
    size_t length = 0;
    if (std::memcmp(sector, "999\n", 4) == 0) {
        pattern = "  0\nSECTION\n  ";
        length = 14;
    } else if (std::memcmp(sector, "999\r\n", 5) == 0) {
        pattern = "  0\r\nSECTION\r\n  ";
        length = 16;
    } else {
        return 0;
    }
    const auto* zero =
        static_cast<const unsigned char*>(std::memchr(sector, 0, size_t(sectorSize)));
    const size_t text = zero != nullptr ? size_t(zero - sector) : size_t(sectorSize);
    const auto* found = std::search(sector, sector + text, pattern, pattern + length);
    if (found == sector + text)
        return 0;
    info.fileType = kType;
    return 1;
}

CRawFileInfo* CDXFAnalyser::CreateRawFileInfo() {
    return new (std::nothrow) CDXFRawFileInfo();
}

int CDXFAnalyser::CDXFRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    if (endMarkerLength == 0) {
        const bool lineFeeds = sector[3] == '\n';
        const char* marker = lineFeeds ? "  0\nEOF\n" : "  0\r\nEOF\r\n";
        endMarkerLength = lineFeeds ? 8 : 10;
        std::memcpy(endMarker, marker, endMarkerLength);
    }
    // The marker may begin in the previous sector: search from there.
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const int64_t back = std::min<int64_t>(window.Position(), endMarkerLength - 1);
    const RawSpan from = window.At(static_cast<uint64_t>(window.Position() - back));
    const int64_t searched = from.bytes != nullptr ? back : 0;
    const unsigned char* bytes = from.bytes != nullptr ? from.bytes : sector;
    const int found = RawUtility::FindMagicInBuffer(
        bytes, static_cast<int>(searched + sectorSize - endMarkerLength), 0,
        reinterpret_cast<const unsigned char*>(endMarker), static_cast<int>(endMarkerLength));
    if (found > 0) {
        size = window.Position() - searched + found;
        return 1;
    }
    size = window.Position() + sectorSize;
    if (size >= kMaxSize) {
        size = kMaxSize;
        return 1;
    }
    return 2;
}

uint32_t CEPSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    textMatched_ = false;
    if (sector == nullptr)
        return 0;
    if (std::memcmp(sector, "%!PS", 4) == 0) {
        if (std::memcmp(sector, "%!PS-Adobe-", 11) != 0)
            return 0;
        textMatched_ = true;
        info.fileType = kType;
        return 1;
    }
    static constexpr unsigned char kBinaryHeader[4] = {0xC5, 0xD0, 0xD3, 0xC6};
    if (std::memcmp(sector, kBinaryHeader, 4) != 0)
        return 0;
    uint64_t end = 0;
    for (int section = 0; section < 3; ++section) {
        const unsigned char* extent = sector + 4 + 8 * section;
        end = std::max<uint64_t>(end, uint64_t{ReadLE32(extent)} + ReadLE32(extent + 4));
    }
    info.fileType = kType;
    info.size = static_cast<int64_t>(end);
    return 1;
}

CRawFileInfo* CEPSAnalyser::CreateRawFileInfo() {
    if (!textMatched_)
        return new (std::nothrow) CRawFileInfo();
    auto* record = new (std::nothrow) CZeroEndRawFileInfo();
    if (record != nullptr) {
        record->maxSize = kMaxTextSize;
        record->recordLength = 1;
    }
    return record;
}

uint32_t CFH11Analyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    static constexpr unsigned char kMark[12] = {0x02, 0x00, 0x04, 0x1C, 0x01, 0x14,
                                                0x00, 0x02, 0x00, 0x14, 0x1C, 0x01};
    if (sector == nullptr || std::memcmp(sector + 4, kMark, 12) != 0 ||
        std::memcmp(sector + 34, "11", 2) != 0) {
        return 0;
    }
    info.fileType = kType;
    return 1;
}

CRawFileInfo* CFH11Analyser::CreateRawFileInfo() {
    auto* record = new (std::nothrow) CZeroEndRawFileInfo();
    if (record != nullptr) {
        record->maxSize = kMaxSize;
        record->recordLength = 4;
    }
    return record;
}

}  // namespace BruteForce
