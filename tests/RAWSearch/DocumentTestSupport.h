#pragma once

// Small ZIP archives for the document analysers' tests, written here so a
// test can give them exactly the layout it is about.

#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "RawTestSupport.h"

namespace harbex::test {

// Random bytes with each file at its sector, random slack after it.
inline std::vector<uint8_t> RandomImage(
    uint32_t sectorSize, uint32_t sectors,
    const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& files, uint32_t seed = 3) {
    std::mt19937 random(seed);
    std::vector<uint8_t> image(size_t(sectors) * sectorSize);
    for (uint8_t& byte : image)
        byte = uint8_t(random());
    for (const auto& [sector, bytes] : files)
        Place(image, size_t(sector) * sectorSize, bytes);
    image.resize(size_t(sectors) * sectorSize);
    return image;
}

struct ZipMember {
    std::string name;
    std::string data;
    bool deflate = true;
    bool descriptor = false;  // sizes after the data, zeros in the header
    bool zip64 = false;       // sizes in a 64-bit extra field
};

inline void PutLE(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k)
        out.push_back(uint8_t(value >> (8 * k)));
}

inline std::string RawDeflate(const std::string& data) {
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

inline std::vector<uint8_t> MakeZip(const std::vector<ZipMember>& members,
                                    const std::string& comment = std::string()) {
    std::vector<uint8_t> zip;
    std::vector<uint8_t> central;
    for (const ZipMember& member : members) {
        const std::string packed = member.deflate ? RawDeflate(member.data) : member.data;
        const uint32_t crc = uint32_t(
            crc32(0, reinterpret_cast<const Bytef*>(member.data.data()), uInt(member.data.size())));
        const uint16_t flags = member.descriptor ? 0x0808 : 0;
        const uint16_t method = member.deflate ? 8 : 0;
        const uint32_t offset = uint32_t(zip.size());
        auto common = [&](std::vector<uint8_t>& out, bool local) {
            PutLE(out, 20, 2);
            PutLE(out, flags, 2);
            PutLE(out, method, 2);
            PutLE(out, 0, 4);  // time and date
            const bool hidden = local && member.descriptor;
            PutLE(out, hidden ? 0 : crc, 4);
            const uint64_t escape = member.zip64 && local ? 0xFFFFFFFF : 0;
            PutLE(out, hidden ? 0 : escape ? escape : packed.size(), 4);
            PutLE(out, hidden ? 0 : escape ? escape : member.data.size(), 4);
            PutLE(out, member.name.size(), 2);
            PutLE(out, member.zip64 && local ? 20 : 0, 2);
        };
        PutLE(zip, 0x04034B50, 4);
        common(zip, true);
        zip.insert(zip.end(), member.name.begin(), member.name.end());
        if (member.zip64) {
            PutLE(zip, 1, 2);
            PutLE(zip, 16, 2);
            PutLE(zip, member.data.size(), 8);
            PutLE(zip, packed.size(), 8);
        }
        zip.insert(zip.end(), packed.begin(), packed.end());
        if (member.descriptor) {
            PutLE(zip, 0x08074B50, 4);
            PutLE(zip, crc, 4);
            PutLE(zip, packed.size(), 4);
            PutLE(zip, member.data.size(), 4);
        }
        PutLE(central, 0x02014B50, 4);
        PutLE(central, 20, 2);
        common(central, false);
        central.insert(central.end(), 10, 0);  // comment, disk, attributes
        PutLE(central, offset, 4);
        central.insert(central.end(), member.name.begin(), member.name.end());
    }
    const uint32_t directory = uint32_t(zip.size());
    zip.insert(zip.end(), central.begin(), central.end());
    PutLE(zip, 0x06054B50, 4);
    PutLE(zip, 0, 4);
    PutLE(zip, members.size(), 2);
    PutLE(zip, members.size(), 2);
    PutLE(zip, central.size(), 4);
    PutLE(zip, directory, 4);
    PutLE(zip, comment.size(), 2);
    zip.insert(zip.end(), comment.begin(), comment.end());
    return zip;
}

// An Office Open XML core-properties part.
inline std::string CoreXml(const std::string& title, const std::string& lastEditor,
                           const std::string& modified = std::string()) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/"
        "metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
        "xmlns:dcterms=\"http://purl.org/dc/terms/\"><dc:creator>First Writer</dc:creator>";
    if (!title.empty())
        xml += "<dc:title>" + title + "</dc:title>";
    xml += "<cp:lastModifiedBy>" + lastEditor + "</cp:lastModifiedBy>";
    if (!modified.empty())
        xml += "<dcterms:modified>" + modified + "</dcterms:modified>";
    return xml + "</cp:coreProperties>";
}

// A word-processing package as the usual writers lay it out.
inline std::vector<ZipMember> DocxMembers(const std::string& core, bool descriptor) {
    return {{"[Content_Types].xml", std::string(900, 'c'), true, descriptor},
            {"_rels/.rels", "<Relationships/>", true, descriptor},
            {"docProps/core.xml", core, true, descriptor},
            {"word/_rels/document.xml.rels", "<Relationships/>", true, descriptor},
            {"word/document.xml", std::string(3000, 'w'), true, descriptor}};
}

}  // namespace harbex::test
