#include "FilePKGAnalyser.h"

#include <tinyxml.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

namespace {

constexpr uint64_t kXarHeaderBytes = 28;
constexpr uint64_t kLargestXarHeader = 4096;
// Deeper tables of contents are refused before the XML parser sees them.
constexpr int kDeepestToc = 256;

bool IsXar(const uint8_t* bytes) {
    return std::memcmp(bytes, "xar!", 4) == 0;
}

bool IsPkg(const uint8_t* bytes) {
    return bytes[0] == 0x7F && std::memcmp(bytes + 1, "PKG", 3) == 0;
}

// Whether elements nest no deeper than kDeepestToc.
bool IsShallow(const char* text) {
    int depth = 0;
    for (const char* at = std::strchr(text, '<'); at != nullptr; at = std::strchr(at + 1, '<')) {
        if (at[1] == '/') {
            --depth;
        } else if (at[1] != '?' && at[1] != '!') {
            const char* close = std::strchr(at, '>');
            if (close == nullptr)
                return true;  // the parser refuses it
            if (close[-1] != '/' && ++depth > kDeepestToc)
                return false;
        }
    }
    return true;
}

// The unsigned number an element's text holds; false when there is none.
bool NumberOf(const TiXmlElement* element, uint64_t& number) {
    const char* text = element != nullptr ? element->GetText() : nullptr;
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    number = std::strtoull(text, nullptr, 10);
    return true;
}

// Offset plus length (or size, for checksums and signatures) of an element
// that places bytes in the heap.
bool HeapRangeEnd(const TiXmlElement* element, uint64_t& end) {
    uint64_t offset = 0;
    uint64_t length = 0;
    if (!NumberOf(element->FirstChildElement("offset"), offset))
        return false;
    if (!NumberOf(element->FirstChildElement("length"), length) &&
        !NumberOf(element->FirstChildElement("size"), length))
        return false;
    if (offset > UINT64_MAX - length)
        return false;
    end = offset + length;
    return true;
}

}  // namespace

uint32_t FilePKGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || !(IsXar(sector) || IsPkg(sector)))
        return 0;
    info.fileType = kPkg;
    info.size = 0;
    return 1;
}

bool FilePKGAnalyser::PkgSignFileSize(const uint8_t* header, uint64_t& size) {
    size = 0;
    if (!IsPkg(header) || header[6] != 0 || (header[7] != 1 && header[7] != 2))
        return false;
    const uint64_t stored = ReadBE64(header + 24);
    if (stored == 0 || stored > kSizeLimit)
        return false;
    size = stored;
    return true;
}

bool FilePKGAnalyser::HeapEnd(const char* tocText, uint64_t& heapEnd) {
    heapEnd = 0;
    if (tocText == nullptr || !IsShallow(tocText))
        return false;
    TiXmlDocument document;
    document.Parse(tocText);
    if (document.Error())
        return false;
    const TiXmlElement* toc =
        TiXmlHandle(&document).FirstChild("xar").FirstChild("toc").ToElement();
    if (toc == nullptr)
        return false;
    // Every element below the table of contents, depth first without recursion.
    std::vector<const TiXmlElement*> pending = {toc};
    while (!pending.empty()) {
        const TiXmlElement* element = pending.back();
        pending.pop_back();
        uint64_t end = 0;
        if (element != toc && HeapRangeEnd(element, end) && end > heapEnd)
            heapEnd = end;
        for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            pending.push_back(child);
        }
    }
    return true;
}

uint32_t FilePKGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    std::vector<uint8_t> header;
    if (!reader.CopyBytes(0, 32, header) || header.size() < 32)
        return 0;
    uint64_t size = 0;
    if (PkgSignFileSize(header.data(), size)) {
        info.size = static_cast<int64_t>(size);
        return 1;
    }
    const uint64_t packed = ReadBE64(header.data() + 8);
    const uint64_t unpacked = ReadBE64(header.data() + 16);
    if (packed == 0 || packed > kLargestToc || unpacked == 0 || unpacked > kLargestToc ||
        packed > unpacked)
        return 0;
    // Version 1 headers are 28 bytes; later ones say how long they are.
    const uint16_t stored = ReadBE16(header.data() + 4);
    const uint64_t tocStart =
        stored >= kXarHeaderBytes && stored <= kLargestXarHeader ? stored : kXarHeaderBytes;
    std::vector<uint8_t> compressed;
    if (!reader.CopyBytes(tocStart, packed, compressed) || compressed.size() != packed)
        return 0;
    std::vector<uint8_t> text(unpacked + 1, 0);
    uLongf inflated = static_cast<uLongf>(unpacked);
    if (uncompress(text.data(), &inflated, compressed.data(), static_cast<uLong>(packed)) != Z_OK)
        return 0;
    text[inflated] = 0;
    uint64_t heapEnd = 0;
    if (!HeapEnd(reinterpret_cast<const char*>(text.data()), heapEnd))
        return 0;
    const uint64_t heapStart = tocStart + packed;
    info.size =
        static_cast<int64_t>(heapEnd <= kSizeLimit - heapStart ? heapStart + heapEnd : heapStart);
    return 1;
}
