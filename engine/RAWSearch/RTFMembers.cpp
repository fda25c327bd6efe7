#include "RTFMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "RawFileBuffer.h"
#include "RawUtility.h"

namespace {

bool IsLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

int64_t RtfGroupScanner::Feed(const unsigned char* bytes, int64_t length) {
    for (int64_t i = 0; i < length; ++i) {
        if (binLeft_ > 0) {
            const int64_t skip = std::min(binLeft_, length - i);
            binLeft_ -= skip;
            i += skip - 1;
            continue;
        }
        const unsigned char c = bytes[i];
        switch (state_) {
            case State::Escape:
                if (IsLetter(c)) {
                    word_[0] = static_cast<char>(c);
                    wordLength_ = 1;
                    state_ = State::Word;
                } else {
                    state_ = State::Text;  // an escaped symbol such as \{ or \\ .
                }
                continue;
            case State::Word:
                if (IsLetter(c)) {
                    if (wordLength_ < static_cast<int>(sizeof(word_)))
                        word_[wordLength_] = static_cast<char>(c);
                    ++wordLength_;
                    continue;
                }
                if (wordLength_ == 3 && std::memcmp(word_, "bin", 3) == 0 && c >= '0' && c <= '9') {
                    binNumber_ = c - '0';
                    state_ = State::BinNumber;
                    continue;
                }
                state_ = State::Text;
                if (c == ' ')
                    continue;  // the control word's delimiter
                break;
            case State::BinNumber:
                if (c >= '0' && c <= '9') {
                    binNumber_ = std::min<int64_t>(binNumber_ * 10 + (c - '0'), INT64_C(1) << 40);
                    continue;
                }
                state_ = State::Text;
                binLeft_ = binNumber_;
                if (c == ' ')
                    continue;
                break;
            case State::Text:
                break;
        }
        if (c == '\\') {
            state_ = State::Escape;
        } else if (c == '{') {
            ++depth_;
        } else if (c == '}' && depth_ > 0 && --depth_ == 0) {
            return i + 1;
        }
    }
    return -1;
}

int RtfTrailingBreak(const unsigned char* after) {
    if (after[0] == '\r' && after[1] == '\n')
        return 2;
    return after[0] == '\n' || after[0] == '\r' ? 1 : 0;
}

namespace ZizEdoza {

RTFAnalyser::RTFAnalyser() : StreamingAnalyser(kType, new FileRTFAnalyser()) {}

uint32_t RTFAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || b[4] != 'f')
        return 0;
    return Match(info);
}

int RTFAnalyser::RTFRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    // A skipped sector breaks the count: the device walk takes over.
    if (nextSector_ >= 0 && sectorNumber != nextSector_)
        return 1;
    nextSector_ = sectorNumber + 1;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > kMaxSize)
        return Finish(offset, sectorNumber);
    const int64_t end = scanner_.Feed(sector, sectorSize);
    if (end >= 0) {
        const bool nextInMemory = sectorNumber + 1 < context.windowEnd || end < sectorSize - 1;
        const int extra = nextInMemory ? RtfTrailingBreak(sector + end) : 0;
        return Finish(offset + end + extra, sectorNumber);
    }
    // Text holds no zero bytes: a sector ending in zeros ends a document
    // whose braces never balanced.
    if (context.trailingZeroBytes >= 8)
        return Finish(offset + BruteForce::RawUtility::Binary_Compare(sector, sectorSize),
                      sectorNumber);
    return 2;
}

}  // namespace ZizEdoza

uint32_t FileRTFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint32_t sectorSize = reader.GetSectorSize();
    RtfGroupScanner scanner;
    for (uint64_t offset = 0; offset <= uint64_t(ZizEdoza::RTFAnalyser::kMaxSize);
         offset += sectorSize) {
        const uint8_t* sector = reader.GetRawFileBuffer(offset);
        if (sector == nullptr)
            return 0;
        const int64_t end = scanner.Feed(sector, sectorSize);
        if (end >= 0) {
            info.size = static_cast<int64_t>(offset) + end + RtfTrailingBreak(sector + end);
            return 1;
        }
        if (sector[sectorSize - 1] == 0 && std::all_of(sector + sectorSize - 8, sector + sectorSize,
                                                       [](uint8_t b) { return b == 0; })) {
            info.size = static_cast<int64_t>(offset) +
                        BruteForce::RawUtility::Binary_Compare(sector, int(sectorSize));
            return 1;
        }
    }
    info.size = ZizEdoza::RTFAnalyser::kMaxSize;
    return 1;
}
