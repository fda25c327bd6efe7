#include "OfficeTagFromXML.h"

#include <tinyxml.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ByteOrder.h"
#include "KvUtf8.h"

namespace Zorado {

namespace {

constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr size_t kLongestText = 1024;

enum class Inflated { kDone, kFailed, kNeedMore };

// Raw deflate of at most `inputLength` bytes into `out`; the stream must end.
Inflated InflateMember(const uint8_t* input, uint64_t inputLength, std::vector<char>& out) {
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK)
        return Inflated::kFailed;
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = static_cast<uInt>(inputLength);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size() - 1);
    const int result = inflate(&stream, Z_FINISH);
    const bool inputUsedUp = stream.avail_in == 0;
    const bool outputFull = stream.avail_out == 0;
    inflateEnd(&stream);
    if (result == Z_STREAM_END)
        return Inflated::kDone;
    return result == Z_BUF_ERROR && inputUsedUp && !outputFull ? Inflated::kNeedMore
                                                                : Inflated::kFailed;
}

std::string ElementText(TiXmlHandle properties, const char* name) {
    const TiXmlElement* element = properties.FirstChild(name).ToElement();
    const char* text = element != nullptr ? element->GetText() : nullptr;
    return text != nullptr ? text : std::string();
}

void StoreName(const std::string& text, std::string& field) {
    if (text.empty() || text.size() >= kLongestText)
        return;
    char converted[kLongestText] = {};
    const long length = UTF8ToANSI(reinterpret_cast<const unsigned char*>(text.data()),
                                   static_cast<long>(text.size()), converted, kLongestText - 1);
    if (length > 0)
        field.assign(converted, static_cast<size_t>(length));
}

}  // namespace

OfficeTagFromXML::Result OfficeTagFromXML::GetOfficeTagFromXML(const uint8_t* header,
                                                               uint64_t available, bool complete,
                                                               FileProperty& property) {
    if (header == nullptr || available < 30)
        return complete ? kFailed : kNeedMore;
    const uint16_t flags = ReadLE16(header + 6);
    const uint16_t method = ReadLE16(header + 8);
    const uint32_t compressed = ReadLE32(header + 18);
    const uint32_t uncompressed = ReadLE32(header + 22);
    // Sizes may follow the data instead (then both read 0 here).
    const bool sizesAfterData = (flags & 0x0008) != 0 && compressed == 0 && uncompressed == 0;
    if (method >= 11 || compressed >= kLargestMember || uncompressed >= kLargestMember)
        return kFailed;
    if (!sizesAfterData && (compressed == 0 || uncompressed == 0))
        return kFailed;
    const uint64_t data = 30 + uint64_t{ReadLE16(header + 26)} + ReadLE16(header + 28);
    // Without sizes the deflate stream shows its own end; give it what is there.
    const uint64_t wanted = sizesAfterData ? kLargestMember : compressed;
    if (available < data + wanted && !complete && !(sizesAfterData && available >= data + 2))
        return kNeedMore;
    if (available <= data)
        return complete ? kFailed : kNeedMore;
    const uint64_t input = std::min<uint64_t>(wanted, available - data);

    std::vector<char> text(kLargestMember + 1, '\0');
    if (method == kStored && !sizesAfterData) {
        if (input < compressed)
            return kFailed;
        std::memcpy(text.data(), header + data, compressed);
    } else if (method == kDeflated) {
        switch (InflateMember(header + data, input, text)) {
            case Inflated::kDone:
                break;
            case Inflated::kNeedMore:
                return complete || input >= wanted ? kFailed : kNeedMore;
            case Inflated::kFailed:
                return kFailed;
        }
    } else {
        return kFailed;
    }
    AnalyzeTag(text.data(), property);
    return kRead;
}

void OfficeTagFromXML::AnalyzeTag(const char* text, FileProperty& property) {
    if (text == nullptr || std::strncmp(text, "<?", 2) != 0)
        return;
    TiXmlDocument document;
    document.Parse(text);
    if (document.FirstChildElement() == nullptr)
        return;
    TiXmlHandle properties = TiXmlHandle(&document).FirstChild("cp:coreProperties");
    StoreName(ElementText(properties, "dc:title"), property.title);
    StoreName(ElementText(properties, "dc:creator"), property.creator);
    StoreName(ElementText(properties, "cp:lastModifiedBy"), property.author);
    const std::string created = ElementText(properties, "dcterms:created");
    if (!created.empty())
        property.created = FilterFileTime(created);
    const std::string modified = ElementText(properties, "dcterms:modified");
    if (!modified.empty())
        property.modified = FilterFileTime(modified);
}

std::string OfficeTagFromXML::FilterFileTime(std::string time) {
    for (size_t i = 1; i < time.size(); ++i) {
        const char c = time[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            time[i] = ' ';
        else if (c == ':')
            time[i] = '-';
    }
    return time;
}

}  // namespace Zorado
