// The header analysers: crafted headers found through the registry's keys,
// with the type and size each header gives, and the walks that measure a
// file on the device.

#include <gtest/gtest.h>

#include <typeinfo>

#include <cstring>
#include <functional>
#include <string>

#include "HeaderAnalysers.h"
#include "RawFileAnalyserList.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

using Bytes = std::vector<uint8_t>;

void Text(Bytes& b, size_t at, const std::string& text) {
    std::memcpy(b.data() + at, text.data(), text.size());
}
void Raw(Bytes& b, size_t at, std::initializer_list<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), b.begin() + std::ptrdiff_t(at));
}
void LE(Bytes& b, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        b[at + size_t(i)] = uint8_t(value >> (8 * i));
}
void BE(Bytes& b, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        b[at + size_t(i)] = uint8_t(value >> (8 * (width - 1 - i)));
}

// A header sector (and a little more, as the block buffer has) made by `fill`.
Bytes Header(const std::function<void(Bytes&)>& fill) {
    Bytes b(1024, 0);
    fill(b);
    return b;
}

struct HeaderCase {
    const char* what;
    Bytes header;
    RAW_FILE_TYPE type;  // 0: no match
    int64_t size;
};

const uint8_t kChmGuid[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                              0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};

Bytes Chm(uint32_t at96) {
    return Header([&](Bytes& b) {
        Text(b, 0, "ITSF");
        LE(b, 8, 96, 4);
        std::memcpy(b.data() + 24, kChmGuid, 16);
        std::memcpy(b.data() + 40, kChmGuid, 16);
        b[40] = 0x11;
        LE(b, 96, at96, 4);
        LE(b, 104, 0x123456789, 8);
    });
}

Bytes Ico(uint16_t kind, std::vector<uint32_t> sizes) {
    return Header([&](Bytes& b) {
        Raw(b, 0, {0, 0});
        LE(b, 2, kind, 2);
        LE(b, 4, sizes.size(), 2);
        for (size_t i = 0; i < sizes.size() && i < 17; ++i) {
            LE(b, 6 + 16 * i + 6, 32, 2);
            LE(b, 6 + 16 * i + 8, sizes[i], 4);
        }
    });
}

Bytes Mkv(std::initializer_list<uint8_t> headerLength, size_t segmentAt) {
    return Header([&](Bytes& b) {
        Raw(b, 0, {0x1A, 0x45, 0xDF, 0xA3});
        Raw(b, 4, headerLength);
        if (segmentAt + 12 <= b.size()) {
            Raw(b, segmentAt, {0x18, 0x53, 0x80, 0x67, 0x01, 0, 0, 0});
            BE(b, segmentAt + 8, 0x1000, 4);
        }
    });
}

Bytes Swf(const char* signature, uint8_t version) {
    return Header([&](Bytes& b) {
        Text(b, 0, signature);
        b[3] = version;
        LE(b, 4, 3000, 4);
    });
}

Bytes Ttf(uint16_t tables, std::vector<std::string> tags) {
    return Header([&](Bytes& b) {
        Raw(b, 0, {0, 1, 0, 0});
        BE(b, 4, tables, 2);
        for (size_t i = 0; i < tags.size(); ++i) {
            Text(b, 12 + 16 * i, tags[i]);
            BE(b, 12 + 16 * i + 12, 10 * (i + 1), 4);
        }
    });
}

Bytes Placeable(bool goodChecksum) {
    return Header([&](Bytes& b) {
        Raw(b, 0, {0xD7, 0xCD, 0xC6, 0x9A, 0, 0});
        LE(b, 6, 0x1234, 2);
        LE(b, 14, 96, 2);
        uint16_t sum = 0;
        for (size_t at = 0; at < 20; at += 2)
            sum ^= uint16_t(b[at] | b[at + 1] << 8);
        LE(b, 20, goodChecksum ? sum : sum ^ 1, 2);
        LE(b, 22, 0x00090001, 4);
        LE(b, 28, 300, 4);
    });
}

Bytes Wpd(std::initializer_list<uint8_t> at8, std::initializer_list<uint8_t> at14) {
    return Header([&](Bytes& b) {
        Raw(b, 0, {0xFF, 'W', 'P', 'C'});
        Raw(b, 8, at8);
        Raw(b, 14, at14);
        LE(b, 20, 7777, 4);
    });
}

Bytes Riff(const char* form, const char* second) {
    return Header([&](Bytes& b) {
        Text(b, 0, "RIFF");
        LE(b, 4, 1000, 4);
        Text(b, 8, form);
        Text(b, 12, second);
    });
}

// A Sun audio header: data offset and length, encoding, channels.
Bytes Au(uint32_t offset, uint32_t length, uint32_t encoding, uint32_t channels) {
    return Header([=](Bytes& b) {
        Text(b, 0, ".snd"), BE(b, 4, offset, 4), BE(b, 8, length, 4), BE(b, 12, encoding, 4),
            BE(b, 16, 8000, 4), BE(b, 20, channels, 4);
    });
}

// An enhanced metafile's header record: its length, the file's, its records.
Bytes Emf(uint32_t headerBytes, uint32_t size, uint32_t records) {
    return Header([=](Bytes& b) {
        b[0] = 1, LE(b, 4, headerBytes, 4), Text(b, 40, " EMF"), LE(b, 48, size, 4),
        LE(b, 52, records, 4);
    });
}

std::vector<HeaderCase> HeaderCases() {
    return {
        {"AU", Au(24, 1000, 3, 1), 9, 1024},
        {"AU of encoding 0", Au(24, 1000, 0, 1), 0, 0},
        {"AU of no channel", Au(24, 1000, 3, 0), 0, 0},
        {"AU data before the header's end",
         Header([](Bytes& b) { Text(b, 0, ".snd"), BE(b, 4, 23, 4), BE(b, 8, 1000, 4); }), 0, 0},
        {"AU of unknown length",
         Header([](Bytes& b) { Text(b, 0, ".snd"), BE(b, 4, 24, 4), BE(b, 8, ~0u, 4); }), 0, 0},
        {"BMP", Header([](Bytes& b) { Text(b, 0, "BM"), LE(b, 2, 5000, 4), LE(b, 14, 124, 4); }),
         11, 5000},
        {"BMP with a core header",
         Header([](Bytes& b) { Text(b, 0, "BM"), LE(b, 2, 5000, 4), LE(b, 14, 12, 4); }), 0, 0},
        {"CAB",
         Header([](Bytes& b) { Text(b, 0, "MSCF"), LE(b, 8, 9999, 4), LE(b, 24, 0x0103, 2); }), 12,
         9999},
        {"CAB of another version",
         Header([](Bytes& b) { Text(b, 0, "MSCF"), LE(b, 8, 9999, 4), LE(b, 24, 0x0102, 2); }), 0,
         0},
        {"CHM", Chm(510), 14, 0x123456789},
        {"CHM with a wrong header section", Chm(511), 0, 0},
        {"CPT", Header([](Bytes& b) { Text(b, 0, "CPT8FILE"), LE(b, 52, 316, 4); }), 17, 0},
        {"EMF", Emf(108, 2000, 5), 26, 2000},
        {"EMF whose header outgrows it", Emf(108, 100, 5), 0, 0},
        {"EMF of odd length", Emf(108, 2001, 5), 0, 0},
        {"EMF of one record", Emf(108, 2000, 1), 0, 0},
        {"EMF with a nonzero reserved word", Header([](Bytes& b) {
             b[0] = 1, LE(b, 4, 108, 4), Text(b, 40, " EMF"), LE(b, 48, 2000, 4), LE(b, 52, 5, 4),
             b[58] = 1;
         }),
         0, 0},
        {"HLP", Header([](Bytes& b) {
             Raw(b, 0, {0x3F, 0x5F, 3, 0}), LE(b, 4, 100, 4), LE(b, 12, 4096, 4);
         }),
         32, 4096},
        {"HLP smaller than its directory", Header([](Bytes& b) {
             Raw(b, 0, {0x3F, 0x5F, 3, 0}), LE(b, 4, 5000, 4), LE(b, 12, 4096, 4);
         }),
         0, 0},
        {"ICO of two pictures", Ico(1, {100, 200}), 34, 6 + 116 + 216},
        {"CUR", Ico(2, {100}), 20, 6 + 116},
        {"ICO of no picture", Ico(1, {}), 0, 0},
        {"ICO of 17 pictures", Ico(1, std::vector<uint32_t>(17, 10)), 0, 0},
        {"ICO of more than 1 MiB", Ico(1, {0x100000}), 0, 0},
        {"DOC of an old Word", Header([](Bytes& b) {
             Raw(b, 0, {0xDB, 0xA5, 0x2D, 0}), LE(b, 292, 1000, 4), LE(b, 296, 30, 2);
         }),
         23, 1536},
        {"MNY", Header([](Bytes& b) { Text(b, 0, "MS"), Text(b, 4, "MSISAM Database"); }), 40,
         0x100000},
        {"MS but no MNY", Header([](Bytes& b) { Text(b, 0, "MS"), Text(b, 4, "MSISAM Databasx"); }),
         0, 0},
        {"MKV, one-byte header length", Mkv({0x9F}, 36), 96, 36 + 12 + 0x1000},
        {"MKV, two-byte header length", Mkv({0x40, 0x1F}, 37), 96, 37 + 12 + 0x1000},
        {"MKV, header length byte 0", Mkv({0x00}, 36), 0, 0},
        {"MKV, segment past byte 512", Mkv({0x42, 0x00}, 518), 0, 0},
        {"MRW", Header([](Bytes& b) {
             Raw(b, 0, {0, 'M', 'R', 'M'}), BE(b, 4, 100, 4), Raw(b, 8, {0, 'P', 'R', 'D'}),
                 BE(b, 24, 10, 2), BE(b, 26, 20, 2), b[32] = 12;
         }),
         102, 100 + 300 + 8},
        {"MRW without its picture block first", Header([](Bytes& b) {
             Raw(b, 0, {0, 'M', 'R', 'M'}), BE(b, 4, 100, 4), BE(b, 24, 10, 2), BE(b, 26, 20, 2),
                 b[32] = 12;
         }),
         0, 0},
        {"ITL", Header([](Bytes& b) { Text(b, 0, "hdfm"), BE(b, 4, 144, 4), BE(b, 8, 777, 4); }),
         117, 777},
        {"ITL shorter than its header",
         Header([](Bytes& b) { Text(b, 0, "hdfm"), BE(b, 4, 900, 4), BE(b, 8, 777, 4); }), 0, 0},
        {"ITL of no length", Header([](Bytes& b) { Text(b, 0, "hdfm"); }), 0, 0},
        {"icns", Header([](Bytes& b) { Text(b, 0, "icns"), BE(b, 4, 5000, 4); }), 122, 5000},
        {"icns too long", Header([](Bytes& b) { Text(b, 0, "icns"), BE(b, 4, 0xA66667, 4); }), 0,
         0},
        {"PST of version 23",
         Header([](Bytes& b) { Text(b, 0, "!BDN"), b[10] = 23, LE(b, 184, 123456, 4); }), 56,
         123456},
        {"PST of version 14",
         Header([](Bytes& b) { Text(b, 0, "!BDN"), b[10] = 14, LE(b, 168, 65432, 4); }), 56, 65432},
        {"PST of another version", Header([](Bytes& b) { Text(b, 0, "!BDN"), b[10] = 3; }), 56,
         0x100000},
        {"Flash, version 5", Swf("FWS", 5), 62, 3000},
        {"compressed Flash, version 6", Swf("CWS", 6), 62, 3008},
        {"compressed Flash, version 5", Swf("CWS", 5), 0, 0},
        {"Flash, version 33", Swf("FWS", 33), 0, 0},
        {"TTF, two of four tags known", Ttf(4, {"cmap", "zzzz", "glyf", "yyyy"}), 65,
         12 + 64 + 12 + 20 + 32 + 40},
        {"TTF, one of four tags known", Ttf(4, {"cmap", "zzzz", "xxxx", "yyyy"}), 0, 0},
        {"TTF of no table", Ttf(0, {}), 0, 0},
        {"WMF", Header([](Bytes& b) {
             Raw(b, 0, {1, 0, 9, 0}), LE(b, 6, 500, 4);
         }),
         70, 1000},
        {"placeable WMF", Placeable(true), 70, 622},
        {"placeable WMF, checksum wrong", Placeable(false), 0, 0},
        {"WPD", Wpd({1, 0x0A, 2, 1}, {0, 2, 5, 0}), 68, 7777},
        {"WPG", Wpd({1, 0x16, 2, 0}, {0, 0, 3, 0}), 69, 7777},
        {"SHW", Wpd({0x0F, 0x0F, 1, 0}, {0, 0, 3, 0}), 61, 7777},
        {"WordPerfect of no known kind", Wpd({1, 0x0A, 2, 1}, {0, 0, 3, 0}), 0, 0},
        {"WAV", Riff("WAVE", "fmt "), 67, 0},
        {"AVI", Riff("avi ", "list"), 10, 0},
        {"ANI", Riff("ACON", "anih"), 4, 0},
        {"CMX", Header([](Bytes& b) {
             Text(b, 0, "RIFF"), Text(b, 8, "CMX1"), Text(b, 20, "{Corel Binary Meta File}");
         }),
         16, 0},
        {"CDR", Riff("cdr8", "vrsn"), 13, 0},
        {"other RIFF", Riff("WEBP", "VP8 "), 59, 0},
        {"mailbox", Header([](Bytes& b) { Text(b, 0, "From someone@example.com"); }), 126, 0},
        {"From: is no mailbox", Header([](Bytes& b) { Text(b, 0, "From: someone"); }), 0, 0},
        {"AIFF", Header([](Bytes& b) { Text(b, 0, "FORM"), Text(b, 8, "AIFF"); }), 80, 0},
        {"FORM of a picture", Header([](Bytes& b) { Text(b, 0, "FORM"), Text(b, 8, "ILBM"); }), 0,
         0},
    };
}

class HeaderAnalysers : public ::testing::Test {
protected:
    void SetUp() override {
        CRawFileAnalyserListSingle::CreateInstance()->ReinitAnalyzeList(nullptr);
    }
};

}  // namespace

TEST_F(HeaderAnalysers, HeadersGiveTypeAndSize) {
    for (HeaderCase& c : HeaderCases()) {
        SCOPED_TRACE(c.what);
        CRawFileInfo info;
        IRawFileAnalyser* analyser = Recognise(c.header.data(), info);
        if (c.type == 0) {
            EXPECT_EQ(analyser, nullptr);
            continue;
        }
        ASSERT_NE(analyser, nullptr);
        EXPECT_EQ(info.fileType, c.type);
        EXPECT_EQ(info.size, c.size);
    }
}

TEST_F(HeaderAnalysers, NullBuffersMatchNothing) {
    auto* registry = CRawFileAnalyserListSingle::CreateInstance();
    CRawFileInfo info;
    for (auto& [key, analyser] : registry->GetAnalyserMap(0))
        EXPECT_EQ(analyser->AnalyseBuffer(nullptr, info), 0u) << std::hex << key;
}

// The raw search skips sectors of zeros without asking the analysers of the
// list (the keyed ones are never asked when the first four bytes are zeros).
TEST_F(HeaderAnalysers, NoListedAnalyserTakesASectorOfZeros) {
    const Bytes zeros(64 * 1024, 0);
    for (IRawFileAnalyser* analyser :
         CRawFileAnalyserListSingle::CreateInstance()->GetAnalyserList(0)) {
        CRawFileInfo info;
        EXPECT_EQ(analyser->AnalyseBuffer(const_cast<uint8_t*>(zeros.data()), info), 0u)
            << typeid(*analyser).name();
    }
}

namespace {

// A device of `sectors` sectors that repeats `fill` except where `head` lies.
class FilledDevice : public MemoryDevice {
public:
    FilledDevice(Bytes head, uint32_t sectorSize, int64_t sectors, uint8_t fill)
        : MemoryDevice(std::move(head), sectorSize), sectors_(sectors), fill_(fill) {}
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (first < 0 || count <= 0 || first + count > sectors_)
            return false;
        const uint32_t size = GetSectorSize();
        auto* out = static_cast<uint8_t*>(buffer);
        std::memset(out, fill_, size_t(count) * size);
        const int64_t held = MemoryDevice::GetTotalSectors();
        for (int64_t s = first; s < first + count && s < held; ++s)
            std::memcpy(out + (s - first) * size, bytes().data() + s * size, size);
        return true;
    }
    int64_t GetTotalSectors() override { return sectors_; }

private:
    int64_t sectors_;
    uint8_t fill_;
};

struct WalkCase {
    const char* what;
    std::function<IRawFileAnalyser*()> make;
    Bytes file;
    uint32_t sectorSize;
    int64_t sectors;  // of the device; the file lies at sector 0
    uint8_t fill;     // what the device holds after the file
    uint32_t answer;
    int64_t size;
};

template <class Analyser>
std::function<IRawFileAnalyser*()> Make() {
    return [] { return new Analyser(); };
}

Bytes Concat(std::initializer_list<std::string> parts) {
    Bytes bytes;
    for (const std::string& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

Bytes Wide(const std::string& text) {
    Bytes bytes = {0xFF, 0xFE};
    for (char c : text)
        bytes.insert(bytes.end(), {uint8_t(c), 0});
    return bytes;
}

// A mailbox of `filler` bytes of text, then `end`; the rest of its last
// 512-byte step is zeros.
Bytes Mailbox(size_t filler, const std::string& end) {
    Bytes bytes = Concat({"From a@example.com Thu Dec 10 12:00:00 2026\n"});
    bytes.resize(filler, 'm');
    bytes.insert(bytes.end(), end.begin(), end.end());
    return bytes;
}

// A mailbox filling two 512-byte steps, then the next one.
Bytes TwoMailboxes() {
    Bytes bytes = Mailbox(1023, "\n");
    const Bytes next = Mailbox(600, "\n");
    bytes.insert(bytes.end(), next.begin(), next.end());
    return bytes;
}

// A Compact Pro archive whose table at 400 has two entries; the last leads
// to an item at 600 whose stored length sits at 900.
Bytes Cpt(bool stored) {
    Bytes b(2048, 0);
    Text(b, 0, "CPT7FILE");
    LE(b, 40, 2, 4);
    LE(b, 52, 400, 4);
    LE(b, 408, 600, 4);
    LE(b, 632, 0, 4);
    if (stored) {
        LE(b, 660, 1000, 4);  // item data from 1000
        LE(b, 664, 50, 4);
        LE(b, 992, 1200, 4);
        LE(b, 996, 234, 4);
    }
    return b;
}

std::vector<WalkCase> WalkCases() {
    Bytes riff = Riff("WAVE", "fmt ");
    Bytes aiff =
        Header([](Bytes& b) { Text(b, 0, "FORM"), BE(b, 4, 5000, 4), Text(b, 8, "AIFF"); });
    Bytes htmlEnd = Wide("<HTML><BODY>hello</BODY></HTML>\n");
    Bytes htmlNul = Wide("<HTML><BODY>hello");
    Bytes htmlLong = Wide("<HTML>");
    htmlLong.resize(512, 'x');
    Bytes htmlNone = Wide("<BODY>hello");
    return {
        {"RIFF to its stated length", Make<FileRIFFAnalyser>(), riff, 512, 8, 0xAB, 1, 1008},
        {"RIFF on 4096-byte sectors", Make<FileRIFFAnalyser>(), riff, 4096, 2, 0xAB, 1, 1008},
        {"RIFF longer than the device is none", Make<FileRIFFAnalyser>(), riff, 512, 1, 0xAB, 1, 0},
        {"AIFF", Make<CFileAIFAnalyzer>(), aiff, 512, 16, 0, 1, 5008},
        {"mailbox ending in a signature separator", Make<FileMboxAnalyser>(),
         Mailbox(1500, "--\n\n\n\n"), 512, 8, 0, 1, 1506},
        {"mailbox ending in an address", Make<FileMboxAnalyser>(),
         Mailbox(700, "<a@example.com>\n\n"), 512, 8, 0, 1, 717},
        {"mailbox of neither end, zeros after it", Make<FileMboxAnalyser>(),
         Mailbox(900, "\nRegards"), 512, 8, 0, 1, 908},
        {"mailbox followed by other bytes", Make<FileMboxAnalyser>(), Mailbox(900, "\nBye\n"), 512,
         8, 0x01, 1, 905},
        {"mailbox followed by the next one", Make<FileMboxAnalyser>(), TwoMailboxes(), 512, 8, 0, 1,
         1024},
        {"mailbox whose text never ends", Make<FileMboxAnalyser>(), Mailbox(512, ""), 512,
         0xD000000 / 512 + 8, 'x', 1, 0xD000000 + 512},
        {"mailbox cut by the device's end", Make<FileMboxAnalyser>(), Mailbox(512, ""), 512, 4, 'x',
         1, 2048},
        {"UTF-16 HTML to its end tag", Make<FileUnicodeHTMAnalyser>(), htmlEnd, 512, 4, 0, 1,
         int64_t(htmlEnd.size())},
        {"UTF-16 HTML to its first NUL", Make<FileUnicodeHTMAnalyser>(), htmlNul, 512, 4, 0, 1,
         int64_t(htmlNul.size())},
        {"UTF-16 HTML of no end over 1 MiB", Make<FileUnicodeHTMAnalyser>(), htmlLong, 512,
         0x100000 / 512 + 8, 'x', 1, 0x100002},
        {"UTF-16 text without an HTML tag", Make<FileUnicodeHTMAnalyser>(), htmlNone, 512, 4, 0, 0,
         0},
        {"Compact Pro from its stored length", Make<FileCPTAnalyser>(), Cpt(true), 512, 8, 0, 1,
         1434},
        {"Compact Pro ending with its last item", Make<FileCPTAnalyser>(), Cpt(false), 512, 8, 0, 1,
         600},
        {"Compact Pro whose table lies past the device", Make<FileCPTAnalyser>(),
         Header([](Bytes& b) { Text(b, 0, "CPT7FILE"), LE(b, 52, 0x7FFFFFFF, 4); }), 512, 4, 0, 0,
         0},
    };
}

}  // namespace

TEST(HeaderWalks, MeasureTheFileOnTheDevice) {
    for (WalkCase& c : WalkCases()) {
        SCOPED_TRACE(c.what);
        FilledDevice device(c.file, c.sectorSize, c.sectors, c.fill);
        std::unique_ptr<IRawFileAnalyser> analyser(c.make());
        CRawFileInfo info;
        EXPECT_EQ(analyser->GetRawFileSize(info, &device), c.answer);
        EXPECT_EQ(info.size, c.size);
    }
}
