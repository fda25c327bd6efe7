#include "ChainMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"

namespace ZizEdoza {

const unsigned char kOneSignature[12] = {0x8C, 0xD8, 0xA7, 0x4D, 0xAE, 0xB1,
                                         0x53, 0x78, 0xD0, 0x29, 0x96, 0xD3};

}  // namespace ZizEdoza

ChainWalk::Step OneSectionWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 204)
        return Step::Wait;
    if (std::memcmp(at + 4, ZizEdoza::kOneSignature, 12) != 0)
        return Step::End;
    uint64_t length = ReadLE64(at + 196);
    if (length == 0)
        length = ReadLE64(at + 100);
    if (length == 0)
        return Step::End;
    if (length > uint64_t{FileONEAnalyser::kCap}) {
        position = FileONEAnalyser::kCap;
        return Step::End;
    }
    position += static_cast<int64_t>(length);
    return Step::More;
}

ChainWalk::Step InddObjectWalk::StepAt(const unsigned char* at, int64_t room) {
    static constexpr uint8_t kObjectMark[16] = {0xDE, 0x39, 0x39, 0x79, 0x51, 0x88, 0x4B, 0x6C,
                                                0x8E, 0x63, 0xEE, 0xF8, 0xAE, 0xE0, 0xDD, 0x38};
    static constexpr int64_t kPage = 4096;
    if (!begun_) {  // the header names the first data page
        if (room < 284)
            return Step::Wait;
        begun_ = true;
        position = int64_t{ReadLE32(at + 280)} * kPage;
        sized = position > 0;
        return sized ? Step::More : Step::End;
    }
    if (room < 32)
        return Step::Wait;
    if (std::memcmp(at, kObjectMark, 16) != 0) {
        position = position / kPage * kPage + kPage;
        return Step::End;
    }
    position += int64_t{ReadLE32(at + 24)} + 64;  // header, data, trailer
    return Step::More;
}

ChainWalk::Step MxfPacketWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 20)
        return Step::Wait;
    if (ReadBE32(at) != 0x060E2B34)
        return Step::End;
    position += int64_t{ReadBE32(at + 16) & 0xFFFFFF} + 20;
    return Step::More;
}

ChainWalk::Step NgrrBlockWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 20)
        return Step::Wait;
    if (std::memcmp(at, "data", 4) != 0)
        return Step::End;
    position += int64_t{ReadLE32(at + 16)} + 24;
    return Step::More;
}

namespace ZizEdoza {

OneAnalyser::OneAnalyser() : StreamingAnalyser(kType, new FileONEAnalyser()) {}

uint32_t OneAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b + 4, kOneSignature, 12) != 0)
        return 0;
    return Match(info);
}

uint32_t InddAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint8_t kSignature[16] = {0x06, 0x06, 0xED, 0xF5, 0xD8, 0x1D, 0x46, 0xE5,
                                               0xBD, 0x31, 0xEF, 0xE7, 0xFE, 0x74, 0xB7, 0x1D};
    if (b == nullptr || std::memcmp(b, kSignature, 16) != 0 ||
        std::memcmp(b + 16, "DOCUMENT", 8) != 0) {
        return 0;
    }
    return Match(info);
}

uint32_t MxfAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint8_t kPartitionKey[3] = {0x02, 0x05, 0x01};
    if (b == nullptr || ReadBE32(b) != 0x060E2B34 || std::memcmp(b + 4, kPartitionKey, 3) != 0 ||
        b[20] != 0 || b[21] != 1) {
        return 0;
    }
    if (std::memcmp(b + 32, b + 48, 4) == 0 && ReadLE32(b + 32) != 0)
        return 0;
    return Match(info);
}

uint32_t NGRRAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || !SameTextIgnoringCase(b, "-in-", 4))
        return 0;
    return Match(info);
}

}  // namespace ZizEdoza

uint32_t FileONEAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    OneSectionWalk walk;
    return WalkOnDevice(walk, info, device, kCap, INT64_MAX) ? 1 : 0;
}
