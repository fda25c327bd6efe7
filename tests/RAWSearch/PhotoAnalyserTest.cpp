// JPEG, GIF and TIFF analysers on crafted files: ends found by structure
// (never by bytes that only look like an end), names and tags from the
// camera, types by maker, and walks that stay bounded on damaged input.

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "FileJPGAnalyser.h"
#include "FileTIFAnalyser.h"
#include "GifAnalyser.h"
#include "JpegAnalyzer.h"
#include "RawTestSupport.h"
#include "TiffAnalyzer.h"
#include "TiffWriter.h"

using namespace harbex::test;

namespace {

struct Streamed {
    int answer = 2;
    int64_t size = 0;
    std::string name;
    RAW_FILE_TYPE type = 0;
    bool handedOver = false;
};

// Streams `file` (then random bytes) past a new record of `analyser`, one
// sector at a time, in blocks of `blockSectors` sectors as the raw search
// holds them.
Streamed Stream(IRawFileAnalyser& analyser, const std::vector<uint8_t>& file, int sectorSize,
                int blockSectors = 8) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes = file;
    while (bytes.size() % sectorSize != 0 || bytes.size() < file.size() + 4 * sectorSize)
        bytes.push_back(uint8_t(random() | 1));
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    const long long start = 1000;
    record->startSector = start;
    record->analyser = &analyser;
    Streamed result;
    const long long sectors = static_cast<long long>(bytes.size() / sectorSize);
    for (long long i = 0; i < sectors; ++i) {
        const long long block = i / blockSectors * blockSectors;
        CRawFileInfo::SearchContext context;
        context.windowStart = start + std::max(0LL, block - blockSectors);
        context.windowEnd = start + std::min(sectors, block + blockSectors);
        unsigned char* sector = bytes.data() + i * sectorSize;
        uint32_t zeros = 0;
        while (zeros < 32 && sector[sectorSize - 1 - zeros] == 0)
            ++zeros;
        context.trailingZeroBytes = zeros / 4 * 4;
        if (record->CalcRawSize(sector, sectorSize, start + i, context) == 1) {
            result.answer = 1;
            break;
        }
    }
    result.size = record->size;
    result.name = record->GetRawFileName();
    result.type = record->fileType;
    result.handedOver = record->analyser != &analyser;
    return result;
}

// A baseline JPEG: SOI, an optional Exif APP1, tables, a frame, a scan with
// `data` as entropy-coded bytes, EOI.
std::vector<uint8_t> MakeJpeg(const std::vector<uint8_t>& data,
                              const std::vector<uint8_t>& exif = {}, uint8_t components = 3) {
    std::vector<uint8_t> jpeg = {0xFF, 0xD8};
    auto segment = [&jpeg](uint8_t marker, const std::vector<uint8_t>& body) {
        const size_t length = body.size() + 2;
        jpeg.insert(jpeg.end(), {0xFF, marker, uint8_t(length >> 8), uint8_t(length)});
        jpeg.insert(jpeg.end(), body.begin(), body.end());
    };
    if (!exif.empty())
        segment(0xE1, exif);
    else
        segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    segment(0xDB, std::vector<uint8_t>(65, 1));
    std::vector<uint8_t> frame = {8, 0x01, 0xE0, 0x02, 0x80, components};
    for (uint8_t c = 0; c < components; ++c)
        frame.insert(frame.end(), {uint8_t(c + 1), 0x11, 0});
    segment(0xC0, frame);
    segment(0xC4, std::vector<uint8_t>(30, 2));
    std::vector<uint8_t> scan = {components};
    for (uint8_t c = 0; c < components; ++c)
        scan.insert(scan.end(), {uint8_t(c + 1), 0});
    scan.insert(scan.end(), {0, 63, 0});
    segment(0xDA, scan);
    jpeg.insert(jpeg.end(), data.begin(), data.end());
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
}

// Entropy-coded bytes of the given length: stuffed FF 00 pairs and restart
// markers among ordinary bytes, and no end marker.
std::vector<uint8_t> ScanData(size_t length, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data;
    while (data.size() < length) {
        const uint8_t byte = uint8_t(random());
        if (byte == 0xFF) {
            data.insert(data.end(), {0xFF, uint8_t(random() % 3 == 0 ? 0xD3 : 0x00)});
        } else {
            data.push_back(byte);
        }
    }
    return data;
}

std::vector<uint8_t> CameraExif(const std::string& make, const std::string& model,
                                const std::vector<uint8_t>& thumbnail) {
    TiffWriter tiff;
    const uint32_t first =
        tiff.AddDirectory({TiffWriter::Ascii(271, make), TiffWriter::Ascii(272, model)});
    const uint32_t at = tiff.Append(thumbnail);
    tiff.SetLink(first, tiff.AddDirectory({TiffWriter::Long(513, at),
                                           TiffWriter::Long(514, uint32_t(thumbnail.size()))}));
    return ExifBlock(tiff.bytes);
}

TEST(JpegAnalyzer, EndsAtTheEndMarkerAfterTheScanWhereverItFalls) {
    BruteForce::JpegAnalyzer analyser;
    // Thumbnails carry end markers of their own; only the picture's counts.
    const std::vector<uint8_t> thumbnail = MakeJpeg(ScanData(300, 1));
    for (int sectorSize : {512, 4096}) {
        for (size_t length : {size_t(10), size_t(3000), size_t(9000)}) {
            for (int blockSectors : {1, 8}) {
                const auto jpeg = MakeJpeg(ScanData(length, uint32_t(length)),
                                           CameraExif("Canon", "Canon EOS 5D", thumbnail));
                const Streamed streamed = Stream(analyser, jpeg, sectorSize, blockSectors);
                SCOPED_TRACE(std::to_string(sectorSize) + " " + std::to_string(length));
                EXPECT_EQ(streamed.answer, 1);
                EXPECT_EQ(streamed.size, int64_t(jpeg.size()));
            }
        }
    }
    // An end marker split by a sector boundary.
    std::vector<uint8_t> data = ScanData(2000, 3);
    const size_t before = MakeJpeg({}).size() - 2;
    data.resize(1024 - before - 1);
    for (uint8_t& byte : data)
        byte = byte == 0xFF ? 0x7F : byte;
    const auto split = MakeJpeg(data);
    ASSERT_EQ(split[1023], 0xFF);
    EXPECT_EQ(Stream(analyser, split, 512, 1).size, 1025);
}

TEST(JpegAnalyzer, NamesAndTagsFromTheCamera) {
    struct Case {
        std::string make, model, name;
        RAW_FILE_TAG tag;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"nikon", "D70", "NIKON_D70_1000-", RAW_FILE_TAG_CAMERA, "NIKON"},
        {"Sony", "DSC+X1", "SONY_1000-", RAW_FILE_TAG_CAMERA, "SONY"},  // '+': no model
        {"", "Pixel 5", "PIXEL 5_Pixel 5_1000-", RAW_FILE_TAG_CAMERA, "PIXEL 5"},
        {"Apple", "iPhone/12", "APPLE_iPhone_12_1000-", RAW_FILE_TAG_CAMERA, "APPLE"},
        {"", "", "1000-", RAW_FILE_TAG_NONE, ""},
    };
    BruteForce::JpegAnalyzer analyser;
    for (const Case& c : cases) {
        const auto jpeg = MakeJpeg(ScanData(700, 5), CameraExif(c.make, c.model, {1, 2, 3, 4, 5}));
        std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
        record->startSector = 1000;
        std::vector<uint8_t> bytes = jpeg;
        bytes.resize(2048, 0x55);
        CRawFileInfo::SearchContext context;
        context.windowStart = 1000;
        context.windowEnd = 1004;
        int answer = 2;
        for (int i = 0; i < 4 && answer != 1; ++i)
            answer = record->CalcRawSize(bytes.data() + 512 * i, 512, 1000 + i, context);
        ASSERT_EQ(answer, 1) << c.model;
        EXPECT_EQ(record->GetRawFileName().rfind(c.name, 0), 0u) << record->GetRawFileName();
        RAW_FILE_TAG tag;
        std::string value;
        record->GetRawFileTagAndValue(tag, value);
        EXPECT_EQ(tag, c.tag) << c.model;
        EXPECT_EQ(value, c.value);
    }
}

TEST(JpegAnalyzer, HeaderWithoutIdentifierNeedsAColourFrame) {
    BruteForce::JpegAnalyzer analyser;
    for (uint8_t components : {uint8_t(3), uint8_t(1)}) {
        auto jpeg = MakeJpeg(ScanData(100, 9), {}, components);
        // Drop the JFIF segment: FF D8 then straight to the tables.
        jpeg.erase(jpeg.begin() + 2, jpeg.begin() + 2 + 18);
        ASSERT_EQ(jpeg[3], 0xDB);
        jpeg.resize(1024, 0);
        CRawFileInfo probe;
        EXPECT_EQ(analyser.AnalyseBufferEx(jpeg.data(), probe, 512, 10, 10, 12),
                  components == 3 ? 1 : 0);
    }
}

TEST(JpegAnalyzer, LostStructureFallsBackToTheZeroTail) {
    BruteForce::JpegAnalyzer analyser;
    auto jpeg = MakeJpeg(ScanData(1500, 11));
    // A damaged table segment whose marker byte is garbage: the walk is lost.
    jpeg[20 + 69 + 0] = 0x12;
    std::vector<uint8_t> file = jpeg;
    file.resize((file.size() / 512 + 1) * 512, 0);  // zero-padded last sector
    file.resize(file.size() + 2048, 0x44);
    const Streamed streamed = Stream(analyser, file, 512);
    EXPECT_EQ(streamed.size, int64_t(jpeg.size()));
}

TEST(FileJPGAnalyser, MeasuresAHandedOverPictureOnTheDevice) {
    const auto jpeg = MakeJpeg(ScanData(5000, 13), CameraExif("Canon", "Canon EOS 5D", {9}));
    std::vector<uint8_t> image(512 * 4, 0x33);
    Place(image, 512 * 4, jpeg);
    image.resize(image.size() + 4096, 0x99);
    MemoryDevice device(image, 512);
    FileJPGAnalyser analyser;
    CRawFileInfo record;
    record.startSector = 4;
    ASSERT_EQ(analyser.GetRawFileSize(record, &device), 1u);
    EXPECT_EQ(record.size, int64_t(jpeg.size()));
    EXPECT_EQ(record.GetRawFileName(), "Canon EOS 5D");
    // A picture cut by the device's end keeps what the device holds.
    MemoryDevice cut(std::vector<uint8_t>(image.begin(), image.begin() + 512 * 8), 512);
    CRawFileInfo cutRecord;
    cutRecord.startSector = 4;
    ASSERT_EQ(analyser.GetRawFileSize(cutRecord, &cut), 1u);
    EXPECT_EQ(cutRecord.size, 512 * 4);
}

// A GIF with one image whose data sub-blocks have the given lengths.
std::vector<uint8_t> MakeGif(const std::vector<uint8_t>& subBlockLengths) {
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 10, 0, 10, 0, 0x80, 0, 0};
    gif.insert(gif.end(), 6, 0x11);  // global colour table of 2 entries
    gif.insert(gif.end(), {'!', 0xF9, 4, 0, 10, 0, 0, 0});
    gif.insert(gif.end(), {',', 0, 0, 0, 0, 10, 0, 10, 0, 0, 2});
    for (uint8_t length : subBlockLengths) {
        gif.push_back(length);
        gif.insert(gif.end(), length, length);
    }
    gif.insert(gif.end(), {0, ';'});
    return gif;
}

TEST(GifAnalyser, WalksSubBlocksByLengthAndEndsAtTheTrailer) {
    BruteForce::CGifAnalyser analyser;
    // Lengths equal to the block introducers are data all the same.
    const std::vector<std::vector<uint8_t>> cases = {
        {0x21, 0x2C, 0x3B}, {0x3B}, {255, 255, 255, 255, 255, 255, 0x2C}, {1}};
    for (const auto& lengths : cases) {
        for (int sectorSize : {512, 4096}) {
            const auto gif = MakeGif(lengths);
            const Streamed streamed = Stream(analyser, gif, sectorSize, 1);
            EXPECT_EQ(streamed.answer, 1);
            EXPECT_EQ(streamed.size, int64_t(gif.size())) << int(lengths[0]);
        }
    }
    CRawFileInfo probe;
    std::vector<uint8_t> header = MakeGif({1});
    EXPECT_EQ(analyser.AnalyseBuffer(header.data(), probe), 1u);
    EXPECT_EQ(probe.fileType, 30u);
    header[4] = '8';
    EXPECT_EQ(analyser.AnalyseBuffer(header.data(), probe), 0u);
}

struct Measured {
    int64_t size = 0;
    RAW_FILE_TYPE type = 0;
    std::string name;
};

// Measures `file` laid at sector 2 of a device of random bytes.
Measured MeasureTiff(const std::vector<uint8_t>& file, size_t deviceBytes = 0) {
    std::mt19937 random(3);
    std::vector<uint8_t> image(1024);
    for (auto& byte : image)
        byte = uint8_t(random());
    image.insert(image.end(), file.begin(), file.end());
    image.resize(std::max(image.size() + 4096, deviceBytes), 0x5A);
    MemoryDevice device(image, 512);
    FileTIFAnalyser analyser;
    CRawFileInfo record;
    record.startSector = 2;
    record.fileType = 64;
    EXPECT_EQ(analyser.GetRawFileSize(record, &device), 1u);
    return {record.size, record.fileType, record.GetRawFileName()};
}

std::vector<uint8_t> CameraTiff(const std::string& make, const std::string& model, bool dng = false,
                                const char* header = nullptr) {
    TiffWriter tiff;
    const uint32_t strip = tiff.Append(std::vector<uint8_t>(3000, 0x42));
    std::vector<TiffWriter::Entry> entries = {TiffWriter::Long(256, 40), TiffWriter::Long(257, 25),
                                              TiffWriter::Long(273, strip),
                                              TiffWriter::Long(279, 3000)};
    if (!make.empty())
        entries.push_back(TiffWriter::Ascii(271, make));
    if (!model.empty())
        entries.push_back(TiffWriter::Ascii(272, model));
    if (dng)
        entries.push_back(TiffWriter::Raw(50706, 1, 4, 0x00000401));
    tiff.SetFirstDirectory(tiff.AddDirectory(entries));
    if (header != nullptr)
        std::memcpy(tiff.bytes.data(), header, 4);
    return tiff.bytes;
}

TEST(FileTIFAnalyser, TypesByMakerAndEndsAtTheLastReferencedByte) {
    struct Case {
        std::string make, model;
        bool dng;
        const char* header;
        RAW_FILE_TYPE type;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"Canon", "Canon EOS 5D", false, nullptr, 83, "CANON_Canon EOS 5D"},
        {"NIKON CORPORATION", "NIKON D70", false, nullptr, 77, "NIKON CORPORATION_NIKON D70"},
        {"NIKON CORPORATION", "NIKON D70", true, nullptr, 88, "NIKON CORPORATION_NIKON D70"},
        {"SONY", "DSC-R1", false, nullptr, 84, "SONY_DSC-R1"},
        {"Panasonic", "DMC-G1", false, "IIU", 87, "PANASONIC_DMC-G1"},
        {"LEICA", "X", false, "IIU", 86, "LEICA_X"},
        {"Acme", "Z", false, "IIU", 64, "ACME_Z"},
        {"", "", false, "IIRO", 64, ""},
    };
    for (const Case& c : cases) {
        const auto file = CameraTiff(c.make, c.model, c.dng, c.header);
        const Measured measured = MeasureTiff(file);
        EXPECT_EQ(measured.size, int64_t(file.size())) << c.model;
        EXPECT_EQ(measured.type, c.type) << c.model;
        EXPECT_EQ(measured.name, c.name);
    }
}

TEST(FileTIFAnalyser, BigEndianAndBackwardLinksAndHugeCounts) {
    TiffWriter big(true);
    const uint32_t strip = big.Append(std::vector<uint8_t>(2000, 7));
    const uint32_t first =
        big.AddDirectory({TiffWriter::Long(273, strip), TiffWriter::Long(279, 2000)});
    big.SetFirstDirectory(first);
    // A link back to the directory itself ends the chain.
    big.SetLink(first, first);
    EXPECT_EQ(MeasureTiff(big.bytes).size, int64_t(big.bytes.size()));

    // 513 entries: not a directory; nothing usable is no file.
    TiffWriter huge;
    huge.bytes.resize(20);
    huge.Put16(8, 513);
    EXPECT_EQ(MeasureTiff(huge.bytes, 300032).size, 0);
}

TEST(FileTIFAnalyser, RafReadsItsJpegWhereItLies) {
    // The embedded JPEG beyond the first window of the walk.
    const uint32_t jpegAt = 600000;
    const auto exif = CameraExif("FUJIFILM", "X-T2", {1});
    std::vector<uint8_t> jpeg = {
        0xFF, 0xD8, 0xFF, 0xE1, uint8_t((exif.size() + 2) >> 8), uint8_t(exif.size() + 2)};
    jpeg.insert(jpeg.end(), exif.begin(), exif.end());
    std::vector<uint8_t> raf(jpegAt + jpeg.size() + 100, 0);
    std::memcpy(raf.data(), "FUJIFILMCCD-RAW 0201FF383501", 28);
    auto putBE = [&raf](size_t at, uint32_t value) {
        for (int k = 0; k < 4; ++k)
            raf[at + k] = uint8_t(value >> (24 - 8 * k));
    };
    putBE(84, jpegAt);
    putBE(88, uint32_t(jpeg.size()));
    TiffWriter tiff;
    tiff.AddDirectory({TiffWriter::Long(256, 1)});
    std::memcpy(raf.data() + 160, tiff.bytes.data(), tiff.bytes.size());
    std::memcpy(raf.data() + jpegAt, jpeg.data(), jpeg.size());
    const Measured measured = MeasureTiff(raf);
    EXPECT_EQ(measured.type, 89u);
    EXPECT_EQ(measured.size, int64_t(jpegAt + jpeg.size()));
    EXPECT_EQ(measured.name, "X-T2");

    putBE(88, 1400000000);
    EXPECT_EQ(MeasureTiff(raf).size, 0);
}

TEST(TiffAnalyzer, StreamsDirectoriesToTheLastReferencedByte) {
    // Two main directories far apart: the second is read when the stream
    // reaches it, several blocks on.
    TiffWriter chained;
    const uint32_t strip1 = chained.Append(std::vector<uint8_t>(3000, 0x41));
    const uint32_t first = chained.AddDirectory(
        {TiffWriter::Long(273, strip1), TiffWriter::Long(279, 3000),
         TiffWriter::Ascii(271, "Canon"), TiffWriter::Ascii(272, "Canon EOS 5D")});
    const uint32_t strip2 = chained.Append(std::vector<uint8_t>(25000, 0x42));
    const uint32_t second =
        chained.AddDirectory({TiffWriter::Long(273, strip2), TiffWriter::Long(279, 25000)});
    chained.SetLink(first, second);
    chained.SetFirstDirectory(first);

    // Olympus raws in "MMOR" form are big-endian.
    TiffWriter olympus(true);
    const uint32_t strip = olympus.Append(std::vector<uint8_t>(2000, 0x4F));
    olympus.SetFirstDirectory(
        olympus.AddDirectory({TiffWriter::Long(273, strip), TiffWriter::Long(279, 2000),
                              TiffWriter::Ascii(271, "OLYMPUS"), TiffWriter::Ascii(272, "E-M1")}));
    std::memcpy(olympus.bytes.data() + 2, "OR", 2);

    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        int sectorSize;
        std::string name;  // what the name begins with
        RAW_FILE_TYPE type;
    };
    const std::vector<Case> cases = {
        {"chained, 512", chained.bytes, 512, "CANON_Canon EOS 5D_1000-", 83},
        {"chained, 4096", chained.bytes, 4096, "CANON_Canon EOS 5D_1000-", 83},
        {"Nikon", CameraTiff("NIKON CORPORATION", "NIKON D70"), 512,
         "NIKON CORPORATION_NIKON D70_1000-", 77},
        {"DNG", CameraTiff("NIKON", "D", true), 512, "NIKON_D_1000-", 88},
        {"model only", CameraTiff("", "Scanner"), 512, "Scanner_1000-", 64},
        {"MMOR", olympus.bytes, 512, "OLYMPUS_E-M1_1000-", 107},
    };
    BruteForce::TiffAnalyzer analyser;
    for (const Case& c : cases) {
        const Streamed streamed = Stream(analyser, c.file, c.sectorSize);
        EXPECT_EQ(streamed.answer, 1) << c.what;
        EXPECT_EQ(streamed.size, int64_t(c.file.size())) << c.what;
        EXPECT_EQ(streamed.name.rfind(c.name, 0), 0u) << c.what << ": " << streamed.name;
        EXPECT_EQ(streamed.type, c.type) << c.what;
    }
}

TEST(TiffAnalyzer, HandsOverWhatTheStreamCannotSettle) {
    TiffWriter far;
    far.AddDirectory({TiffWriter::Long(256, 1)});
    far.SetFirstDirectory(5000000);

    TiffWriter backwards;
    const uint32_t strip = backwards.Append(std::vector<uint8_t>(600, 1));
    const uint32_t early = backwards.AddDirectory({TiffWriter::Long(256, 1)});
    const uint32_t main =
        backwards.AddDirectory({TiffWriter::Long(273, strip), TiffWriter::Long(279, 600)}, early);
    backwards.SetFirstDirectory(main);

    // Twelve directories in one chain.
    TiffWriter many;
    uint32_t previous = 0;
    for (int i = 0; i < 12; ++i) {
        const uint32_t at = many.AddDirectory({TiffWriter::Long(256, 1)});
        if (previous != 0)
            many.SetLink(previous, at);
        else
            many.SetFirstDirectory(at);
        previous = at;
    }

    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    const std::vector<Case> cases = {
        {"first directory past 4 MiB", far.bytes},
        {"link back before the first directory", backwards.bytes},
        {"more than eleven directories", many.bytes},
        {"Panasonic header", CameraTiff("Panasonic", "DMC-G1", false, "IIU")},
    };
    BruteForce::TiffAnalyzer analyser;
    for (const Case& c : cases) {
        const Streamed streamed = Stream(analyser, c.file, 512);
        EXPECT_EQ(streamed.answer, 1) << c.what;
        EXPECT_EQ(streamed.size, 0) << c.what;
    }
}

TEST(TiffAnalyzer, WithoutImageDataASmallRawEndsInAZeroTailedSector) {
    // No strip sizes: the file runs past its estimate (8192 bytes) to the
    // first sector whose last 32 bytes are zero.
    TiffWriter tiff;
    tiff.SetFirstDirectory(tiff.AddDirectory({TiffWriter::Ascii(271, "NIKON")}));
    std::vector<uint8_t> file = tiff.bytes;
    file.resize(7 * 512, 0x55);
    file.resize(8 * 512, 0);  // ends in zeros, but before the estimate
    file.resize(19 * 512, 0x55);
    file.resize(20 * 512 - 20, 0x66);
    file.resize(20 * 512, 0);  // 20 zeros: not enough
    file.resize(21 * 512, 0x77);
    file.resize(22 * 512, 0);
    BruteForce::TiffAnalyzer analyser;
    const Streamed streamed = Stream(analyser, file, 512);
    EXPECT_EQ(streamed.answer, 1);
    EXPECT_EQ(streamed.size, 22 * 512);
    EXPECT_EQ(streamed.name.rfind("NIKON__1000-1021_", 0), 0u) << streamed.name;
    EXPECT_EQ(streamed.type, 77u);
}

TEST(FileTIFAnalyser, RandomAndMutatedFilesEndCleanly) {
    std::mt19937 random(19);
    const auto good = CameraTiff("Canon", "Canon EOS 5D");
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> file = good;
        const int changes = 1 + int(random() % 12);
        for (int k = 0; k < changes; ++k)
            file[4 + random() % 200] = uint8_t(random() % 3 == 0 ? random() % 8 : random());
        const Measured measured = MeasureTiff(file);
        EXPECT_GE(measured.size, 0);
        BruteForce::TiffAnalyzer analyser;
        const Streamed streamed = Stream(analyser, file, 512, 1 + int(random() % 8));
        EXPECT_GE(streamed.size, 0);
    }
}

}  // namespace
