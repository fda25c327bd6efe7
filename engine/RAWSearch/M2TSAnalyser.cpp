#include "M2TSAnalyser.h"

#include <algorithm>
#include <new>

namespace BruteForce {

namespace {

constexpr uint8_t kSync = 0x47;
constexpr int kGroup = 32;

bool IsPayloadStart(uint8_t value) {
    return value == 0x40 || value == 0x41 || value == 0x10 || value == 0x50;
}

bool AllFF(const uint8_t* bytes) {
    return std::all_of(bytes, bytes + 8, [](uint8_t b) { return b == 0xFF; });
}

}  // namespace

uint32_t CM2TSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || g_s_bNewM2TSFile)
        return 0;
    if (sector[4] == kSync && IsPayloadStart(sector[5])) {
        m_nHeaderOffset = 192;
        if (sector[196] != kSync || AllFF(sector + 8) || AllFF(sector + 200))
            return 0;
    } else {
        if (sector[0] != kSync || !IsPayloadStart(sector[1]))
            return 0;
        m_nHeaderOffset = 188;
        if (sector[188] != kSync || AllFF(sector + 8) || AllFF(sector + 196))
            return 0;
    }
    g_s_bNewM2TSFile = true;
    info.fileType = kType;
    return 1;
}

CRawFileInfo* CM2TSAnalyser::CreateRawFileInfo() {
    auto* record = new (std::nothrow) CM2TSFileInfo(this, m_nHeaderOffset);
    if (record != nullptr)
        record->fileType = kType;
    return record;
}

int CM2TSAnalyser::CM2TSFileInfo::End() {
    if (!ended_) {
        ended_ = true;
        size += int64_t{packetLength_} * packetsSinceGroup;
        packetsSinceGroup = 0;
        if (owner_ != nullptr)
            owner_->g_s_bNewM2TSFile = false;
    }
    if (size > kMostBytes)
        size = kMostBytes;
    // Too short a stream is not filed.
    if (size < kLeastBytes)
        size = 0;
    return 1;
}

bool CM2TSAnalyser::CM2TSFileInfo::Count() {
    if (++packetsSinceGroup == kGroup) {
        size += int64_t{kGroup} * packetLength_;
        packetsSinceGroup = 0;
    }
    return size >= kMostBytes;
}

void CM2TSAnalyser::CM2TSFileInfo::WillBeRemove(unsigned char*, long long) {
    End();
}

int CM2TSAnalyser::CM2TSFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long,
                                              SearchContext&) {
    if (sectorSize < 1)
        return 1;
    if (sector == nullptr || ended_)
        return ended_ ? 1 : 2;
    // A packet counts once all of it has been seen.
    if (pending_ && Count())
        return End();
    pending_ = false;
    const int syncAt = packetLength_ == 192 ? 4 : 0;
    int64_t offset = carriedOffset;  // of the next packet's sync byte
    for (; offset < sectorSize; offset += packetLength_) {
        if (sector[offset] != kSync)
            return End();
        if (offset - syncAt + packetLength_ > sectorSize)
            pending_ = true;
        else if (Count())
            return End();
    }
    carriedOffset = static_cast<int32_t>(offset - sectorSize);
    return 2;
}

}  // namespace BruteForce
