// Drawing analysers: DWG sizes from locators, the scrambled header and the
// 2007 coded header (plain, compressed and hostile), DXF
// ends at its EOF group, binary EPS sized from its header, FreeHand headers.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "DrawingAnalysers.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

void PutLE32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = uint8_t(value >> (8 * k));
}

// Streams `bytes` (a file at sector 50 and what follows it) past a new
// record, all of it in one buffered window; answers the record.
std::unique_ptr<CRawFileInfo> Stream(IRawFileAnalyser& analyser, std::vector<uint8_t> bytes,
                                     int sectorSize = 512) {
    bytes.resize((bytes.size() / sectorSize + 2) * sectorSize, 0x61);
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    record->startSector = 50;
    CRawFileInfo::SearchContext context;
    context.windowStart = 50;
    context.windowEnd = 50 + static_cast<long long>(bytes.size() / sectorSize);
    for (size_t at = 0; at < bytes.size(); at += sectorSize) {
        if (record->CalcRawSize(bytes.data() + at, sectorSize,
                                50 + static_cast<long long>(at / sectorSize), context) == 1) {
            break;
        }
    }
    return record;
}

std::vector<uint8_t> Dwg2000(const std::vector<std::array<uint32_t, 3>>& locators) {
    std::vector<uint8_t> dwg(1024, 0);
    std::memcpy(dwg.data(), "AC1015", 6);
    PutLE32(dwg, 21, uint32_t(locators.size()));
    for (size_t i = 0; i < locators.size(); ++i) {
        dwg[25 + 9 * i] = uint8_t(locators[i][0]);
        PutLE32(dwg, 25 + 9 * i + 1, locators[i][1]);
        PutLE32(dwg, 25 + 9 * i + 5, locators[i][2]);
    }
    return dwg;
}

TEST(DrawingAnalysers, DwgSizes) {
    BruteForce::CDWGAnalyser analyser;
    CRawFileInfo probe;
    // Section locators: the furthest section's end.
    auto dwg = Dwg2000({{0, 0x100, 0x40}, {1, 0x9000, 0x800}, {2, 0x2000, 0x10}});
    EXPECT_EQ(analyser.AnalyseBuffer(dwg.data(), probe), 1u);
    EXPECT_EQ(Stream(analyser, dwg)->size, 0x9800);
    // Sixty locators run into the next sector.
    std::vector<std::array<uint32_t, 3>> many;
    for (uint32_t i = 0; i < 60; ++i)
        many.push_back({i, 0x1000 * i, 0x100});
    EXPECT_EQ(Stream(analyser, Dwg2000(many))->size, 0x1000 * 59 + 0x100);
    // Out of sequence: no size.
    EXPECT_EQ(Stream(analyser, Dwg2000({{0, 1, 1}, {2, 0x9000, 8}}))->size, 0);
    // The oldest version is recognised but never sized.
    std::vector<uint8_t> old(512, 0x20);
    std::memcpy(old.data(), "AC1009", 6);
    EXPECT_EQ(analyser.AnalyseBuffer(old.data(), probe), 1u);
    EXPECT_EQ(Stream(analyser, old)->size, 0);
    std::memcpy(old.data(), "AC1099", 6);
    EXPECT_EQ(analyser.AnalyseBuffer(old.data(), probe), 0u);

    // A scrambled header naming its second copy's address.
    std::vector<uint8_t> plain(108, 0);
    PutLE32(plain, 16, 0x6C);
    PutLE32(plain, 20, 4);
    PutLE32(plain, 52, 0x123400);
    PutLE32(plain, 68, 32);
    PutLE32(plain, 72, 0x80);
    PutLE32(plain, 76, 0x40);
    std::vector<uint8_t> later(512, 0);
    std::memcpy(later.data(), "AC1018", 6);
    uint32_t seed = 1;
    for (size_t i = 0; i < plain.size(); ++i) {
        seed = seed * 214013 + 2531011;
        later[0x80 + i] = plain[i] ^ uint8_t(seed >> 16);
    }
    EXPECT_EQ(Stream(analyser, later)->size, 0x123400 + 108);
    later[0x80 + 16] ^= 1;
    EXPECT_EQ(Stream(analyser, later)->size, 0);
}

// A 2007 drawing whose coded header, de-interleaved, starts with `data`:
// byte i of block k lies at 128 + 3i + k. The bytes after the three blocks
// are filler the sizing must ignore.
std::vector<uint8_t> Dwg2007(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> dwg(1536, 0);
    std::memcpy(dwg.data(), "AC1021", 6);
    std::fill(dwg.begin() + 128 + 717, dwg.begin() + 128 + 984, 0xEE);
    for (size_t j = 0; j < data.size(); ++j)
        dwg[128 + 3 * (j % 239) + j / 239] = data[j];
    return dwg;
}

// Header data with its length field at 24 and `payload` from 32.
std::vector<uint8_t> CodedHeader(int32_t length, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> data(717, 0);
    PutLE32(data, 24, uint32_t(length));
    std::copy(payload.begin(), payload.end(), data.begin() + 32);
    return data;
}

// A plain header: eight bytes, then the 64-bit file size.
std::vector<uint8_t> PlainHeader(uint64_t fileSize) {
    std::vector<uint8_t> header(272, 0x11);
    for (int k = 0; k < 8; ++k)
        header[8 + k] = uint8_t(fileSize >> (8 * k));
    return header;
}

// Literal 10 (stored shuffled: last byte first, first byte last), a copy of
// four bytes from ten back (the file size's top byte 0x12 comes from the
// header's first byte), then a plain literal of eight: the header starts
// 12 00 00 00 A1 A2 A3 A4, and its size field reads 0x123456.
const std::vector<uint8_t> kPackedHeader = {
    0x02, 0x34, 0x00, 0x00, 0x00, 0xA1, 0xA2, 0xA3, 0xA4, 0x56, 0x12,  // literal 10
    0x49, 0x00,                                                        // copy 4 from 10 back
    0x00, 0x00, 0x00, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6};             // literal 8

// The stream's first literal run followed by `tail`.
std::vector<uint8_t> Packed(const std::vector<uint8_t>& tail) {
    constexpr size_t kLiteralRun = 11;
    std::vector<uint8_t> stream(kLiteralRun + tail.size());
    std::copy_n(kPackedHeader.begin(), kLiteralRun, stream.begin());
    std::copy(tail.begin(), tail.end(), stream.begin() + kLiteralRun);
    return stream;
}

TEST(DrawingAnalysers, Dwg2007SizedFromItsCodedHeader) {
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        int64_t size;
    };
    const std::vector<Case> cases = {
        {"plain, length 0", CodedHeader(0, PlainHeader(0x5F3210)), 0x5F3210},
        {"plain, negative length", CodedHeader(-272, PlainHeader(0x81234)), 0x81234},
        {"plain, size past the maximum", CodedHeader(0, PlainHeader(0x514000001)), 0},
        {"compressed", CodedHeader(int32_t(kPackedHeader.size()), kPackedHeader), 0x123456},
        // Hostile streams end without a size.
        {"copy from before the start", CodedHeader(13, Packed({0x4F, 0x08})), 0},
        {"copy past the output", CodedHeader(16, Packed({0x28, 0x00, 0x00, 0xFF, 0xF8})), 0},
        {"literal past the input", CodedHeader(15, {0x0F, 0x80}), 0},
        {"cut inside a copy", CodedHeader(12, Packed({0x10})), 0},
        {"announced literal missing", CodedHeader(13, Packed({0x49, 0x03})), 0},
        {"length past the blocks", CodedHeader(686, kPackedHeader), 0},
    };
    BruteForce::CDWGAnalyser analyser;
    for (const Case& c : cases) {
        auto dwg = Dwg2007(c.data);
        CRawFileInfo probe;
        ASSERT_EQ(analyser.AnalyseBuffer(dwg.data(), probe), 1u) << c.name;
        EXPECT_EQ(Stream(analyser, dwg)->size, c.size) << c.name;
    }
}

TEST(DrawingAnalysers, Dwg2007HeaderCollectedAcrossSectors) {
    // The coded header spans bytes 128-1111: three 512-byte sectors, or one
    // of 4096 bytes. Each sector is handed over alone.
    const auto dwg = Dwg2007(CodedHeader(int32_t(kPackedHeader.size()), kPackedHeader));
    const std::vector<std::pair<int, std::vector<int>>> cases = {{512, {2, 2, 1}}, {4096, {1}}};
    BruteForce::CDWGAnalyser analyser;
    for (const auto& [sectorSize, answers] : cases) {
        std::vector<uint8_t> bytes = dwg;
        bytes.resize(size_t(sectorSize) * answers.size(), 0x61);
        std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
        record->startSector = 9;
        for (size_t n = 0; n < answers.size(); ++n) {
            std::vector<uint8_t> sector(bytes.begin() + sectorSize * n,
                                        bytes.begin() + sectorSize * (n + 1));
            CRawFileInfo::SearchContext context;
            context.windowStart = 9 + static_cast<long long>(n);
            context.windowEnd = context.windowStart + 1;
            EXPECT_EQ(record->CalcRawSize(sector.data(), sectorSize, context.windowStart, context),
                      answers[n])
                << sectorSize << " sector " << n;
        }
        EXPECT_EQ(record->size, 0x123456) << sectorSize;
    }
}

TEST(DrawingAnalysers, DxfEndsAfterItsEofGroup) {
    BruteForce::CDXFAnalyser analyser;
    struct Case {
        std::string head, newline;
        size_t bodyLength;
    };
    const std::vector<Case> cases = {
        {"  0\r\nSECTION\r\n  2\r\nHEADER\r\n", "\r\n", 3000},
        {"999\ndxfrw\n  0\nSECTION\n  2\nHEADER\n", "\n", 700},
        {"999\r\ncomment\r\n  0\r\nSECTION\r\n  2\r\nHEADER\r\n", "\r\n", 505},
    };
    for (const Case& c : cases) {
        for (size_t extra = 0; extra < 12; extra += 3) {
            std::string text = c.head + std::string(c.bodyLength + extra, 'x') + c.newline + "  0" +
                               c.newline + "EOF" + c.newline;
            std::vector<uint8_t> dxf(text.begin(), text.end());
            dxf.resize(1536, 0);
            CRawFileInfo probe;
            ASSERT_EQ(analyser.AnalyseBufferEx(dxf.data(), probe, 512, 0, 0, 3), 1) << c.head;
            // Random text after the file rather than zeros.
            std::vector<uint8_t> file(text.begin(), text.end());
            EXPECT_EQ(Stream(analyser, file)->size, int64_t(text.size())) << c.head << extra;
        }
    }
    std::vector<uint8_t> other(512, 0);
    std::memcpy(other.data(), "999\nno section here", 19);
    CRawFileInfo probe;
    EXPECT_EQ(analyser.AnalyseBufferEx(other.data(), probe, 512, 0, 0, 1), 0);
}

TEST(DrawingAnalysers, EpsAndFreeHandHeaders) {
    BruteForce::CEPSAnalyser eps;
    std::vector<uint8_t> binary(512, 0);
    const uint8_t mark[4] = {0xC5, 0xD0, 0xD3, 0xC6};
    std::memcpy(binary.data(), mark, 4);
    PutLE32(binary, 4, 30);
    PutLE32(binary, 8, 5000);
    PutLE32(binary, 20, 5030);
    PutLE32(binary, 24, 900);
    CRawFileInfo probe;
    ASSERT_EQ(eps.AnalyseBuffer(binary.data(), probe), 1u);
    EXPECT_EQ(probe.size, 5930);
    std::unique_ptr<CRawFileInfo> record(eps.CreateRawFileInfo());
    EXPECT_FALSE(record->WhetherImplementGuess());

    std::vector<uint8_t> text(512, 0);
    std::memcpy(text.data(), "%!PS-Adobe-3.0 EPSF-3.0\n", 24);
    ASSERT_EQ(eps.AnalyseBuffer(text.data(), probe), 1u);
    record.reset(eps.CreateRawFileInfo());
    EXPECT_TRUE(record->WhetherImplementGuess());
    std::memcpy(text.data(), "%!PS-Other", 10);
    EXPECT_EQ(eps.AnalyseBuffer(text.data(), probe), 0u);

    BruteForce::CFH11Analyser freehand;
    std::vector<uint8_t> fh(512, 0);
    const uint8_t fhMark[16] = {0x1C, 0x01, 0,    0,    0x02, 0x00, 0x04, 0x1C,
                                0x01, 0x14, 0x00, 0x02, 0x00, 0x14, 0x1C, 0x01};
    std::memcpy(fh.data(), fhMark, 16);
    std::memcpy(fh.data() + 34, "11", 2);
    EXPECT_EQ(freehand.AnalyseBuffer(fh.data(), probe), 1u);
    EXPECT_EQ(probe.fileType, 29u);
    fh[35] = '0';
    EXPECT_EQ(freehand.AnalyseBuffer(fh.data(), probe), 0u);
}

TEST(DrawingAnalysers, ZeroTailDrawingsShorterThanASectorEndInIt) {
    std::vector<uint8_t> eps(512, 0);
    std::memcpy(eps.data(), "%!PS-Adobe-3.0 EPSF-3.0\n", 24);
    std::fill(eps.begin() + 24, eps.begin() + 300, 'x');
    std::vector<uint8_t> fh(512, 0);
    const uint8_t fhMark[16] = {0x1C, 0x01, 0,    0,    0x02, 0x00, 0x04, 0x1C,
                                0x01, 0x14, 0x00, 0x02, 0x00, 0x14, 0x1C, 0x01};
    std::memcpy(fh.data(), fhMark, 16);
    std::fill(fh.begin() + 16, fh.begin() + 299, 0x46);
    std::memcpy(fh.data() + 34, "11", 2);
    BruteForce::CEPSAnalyser epsAnalyser;
    BruteForce::CFH11Analyser fhAnalyser;
    const std::vector<std::pair<IRawFileAnalyser*, std::vector<uint8_t>*>> cases = {
        {&epsAnalyser, &eps}, {&fhAnalyser, &fh}};
    for (const auto& [analyser, sector] : cases) {
        CRawFileInfo probe;
        ASSERT_EQ(analyser->AnalyseBuffer(sector->data(), probe), 1u);
        std::unique_ptr<CRawFileInfo> record(analyser->CreateRawFileInfo());
        record->startSector = 7;
        CRawFileInfo::SearchContext context;
        context.windowEnd = 8;
        context.trailingZeroBytes = 32;
        EXPECT_EQ(record->CalcRawSize(sector->data(), 512, 7, context), 1);
        EXPECT_EQ(record->size, sector == &eps ? 300 : 299);
    }
}

}  // namespace
