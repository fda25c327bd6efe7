#include "PictureMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

ChainWalk::Step MidWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 8)
        return Step::Wait;
    if (!SameTextIgnoringCase(at, "MTrk", 4))
        return Step::End;
    position += 8 + int64_t{ReadBE32(at + 4)};
    return Step::More;
}

ChainWalk::Step PspWalk::StepAt(const unsigned char* at, int64_t room) {
    static constexpr uint8_t kBlockMark[] = {0x7E, 0x42, 0x4B, 0x00};
    if (room < 10)
        return Step::Wait;
    if (std::memcmp(at, kBlockMark, 4) != 0)
        return Step::End;
    position += 10 + int64_t{ReadLE32(at + 6)};
    return Step::More;
}

ChainWalk::Step PsdSectionWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < 4)
        return Step::Wait;
    position += 4 + int64_t{ReadBE32(at)};
    if (++section_ < 3)
        return Step::More;
    sized = false;  // the image data is measured on the device
    return Step::End;
}

namespace ZizEdoza {

MIDAnalyser::MIDAnalyser() : StreamingAnalyser(kType, new FileMIDAnalyser()) {}

uint32_t MIDAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || ReadBE32(b + 4) != 6 || ReadBE16(b + 8) > 2 || ReadBE16(b + 10) == 0)
        return 0;
    return Match(info);
}

PSPAnalyser::PSPAnalyser() : StreamingAnalyser(kType, new FilePSPAnalyser()) {}

uint32_t PSPAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr char kSignature[32] = "Paint Shop Pro Image File\n\x1A";
    if (b == nullptr || std::memcmp(b, kSignature, 32) != 0)
        return 0;
    return Match(info);
}

PSDAnalyser::PSDAnalyser() : StreamingAnalyser(kType, new FilePSDAnalyser()) {}

uint32_t PSDAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint8_t kVersionAndReserved[8] = {0, 1, 0, 0, 0, 0, 0, 0};
    if (b == nullptr || std::memcmp(b + 4, kVersionAndReserved, 8) != 0)
        return 0;
    return Match(info);
}

}  // namespace ZizEdoza

uint32_t FileMIDAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    MidWalk walk;
    return WalkOnDevice(walk, info, device, 0xD000000, INT64_MAX) ? 1 : 0;
}

uint32_t FilePSPAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    PspWalk walk;
    if (!WalkOnDevice(walk, info, device, 0xD000000, INT64_MAX))
        return 0;
    // A picture of fewer than 512 bytes is no picture.
    if (info.size < 512 && info.size < 0xD000000) {
        info.size = 0;
        return 0;
    }
    return 1;
}

// The sections, then the image data: raw planes, or rows packed with their
// byte counts listed before them.
uint32_t FilePSDAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr || ReadBE16(header + 4) != 1 || ReadBE16(header + 6) != 0 ||
        ReadBE32(header + 8) != 0) {
        return 0;
    }
    const uint64_t channels = ReadBE16(header + 12);
    const uint64_t height = ReadBE32(header + 14);
    const uint64_t width = ReadBE32(header + 18);
    const uint64_t depth = ReadBE16(header + 22);
    uint64_t position = 26;
    for (int section = 0; section < 3 && position <= uint64_t(kCap); ++section) {
        const uint8_t* length = reader.GetRawFileBuffer(position);
        if (length == nullptr)
            return 0;
        position += 4 + uint64_t{ReadBE32(length)};
    }
    const uint8_t* compression =
        position <= uint64_t(kCap) ? reader.GetRawFileBuffer(position) : nullptr;
    if (compression == nullptr)
        return 0;
    const uint16_t method = ReadBE16(compression);
    position += 2;
    if (method == 0) {
        position += std::min<uint64_t>(height * width * channels * depth / 8, uint64_t(kCap));
    } else if (method == 1) {
        const uint64_t rows = height * channels;
        uint64_t data = 0;
        uint64_t at = position;
        for (uint64_t row = 0; row < rows && at <= uint64_t(kCap); ++row, at += 2) {
            const uint8_t* count = reader.GetRawFileBuffer(at);
            if (count == nullptr)
                return 0;
            data += ReadBE16(count);
        }
        position = at + data;
    } else {
        return 0;
    }
    info.size =
        static_cast<int64_t>(std::min({position, uint64_t(kCap), reader.GetBytesToDeviceEnd()}));
    return 1;
}
