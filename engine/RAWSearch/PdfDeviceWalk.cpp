#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "PdfAnalyzer.h"
#include "PdfEnd.h"
#include "RawFileBuffer.h"

namespace {

constexpr uint64_t kIllustratorReach = 1024;

// Whether the bytes after an end marker and its line end carry on the
// document: an incremental update's objects or cross-reference table, a
// comment, or blank lines.
bool Continues(const uint8_t* bytes, uint64_t length) {
    if (length == 0)
        return false;
    const uint8_t c = bytes[0];
    return (c >= '0' && c <= '9') || c == '%' || c == ' ' || c == '\t' || c == '\r' || c == '\n' ||
           (length >= 4 && std::memcmp(bytes, "xref", 4) == 0);
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
