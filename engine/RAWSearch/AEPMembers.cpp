#include "AEPMembers.h"

#include <cstring>

#include "ByteOrder.h"
#include "RawUtility.h"
#include "StreamWindow.h"

namespace {

constexpr int64_t kFormHeader = 8;
constexpr char kPacket[9] = {'<', '?', 'x', 'p', 'a', 'c', 'k', 'e', 't'};

}  // namespace

namespace ZizEdoza {

uint32_t AEPAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b, "RIFX", 4) != 0 || std::memcmp(b + 8, "Egg", 3) != 0)
        return 0;
    return Match(info);
}

int AEPAnalyser::AEPRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    if (sectorNumber == startSector)
        formLength_ = ReadBE32(sector + 4);
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > kMaxSize)
        return 1;
    if (!packetSeen_) {
        if (formLength_ <= offset || formLength_ > offset + sectorSize ||
            context.windowEnd - sectorNumber < 2)
            return 2;
        const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
        const RawSpan after = window.At(static_cast<uint64_t>(formLength_ + kFormHeader));
        if (after.count < sizeof(kPacket) ||
            std::memcmp(after.bytes, kPacket, sizeof(kPacket)) != 0)
            return Finish(formLength_ + kFormHeader, sectorNumber);
        packetSeen_ = true;
    }
    if (context.trailingZeroBytes < 9)
        return 2;
    return Finish(offset + BruteForce::RawUtility::Binary_Compare(sector, sectorSize) + kFormHeader,
                  sectorNumber);
}

}  // namespace ZizEdoza
