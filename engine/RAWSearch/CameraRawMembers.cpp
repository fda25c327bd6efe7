#include "CameraRawMembers.h"

#include <cstring>

#include "ByteOrder.h"
#include "DeviceWalk.h"
#include "RawUtility.h"
#include "StreamWindow.h"

namespace {

// The record table that closes a CRW is only looked for past this.
constexpr int64_t kCrwLeastSize = 0x64000;
// The CRW mark's extra bytes when the record after it is present.
constexpr int64_t kCrwLongerTail = 10;
constexpr int64_t kCrwMarkBytes = 6;
// Bytes around a sector's start searched for a CRW mark cut in two.
constexpr int64_t kCrwAcrossBytes = 172;
// The previous sector's tail searched by the device walk.
constexpr int64_t kCrwPreviousTail = 80;
constexpr int64_t kCrwPreviousTailEnd = 70;

constexpr char kX3FDirectory[4] = {'S', 'E', 'C', 'd'};
// From the "SECd" mark to the file's end: the directory of five entries
// and the link to it.
constexpr int64_t kX3FDirectoryTail = 76;
constexpr int64_t kX3FPreviousExtra = 50;

// The first CRW mark in `length` bytes (6 readable past each position), as
// its position and tail; -1 when there is none.
int64_t FindCrwMark(const unsigned char* bytes, int64_t length, int64_t& tail) {
    for (int64_t i = 0; i < length; ++i) {
        tail = CrwTableTail(bytes + i);
        if (tail != 0)
            return i;
    }
    return -1;
}

}  // namespace

int64_t CrwTableTail(const unsigned char* mark) {
    if (mark[0] != 0x07 || mark[1] != 0x28 || mark[3] != 0 || mark[4] != 0)
        return 0;
    switch (ReadLE32(mark + 2)) {
        case 168:
            return 70;
        case 178:
            return 60;
        case 228:
            return 50;
        default:
            return 0;
    }
}

namespace Zorado {

CRWAnalyser::CRWAnalyser() : StreamingAnalyser(kType, new FileCRWAnalyser()) {}

uint32_t CRWAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr const char* kHeaps[] = {"CCDR", "TIFP", "ARCH"};
    if (b == nullptr || std::memcmp(b + 4, "\0\0HEAP", 6) != 0 || b[14] != 0x02)
        return 0;
    for (const char* heap : kHeaps) {
        if (std::memcmp(b + 10, heap, 4) == 0)
            return Match(info);
    }
    return 0;
}

int CRWAnalyser::CRWRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 1;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset >= kMaxSize)
        return 1;  // no end found: the device walk measures it
    if (offset < kCrwLeastSize || context.trailingZeroBytes < 9)
        return 2;
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const int64_t data = BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
    int64_t tail = 0;
    int64_t mark = FindCrwMark(sector, data, tail);
    if (mark >= 0) {
        mark += offset;
    } else {
        const RawSpan across = window.At(static_cast<uint64_t>(offset - kCrwAcrossBytes / 2));
        if (across.count < kCrwAcrossBytes + kCrwMarkBytes)
            return 2;
        mark = FindCrwMark(across.bytes, kCrwAcrossBytes, tail);
        if (mark < 0)
            return 2;
        mark += offset - kCrwAcrossBytes / 2;
    }
    int64_t end = mark + tail;
    if (tail == 60) {
        const RawSpan after = window.At(static_cast<uint64_t>(end));
        if (after.count >= 4 && ReadLE32(after.bytes) != 0)
            end += kCrwLongerTail;
    }
    return Finish(end, sectorNumber);
}

X3FAnalyser::X3FAnalyser() : StreamingAnalyser(kType, new FileX3FAnalyser()) {}

uint32_t X3FAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    return Match(info);
}

int X3FAnalyser::X3FRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize < 4)
        return 1;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset >= kMaxSize)
        return 1;
    const unsigned char* lastWord = sector + sectorSize - 4;
    // The directory opens at the sector's last word and runs on into the next.
    if (std::memcmp(lastWord, kX3FDirectory, 4) == 0)
        return Finish(offset + sectorSize - 4 + kX3FDirectoryTail, sectorNumber);
    if (ReadLE32(lastWord) != 0)
        return 2;
    int64_t mark = FindBytes(sector, sectorSize, kX3FDirectory, 4);
    if (mark >= 0)
        return Finish(offset + mark + kX3FDirectoryTail, sectorNumber);
    // A mark cut in two by the sector's start.
    const int64_t half = sectorSize / 2;
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const RawSpan before = window.At(static_cast<uint64_t>(offset - half));
    if (offset < half || before.count < static_cast<uint64_t>(half + 3))
        return 2;
    mark = FindBytes(before.bytes, half + 3, kX3FDirectory, 4);
    if (mark < 0)
        return 2;
    return Finish(offset - half + mark + kX3FDirectoryTail, sectorNumber);
}

}  // namespace Zorado

uint32_t FileCRWAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    info.size = GetRawFileSizeEX(*walk);
    return 1;
}

int64_t FileCRWAnalyser::GetRawFileSizeEX(RawFileBuffer& reader) {
    const int64_t sectorSize = reader.GetSectorSize();
    for (int64_t at = 0; at < kCap; at += sectorSize) {
        const uint8_t* sector = reader.GetRawFileBuffer(static_cast<uint64_t>(at));
        if (sector == nullptr)
            break;
        if (ReadLE32(sector + sectorSize - 8) != 0)
            continue;
        int64_t tail = 0;
        const int64_t mark = FindCrwMark(sector, sectorSize - kCrwMarkBytes + 1, tail);
        if (mark >= 0)
            return at + mark + tail;
        if (at < kCrwPreviousTail)
            continue;
        // A mark cut in two by the sector's start.
        const uint64_t from = static_cast<uint64_t>(at - kCrwPreviousTail);
        const uint8_t* previous = reader.GetRawFileBuffer(from);
        const int64_t across =
            previous != nullptr && reader.BytesReadableAt(from) >= kCrwPreviousTail + kCrwMarkBytes
                ? FindCrwMark(previous, kCrwPreviousTail, tail)
                : -1;
        if (across >= 0)
            return at - kCrwPreviousTail + across + kCrwPreviousTailEnd;
    }
    return kNotFoundSize;
}

uint32_t FileX3FAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    // Read per walk: devices of one scan may differ.
    const int64_t sectorSize = reader.GetSectorSize();
    info.fileType = Zorado::X3FAnalyser::kType;
    int64_t at = 0;
    for (; at < kCap; at += sectorSize) {
        const uint8_t* sector = reader.GetRawFileBuffer(static_cast<uint64_t>(at));
        if (sector == nullptr)
            break;
        const uint8_t* lastWord = sector + sectorSize - 4;
        if (std::memcmp(lastWord, kX3FDirectory, 4) == 0) {
            info.size = at + sectorSize - 4 + kX3FDirectoryTail;
            return 1;
        }
        if (ReadLE32(lastWord) != 0)
            continue;
        int64_t mark = FindBytes(sector, sectorSize, kX3FDirectory, 4);
        if (mark >= 0) {
            info.size = at + mark + kX3FDirectoryTail;
            return 1;
        }
        if (at == 0)
            continue;
        const uint64_t from = static_cast<uint64_t>(at - sectorSize);
        const uint8_t* previous = reader.GetRawFileBuffer(from);
        const int64_t span = sectorSize + kX3FPreviousExtra;
        mark = previous != nullptr && reader.BytesReadableAt(from) >= uint64_t(span)
                   ? FindBytes(previous, span, kX3FDirectory, 4)
                   : -1;
        if (mark >= 0) {
            info.size = at - sectorSize + mark + kX3FDirectoryTail;
            return 1;
        }
    }
    // No directory closes it: nothing accounts for its length.
    info.size = 0;
    return 0;
}
