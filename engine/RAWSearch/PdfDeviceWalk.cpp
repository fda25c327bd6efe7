#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "PdfAnalyzer.h"
#include "PdfEnd.h"
#include "RawFileBuffer.h"

namespace {

constexpr uint64_t kIllustratorReach = 1024;

// Whether `bytes` start "<number> <number> obj".
bool IsObjectHeader(const uint8_t* bytes, uint64_t length) {
    uint64_t at = 0;
    for (int field = 0; field < 2; ++field) {
        const uint64_t from = at;
        while (at < length && at - from < 10 && bytes[at] >= '0' && bytes[at] <= '9')
            ++at;
        if (at == from || at >= length || bytes[at] != ' ')
            return false;
        ++at;
    }
    return length - at >= 3 && std::memcmp(bytes + at, "obj", 3) == 0;
}

// Whether `bytes` hold a comment of printable text closed by a line end.
bool IsCommentLine(const uint8_t* bytes, uint64_t length) {
    constexpr uint64_t kLongestComment = 255;
    for (uint64_t at = 1; at < length && at <= kLongestComment; ++at) {
        if (bytes[at] == '\r' || bytes[at] == '\n')
            return true;
        if (bytes[at] < 0x20 || bytes[at] >= 0x7F)
            return false;
    }
    return false;
}

// Whether the bytes after an end marker and its line end carry on the
// document: after blank lines, an incremental update's object or
// cross-reference table, or a comment line.
bool Continues(const uint8_t* bytes, uint64_t length) {
    constexpr uint64_t kMostBlanks = 64;
    uint64_t at = 0;
    while (at < length && at < kMostBlanks &&
           (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    if (at >= length)
        return false;
    const uint8_t* next = bytes + at;
    const uint64_t left = length - at;
    if (next[0] == '%')
        return IsCommentLine(next, left);
    return (left >= 4 && std::memcmp(next, "xref", 4) == 0) || IsObjectHeader(next, left);
}

bool IsIllustrator(RawFileBuffer& reader) {
    std::vector<uint8_t> head;
    if (!reader.CopyBytes(0, kIllustratorReach + 512, head))
        return false;
    static constexpr char kPs[] = "%!PS-Adobe";
    static constexpr char kIllustrator[] = "Adobe Illustrator";
    const auto from = std::search(head.begin(), head.end(), kPs, kPs + 10);
    if (from == head.end() || from - head.begin() >= static_cast<long>(kIllustratorReach))
        return false;
    const auto zero = std::find(from, head.end(), uint8_t{0});
    return std::search(from, zero, kIllustrator, kIllustrator + 17) != zero;
}

}  // namespace

uint32_t FilePDFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    if (reader.GetRawFileBuffer(0) == nullptr)
        return 0;
    if (IsIllustrator(reader))
        info.fileType = BruteForce::PdfAnalyzer::kAi;
    const uint64_t sector = reader.GetSectorSize();
    const uint64_t deviceEnd = reader.GetBytesToDeviceEnd();
    uint64_t offset = 0;
    uint64_t lastEnd = 0;
    for (; offset <= kLongestWalk && offset < deviceEnd; offset += sector) {
        const uint8_t* bytes = reader.GetRawFileBuffer(offset);
        if (bytes == nullptr)
            break;
        // Another document starts here.
        if (offset > 0 && std::memcmp(bytes, "%PDF-", 5) == 0) {
            info.size = static_cast<int64_t>(offset);
            return 1;
        }
        const uint64_t readable = std::min(reader.BytesReadableAt(offset), deviceEnd - offset);
        uint32_t tail = 0;
        std::memcpy(&tail, bytes + sector - 4, 4);
        const bool zeroTail = tail == 0;
        for (uint64_t at = 0; at < sector && at + PdfEnd::kMarkerBytes <= readable; ++at) {
            if (!PdfEnd::IsMarker(bytes + at))
                continue;
            const uint64_t after = at + PdfEnd::kMarkerBytes;
            const uint64_t stop = after + PdfEnd::LineEnd(bytes + after, readable - after);
            lastEnd = offset + stop;
            // A sector that ends in zeros holds the file's last bytes; elsewhere
            // the marker ends the file unless more of the document follows.
            if (zeroTail || !Continues(bytes + stop, readable - stop)) {
                info.size = static_cast<int64_t>(lastEnd);
                return 1;
            }
        }
    }
    info.size = static_cast<int64_t>(lastEnd > 0 ? lastEnd : std::min(offset, deviceEnd));
    return 1;
}
