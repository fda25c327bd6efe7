// The streaming members' end rules, fed sector by sector as the raw search
// feeds them, and the device walks of their header analysers.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "ArchiveMembers.h"
#include "GZMembers.h"
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
    Bytes data(size, 0x5A);
    data.resize((size + 511) / 512 * 512, 0);
    return block + data;
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
