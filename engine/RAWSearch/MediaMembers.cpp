#include "MediaMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

namespace {

uint32_t ReadBE24(const unsigned char* p) {
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

}  // namespace

bool IsLzhMethod(const unsigned char* m) {
    return m[0] == '-' && m[1] == 'l' && m[2] == 'h' &&
           ((m[3] >= '0' && m[3] <= '7') || m[3] == 'd') && m[4] == '-';
}

ChainWalk::Step LzhWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 22)
        return Step::Wait;
    if (!IsLzhMethod(at + 2)) {
        if (at[0] == 0)
            position += 1;  // the archive's closing zero byte
        return Step::End;
    }
    const uint32_t packed = ReadLE32(at + 7);
    switch (at[20]) {  // header level
        case 0:
        case 1:
            position += int64_t{at[0]} + 2 + packed;
            return Step::More;
        case 2:
            position += int64_t{ReadLE16(at)} + packed;
            return Step::More;
        default:
            return Step::End;
    }
}

ChainWalk::Step OggWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 27)
        return Step::Wait;
    if (std::memcmp(at, "OggS", 4) != 0 || at[26] == 0)
        return Step::End;
    const int segments = at[26];
    if (room < 27 + segments)
        return Step::Wait;
    int64_t body = 0;
    for (int i = 0; i < segments; ++i)
        body += at[27 + i];
    position += 27 + segments + body;
    return Step::More;
}

ChainWalk::Step FlvWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 15)
        return Step::Wait;
    const uint32_t tagSize = ReadBE32(at);
    const uint8_t type = at[4];
    const uint32_t dataSize = ReadBE24(at + 5);
    // A tag's stream id is always zero: bytes after the last tag rarely are.
    const bool streamIdZero = ReadBE24(at + 12) == 0;
    if (tagSize == std::max<uint32_t>(previousDataSize_, 1) ||
        (type != 8 && type != 9 && type != 18) || !streamIdZero) {
        position += 4;  // the trailing size of the last tag
        return Step::End;
    }
    if (expectedTagSize_ != 0 && tagSize != expectedTagSize_) {
        position += int64_t{dataSize} + 15;
        return Step::End;
    }
    expectedTagSize_ = dataSize + 11;
    previousDataSize_ = dataSize;
    position += int64_t{dataSize} + 15;
    return Step::More;
}

ChainWalk::Step MpgWalk::StepAt(const unsigned char* at, int64_t room) {
    static constexpr int kZeroRunEnd = 100;
    if (room < 16)
        return Step::Wait;
    if (at[0] == 0 && at[1] == 0 && at[2] == 0) {
        if (zeroRun_++ == 0)
            zeroStart_ = position;
        position += 1;
        if (zeroRun_ < kZeroRunEnd)
            return Step::More;
        position = zeroStart_;
        return Step::End;
    }
    zeroRun_ = 0;
    if (at[0] != 0 || at[1] != 0 || at[2] != 1)
        return Step::End;
    const uint8_t code = at[3];
    if (code == 0xBA) {  // pack header: MPEG-2 with its stuffing, or MPEG-1
        position += (at[4] & 0xC0) == 0x40 ? 14 + (at[13] & 7) : 12;
        return Step::More;
    }
    if (code == 0xB9) {  // program end code
        position += 4;
        return Step::End;
    }
    if (code >= 0xBB) {  // system header or packet
        position += 6 + int64_t{ReadBE16(at + 4)};
        return Step::More;
    }
    return Step::End;
}

ChainWalk::Step RmWalk::StepAt(const unsigned char* at, int64_t room) {
    static constexpr uint8_t kClosingWords[8] = {};
    if (room < 20)
        return Step::Wait;
    if (packetsLeft_ > 0) {  // a data packet: version, then its whole length
        const uint16_t length = ReadBE16(at + 2);
        if (ReadBE16(at) > 1 || length < 12)
            return Step::End;
        position += length;
        --packetsLeft_;
        return Step::More;
    }
    const uint32_t size = ReadBE32(at + 4);
    if (std::memcmp(at, "DATA", 4) == 0 && size >= 18) {
        packetsLeft_ = ReadBE32(at + 10);
        afterData_ = true;
        position += packetsLeft_ == 0 ? size : 18;
        return Step::More;
    }
    const bool header = position == 0 && std::memcmp(at, ".RMF", 4) == 0;
    const bool chunk = std::memcmp(at, "PROP", 4) == 0 || std::memcmp(at, "MDPR", 4) == 0 ||
                       std::memcmp(at, "CONT", 4) == 0;
    if (header || chunk) {
        if (size == 0)
            return Step::End;
        position += size;
        return Step::More;
    }
    if (std::memcmp(at, "INDX", 4) != 0 || size == 0) {
        if (afterData_ && std::memcmp(at, kClosingWords, 8) == 0)
            position += 8;
        return Step::End;
    }
    // Index chunks are chained by the offset of the next one; the last ends
    // the file.
    const uint32_t next = ReadBE32(at + 16);
    if (next != 0 && next > position) {
        position = next;
        return Step::More;
    }
    position += size;
    return Step::End;
}

namespace Zorado {

LZHAnalyser::LZHAnalyser() : StreamingAnalyser(kType, new FileLZHAnalyser()) {}

uint32_t LZHAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    static constexpr const char* kMethods[] = {"-lh5-", "-lh0-", "-lhd-", "-lh7-"};
    for (const char* method : kMethods) {
        if (std::memcmp(b + 2, method, 5) == 0)
            return Match(info);
    }
    return 0;
}

OGGAnalyser::OGGAnalyser() : StreamingAnalyser(kType, new CFileOggAnalyser()) {}

uint32_t OGGAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || openStart >= 0)
        return 0;
    return Match(info);
}

int OGGAnalyser::OGGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (owner_ != nullptr && owner_->openStart < 0)
        owner_->openStart = startSector;
    const int answer = ChainRecord::CalcRawSize(sector, sectorSize, sectorNumber, context);
    if (answer == 1)
        Close();
    return answer;
}

void OGGAnalyser::OGGRawFileInfo::WillBeRemove(unsigned char* sector, long long sectorNumber) {
    Close();
    ChainRecord::WillBeRemove(sector, sectorNumber);
}

void OGGAnalyser::OGGRawFileInfo::Close() {
    if (owner_ != nullptr && owner_->openStart == startSector)
        owner_->openStart = -1;
    owner_ = nullptr;
}

FLVAnalyser::FLVAnalyser() : StreamingAnalyser(kType, new FileFLVAnalyser()) {}

uint32_t FLVAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo&) {
    return b != nullptr && b[2] == 'V' ? 1 : 0;
}

bool FLVAnalyser::FLVRawFileInfo::Begin(const unsigned char* header, int) {
    return header[3] == 1 && ReadBE32(header + 9) == 0;
}

MPGAnalyser::MPGAnalyser() : StreamingAnalyser(kType, new FileMPGAnalyser()) {}

uint32_t MPGAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint32_t kPackStarts[] = {0x00010021, 0x6F710021, 0x482C0044, 0x09010021,
                                               0x00040044, 0x13FFFF2F, 0x04040044};
    if (b == nullptr)
        return 0;
    const uint32_t word = ReadLE32(b + 4);
    if (std::find(std::begin(kPackStarts), std::end(kPackStarts), word) == std::end(kPackStarts))
        return 0;
    return Match(info);
}

RM_RMVBAnalyser::RM_RMVBAnalyser() : StreamingAnalyser(kRMType, new FileRM_RMVBAnalyser()) {}

uint32_t RM_RMVBAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    info.fileType = TypeOf(b);
    return 1;
}

RAW_FILE_TYPE RM_RMVBAnalyser::TypeOf(const unsigned char* header) {
    const int64_t properties = FindBytes(header, 1024, "MDPR", 4);
    if (properties >= 0 && FindBytes(header + properties, std::min<int64_t>(160, 1024 - properties),
                                     "Video Stream", 12) >= 0) {
        return kRMVBType;
    }
    return kRMType;
}

}  // namespace Zorado

uint32_t FileLZHAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    LzhWalk walk;
    return WalkOnDevice(walk, info, device, 0xD000000, 2047) ? 1 : 0;
}

uint32_t CFileOggAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    OggWalk walk;
    info.fileType = Zorado::OGGAnalyser::kType;
    return WalkOnDevice(walk, info, device, 0x82000000, INT64_MAX) ? 1 : 0;
}

uint32_t FileFLVAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr || header[3] != 1 || ReadBE32(header + 9) != 0)
        return 0;
    FlvWalk walk;
    info.fileType = Zorado::FLVAnalyser::kType;
    return WalkOnDevice(walk, info, device, 0x82000000, INT64_MAX) ? 1 : 0;
}

uint32_t FileMPGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    MpgWalk walk;
    info.fileType = Zorado::MPGAnalyser::kType;
    return WalkOnDevice(walk, info, device, 0x82000000, INT64_MAX) ? 1 : 0;
}

uint32_t FileRM_RMVBAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr)
        return 0;
    info.fileType = Zorado::RM_RMVBAnalyser::TypeOf(header);
    RmWalk walk;
    return WalkOnDevice(walk, info, device, 0x104000000, INT64_MAX) ? 1 : 0;
}
