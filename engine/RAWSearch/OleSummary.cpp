#include "OleSummary.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "ByteOrder.h"
#include "KvUtf8.h"

namespace {

// The SummaryInformation format identifier as stored.
constexpr uint8_t kSummaryFormat[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                        0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr uint32_t kMostProperties = 31;
constexpr uint32_t kLongest8BitText = 1024;
constexpr uint32_t kLongestWideText = 512;
constexpr size_t kTextBytes = 24;
// 100-nanosecond ticks from 1601 to 1970.
constexpr uint64_t kFileTimeAt1970 = 116444736000000000ULL;

constexpr uint32_t kTitle = 2;
constexpr uint32_t kAuthor = 4;
constexpr uint32_t kLastAuthor = 8;
constexpr uint32_t kCreated = 12;
constexpr uint32_t kLastSaved = 13;

constexpr uint32_t kTypeInt16 = 2;
constexpr uint32_t kTypeText = 30;
constexpr uint32_t kTypeWideText = 31;
constexpr uint32_t kTypeFileTime = 64;

// Valid UTF-8 made of one- to three-byte sequences.
bool IsShortUtf8(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length;) {
        const uint8_t c = bytes[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t n = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 0;
        if (n == 0 || i + n >= length)
            return false;
        for (size_t k = 1; k <= n; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += n + 1;
    }
    return true;
}

// The text of a file time, in UTC; empty for 0 or a time before 1970.
std::string FileTimeText(uint64_t ticks) {
    if (ticks < kFileTimeAt1970)
        return std::string();
    const time_t seconds = static_cast<time_t>((ticks - kFileTimeAt1970) / 10000000);
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr)
        return std::string();
    char text[64];
    std::snprintf(text, sizeof(text), "%d-%02d-%02d-%02d-%02d-%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

}  // namespace

bool CSummaryInFormation::IsDocumentInformation(const uint8_t* stream,
                                                PropertySetStream& header) const {
    if (stream == nullptr || length_ < 48)
        return false;
    header.byteOrder = ReadLE16(stream);
    header.version = ReadLE16(stream + 2);
    header.systemId = ReadLE32(stream + 4);
    std::memcpy(header.classId, stream + 8, 16);
    header.sectionCount = ReadLE32(stream + 24);
    std::memcpy(header.formatId, stream + 28, 16);
    header.sectionOffset = ReadLE32(stream + 44);
    // The document summary set shares the header but means other things by
    // the same identifiers, so only the summary set is read.
    return header.byteOrder == 0xFFFE && header.version <= 1 &&
           (header.sectionCount == 1 || header.sectionCount == 2) &&
           std::memcmp(header.formatId, kSummaryFormat, 16) == 0;
}

bool CSummaryInFormation::GetFileInformation(const uint8_t* stream, FileProperty& property,
                                             uint32_t length) {
    length_ = length;
    PropertySetStream header;
    if (!IsDocumentInformation(stream, header))
        return false;
    const uint64_t section = header.sectionOffset;
    if (section + 8 > length)
        return false;
    sectionSize_ = ReadLE32(stream + section);
    propertyCount_ = ReadLE32(stream + section + 4);
    if (propertyCount_ == 0)
        return false;
    FileProperty found;
    for (uint32_t i = 0; i < propertyCount_ && i < kMostProperties; ++i) {
        const uint64_t pair = section + 8 + uint64_t{i} * 8;
        if (pair + 8 > length)
            break;
        const uint32_t id = ReadLE32(stream + pair);
        const uint64_t value = section + ReadLE32(stream + pair + 4);
        if (value > length)
            continue;
        std::string* target = id == kTitle        ? &found.title
                              : id == kAuthor     ? &found.creator
                              : id == kLastAuthor ? &found.author
                              : id == kCreated    ? &found.created
                              : id == kLastSaved  ? &found.modified
                                                  : nullptr;
        if (target == nullptr)
            continue;
        uint16_t codePage = 0;
        *target = GetDetailInformation(stream, static_cast<uint32_t>(value), codePage);
        if (id == kCreated || id == kLastSaved)
            *target = FilterFileTime(*target);
    }
    if (found.title.empty() && found.creator.empty() && found.author.empty() &&
        found.created.empty() && found.modified.empty()) {
        return false;
    }
    property.title = found.title;
    property.creator = found.creator;
    property.author = found.author;
    property.created = found.created;
    property.modified = found.modified;
    return true;
}

std::string CSummaryInFormation::GetDetailInformation(const uint8_t* stream, uint32_t offset,
                                                      uint16_t& codePage) {
    if (stream == nullptr || uint64_t{offset} + 8 > length_)
        return std::string();
    const uint32_t type = ReadLE32(stream + offset);
    const uint8_t* value = stream + offset + 4;
    const uint64_t room = length_ - offset - 4;
    switch (type) {
        case kTypeFileTime:
            return FileTimeText(ReadLE64(value));
        case kTypeInt16:
            codePage = ReadLE16(value);
            return std::string();
        case kTypeText: {
            const uint32_t count = ReadLE32(value);
            if (count > kLongest8BitText || uint64_t{count} + 4 > room)
                return std::string();
            const uint8_t* bytes = value + 4;
            size_t used = 0;
            while (used < count && bytes[used] != 0)
                ++used;
            std::string text;
            if (IsShortUtf8(bytes, used))
                text.assign(reinterpret_cast<const char*>(bytes), used);
            else if (!ConvertText("GBK", "UTF-8", bytes, used, text))
                text.clear();
            return OperateString(text);
        }
        case kTypeWideText: {
            const uint32_t count = ReadLE32(value);
            if (count > kLongestWideText || uint64_t{count} * 2 + 4 > room)
                return std::string();
            const uint8_t* units = value + 4;
            size_t used = 0;
            while (used < count && (units[2 * used] | units[2 * used + 1]) != 0)
                ++used;
            std::string text;
            if (!ConvertText("UTF-16LE", "UTF-8", units, used * 2, text))
                text.clear();
            return text;
        }
        default:
            return std::string();
    }
}

std::string CSummaryInFormation::FilterFileTime(std::string text) {
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == ':')
            text[i] = '-';
    }
    return text;
}

std::string CSummaryInFormation::OperateString(std::string text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return CutUtf8(text.substr(first), kTextBytes);
}
