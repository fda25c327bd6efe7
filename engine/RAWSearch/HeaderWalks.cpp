// Header tests and device walks of the members that measure their file on the
// device: Compact Pro archives, RIFF forms, mailboxes, UTF-16 HTML, AIFF.

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "DeviceWalk.h"
#include "HeaderAnalysers.h"
#include "SearchSignFileAnalyser.h"
#include "StreamingRecord.h"

namespace {

// The u32 at `offset`, or false when it cannot be read.
bool ReadAt(RawFileBuffer& reader, uint64_t offset, uint32_t& value) {
    const uint8_t* at = reader.GetRawFileBuffer(offset);
    if (at == nullptr)
        return false;
    value = ReadLE32(at);
    return true;
}

bool Readable(RawFileBuffer& reader, uint64_t offset) {
    return reader.GetRawFileBuffer(offset) != nullptr;
}

}  // namespace

uint32_t FileCPTAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b + 4, "FILE", 4) != 0 || ReadLE32(b + 52) != 316)
        return 0;
    info.fileType = 17;
    info.size = 0;
    return 1;
}

// The last entry of the table at byte 52 leads to the last stored item; its
// stored length (or the item's own end) gives the archive's end.
uint32_t FileCPTAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    // Offsets are 32-bit and wrap as the format's own arithmetic does.
    uint32_t table = 0, entries = 0, last = 0, extra = 0;
    if (!Readable(reader, 0) || !ReadAt(reader, 52, table) || !Readable(reader, table) ||
        !ReadAt(reader, 40, entries) || !ReadAt(reader, uint32_t(table + 8 * entries - 8), last) ||
        !Readable(reader, last) || !ReadAt(reader, uint32_t(last + 32), extra)) {
        return 0;
    }
    uint32_t position = last + 60;
    if (extra != 0) {
        uint32_t stored = 0;
        if (!ReadAt(reader, position, stored))
            return 0;
        if (stored == extra)
            position += extra;
    }
    uint32_t start = 0, length = 0;
    if (!ReadAt(reader, position, start) || !ReadAt(reader, uint32_t(position + 4), length))
        return 0;
    if (start == 0 || length == 0) {
        info.size = WithinDevice(reader, last);
        return 1;
    }
    uint32_t a = 0, b = 0;
    if (!ReadAt(reader, uint32_t(start - 8), a) || !ReadAt(reader, uint32_t(start - 4), b))
        return 0;
    info.size = WithinDevice(reader, uint32_t(a + b));
    return 1;
}

uint32_t FileRIFFAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    struct Form {
        const char* first;
        const char* second;
        RAW_FILE_TYPE type;
    };
    static constexpr Form kForms[] = {
        {"WAVE", "fmt ", 67}, {"AVI ", "LIST", 10}, {"ACON", "LIST", 4},  {"ACON", "anih", 4},
        {"CARC", "vrsn", 15}, {"CSL2", "vrsn", 19}, {"CDR7", "vrsn", 13}, {"CDR8", "vrsn", 13},
        {"cdr8", "vrsn", 13}, {"CDR9", "vrsn", 13}, {"CDRA", "vrsn", 13}, {"CDRB", "vrsn", 13},
        {"CDRC", "vrsn", 13},
    };
    if (b == nullptr)
        return 0;
    info.size = 0;
    info.fileType = 59;
    for (size_t i = 0; i < std::size(kForms); ++i) {
        if (i == 4 && SameTextIgnoringCase(b + 8, "CMX1", 4) &&
            std::memcmp(b + 20, "{Corel Binary Meta File}", 24) == 0) {
            info.fileType = 16;
            break;
        }
        if (SameTextIgnoringCase(b + 8, kForms[i].first, 4) &&
            SameTextIgnoringCase(b + 12, kForms[i].second, 4)) {
            info.fileType = kForms[i].type;
            break;
        }
    }
    return 1;
}

// The form's stated length and its 8-byte chunk header, to the byte.
uint32_t FileRIFFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    uint32_t length = 0;
    if (!ReadAt(reader, 4, length))
        return 0;
    info.size = WithinDevice(reader, int64_t{length} + 8);
    return 1;
}

uint32_t FileMboxAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b, "From ", 5) != 0)
        return 0;
    info.fileType = 126;
    info.size = 0;
    return 1;
}

namespace {

// Mail is text: printable and 8-bit bytes, tabs, line and page ends, escapes.
bool IsMailText(uint8_t c) {
    if (c >= 0x20)
        return c != 0x7F;
    return c == '\t' || c == '\n' || c == '\r' || c == 0x0C || c == 0x1B;
}

}  // namespace

// A mailbox ends where its text does: at the first zero byte, or after the
// last line before other bytes; or where the next mailbox starts.
uint32_t FileMboxAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    static constexpr uint64_t kCap = 0xD000000;
    static constexpr uint64_t kStep = 512;
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    const uint64_t deviceEnd = reader.GetBytesToDeviceEnd();
    uint64_t position = 0;
    uint64_t lineEnd = 0;  // after the last line feed met
    while (position < deviceEnd && position <= kCap) {
        const uint8_t* step = reader.GetRawFileBuffer(position);
        if (step == nullptr)
            break;
        const uint64_t length = std::min(kStep, deviceEnd - position);
        if (position > 0 && length >= 5 && std::memcmp(step, "From ", 5) == 0) {
            info.size = static_cast<int64_t>(position);
            return 1;
        }
        for (uint64_t i = 0; i < length; ++i) {
            if (step[i] == '\n')
                lineEnd = position + i + 1;
            if (IsMailText(step[i]))
                continue;
            const uint64_t end = position + i;
            info.size = static_cast<int64_t>(step[i] == 0 || lineEnd == 0 ? end : lineEnd);
            return info.size > 0 ? 1 : 0;
        }
        position += length;
    }
    info.size = static_cast<int64_t>(std::min(position, deviceEnd));
    return 1;
}

uint32_t FileUnicodeHTMAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint8_t kStart[] = {0xFF, 0xFE, 0x3C, 0x00};
    if (b == nullptr || std::memcmp(b, kStart, 4) != 0)
        return 0;
    info.fileType = 33;
    info.size = 0;
    return 1;
}

namespace {

// The UTF-16LE text at `at` spells `word`, letters in either case.
bool SpellsWide(const uint8_t* at, const char* word) {
    for (size_t i = 0; word[i] != 0; ++i) {
        const uint16_t unit = ReadLE16(at + 2 * i);
        const auto lower = [](uint16_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (lower(unit) != lower(static_cast<uint8_t>(word[i])))
            return false;
    }
    return true;
}

}  // namespace

uint32_t FileUnicodeHTMAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    static constexpr int64_t kLastPosition = 0x100001;
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    const uint8_t* first = reader.GetRawFileBuffer(0);
    if (first == nullptr || (!SpellsWide(first + 2, "<HTML>") && ReadLE16(first + 4) != '!'))
        return 0;
    bool tagged = false;
    for (int at = 2; at <= 498 && !tagged; at += 2)
        tagged = SpellsWide(first + at, "<HTML>");
    if (!tagged)
        return 0;
    for (int64_t q = 14; q < kLastPosition; q += 2) {
        const uint8_t* unit = reader.GetRawFileBuffer(static_cast<uint64_t>(q));
        if (unit == nullptr)
            return 0;
        const uint16_t c = ReadLE16(unit);
        if (c == '<' && SpellsWide(unit, "</HTML>")) {
            info.size = q + 16;
            return 1;
        }
        if (c == 0x0000 || c == 0xFFFF || c == 0xFEFF) {
            info.size = q;
            return 1;
        }
    }
    info.size = kLastPosition + 1;
    return 1;
}

uint32_t CFileAIFAnalyzer::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || std::memcmp(b + 8, "AIF", 3) != 0)
        return 0;
    info.fileType = 80;
    info.size = 0;
    return 1;
}

uint32_t CFileAIFAnalyzer::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    const auto walk = OpenDeviceWalk(info, device);
    if (!walk)
        return 0;
    RawFileBuffer& reader = *walk;
    const uint8_t* first = reader.GetRawFileBuffer(0);
    info.size = 0;
    if (first != nullptr && std::memcmp(first, "FORM", 4) == 0 &&
        std::memcmp(first + 8, "AIF", 3) == 0) {
        info.size = WithinDevice(reader, int64_t{ReadBE32(first + 4)} + 8);
    }
    return 1;
}
