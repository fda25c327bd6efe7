#include "MDBMembers.h"

#include <cstring>

#include "ByteOrder.h"
#include "DeviceWalk.h"

namespace {

constexpr uint16_t kFirstPageWord = 0x0101;
constexpr uint16_t kLastPageWord = 0x0109;
// This many zero pages in a row end a database.
constexpr int64_t kMostZeroPages = 36;
// The device walk's page words stay below this.
constexpr uint16_t kDevicePageWordEnd = 0x0902;

bool IsPageWord(uint16_t word) {
    return word >= kFirstPageWord && word <= kLastPageWord;
}

}  // namespace

namespace ZizEdoza {

CMDBAnalyser::CMDBAnalyser() : StreamingAnalyser(kType, new FileMDBAnalyser()) {}

uint32_t CMDBAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr unsigned char kJet[20] = {0,   1,   0,   0,   'S', 't', 'a', 'n', 'd', 'a',
                                               'r', 'd', ' ', 'J', 'e', 't', ' ', 'D', 'B', 0};
    static constexpr unsigned char kAce[20] = {0,   1,   0,   0,   'S', 't', 'a', 'n', 'd', 'a',
                                               'r', 'd', ' ', 'A', 'C', 'E', ' ', 'D', 'B', 0};
    if (b == nullptr)
        return 0;
    if (std::memcmp(b, kJet, sizeof(kJet)) == 0) {
        info.fileType = kType;
        return 1;
    }
    if (std::memcmp(b, kAce, sizeof(kAce)) == 0) {
        info.fileType = kAceType;
        return 1;
    }
    return 0;
}

int CMDBAnalyser::CMDBRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize < 2)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset < kPageSize || offset % kPageSize != 0)
        return 2;
    if (offset > kMaxSize)
        return Finish(offset, sectorNumber);
    if (!pageCheck_)
        return context.trailingZeroBytes < 9 ? 2 : Finish(offset, sectorNumber);

    const uint16_t word = ReadLE16(sector);
    if (word != 0 && !IsPageWord(word)) {
        // A second page that is no page: the pages are not told by their
        // words, so the file ends in zeros.
        if (offset == kPageSize) {
            pageCheck_ = false;
            return 2;
        }
    } else if (word != 0) {
        zeroPages_ = 0;
        return 2;
    } else if (++zeroPages_ < kMostZeroPages) {
        return 2;
    }
    const int64_t end = zeroPages_ != 0 ? offset - (zeroPages_ - 1) * kPageSize : offset;
    return Finish(end, sectorNumber);
}

}  // namespace ZizEdoza

uint32_t FileMDBAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    if (reader.GetRawFileBuffer(0) == nullptr)
        return 0;
    int64_t at = ZizEdoza::CMDBAnalyser::kPageSize;
    for (; at < kCap; at += ZizEdoza::CMDBAnalyser::kPageSize) {
        const uint8_t* page = reader.GetRawFileBuffer(static_cast<uint64_t>(at));
        if (page == nullptr || page[0] == 0 || ReadLE16(page) >= kDevicePageWordEnd)
            break;
    }
    info.size = at;
    return 1;
}
