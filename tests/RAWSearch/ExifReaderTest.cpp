// The Exif reader: camera facts from well-formed blocks, every failure with
// its message, directories that loop or lie past the block, and random and
// mutated blocks read inside buffers of their exact size. Also the byte
// searches the streaming records share.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>

#include "ExifReader.h"
#include "RawUtility.h"
#include "TiffWriter.h"

using namespace harbex::test;

namespace {

struct Parsed {
    int answer = 0;
    std::string error;
    tag_ExifInfo info;
};

// Parses `block` from a heap copy of exactly its size, so any read past it
// is caught by the address sanitizer. The file offset of the block is 1000.
Parsed Parse(const std::vector<uint8_t>& block, uint32_t copyFlags = 0) {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[block.size() ? block.size() : 1]);
    if (!block.empty())
        std::memcpy(bytes.get(), block.data(), block.size());
    Parsed parsed;
    parsed.info.copyFlags = copyFlags;
    CExifReader reader;
    reader.SetExitInfo(&parsed.info);
    parsed.answer = reader.EXIF_process_EXIF(bytes.get(), 1000, bytes.get(),
                                             static_cast<uint32_t>(block.size() + 2), block.size());
    parsed.error = reader.EXIF_GetErrorString();
    return parsed;
}

// A camera block: make, model, orientation and a thumbnail in the first
// directory; date, exposure, ISO, flash and a user comment in its Exif
// directory.
std::vector<uint8_t> CameraBlock(bool bigEndian) {
    TiffWriter tiff(bigEndian);
    const uint32_t first =
        tiff.AddDirectory({TiffWriter::Ascii(271, "Canon"), TiffWriter::Ascii(272, "Canon EOS 5D"),
                           TiffWriter::Short(274, 6), tiff.Rational(282, 72, 1),
                           TiffWriter::Short(296, 3), TiffWriter::Long(34665, 0)});
    const uint32_t thumbnail = tiff.Append(std::vector<uint8_t>(40, 0xD8));
    const uint32_t exif = tiff.AddDirectory(
        {TiffWriter::Ascii(36867, "2021:05:04 10:11:12"), tiff.Rational(33434, 1, 250),
         tiff.Rational(33437, 28, 10), TiffWriter::Short(34855, 2), TiffWriter::Short(37385, 0x19),
         TiffWriter::Raw(36864, 7, 4, 0x31333230),
         TiffWriter::Ascii(37510, std::string("ASCII\0\0\0a comment", 17))});
    const uint32_t second =
        tiff.AddDirectory({TiffWriter::Long(513, thumbnail), TiffWriter::Long(514, 40)});
    tiff.SetValue(first, 5, exif);
    tiff.SetLink(first, second);
    return ExifBlock(tiff.bytes);
}

TEST(ExifReader, ReadsCameraFactsInEitherByteOrder) {
    for (bool bigEndian : {false, true}) {
        const std::vector<uint8_t> block = CameraBlock(bigEndian);
        const Parsed parsed = Parse(block);
        ASSERT_EQ(parsed.answer, 1) << parsed.error;
        EXPECT_STREQ(parsed.info.cameraMake, "Canon");
        EXPECT_STREQ(parsed.info.cameraModel, "Canon EOS 5D");
        EXPECT_STREQ(parsed.info.dateTime, "2021:05:04 10:11:12");
        EXPECT_EQ(parsed.info.orientation, 6);
        EXPECT_FLOAT_EQ(parsed.info.exposureTime, 0.004f);
        EXPECT_FLOAT_EQ(parsed.info.apertureFNumber, 2.8f);
        EXPECT_FLOAT_EQ(parsed.info.xResolution, 72.0f);
        EXPECT_FLOAT_EQ(parsed.info.resolutionUnit, 0.3937007874f);
        EXPECT_EQ(parsed.info.isoEquivalent, 400);  // a value below 50 is scaled
        EXPECT_EQ(parsed.info.flashUsed, 1);
        EXPECT_EQ(parsed.info.thumbnailLength, 40u);
        // File offsets: the block sits at 1000, its TIFF header 6 bytes in.
        ASSERT_GT(parsed.info.thumbnailOffset, 1006u);
        EXPECT_EQ(block[parsed.info.thumbnailOffset - 1000], 0xD8);
        EXPECT_EQ(parsed.info.userCommentLength, 18u);
        EXPECT_EQ(block[parsed.info.userCommentOffset - 1000], 'A');
    }
}

TEST(ExifReader, CopiesBodiesWhenAsked) {
    const Parsed parsed =
        Parse(CameraBlock(false), tag_ExifInfo::kCopyThumbnail | tag_ExifInfo::kCopyUserComment);
    ASSERT_EQ(parsed.answer, 1);
    EXPECT_EQ(parsed.info.thumbnail, std::vector<uint8_t>(40, 0xD8));
    ASSERT_EQ(parsed.info.userComment.size(), 18u);
    EXPECT_EQ(std::memcmp(parsed.info.userComment.data(), "ASCII", 5), 0);
}

TEST(ExifReader, FirstDirectoryIsReadAtEightWheneverItsOffsetIsAccepted) {
    TiffWriter tiff;
    tiff.AddDirectory({TiffWriter::Ascii(271, "NIKON")});
    tiff.SetFirstDirectory(12);
    const Parsed parsed = Parse(ExifBlock(tiff.bytes));
    EXPECT_EQ(parsed.answer, 1);
    EXPECT_STREQ(parsed.info.cameraMake, "NIKON");
}

TEST(ExifReader, OddOrientationIsClearedAndTheWalkGoesOn) {
    TiffWriter tiff;
    tiff.AddDirectory({TiffWriter::Short(274, 9), TiffWriter::Ascii(271, "SONY")});
    const Parsed parsed = Parse(ExifBlock(tiff.bytes));
    EXPECT_EQ(parsed.answer, 1);
    EXPECT_EQ(parsed.info.orientation, 0);
    EXPECT_EQ(parsed.error, "Undefined rotation value");
    EXPECT_STREQ(parsed.info.cameraMake, "SONY");
}

TEST(ExifReader, ThumbnailOffsetWithoutLengthLeavesTheThumbnailAlone) {
    TiffWriter tiff;
    tiff.AddDirectory({TiffWriter::Long(513, 8)});
    const Parsed parsed = Parse(ExifBlock(tiff.bytes));
    EXPECT_EQ(parsed.answer, 1);
    EXPECT_EQ(parsed.info.thumbnailOffset, 0u);
    EXPECT_EQ(parsed.info.thumbnailLength, 0u);
}

// Each case damages a good one-directory block and names the failure.
TEST(ExifReader, DamagedBlocksFailWithTheirMessage) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* error;
    };
    auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            b[at + k] = uint8_t(v >> (8 * k));
    };
    // Block layout: 6-byte identifier, header at 6, directory at 14 (count),
    // its single entry at 16: tag 18, format 18, count 20, value 24; link 28.
    const std::vector<Case> cases = {
        {"identifier", [](auto& b) { b[3] = 'F'; }, "Incorrect Exif header"},
        {"byte order", [](auto& b) { b[6] = 'X'; }, "Invalid Exif alignment marker."},
        {"42", [](auto& b) { b[8] = 43; }, "Invalid Exif start (1)"},
        {"first offset 7", [&](auto& b) { put32(b, 10, 7); },
         "Suspicious offset of first IFD value"},
        {"first offset 17", [&](auto& b) { put32(b, 10, 17); },
         "Suspicious offset of first IFD value"},
        {"count past the block", [](auto& b) { b[14] = 0xFF; }, "Illegally sized directory"},
        {"format 13", [](auto& b) { b[18] = 13; }, "Illegal format code in EXIF dir"},
        // 2^30 LONGs are 2^32 bytes: 0 in 32 bits.
        {"byte count wraps 32 bits", [&](auto& b) { put32(b, 20, 0x40000000); },
         "Illegal pointer offset value in EXIF."},
        // Offset 0xFFFFFFF0 + 32 bytes wraps to 16 in 32 bits.
        {"offset wraps 32 bits",
         [&](auto& b) {
             put32(b, 20, 32);
             put32(b, 24, 0xFFFFFFF0);
         },
         "Illegal pointer offset value in EXIF."},
        {"link past the block", [&](auto& b) { put32(b, 28, 0x10000); },
         "Illegal subdirectory link"},
        {"Exif link past the block",
         [&](auto& b) {
             b[16] = uint8_t(34665 & 0xFF);
             b[17] = uint8_t(34665 >> 8);
             put32(b, 24, 0x7FFFFFFF);
         },
         "Illegal subdirectory link"},
        {"directory linking to itself", [&](auto& b) { put32(b, 28, 8); },
         "Illegal subdirectory link"},
    };
    for (const Case& c : cases) {
        TiffWriter tiff;
        tiff.AddDirectory({TiffWriter::Long(282, 1)});
        std::vector<uint8_t> block = ExifBlock(tiff.bytes);
        ASSERT_EQ(block.size(), 32u);
        c.damage(block);
        const Parsed parsed = Parse(block);
        EXPECT_EQ(parsed.answer, 0) << c.what;
        EXPECT_EQ(parsed.error, c.error) << c.what;
    }
}

TEST(ExifReader, ADamagedExifDirectoryDoesNotStopItsParent) {
    TiffWriter tiff;
    const uint32_t first =
        tiff.AddDirectory({TiffWriter::Long(34665, 0), TiffWriter::Ascii(272, "X100")});
    const uint32_t bad = tiff.Append({0x01, 0x00, 0x05, 0x00, 0x0D, 0x00});  // format 13
    tiff.Put32(first + 2 + 8, bad);
    const Parsed parsed = Parse(ExifBlock(tiff.bytes));
    EXPECT_EQ(parsed.answer, 1);
    EXPECT_STREQ(parsed.info.cameraModel, "X100");
}

TEST(ExifReader, BlocksEndingInsideTheirDirectoryReadNothingPastTheBuffer) {
    TiffWriter tiff;
    tiff.AddDirectory({TiffWriter::Short(274, 1), TiffWriter::Ascii(271, "FUJIFILM")});
    const std::vector<uint8_t> whole = ExifBlock(tiff.bytes);
    const size_t linkAt = 6 + 8 + 2 + 2 * 12;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const std::vector<uint8_t> block(whole.begin(), whole.begin() + cut);
        const Parsed parsed = Parse(block);  // the sanitizer checks the reads
        // Without room for the link the directory is simply the last one;
        // the make's value lies past the link, so it is cut first.
        if (cut == linkAt) {
            EXPECT_EQ(parsed.error, "Illegal pointer offset value in EXIF.");
        }
    }
    TiffWriter one;
    one.AddDirectory({TiffWriter::Short(274, 3)});
    std::vector<uint8_t> orientationOnly = ExifBlock(one.bytes);
    orientationOnly.resize(orientationOnly.size() - 4);  // no link
    const Parsed parsed = Parse(orientationOnly);
    EXPECT_EQ(parsed.answer, 1);
    EXPECT_EQ(parsed.info.orientation, 3);
}

// Random directories and mutations of a real one: every parse ends, and reads
// only the bytes it was given.
TEST(ExifReader, RandomAndMutatedBlocksEndCleanly) {
    std::mt19937 random(20261210);
    const std::vector<uint8_t> good = CameraBlock(false);
    const std::vector<uint8_t> goodBig = CameraBlock(true);
    for (int round = 0; round < 6000; ++round) {
        std::vector<uint8_t> block;
        switch (round % 3) {
            case 0: {  // a valid header over random directories
                TiffWriter tiff(round % 2 == 0);
                block = ExifBlock(tiff.bytes);
                block.resize(14 + random() % 300);
                for (size_t i = 14; i < block.size(); ++i)
                    block[i] = uint8_t(random() % 4 == 0 ? random() % 4 : random());
                break;
            }
            default: {  // a camera block with a few bytes changed
                block = round % 2 ? good : goodBig;
                const int changes = 1 + int(random() % 8);
                for (int k = 0; k < changes; ++k) {
                    const size_t at = 14 + random() % (block.size() - 14);
                    block[at] = uint8_t(random());
                }
                if (random() % 4 == 0)
                    block.resize(14 + random() % (block.size() - 14));
                break;
            }
        }
        const Parsed parsed = Parse(block, random() % 16);
        EXPECT_TRUE(parsed.answer == 0 || parsed.answer == 1);
    }
}

TEST(ExifReader, ConvertsEveryFormat) {
    CExifReader reader;
    tag_ExifInfo info;
    reader.SetExitInfo(&info);
    TiffWriter little;
    little.AddDirectory({});
    ASSERT_EQ(reader.EXIF_process_EXIF(nullptr, 0, ExifBlock(little.bytes).data(), 22, 20), 1);
    const uint8_t minusTwo[8] = {0xFE, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0};
    const uint8_t zeroDenominator[8] = {5, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 1), 254);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 3), 65534);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 6), -2);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 8), -2);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 9), -2);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 4), 4294967294.0);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 10), -0.5);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(zeroDenominator, 5), 0);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 2), 0);
    EXPECT_DOUBLE_EQ(reader.EXIF_ConvertAnyFormat(minusTwo, 13), 0);
    EXPECT_EQ(reader.EXIF_Get32s(minusTwo), -2);
}

using BruteForce::RawUtility;

TEST(RawUtility, FindMagicSearchesBackwardsAndMayReadPastTheStart) {
    const unsigned char endMarker[2] = {0xFF, 0xD9};
    struct Case {
        std::vector<unsigned char> bytes;
        int length;
        int backOffset;
        int expected;
    };
    const std::vector<Case> cases = {
        {{1, 0xFF, 0xD9, 0, 0, 0}, 6, 3, 3},           // inside the searched part
        {{1, 2, 0xFF, 0xD9, 0, 0}, 6, 4, 4},           // FF is the last byte searched
        {{0xFF, 0xD9, 1, 0xFF, 0xD9, 0, 0}, 5, 0, 5},  // the last match wins
        {{1, 2, 3, 4, 5}, 3, 0, 0},                    // none
        {{0xFF, 0xD9}, 1, 2, 0},                       // start before the buffer
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            RawUtility::FindMagicInBuffer(c.bytes.data(), c.length, c.backOffset, endMarker, 2),
            c.expected);
    }
    const unsigned char zeroFirst[2] = {0, 1};
    const unsigned char bytes[4] = {0, 1, 0, 1};
    EXPECT_EQ(RawUtility::FindMagicInBuffer(bytes, 2, 0, zeroFirst, 2), 0);
}

TEST(RawUtility, BinaryCompareMeasuresDataBeforeTrailingZeros) {
    std::vector<unsigned char> sector(512, 0);
    EXPECT_EQ(RawUtility::Binary_Compare(sector.data(), 512), 0);
    sector[0] = sector[1] = sector[2] = 7;
    EXPECT_EQ(RawUtility::Binary_Compare(sector.data(), 512), 3);
    sector[300] = 1;
    EXPECT_EQ(RawUtility::Binary_Compare(sector.data(), 512), 301);
    const unsigned char number[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(RawUtility::EXIF_Get32s(number, true), 0x78563412u);
    EXPECT_EQ(RawUtility::EXIF_Get32s(number, false), 0x12345678u);
    EXPECT_EQ(RawUtility::EXIF_Get16s(number, true), 0x3412);
    EXPECT_EQ(RawUtility::EXIF_Get16s(number, false), 0x1234);
}

}  // namespace
