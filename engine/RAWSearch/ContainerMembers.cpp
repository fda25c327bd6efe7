#include "ContainerMembers.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

namespace {

constexpr int64_t kTrailerBytes = 512;

}  // namespace

ChainWalk::Step KolyWalk::StepAt(const unsigned char* at, int64_t room) {
    if (room < kTrailerBytes)
        return Step::Wait;
    position += kTrailerBytes;
    // The trailer's last reserved words are zero.
    if (std::memcmp(at, "koly", 4) == 0 && ReadLE64(at + kTrailerBytes - 8) == 0) {
        sized = true;
        return Step::End;
    }
    sized = false;  // no trailer yet: a walk cut short here has no size
    return Step::More;
}

ChainWalk::Step MobiWalk::StepAt(const unsigned char* at, int64_t room) {
    static constexpr uint8_t kEndRecord[4] = {0xE9, 0x8E, 0x0D, 0x0A};
    switch (visits_++) {
        case 0: {  // the book's header: the record count
            if (room < 78)
                return Step::Wait;
            const uint32_t records = ReadBE32(at + 74);
            sized = records != 0;
            position = int64_t{records} * 8 + 70;  // the last record-list entry
            return sized ? Step::More : Step::End;
        }
        case 1: {  // the last entry: where the last record starts
            if (room < 8)
                return Step::Wait;
            const int64_t record = ReadBE32(at);
            sized = record > position;
            position = record;
            return sized ? Step::More : Step::End;
        }
        default:  // the last record: the end-of-file record, or leave it to the device walk
            if (room < 4)
                return Step::Wait;
            sized = std::memcmp(at, kEndRecord, 4) == 0;
            position += 4;
            return Step::End;
    }
}

ChainWalk::Step MlvBlockWalk::StepAt(const unsigned char* at, int64_t room) {
    static constexpr const char* kTags[] = {"MLVI", "RAWI", "INFO", "RTCI", "EXPO",
                                            "LENS", "IDNT", "WBAL", "STYL", "WAVI",
                                            "MARK", "VIDF", "NULL", "AUDF", "BKUP"};
    if (room < 8)
        return Step::Wait;
    const uint32_t size = ReadLE32(at + 4);
    const bool known = std::any_of(std::begin(kTags), std::end(kTags),
                                   [at](const char* tag) { return std::memcmp(at, tag, 4) == 0; });
    if (!known || size == 0)
        return Step::End;
    position += size;
    return Step::More;
}

namespace Zorado {

DMGAnalyser::DMGAnalyser() : StreamingAnalyser(kType, new FileDMGAnalyser()) {}

uint32_t DMGAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b, "BZh11AY&SY", 10) != 0)
        return 0;
    return Match(info);
}

}  // namespace Zorado

namespace ZizEdoza {

uint32_t MOBIAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || !SameTextIgnoringCase(b + 60, "BOOKMOBI", 8))
        return 0;
    return Match(info);
}

uint32_t FileMOBIAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr)
        return 0;
    const uint64_t entry = uint64_t{ReadBE32(header + 74)} * 8 + 70;
    const uint8_t* last = reader.GetRawFileBuffer(entry);
    if (last == nullptr || ReadBE32(last) <= entry)
        return 0;
    info.fileType = MOBIAnalyser::kType;
    info.size = std::min<int64_t>(int64_t{ReadBE32(last)} + 4,
                                  static_cast<int64_t>(reader.GetBytesToDeviceEnd()));
    return 1;
}

uint32_t MLvAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b + 52, "RAWI", 4) != 0)
        return 0;
    return Match(info);
}

New3DSAnalyser::New3DSAnalyser() : StreamingAnalyser(kType, new File3DSAnalyser()) {}

uint32_t New3DSAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const bool chunks = ReadLE16(b) == 0x4D4D && ReadLE16(b + 16) == 0x3D3D;
    if (!chunks && std::memcmp(b + 256, "NCSD", 4) != 0)
        return 0;
    return Match(info);
}

int64_t New3DSAnalyser::StatedSize(const unsigned char* header) {
    if (ReadLE16(header) == 0x4D4D) {  // the main chunk's length is the file's
        const int64_t length = ReadLE32(header + 2);
        return length >= 18 && length <= kMaxSize ? length : 0;
    }
    const int64_t units = ReadLE32(header + 260);
    return units <= kMaxSize ? std::min(kMaxSize, units * 512) : 200000000;
}

int New3DSAnalyser::New3DSRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                                   long long sectorNumber, SearchContext&) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t stated = StatedSize(sector);
    return stated > 0 ? Finish(stated, sectorNumber) : 1;
}

}  // namespace ZizEdoza

uint32_t FileDMGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    KolyWalk walk;
    info.fileType = Zorado::DMGAnalyser::kType;
    return WalkOnDevice(walk, info, device, 0x82000000, INT64_MAX) ? 1 : 0;
}

uint32_t File3DSAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr)
        return 0;
    info.size = std::min<int64_t>(ZizEdoza::New3DSAnalyser::StatedSize(header),
                                  static_cast<int64_t>(reader.GetBytesToDeviceEnd()));
    return info.size > 0 ? 1 : 0;
}
