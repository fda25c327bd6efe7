// The streaming members' end rules, fed sector by sector as the raw search
// feeds them, and the device walks of their header analysers.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "AEPMembers.h"
#include "ArchiveMembers.h"
#include "CameraRawMembers.h"
#include "ChainMembers.h"
#include "ContainerMembers.h"
#include "GZMembers.h"
#include "HeaderFieldMembers.h"
#include "MDBMembers.h"
#include "MediaMembers.h"
#include "PictureMembers.h"
#include "RTFMembers.h"
#include "RawTestSupport.h"
#include "SVGMembers.h"
#include "ZeroTailMembers.h"

using namespace harbex::test;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Trailing zero bytes of a sector, counted in words as the raw search does.
uint32_t TrailingZeros(const uint8_t* sector, uint32_t size) {
    uint32_t zeros = 0;
    for (uint32_t word = 1;
         word <= 8 && (sector[size - 4 * word] | sector[size - 4 * word + 1] |
                       sector[size - 4 * word + 2] | sector[size - 4 * word + 3]) == 0;
         ++word) {
        zeros += 4;
    }
    return zeros;
}

struct Streamed {
    int answer = 0;  // of the last call
    int64_t size = 0;
    long long sector = -1;  // where the walk ended
    std::string name;
    IRawFileAnalyser* handedTo = nullptr;
};

// Feeds `file` (then `after`, then zeros) to a record of `analyser`, one
// sector at a time with the whole image in memory, until the record ends.
Streamed Stream(IRawFileAnalyser& analyser, const Bytes& file, uint32_t sectorSize,
                const Bytes& after = {}) {
    Bytes image = file + after;
    image.resize((image.size() / sectorSize + 4) * sectorSize + 4096, 0);
    const long long sectors = static_cast<long long>((image.size() - 4096) / sectorSize);
    Streamed result;
    CRawFileInfo probe;
    if (analyser.AnalyseBuffer(image.data(), probe) != 1)
        return result;
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    record->fileType = probe.fileType;
    record->analyser = &analyser;
    CRawFileInfo::SearchContext context;
    context.windowEnd = sectors;
    for (long long s = 0; s < sectors; ++s) {
        uint8_t* sector = image.data() + s * sectorSize;
        context.trailingZeroBytes = TrailingZeros(sector, sectorSize);
        result.answer = record->CalcRawSize(sector, int(sectorSize), s, context);
        if (result.answer == 1) {
            result.sector = s;
            break;
        }
    }
    result.size = record->size;
    result.name = record->GetRawFileName();
    if (result.answer == 1 && record->size <= 0) {
        record->WillBeRemove(nullptr, -1);
        result.handedTo = record->analyser;
    }
    return result;
}

int64_t DataLength(const Bytes& bytes) {
    int64_t length = int64_t(bytes.size());
    while (length > 0 && bytes[size_t(length - 1)] == 0)
        --length;
    return length;
}

Bytes Gzip(const Bytes& data, bool damage = false) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(compressBound(uLong(data.size())) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (damage)
        out[out.size() / 2] ^= 0xFF;
    return out;
}

// A gzip member with its header's system byte and flags replaced.
Bytes GzipMarked(const Bytes& data, uint8_t system, uint8_t flags = 0) {
    Bytes gz = Gzip(data);
    gz[3] = flags;
    gz[9] = system;
    return gz;
}

// A ustar header block for an entry of `size` bytes, and its data.
Bytes TarEntry(const std::string& name, size_t size, char kind = '0') {
    Bytes block(512, 0);
    std::memcpy(block.data(), name.data(), name.size());
    char field[13];
    std::snprintf(field, sizeof(field), "%011zo", size);
    std::memcpy(block.data() + 124, field, 12);
    block[156] = uint8_t(kind);
    std::memcpy(block.data() + 257,
                "ustar\0"
                "00",
                8);
    std::memset(block.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (uint8_t byte : block)
        sum += byte;
    std::snprintf(field, sizeof(field), "%06o", sum);
    std::memcpy(block.data() + 148, field, 7);
    Bytes data(size, 0x5A);
    data.resize((size + 511) / 512 * 512, 0);
    return block + data;
}

// A block with "ustar" where a header has it and random bytes elsewhere.
Bytes TarLure() {
    Bytes block = TarEntry("a", 100);
    block[10] ^= 0x41;
    return block;
}

// An archive whose second entry's data lies past the device's end.
Bytes TarCut() {
    Bytes second = TarEntry("b", 3000);
    second.resize(512);
    return TarEntry("a", 100) + second;
}

Bytes Rar(const std::vector<size_t>& sizes, bool withEnd = true) {
    Bytes rar = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00, 0, 0, 0x73, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0};
    for (size_t size : sizes) {
        Bytes head = {0, 0, 0x74, 0, 0x80, 33, 0};
        for (int k = 0; k < 2; ++k)
            head.insert(head.end(), {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), 0});
        head.resize(33, 0);
        head[15] = 2;  // host system
        rar = rar + head + Bytes(size, 0x77);
    }
    if (withEnd)
        rar = rar + Bytes{0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};
    return rar;
}

Bytes Midi(size_t trackBytes) {
    Bytes midi = Of("MThd") + Bytes{0, 0, 0, 6, 0, 1, 0, 1, 0, 96} + Of("MTrk");
    midi = midi + Bytes{0, 0, uint8_t(trackBytes >> 8), uint8_t(trackBytes)};
    return midi + Bytes(trackBytes, 0x40);
}

Bytes OggPage(size_t body) {
    Bytes page = Of("OggS") + Bytes(22, 0);
    page.push_back(uint8_t((body + 254) / 255));
    for (size_t left = body; left > 0;) {
        const size_t lace = std::min<size_t>(left, 255);
        page.push_back(uint8_t(lace));
        left -= lace;
    }
    return page + Bytes(body, 0x33);
}

Bytes OneSection(size_t length) {
    Bytes section(length, 0x21);
    std::memcpy(section.data() + 4, ZizEdoza::kOneSignature, 12);
    for (int k = 0; k < 8; ++k)
        section[196 + size_t(k)] = uint8_t(uint64_t(length) >> (8 * k));
    return section;
}

Bytes Indd(uint32_t objectBytes) {
    Bytes indd = {0x06, 0x06, 0xED, 0xF5, 0xD8, 0x1D, 0x46, 0xE5,
                  0xBD, 0x31, 0xEF, 0xE7, 0xFE, 0x74, 0xB7, 0x1D};
    indd = indd + Of("DOCUMENT");
    indd.resize(4096, 0);
    indd[280] = 1;  // the first data page
    Bytes object = {0xDE, 0x39, 0x39, 0x79, 0x51, 0x88, 0x4B, 0x6C,
                    0x8E, 0x63, 0xEE, 0xF8, 0xAE, 0xE0, 0xDD, 0x38};
    object.resize(64 + objectBytes, 0x44);
    for (int k = 0; k < 4; ++k)
        object[24 + size_t(k)] = uint8_t(objectBytes >> (8 * k));
    return indd + object + Bytes(100, 0x55);
}

Bytes MxfPacket(uint32_t length, bool partition) {
    Bytes packet = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01};
    packet.resize(16, 0x0D);
    packet = packet + Bytes{0x83, 0, uint8_t(length >> 8), uint8_t(length)};
    Bytes value(length, 0x66);
    if (partition) {
        value[0] = 0;
        value[1] = 1;
        value[12] = 1;  // partition offsets differ
    }
    return packet + value;
}

// A disk image of `blocks` 512-byte blocks of data and its trailer.
Bytes DiskImage(size_t blocks) {
    Bytes image = Of("BZh11AY&SY") + Bytes(blocks * 512 - 10, 0x3C);
    Bytes trailer = Of("koly") + Bytes(490, 0x01);
    trailer.resize(512, 0);
    return image + trailer;
}

Bytes Mobi() {
    Bytes book(700, 0x4B);
    std::memcpy(book.data() + 60, "BOOKMOBI", 8);
    const uint8_t count[4] = {0, 0, 0, 3};
    std::memcpy(book.data() + 74, count, 4);
    const uint8_t last[4] = {0, 0, 0x02, 0x58};  // the last record at 600
    std::memcpy(book.data() + 70 + 3 * 8, last, 4);
    const uint8_t end[4] = {0xE9, 0x8E, 0x0D, 0x0A};
    std::memcpy(book.data() + 600, end, 4);
    book.resize(604);
    return book;
}

Bytes MlvBlock(const char* tag, uint32_t size) {
    Bytes block = Of(tag) + Bytes{uint8_t(size), uint8_t(size >> 8), 0, 0};
    block.resize(size, 0x4C);
    return block;
}

Bytes Scene3ds(uint32_t length) {
    Bytes scene = {0x4D, 0x4D, uint8_t(length), uint8_t(length >> 8), 0, 0};
    scene.resize(length, 0x33);
    scene[16] = 0x3D;
    scene[17] = 0x3D;
    return scene;
}

Bytes StuffIt(const char* header, uint32_t stated) {
    Bytes sit = Of(header);
    sit.resize(100, 0x53);
    for (int k = 0; k < 4; ++k)
        sit[84 + size_t(k)] = uint8_t(stated >> (24 - 8 * k));
    return sit;
}

// An Access database: its header page and `pages` data pages.
Bytes Database(int pages, const char* engine = "Jet") {
    Bytes db = Bytes{0, 1, 0, 0} + Of("Standard ") + Of(engine) + Of(" DB") + Bytes{0};
    db.resize(4096, 0x21);
    for (int page = 0; page < pages; ++page) {
        Bytes data(4096, uint8_t(0x30 + page));
        data[0] = uint8_t(1 + page % 5);
        data[1] = 1;
        db = db + data;
    }
    return db;
}

// An After Effects project: a form of `formBytes` bytes after its 8-byte
// header, then an optional XMP packet.
Bytes Project(uint32_t formBytes, const std::string& packet = "") {
    Bytes aep = Of("RIFX") + Bytes{uint8_t(formBytes >> 24), uint8_t(formBytes >> 16),
                                   uint8_t(formBytes >> 8), uint8_t(formBytes)};
    aep = aep + Of("Egg!");
    aep.resize(8 + formBytes, 0x45);
    return aep + Of(packet);
}

// A CRW of `bytes` bytes whose closing table mark (record id `id`) lies
// `tail` bytes before its end.
Bytes CanonRaw(size_t bytes, uint8_t id, size_t tail) {
    Bytes crw = Of("II") + Bytes{0x1A, 0, 0, 0} + Of("HEAPCCDR") + Bytes{2, 0};
    crw.resize(bytes, 0x43);
    const Bytes mark = {0x07, 0x28, id, 0, 0, 0};
    std::copy(mark.begin(), mark.end(), crw.end() - long(tail));
    return crw;
}

// An X3F of `bytes` bytes whose directory ("SECd", five entries and the
// link to it) closes the file.
Bytes SigmaRaw(size_t bytes) {
    Bytes x3f = Of("FOVb") + Bytes(bytes - 4 - 76, 0x58);
    Bytes directory = Of("SECd") + Bytes{0, 0, 2, 0, 5, 0, 0, 0};
    directory.resize(76, 0x11);
    return x3f + directory;
}

struct StreamCase {
    const char* what;
    std::function<IRawFileAnalyser*()> make;
    Bytes file;
    uint32_t sectorSize;
    Bytes after;
    int64_t size;         // 0: ended without a size
    long long endSector;  // -1: not checked
};

template <class Analyser>
std::function<IRawFileAnalyser*()> Make() {
    return [] { return new Analyser(); };
}

std::vector<StreamCase> StreamCases() {
    const Bytes shortText = Of(std::string(3000, 'q'));
    const Bytes tar =
        TarEntry("dir/", 0, '5') + TarEntry("dir/a", 700) + TarEntry("dir/b", 0) + Bytes(1024, 0);
    const Bytes rtf =
        Of("{\\rtf1{\\fonttbl{\\f0 A;}}\\{ not a group \\\\{\\b bold}"
           "{\\*\\pict\\bin3 }}{}done}");
    const Bytes midi = Midi(1000 - 22);
    const Bytes ngrr = Of("-IN-") + Bytes(56, 1) + Of("data") + Bytes(12, 0) + Bytes{100, 0, 0, 0} +
                       Bytes(4, 0) + Bytes(100, 7);
    Bytes dbx = {0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F,
                 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0};
    dbx.resize(200, 0x31);
    dbx[124] = 0x88;
    dbx[125] = 0x13;  // 5000
    dbx[126] = dbx[127] = 0;
    const Bytes sitx = StuffIt("StuffIt!", 0) + Bytes{0x02, 0xD7, 0x0A, 0x19, 0x98, 0xF6,
                                                      0x42, 0x88, 0x11, 0x11, 0x11, 0x11};
    const Bytes damaged = Gzip(shortText, true);
    const Bytes svg =
        Of("<?xml version=\"1.0\"?>\n<svg width=\"1\">") + Bytes(900, ' ') + Of("</svg>\n");
    return {
        {"a one-sector text ends in its header sector",
         Make<ZizEdoza::PSAFE3Analyser>(),
         Of("PWS3") + Bytes(96, 0x41),
         512,
         {},
         100,
         0},
        {"a zero-tail text ends after its last byte",
         Make<ZizEdoza::HTMLAnalyser>(),
         Of("<html>") + Bytes(1300, 'x'),
         512,
         {},
         1306,
         2},
        {"gzip whose size field ends in zero bytes", Make<ZizEdoza::GZAnalyzer>(), Gzip(shortText),
         512, Bytes(600, 0), int64_t(Gzip(shortText).size()), -1},
        {"gzip followed by random bytes", Make<ZizEdoza::GZAnalyzer>(), Gzip(shortText), 4096,
         Bytes(5000, 0x9C), int64_t(Gzip(shortText).size()), -1},
        {"gzip of an unknown system, as Python writes it", Make<ZizEdoza::GZAnalyzer>(),
         GzipMarked(shortText, 255), 512, Bytes(700, 0x9C), int64_t(Gzip(shortText).size()), -1},
        {"gzip of system 14", Make<ZizEdoza::GZAnalyzer>(), GzipMarked(shortText, 14), 512,
         Bytes(700, 0x9C), int64_t(Gzip(shortText).size()), -1},
        {"gzip with a reserved flag is no gzip",
         Make<ZizEdoza::GZAnalyzer>(),
         GzipMarked(shortText, 3, 0x20),
         512,
         {},
         0,
         -1},
        {"damaged gzip ends a byte after its last nonzero byte",
         Make<ZizEdoza::GZAnalyzer>(),
         damaged,
         512,
         {},
         DataLength(damaged) + 1,
         -1},
        {"TAR to its end blocks, past entries of size 0", Make<ZizEdoza::TARAnalyser>(), tar, 512,
         Bytes(4096, 0xEE), int64_t(tar.size()), -1},
        {"TAR on 4096-byte sectors", Make<ZizEdoza::TARAnalyser>(), tar, 4096, Bytes(4096, 0xEE),
         int64_t(tar.size()), -1},
        {"RAR to its end block", Make<ZizEdoza::RARAnalyser>(), Rar({100, 2000, 0}), 512,
         Bytes(600, 0xEE), int64_t(Rar({100, 2000, 0}).size()), -1},
        {"RAR block header just past the sector's end", Make<ZizEdoza::RARAnalyser>(),
         Rar({512 - 20 - 33 + 5}), 512, Bytes(600, 0xEE), int64_t(Rar({512 - 20 - 33 + 5}).size()),
         -1},
        {"RAR without an end block waits",
         Make<ZizEdoza::RARAnalyser>(),
         Rar({100}, false),
         512,
         {},
         0,
         -1},
        {"RTF to its balancing brace", Make<ZizEdoza::RTFAnalyser>(), rtf, 512, Bytes(300, 0xEE),
         int64_t(rtf.size()), 0},
        {"RTF and its closing line break",
         Make<ZizEdoza::RTFAnalyser>(),
         rtf + Of("\r\n"),
         512,
         {},
         int64_t(rtf.size()) + 2,
         0},
        {"RTF whose braces never balance ends at the zeros",
         Make<ZizEdoza::RTFAnalyser>(),
         Of("{\\rtf1{\\b open") + Bytes(700, 'w'),
         512,
         {},
         714,
         1},
        {"MIDI of 1000 bytes", Make<ZizEdoza::MIDAnalyser>(), midi, 512, Bytes(600, 0xEE), 1000, 1},
        {"Ogg to its last page", Make<Zorado::OGGAnalyser>(),
         OggPage(100) + OggPage(600) + OggPage(3000), 512, Bytes(600, 0xEE),
         27 + 1 + 100 + 27 + 3 + 600 + 27 + 12 + 3000, -1},
        {"SVG ends with its last partial sector",
         Make<Zorado::SVGAnalyser>(),
         svg,
         512,
         {},
         int64_t(svg.size()),
         1},
        {"OneNote to its last section", Make<ZizEdoza::OneAnalyser>(),
         OneSection(300) + OneSection(250), 512, Bytes(600, 0xEE), 550, -1},
        {"InDesign to the page after its last object",
         Make<ZizEdoza::InddAnalyser>(),
         Indd(100),
         512,
         {},
         8192,
         -1},
        {"MXF to its last packet", Make<ZizEdoza::MxfAnalyser>(),
         MxfPacket(40, true) + MxfPacket(700, false), 512, Bytes(600, 0xEE), 60 + 720, -1},
        {"NGRR to its last data block", Make<ZizEdoza::NGRRAnalyser>(), ngrr, 512, Bytes(600, 0xEE),
         int64_t(ngrr.size()), -1},
        {"DBX of the common form, from its header", Make<ZizEdoza::DbxAnalyser>(), dbx, 512,
         Bytes(600, 0xEE), 5000, -1},
        {"StuffIt by its size field", Make<ZizEdoza::SITAnalyser>(),
         StuffIt("StuffIt (c)1997", 7000), 512, Bytes(600, 0xEE), 7000, -1},
        {"StuffIt X to its end mark",
         Make<ZizEdoza::SITAnalyser>(),
         sitx,
         512,
         {},
         int64_t(sitx.size()),
         -1},
        {"disk image to its trailer", Make<Zorado::DMGAnalyser>(), DiskImage(5), 4096,
         Bytes(5000, 0xEE), int64_t(DiskImage(5).size()), -1},
        {"MOBI to its end-of-file record", Make<ZizEdoza::MOBIAnalyser>(), Mobi(), 512,
         Bytes(600, 0xEE), 604, -1},
        {"Magic Lantern video to its last block", Make<ZizEdoza::MLvAnalyser>(),
         MlvBlock("MLVI", 52) + MlvBlock("RAWI", 100) + MlvBlock("VIDF", 300), 512,
         Bytes(600, 0xEE), 452, -1},
        {"3D Studio scene by its main chunk", Make<ZizEdoza::New3DSAnalyser>(), Scene3ds(5000), 512,
         Bytes(600, 0xEE), 5000, 0},
        {"database ends at the first page that is none", Make<ZizEdoza::CMDBAnalyser>(),
         Database(4), 512, Bytes(4096, 0xEE), 5 * 4096, -1},
        {"database ends where 36 zero pages begin", Make<ZizEdoza::CMDBAnalyser>(), Database(4),
         4096, Bytes(40 * 4096, 0), 5 * 4096, -1},
        {"database whose second page is no page ends at a zero tail",
         Make<ZizEdoza::CMDBAnalyser>(),
         Database(0) + Bytes(4096, 0x77) + Bytes(4000, 0x55),
         4096,
         {},
         2 * 4096,
         -1},
        {"project form without a packet", Make<ZizEdoza::AEPAnalyser>(), Project(3000), 512,
         Bytes(600, 0xEE), 3008, -1},
        {"project with its packet, to the zeros",
         Make<ZizEdoza::AEPAnalyser>(),
         Project(3000, "<?xpacket begin='x'?><x/><?xpacket end='w'?>"),
         512,
         {},
         3008 + 44 + 8,
         -1},
        {"CRW to its closing table",
         Make<Zorado::CRWAnalyser>(),
         CanonRaw(0x64000 + 700, 168, 70),
         512,
         {},
         0x64000 + 700,
         -1},
        {"CRW whose table has one more record",
         Make<Zorado::CRWAnalyser>(),
         CanonRaw(0x64000 + 900, 178, 70),
         4096,
         {},
         0x64000 + 900,
         -1},
        {"X3F to its directory", Make<Zorado::X3FAnalyser>(), SigmaRaw(5000), 512, {}, 5000, -1},
        {"X3F directory opening at a sector's last word", Make<Zorado::X3FAnalyser>(),
         SigmaRaw(2 * 512 + 72), 512, Bytes(600, 0xEE), 2 * 512 + 72, 1},
    };
}

}  // namespace

TEST(StreamingMembers, EndRules) {
    for (const StreamCase& c : StreamCases()) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<IRawFileAnalyser> analyser(c.make());
        const Streamed result = Stream(*analyser, c.file, c.sectorSize, c.after);
        if (c.size == 0) {
            EXPECT_NE(result.answer, 1);
            continue;
        }
        ASSERT_EQ(result.answer, 1);
        EXPECT_EQ(result.size, c.size);
        if (c.endSector >= 0) {
            EXPECT_EQ(result.sector, c.endSector);
            EXPECT_EQ(result.name, "0-" + std::to_string(c.endSector) + "_");
        }
    }
}

TEST(StreamingMembers, DatabasesAreTypedByTheirEngine) {
    ZizEdoza::CMDBAnalyser analyser;
    CRawFileInfo probe;
    ASSERT_EQ(analyser.AnalyseBuffer(Database(0, "ACE").data(), probe), 1u);
    EXPECT_EQ(probe.fileType, ZizEdoza::CMDBAnalyser::kAceType);
    ASSERT_EQ(analyser.AnalyseBuffer(Database(0, "Jet").data(), probe), 1u);
    EXPECT_EQ(probe.fileType, ZizEdoza::CMDBAnalyser::kType);
    EXPECT_EQ(analyser.AnalyseBuffer(Database(0, "XYZ").data(), probe), 0u);
}

TEST(StreamingMembers, RecordsStopAtTheirMaximum) {
    struct Case {
        const char* what;
        std::function<IRawFileAnalyser*()> make;
        Bytes header;
        long long farSector;  // of 512 bytes, past the maximum
        int64_t size;         // 0: ended without a size
    };
    const long long pastDatabases = (ZizEdoza::CMDBAnalyser::kMaxSize / 4096 + 1) * 8;
    const std::vector<Case> cases = {
        {"database", Make<ZizEdoza::CMDBAnalyser>(), Database(1), pastDatabases,
         pastDatabases * 512},
        {"project", Make<ZizEdoza::AEPAnalyser>(), Project(3000),
         ZizEdoza::AEPAnalyser::kMaxSize / 512 + 1, 0},
        {"CRW", Make<Zorado::CRWAnalyser>(), CanonRaw(5000, 1, 50),
         Zorado::CRWAnalyser::kMaxSize / 512, 0},
        {"X3F", Make<Zorado::X3FAnalyser>(), SigmaRaw(5000), Zorado::X3FAnalyser::kMaxSize / 512,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<IRawFileAnalyser> analyser(c.make());
        std::unique_ptr<CRawFileInfo> record(analyser->CreateRawFileInfo());
        Bytes header = c.header;
        header.resize(1024, 0x5D);
        CRawFileInfo::SearchContext context;
        context.windowEnd = c.farSector + 2;
        ASSERT_EQ(record->CalcRawSize(header.data(), 512, 0, context), 2);
        Bytes far(1024, 0x5D);
        EXPECT_EQ(record->CalcRawSize(far.data(), 512, c.farSector, context), 1);
        EXPECT_EQ(record->size, c.size);
    }
}

TEST(StreamingMembers, DamagedFilesEndCleanly) {
    std::mt19937 random(20);
    const std::vector<std::pair<std::function<IRawFileAnalyser*()>, Bytes>> files = {
        {Make<ZizEdoza::CMDBAnalyser>(), Database(3)},
        {Make<ZizEdoza::AEPAnalyser>(), Project(2000, "<?xpacket begin?><?xpacket end?>")},
        {Make<Zorado::CRWAnalyser>(), CanonRaw(0x64000 + 600, 178, 70)},
        {Make<Zorado::X3FAnalyser>(), SigmaRaw(3000)},
    };
    for (const auto& [make, good] : files) {
        std::unique_ptr<IRawFileAnalyser> analyser(make());
        for (int round = 0; round < 40; ++round) {
            Bytes file = good;
            for (int k = 0; k < 1 + int(random() % 16); ++k)
                file[20 + random() % (file.size() - 20)] = uint8_t(random() % 4 ? random() : 0);
            file.resize(file.size() - random() % 200);
            const Streamed result = Stream(*analyser, file, random() % 2 ? 512 : 4096);
            EXPECT_GE(result.size, 0);
        }
    }
}

TEST(StreamingMembers, OneOggStreamAtATime) {
    Zorado::OGGAnalyser analyser;
    Bytes page = OggPage(100);
    page.resize(4096, 0);
    CRawFileInfo probe;
    ASSERT_EQ(analyser.AnalyseBuffer(page.data(), probe), 1u);
    std::unique_ptr<CRawFileInfo> first(analyser.CreateRawFileInfo());
    CRawFileInfo::SearchContext context;
    context.windowEnd = 8;
    Bytes pages = OggPage(600) + OggPage(600);
    pages.resize(8192, 0xEE);
    ASSERT_EQ(first->CalcRawSize(pages.data(), 512, 0, context), 2);
    // Pages of the open stream, or of a second one, are not new files.
    EXPECT_EQ(analyser.AnalyseBuffer(page.data(), probe), 0u);
    // The first record handed over: the next stream may begin.
    first->WillBeRemove(nullptr, -1);
    EXPECT_EQ(analyser.AnalyseBuffer(page.data(), probe), 1u);
    // Each analyser (one per scan) keeps its own open stream.
    Zorado::OGGAnalyser other;
    std::unique_ptr<CRawFileInfo> second(analyser.CreateRawFileInfo());
    second->CalcRawSize(pages.data(), 512, 0, context);
    EXPECT_EQ(analyser.AnalyseBuffer(page.data(), probe), 0u);
    EXPECT_EQ(other.AnalyseBuffer(page.data(), probe), 1u);
}

TEST(StreamingMembers, UnfinishedRecordsGoToTheirHeaderAnalyser) {
    ZizEdoza::PSDAnalyser psd;
    Bytes header = Of("8BPS") +
                   Bytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 2, 0, 8, 0, 3} +
                   Bytes(12, 0) + Bytes{0, 0};
    const Streamed result = Stream(psd, header, 512, Bytes(600, 0x11));
    ASSERT_EQ(result.answer, 1);
    EXPECT_EQ(result.size, 0);
    EXPECT_NE(dynamic_cast<FilePSDAnalyser*>(result.handedTo), nullptr);
}

namespace {

struct DeviceCase {
    const char* what;
    std::function<IRawFileAnalyser*()> make;
    Bytes file;
    uint32_t sectorSize;
    Bytes after;
    uint32_t answer;
    int64_t size;
    std::string name = "";
};

template <class Analyser>
std::function<IRawFileAnalyser*()> MakeFile() {
    return [] { return new Analyser(); };
}

Bytes NamedGzip(const Bytes& data) {
    Bytes gz = Gzip(data);
    // Set the name flag and put a name after the 10-byte header.
    Bytes named(gz.begin(), gz.begin() + 10);
    named[3] |= 8;
    named = named + Of("notes.txt") + Bytes{0};
    return named + Bytes(gz.begin() + 10, gz.end());
}

Bytes Psd(uint16_t compression) {
    // 2 channels of 3 rows of 4 pixels, 8 bits.
    Bytes psd =
        Of("8BPS") + Bytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 8, 0, 3};
    psd = psd + Bytes{0, 0, 0, 4, 1, 2, 3, 4} + Bytes{0, 0, 0, 2, 9, 9} + Bytes{0, 0, 0, 0};
    psd = psd + Bytes{0, uint8_t(compression)};
    if (compression == 1) {
        for (int row = 0; row < 6; ++row)
            psd = psd + Bytes{0, uint8_t(row + 1)};
        psd = psd + Bytes(1 + 2 + 3 + 4 + 5 + 6, 0x80);
    } else {
        psd = psd + Bytes(24, 0x10);
    }
    return psd;
}

std::vector<DeviceCase> DeviceCases() {
    const Bytes tar = TarEntry("a", 100) + TarEntry("b", 3000) + Bytes(1024, 0);
    const Bytes text = Of(std::string(5000, 't'));
    const Bytes svg = Of("<?xml version=\"1.0\"?>\n<svg>") + Bytes(700, ' ') + Of("</svg>\n");
    const Bytes sitx = StuffIt("StuffIt!", 0) + Bytes{0x02, 0xD7, 0x0A, 0x19, 0x98, 0xF6,
                                                      0x42, 0x88, 0x11, 0x11, 0x11, 0x11};
    return {
        {"TAR to its end blocks on 4096-byte sectors", MakeFile<FileTARAnalyser>(), tar, 4096,
         Bytes(9000, 0xEE), 1, int64_t(tar.size())},
        {"TAR whose first block is no header",
         MakeFile<FileTARAnalyser>(),
         Bytes(600, 1),
         512,
         {},
         0,
         0},
        {"TAR header whose sum does not add up",
         MakeFile<FileTARAnalyser>(),
         TarLure(),
         512,
         {},
         0,
         0},
        {"TAR whose entry runs past the device", MakeFile<FileTARAnalyser>(), TarCut(), 512,
         Bytes(1024, 0xEE), 0, 0},
        {"gzip named by its header", MakeFile<FileGZAnalyser>(), NamedGzip(text), 512,
         Bytes(700, 0xEE), 1, int64_t(NamedGzip(text).size()), "notes.txt"},
        {"RAR to its end block", MakeFile<FileRARAnalyser>(), Rar({3000, 5}), 512, Bytes(700, 0xEE),
         1, int64_t(Rar({3000, 5}).size())},
        {"MIDI ending 10 bytes into a sector keeps its length", MakeFile<FileMIDAnalyser>(),
         Midi(512 + 10 - 22), 512, Bytes(700, 0xEE), 1, 522},
        {"SVG keeps its last partial sector",
         MakeFile<FileSVGAnalyser>(),
         svg,
         512,
         {},
         1,
         int64_t(svg.size())},
        {"HTML to its closing tag and line break",
         MakeFile<FileHTMAnalyser>(),
         Of("<html>") + Bytes(900, 'h') + Of("</HTML>\n"),
         512,
         {},
         1,
         914},
        {"PSD of raw planes", MakeFile<FilePSDAnalyser>(), Psd(0), 512, Bytes(700, 0xEE), 1,
         int64_t(Psd(0).size())},
        {"PSD of packed rows", MakeFile<FilePSDAnalyser>(), Psd(1), 512, Bytes(700, 0xEE), 1,
         int64_t(Psd(1).size())},
        {"PSD of an unknown packing", MakeFile<FilePSDAnalyser>(), Psd(7), 512, Bytes(700, 0xEE), 0,
         0},
        {"Ogg pages", MakeFile<CFileOggAnalyser>(), OggPage(70) + OggPage(900), 4096,
         Bytes(5000, 0xEE), 1, 27 + 1 + 70 + 27 + 4 + 900},
        {"OneNote sections", MakeFile<FileONEAnalyser>(), OneSection(300) + OneSection(250), 512,
         Bytes(600, 0xEE), 1, 550},
        {"StuffIt X to its end mark and tail",
         MakeFile<FileSITAnalyser>(),
         sitx,
         512,
         {},
         1,
         int64_t(sitx.size())},
        {"StuffIt of a negative size keeps to the device",
         MakeFile<FileSITAnalyser>(),
         StuffIt("StuffIt (c)1997", 0x80000000),
         512,
         {},
         1,
         512},
        {"disk image to its trailer", MakeFile<FileDMGAnalyser>(), DiskImage(9), 512,
         Bytes(5000, 0xEE), 1, int64_t(DiskImage(9).size())},
        {"bzip2 data without a trailer is no disk image",
         MakeFile<FileDMGAnalyser>(),
         Of("BZh11AY&SY") + Bytes(3000, 0x5E),
         512,
         {},
         0,
         0},
        {"MOBI from its record list", MakeFile<ZizEdoza::FileMOBIAnalyser>(), Mobi(), 512,
         Bytes(600, 0xEE), 1, 604},
        {"3D Studio scene", MakeFile<File3DSAnalyser>(), Scene3ds(5000), 512, Bytes(600, 0xEE), 1,
         5000},
        {"database whose fifth page begins with a zero byte", MakeFile<FileMDBAnalyser>(),
         Database(3), 512, Bytes(4096, 0), 1, 16384},
        {"CRW to its closing table",
         MakeFile<FileCRWAnalyser>(),
         CanonRaw(5000, 228, 50),
         512,
         {},
         1,
         5000},
        {"CRW without a table", MakeFile<FileCRWAnalyser>(), CanonRaw(5000, 1, 50), 512,
         Bytes(600, 0xEE), 1, FileCRWAnalyser::kNotFoundSize},
        {"X3F to its directory", MakeFile<FileX3FAnalyser>(), SigmaRaw(5000), 4096, {}, 1, 5000},
        {"X3F directory opening at a sector's last word", MakeFile<FileX3FAnalyser>(),
         SigmaRaw(2 * 512 + 72), 512, Bytes(600, 0xEE), 1, 2 * 512 + 72},
    };
}

}  // namespace

TEST(HeaderAnalysersOnTheDevice, MeasureWhatTheStreamLeft) {
    for (const DeviceCase& c : DeviceCases()) {
        SCOPED_TRACE(c.what);
        MemoryDevice device(c.file + c.after, c.sectorSize);
        std::unique_ptr<IRawFileAnalyser> analyser(c.make());
        CRawFileInfo info;
        EXPECT_EQ(analyser->GetRawFileSize(info, &device), c.answer);
        EXPECT_EQ(info.size, c.size);
        EXPECT_EQ(info.GetRawFileName(), c.name);
    }
}
