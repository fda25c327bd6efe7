// PNG pictures: the header test, the streaming chunk walk and the device walk
// that takes over what the stream could not finish.

#include <gtest/gtest.h>

#include "FilePNGAnalyser.h"
#include "PNGAnalyser.h"
#include "RawTestSupport.h"

using namespace harbex::test;
using ZizEdoza::PNGAnalyser;

namespace {

constexpr int kSector = 512;

struct StreamResult {
    int answer = 2;
    long long lastSector = -1;  // the sector of the call that answered 1
    int64_t size = 0;
    std::string name;
};

// Streams `bytes` (a file at sector `start`) past a fresh record one sector at
// a time; sectors before `blockEnd` belong to a block that ends there.
StreamResult Stream(const std::vector<uint8_t>& file, long long start, long long blockEnd) {
    PNGAnalyser analyser;
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    record->startSector = start;
    record->analyser = &analyser;
    // The bytes after the file stand for what follows it in the block.
    std::vector<uint8_t> bytes = file;
    bytes.resize((bytes.size() / kSector + 2) * kSector, 0);
    StreamResult result;
    CRawFileInfo::SearchContext context;
    for (size_t at = 0; at + kSector <= bytes.size(); at += kSector) {
        const long long sector = start + static_cast<long long>(at / kSector);
        context.windowEnd = sector < blockEnd ? blockEnd : 1LL << 40;
        if (record->CalcRawSize(bytes.data() + at, kSector, sector, context) == 1) {
            result = {1, sector, record->size, record->GetRawFileName()};
            break;
        }
    }
    return result;
}

}  // namespace

TEST(PNGAnalyser, HeaderTestAndRecord) {
    PNGAnalyser analyser;
    std::vector<uint8_t> sector = MakePng({10});
    sector.resize(kSector);
    CRawFileInfo probe;
    EXPECT_EQ(analyser.AnalyseBuffer(sector.data(), probe), 1u);
    EXPECT_EQ(probe.fileType, 51u);
    sector[7] = 0;
    EXPECT_EQ(analyser.AnalyseBuffer(sector.data(), probe), 0u);
    EXPECT_EQ(analyser.AnalyseBuffer(nullptr, probe), 0u);

    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    EXPECT_TRUE(record->WhetherImplementGuess());
    EXPECT_EQ(analyser.GetRawFileSize(*record, nullptr), 0u);
    // The hand-over, at the end of the scan too, gives the record to the
    // header analyser.
    record->analyser = &analyser;
    record->WillBeRemove(nullptr, -1);
    EXPECT_NE(dynamic_cast<FilePNGAnalyser*>(record->analyser), nullptr);
}

TEST(PNGAnalyser, StreamingFindsTheEnd) {
    struct Case {
        const char* what;
        std::vector<uint32_t> idat;
        long long blockEnd;
        long long endSector;
    } cases[] = {
        {"small", {50}, 1 << 30, 0},
        // IEND's header begins at byte 512: read from the bytes after sector 0.
        {"end at a sector start", {467}, 1 << 30, 0},
        // IEND's header straddles sectors 3 and 4.
        {"straddling end", {2000}, 1 << 30, 3},
        // The same with sector 3 the last one in memory: read a call later.
        {"straddling a block's end", {2000}, 4, 4},
        {"many chunks", {100, 0, 700, 3000, 12}, 1 << 30, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> png = MakePng(c.idat);
        const StreamResult result = Stream(png, 40, c.blockEnd + 40);
        EXPECT_EQ(result.answer, 1);
        EXPECT_EQ(result.size, int64_t(png.size()));
        EXPECT_EQ(result.lastSector, 40 + c.endSector);
        EXPECT_EQ(result.name, "40-" + std::to_string(40 + c.endSector) + "_");
    }
}

TEST(PNGAnalyser, StreamingGivesUpPastItsMaximum) {
    PNGAnalyser analyser;
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    std::vector<uint8_t> png = MakePng({10}, false);
    SetChunkLength(png, 33, 0xFFFFFFF0u);  // a damaged length
    png.resize(3 * kSector);
    CRawFileInfo::SearchContext context;
    context.windowEnd = 1LL << 40;
    EXPECT_EQ(record->CalcRawSize(png.data(), kSector, 0, context), 2);
    EXPECT_EQ(record->CalcRawSize(png.data() + kSector, kSector, 1, context), 2);
    const long long beyond = PNGAnalyser::PNGRawFileInfo::kMaxSize / kSector + 1;
    EXPECT_EQ(record->CalcRawSize(png.data() + kSector, kSector, beyond, context), 1);
    EXPECT_EQ(record->size, 0);
}

TEST(FilePNGAnalyser, MeasuresOnTheDevice) {
    const std::vector<uint8_t> whole = MakePng({700, 90});
    std::vector<uint8_t> hugeLength = MakePng({100});
    hugeLength[33 + 112] = 0x7F;  // IEND's length becomes huge
    std::vector<uint8_t> noIhdr = whole;
    noIhdr[12] = 'X';
    std::vector<uint8_t> noWidth = whole;
    std::memset(noWidth.data() + 16, 0, 4);
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + 300);

    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        bool deviceEndsWithFile;
        uint32_t answer;
        int64_t size;
    } cases[] = {
        {"whole", whole, false, 1, int64_t(whole.size())},
        {"a length above the cap ends the walk", hugeLength, false, 1, 33 + 112},
        {"no IHDR", noIhdr, false, 0, 0},
        {"zero width", noWidth, false, 0, 0},
        {"cut by the device's end", cut, true, 1, kSector},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image(3 * kSector, 0xAB);
        Place(image, 3 * kSector, c.file);
        if (!c.deviceEndsWithFile)
            image.resize(image.size() + 8 * kSector, 0xAB);
        MemoryDevice device(image, kSector);
        CRawFileInfo record;
        record.startSector = 3;
        FilePNGAnalyser analyser;
        EXPECT_EQ(analyser.GetRawFileSize(record, &device), c.answer);
        EXPECT_EQ(record.size, c.size);
    }
}
