#include "ZipMemberTypes.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t kPages = 110;
constexpr uint32_t kKey = 111;
constexpr uint32_t kNumbers = 112;
constexpr uint32_t kEpub = 114;
constexpr uint32_t kOlm = 120;
constexpr uint32_t kOdt = 123;
constexpr uint32_t kOds = 124;
constexpr uint32_t kOdp = 125;
constexpr uint32_t kTax = 145;
constexpr uint32_t kDocx = 73;
constexpr uint32_t kXlsx = 74;
constexpr uint32_t kPptx = 75;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

bool IsOneOf(const std::string& text, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* name) { return text == name; });
}

// Where `pattern` (its first `length` bytes) starts at one of the first
// `positions` places of `bytes`, lying wholly inside `available`; -1 if not.
int64_t FindAt(const uint8_t* bytes, uint64_t available, const char* pattern, size_t length,
               uint64_t positions) {
    for (uint64_t at = 0; at < positions && at + length <= available; ++at) {
        if (std::memcmp(bytes + at, pattern, length) == 0)
            return static_cast<int64_t>(at);
    }
    return -1;
}

int64_t FindAt(const uint8_t* bytes, uint64_t available, const char* pattern,
               uint64_t positions) {
    return FindAt(bytes, available, pattern, std::strlen(pattern), positions);
}

// Sets the type from the Office package parts that only one kind of document has.
bool TypeOfficePart(const std::string& name, uint32_t& type) {
    if (name == "word/_rels/document.xml.rels")
        type = kDocx;
    else if (name == "xl/_rels/workbook.xml.rels")
        type = kXlsx;
    else if (name == "ppt/_rels/presentation.xml.rels")
        type = kPptx;
    else
        return false;
    return true;
}

bool IsMailArchiveFolder(const std::string& name) {
    return StartsWith(name, "Accounts/Outlook/") ||
           (StartsWith(name, "Local/") && EndsWith(name, "__Messages/"));
}

// The iWork members whose bytes tell a Pages document from a Numbers sheet.
bool TypeIWork(const std::string& name, const uint8_t* after, uint64_t available, uint32_t& type) {
    if (name == "buildVersionHistory.plist") {
        const int64_t numbers = FindAt(after, available, "<string>numbers-trunk", 256);
        const int64_t pages = FindAt(after, available, "<string>pages-trunk", 256);
        type = pages >= 0 && (numbers < 0 || pages < numbers) ? kPages : kNumbers;
        return true;
    }
    if (IsOneOf(name, {"Index/DocumentStylesheet.iwa", "Index/Tables/HeaderStorageBuckt-1.iwa"})) {
        const bool pages = FindAt(after, available, "imported-paragraph-style-", 256) >= 0 ||
                           FindAt(after, available, "layout-style-", 256) >= 0;
        type = pages ? kPages : kNumbers;
        return true;
    }
    if (IsOneOf(name, {"Index/Metadata.iwa", "Metadata/Properties.plist"})) {
        const bool pages = FindAt(after, available, "CalculationEngine", 256) >= 0 ||
                           FindAt(after, available, "DocumentMetadata", 256) >= 0 ||
                           FindAt(after, available, "Xrevision", 256) >= 0;
        type = pages ? kPages : kNumbers;
        return true;
    }
    return false;
}

// EPUB and OpenDocument name themselves in a first member "mimetype".
void TypeFromMimetype(const uint8_t* after, uint64_t available, uint32_t& type) {
    const uint64_t window = std::min<uint64_t>(available, 64);
    if (FindAt(after, window, "application/epub+", 48) >= 0)
        type = kEpub;
    if (FindAt(after, window, "application/vnd.oasis.opendocument.text", 26) >= 0)
        type = kOdt;
    if (FindAt(after, window, "application/vnd.oasis.opendocument.spreadsheet", 45, 20) >= 0)
        type = kOds;
    if (FindAt(after, window, "application/vnd.oasis.opendocument.presentation", 46, 19) >= 0)
        type = kOdp;
}

}  // namespace

bool IsOfficeZipHeader(const uint8_t* header, uint64_t available) {
    if (header == nullptr || available < 30)
        return false;
    const uint64_t nameLength = std::min<uint64_t>(header[26] | header[27] << 8, available - 30);
    const std::string name(reinterpret_cast<const char*>(header + 30), nameLength);
    for (const char* prefix : {"[Content_Types].xml", "docProps/app.xml", "word/theme/theme1.xml",
                               "_rels/.rels", "Categories.xml"}) {
        if (StartsWith(name, prefix))
            return true;
    }
    const uint64_t limit = std::min<uint64_t>(available, 4095);
    const auto* end = static_cast<const uint8_t*>(std::memchr(header, 0, limit));
    const uint64_t textLength = end != nullptr ? static_cast<uint64_t>(end - header) : limit;
    return (FindAt(header, textLength, "doc", textLength) >= 0 &&
            FindAt(header, textLength, "mimetype", textLength) < 0) ||
           FindAt(header, textLength, "ppt", textLength) >= 0;
}

bool IsAppArchiveMember(const std::string& name) {
    for (const char* word : {"Payload", "iTunesArtwork", "iTunesMetadata.plist", "Container",
                             "WatchKitSupport", "META-INF"}) {
        const size_t length = std::strlen(word);
        if (name.size() >= length && strncasecmp(name.c_str(), word, length) == 0)
            return true;
    }
    return false;
}

bool TypeFromLocalMember(const std::string& name, const uint8_t* after, uint64_t available,
                         bool office, uint32_t& type) {
    const bool core = name == "docProps/core.xml";
    if (office && name == "word/theme/theme1.xml") {
        type = kDocx;
        return core;
    }
    if (office && TypeOfficePart(name, type))
        return core;
    if (name.size() == 36) {
        if (std::count(name.begin(), name.end(), '-') == 4)
            type = kTax;
        return core;
    }
    const bool iWorkDocument = type == kPages || type == kKey;
    if (office) {
        if (IsMailArchiveFolder(name)) {
            type = kOlm;
            return core;
        }
    } else {
        if (!iWorkDocument && name.find("numbers/") != std::string::npos) {
            type = kNumbers;
            return core;
        }
        if (IsOneOf(name, {"Index/Slide1.iwa", "Index/Slide2.iwa", "index.apxl"})) {
            type = kKey;
            return core;
        }
        if (!iWorkDocument && TypeIWork(name, after, available, type))
            return core;
        if (type != kPages && type != kKey && type != kNumbers) {
            if (StartsWith(name, "OEBPS/Text/chapter") || name == "OPS/chapter.html") {
                type = kEpub;
                return core;
            }
            if (name == "mimetype") {
                TypeFromMimetype(after, available, type);
                return core;
            }
        }
    }
    if (office && name.size() >= 5 && StartsWith(name, "word"))
        type = kDocx;
    return core;
}

void TypeFromCentralMember(const std::string& name, bool office, uint32_t& type) {
    if (!office || TypeOfficePart(name, type))
        return;
    if (name == "Accounts/Outlook/")
        type = kOlm;
    else if (name.size() >= 5 && StartsWith(name, "word"))
        type = kDocx;
}
