#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "CRC.h"
#include "CRSData.h"
#include "TestSupport.h"

namespace {

using harbex::test::ReadFile;
using harbex::test::TempDir;
using harbex::test::WriteFile;

constexpr tagGUIDSIGN kTypeA{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
constexpr tagGUIDSIGN kTypeB{{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}};

uint32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CRSException& e) {
        return e.GetErrorcode();
    }
    return RS_ERROR_NONE;
}

void PutLE32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Rewrites the header checksum so that a deliberately changed field passes it.
void Reseal(std::vector<uint8_t>& bytes) {
    PutLE32(bytes, 20, 0);
    CCRC crc;
    PutLE32(bytes, 20, crc.RunCRC16(bytes.data(), FILEHEADER::kSize, 0x8005));
}

// A header with status 1 and the given description, then the frames in order.
void WriteArchive(const std::filesystem::path& path,
                  const std::vector<std::pair<tagGUIDSIGN, std::string>>& frames,
                  const char* description = "") {
    CRSData archive(RS_MODE_WRITE);
    ASSERT_TRUE(archive.StartRS(path.c_str(), 1));
    FILEHEADER header;
    header.status = FILE_STATUS_SAVED;
    ASSERT_TRUE(archive.WriteFileHeader(header));
    ASSERT_TRUE(archive.SetFileDescription(description));
    for (const auto& [type, body] : frames) {
        archive.OpenFrame(type);
        ASSERT_TRUE(archive.WriteCurFrame(body.data(), static_cast<uint32_t>(body.size())));
        archive.CloseFrame();
    }
    archive.EndRS();
}

std::string ReadWholeFrame(CRSData& archive, const tagGUIDSIGN& type) {
    archive.OpenFrame(type);
    std::string body(archive.GetFrameSize(), '\0');
    archive.ReadCurFrame(body.data(), static_cast<uint32_t>(body.size()));
    archive.CloseFrame();
    return body;
}

TEST(CRC, PublishedCheckValues) {
    CCRC crc;
    const char* check = "123456789";
    // The same object asked for different polynomials in turn.
    EXPECT_EQ(crc.RunCRC16(check, 9, 0x8005), 0xFEE8);  // CRC-16/UMTS
    EXPECT_EQ(crc.RunCRC16(check, 9, 0x1021), 0x31C3);  // CRC-16/XMODEM
    EXPECT_EQ(crc.RunCRC16(check, 9, 0x8005), 0xFEE8);
    // CRC-32 (0x04C11DB7), MSB first, init 0 and no final inversion: the
    // complement of the published CKSUM check value 0x765E7680.
    EXPECT_EQ(crc.RunCRC32(check, 9, 0x04C11DB7), 0x89A1897Fu);
    EXPECT_EQ(crc.RunCRC16(check, 0, 0x8005), 0);
}

TEST(Archive, HeaderIsWrittenFieldByFieldLittleEndian) {
    TempDir dir;
    WriteArchive(dir / "a.rsf", {}, "saved scan");
    std::vector<uint8_t> bytes = ReadFile(dir / "a.rsf");
    ASSERT_EQ(bytes.size(), FILEHEADER::kSize);
    EXPECT_EQ(std::memcmp(bytes.data(), _frSignPub.bytes, 16), 0);
    EXPECT_EQ(ReadLE32(&bytes[16]), 5800u);
    EXPECT_EQ(ReadLE32(&bytes[24]), 1u);
    EXPECT_EQ(ReadLE32(&bytes[28]), 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[32]), 10), "saved scan");
    uint32_t stored = ReadLE32(&bytes[20]);
    EXPECT_EQ(stored >> 16, 0u);
    Reseal(bytes);
    EXPECT_EQ(ReadLE32(&bytes[20]), stored);

    CRSData archive(RS_MODE_READ);
    ASSERT_TRUE(archive.StartRS((dir / "a.rsf").c_str(), 0));
    EXPECT_TRUE(archive.CheckFile());
    FILEHEADER header;
    EXPECT_TRUE(archive.ReadFileHeader(header));
    EXPECT_EQ(archive.GetStatus(), 1u);
    char text[64];
    ASSERT_TRUE(archive.GetFileDescription(text, sizeof text));
    EXPECT_STREQ(text, "saved scan");
    ASSERT_TRUE(archive.GetFileDescription(text, 1));
    EXPECT_STREQ(text, "");
}

TEST(Archive, DamagedHeaders) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        bool headerReads;
        bool fileChecks;
        uint32_t statusError;  // raised by GetStatus, or 0 when it answers
        uint32_t status;
    };
    const Case cases[] = {
        {"description byte", [](auto& b) { b[40] ^= 1; }, false, true, 0, 1},
        {"checksum high bits", [](auto& b) { b[23] = 1; }, false, true, 0, 1},
        {"version 5799", [](auto& b) { PutLE32(b, 16, 5799), Reseal(b); }, false, true, 0, 1},
        {"status 0", [](auto& b) { PutLE32(b, 24, 0), Reseal(b); }, true, false, 0, 0},
        {"status 5", [](auto& b) { PutLE32(b, 24, 5), Reseal(b); }, true, false, 2, 0},
        {"signature", [](auto& b) { b[3] ^= 0x80, Reseal(b); }, true, false, 0, 1},
        {"cut to 131 bytes", [](auto& b) { b.resize(131); }, false, false, 0, 0},
    };
    TempDir dir;
    WriteArchive(dir / "good.rsf", {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = ReadFile(dir / "good.rsf");
        c.damage(bytes);
        WriteFile(dir / "bad.rsf", bytes);
        CRSData archive(RS_MODE_READ);
        ASSERT_TRUE(archive.StartRS((dir / "bad.rsf").c_str(), 0));
        EXPECT_EQ(archive.CheckFile(), c.fileChecks);
        FILEHEADER header;
        EXPECT_EQ(archive.ReadFileHeader(header), c.headerReads);
        uint32_t status = 0;
        EXPECT_EQ(ErrorOf([&] { status = archive.GetStatus(); }), c.statusError);
        if (c.statusError == 0) {
            EXPECT_EQ(status, c.status);
        }
    }
}

TEST(Archive, DescriptionLongerThanItsFieldIsRefused) {
    TempDir dir;
    WriteArchive(dir / "a.rsf", {});
    std::vector<uint8_t> bytes = ReadFile(dir / "a.rsf");
    PutLE32(bytes, 28, 101);
    Reseal(bytes);
    WriteFile(dir / "a.rsf", bytes);
    CRSData archive(RS_MODE_READ);
    ASSERT_TRUE(archive.StartRS((dir / "a.rsf").c_str(), 0));
    char text[200];
    EXPECT_EQ(ErrorOf([&] { archive.GetFileDescription(text, sizeof text); }),
              RS_ERROR_HEADER_RANGE);
}

TEST(Archive, FramesFollowEachOtherAndAreFoundByType) {
    TempDir dir;
    const std::string big(CRSData::kBufferSize + 1000, 'x');
    WriteArchive(dir / "a.rsf", {{kTypeB, "first B"}, {kTypeA, big}, {kTypeB, "second B"}});

    std::vector<uint8_t> bytes = ReadFile(dir / "a.rsf");
    ASSERT_EQ(bytes.size(), 132 + 3 * 36 + 7 + big.size() + 8);
    EXPECT_EQ(std::memcmp(&bytes[132], _frSignPub.bytes, 16), 0);
    EXPECT_EQ(std::memcmp(&bytes[148], kTypeB.bytes, 16), 0);
    EXPECT_EQ(ReadLE32(&bytes[164]), 7u);
    EXPECT_EQ(ReadLE32(&bytes[132 + 36 + 7 + 32]), big.size());

    CRSData archive(RS_MODE_READ);
    ASSERT_TRUE(archive.StartRS((dir / "a.rsf").c_str(), 0));
    EXPECT_EQ(ReadWholeFrame(archive, kTypeA), big);
    EXPECT_EQ(ReadWholeFrame(archive, kTypeB), "first B");

    // A read past the end of the body is cut there; the next one reads nothing.
    archive.OpenFrame(kTypeB);
    char part[8] = "-------";
    EXPECT_TRUE(archive.ReadCurFrame(part, 4));
    EXPECT_TRUE(archive.ReadCurFrame(part, 8));
    EXPECT_EQ(std::string(part, 4), "t Bs");
    EXPECT_TRUE(archive.ReadCurFrame(part, 8));
    EXPECT_EQ(std::string(part, 4), "t Bs");
}

TEST(Archive, MisuseRaisesItsCodeAndLeavesTheArchiveUsable) {
    TempDir dir;
    WriteArchive(dir / "a.rsf", {{kTypeA, "body"}});
    CRSData reader(RS_MODE_READ);
    ASSERT_TRUE(reader.StartRS((dir / "a.rsf").c_str(), 0));
    CRSData writer(RS_MODE_WRITE);
    ASSERT_TRUE(writer.StartRS((dir / "b.rsf").c_str(), 1));
    char byte = 0;
    struct Case {
        const char* what;
        std::function<void()> action;
        uint32_t code;
    };
    const Case cases[] = {
        {"write on a reader", [&] { reader.WriteCurFrame("x", 1); }, RS_ERROR_WRONG_MODE},
        {"write on a reader's open frame",
         [&] { reader.OpenFrame(kTypeA), reader.WriteCurFrame("x", 1); }, RS_ERROR_WRONG_MODE},
        {"read on a writer", [&] { writer.ReadCurFrame(&byte, 1); }, RS_ERROR_WRONG_MODE},
        {"status of a writer", [&] { writer.GetStatus(); }, RS_ERROR_WRONG_MODE},
        {"status set on a reader", [&] { reader.SetStatus(FILE_STATUS_SAVED); },
         RS_ERROR_WRONG_MODE},
        {"write with no frame", [&] { writer.WriteCurFrame("x", 1); }, RS_ERROR_NO_FRAME_OPEN},
        {"size with no frame", [&] { reader.CloseFrame(), reader.GetFrameSize(); },
         RS_ERROR_NO_FRAME_OPEN},
        {"missing frame", [&] { reader.OpenFrame(kTypeB); }, RS_ERROR_NO_SUCH_FRAME},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf(c.action), c.code) << c.what;

    EXPECT_EQ(ReadWholeFrame(reader, kTypeA), "body");
    EXPECT_FALSE(reader.WriteFileHeader(FILEHEADER{}));
    writer.OpenFrame(kTypeA);
    EXPECT_TRUE(writer.WriteCurFrame("x", 1));
    EXPECT_TRUE(writer.CloseFrame());
}

TEST(Archive, FrameLengthsThatOverrunTheFileFailCleanly) {
    TempDir dir;
    WriteArchive(dir / "a.rsf", {{kTypeA, "first"}, {kTypeB, "second"}});
    const std::vector<uint8_t> good = ReadFile(dir / "a.rsf");
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        tagGUIDSIGN wanted;
        uint32_t code;
    };
    const Case cases[] = {
        // Skipping a frame by a huge length ends the search instead of wrapping around.
        {"huge length before", [](auto& b) { PutLE32(b, 164, 0xFFFFFFF0); }, kTypeB,
         RS_ERROR_NO_SUCH_FRAME},
        {"length past the end", [](auto& b) { PutLE32(b, 164, 100); }, kTypeA,
         RS_ERROR_FRAME_DAMAGED},
        {"body cut short", [](auto& b) { b.resize(b.size() - 2); }, kTypeB, RS_ERROR_FRAME_DAMAGED},
        {"frame header cut short", [](auto& b) { b.resize(132 + 36 + 5 + 20); }, kTypeB,
         RS_ERROR_NO_SUCH_FRAME},
        {"signature damaged", [](auto& b) { b[132 + 36 + 5] ^= 1; }, kTypeB,
         RS_ERROR_NO_SUCH_FRAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        WriteFile(dir / "bad.rsf", bytes);
        CRSData archive(RS_MODE_READ);
        ASSERT_TRUE(archive.StartRS((dir / "bad.rsf").c_str(), 0));
        EXPECT_EQ(ErrorOf([&] { archive.OpenFrame(c.wanted); }), c.code);
    }
}

TEST(Archive, FileThatShrinksUnderAnOpenFrameGivesAShortRead) {
    TempDir dir;
    WriteArchive(dir / "a.rsf", {{kTypeA, std::string(64, 'y')}});
    CRSData archive(RS_MODE_READ);
    ASSERT_TRUE(archive.StartRS((dir / "a.rsf").c_str(), 0));
    archive.OpenFrame(kTypeA);
    ASSERT_EQ(::truncate((dir / "a.rsf").c_str(), 132 + 36 + 10), 0);
    char body[64];
    EXPECT_EQ(ErrorOf([&] { archive.ReadCurFrame(body, 64); }), RS_ERROR_SHORT_READ);
}

// Offsets are 32-bit: the archive refuses to grow past 4 GiB and to read a
// file above it. Sparse files keep this cheap.
TEST(Archive, RefusesToPassFourGiB) {
    TempDir dir;
    const auto path = dir / "big.rsf";
    WriteArchive(path, {});
    ASSERT_EQ(::truncate(path.c_str(), 0xFFFFFFFFll - 40), 0);
    CRSData writer(RS_MODE_WRITE);
    ASSERT_TRUE(writer.StartRS(path.c_str(), 0));
    writer.OpenFrame(kTypeA);
    EXPECT_TRUE(writer.WriteCurFrame("1234", 4));
    EXPECT_FALSE(writer.WriteCurFrame("1234", 4));
    EXPECT_FALSE(writer.WriteCurFrame("1", 1));
    EXPECT_EQ(ErrorOf([&] { writer.CloseFrame(); }), RS_ERROR_TOO_LARGE);
    EXPECT_EQ(ErrorOf([&] { writer.OpenFrame(kTypeB); }), RS_ERROR_TOO_LARGE);
    writer.EndRS();

    ASSERT_EQ(::truncate(path.c_str(), 0x100000000ll), 0);
    CRSData reader(RS_MODE_READ);
    EXPECT_FALSE(reader.StartRS(path.c_str(), 0));
}

TEST(StdFile, OpenModesAndSeeks) {
    TempDir dir;
    const auto path = dir / "f";
    CStdFile file;
    EXPECT_FALSE(file.Open(path.c_str(), 0));  // missing, read-only
    EXPECT_FALSE(file.Open(path.c_str(), 5));
    ASSERT_TRUE(file.Open(path.c_str(), CStdFile::kReadWriteTruncate));
    EXPECT_TRUE(file.Write("abcdef", 6));
    EXPECT_TRUE(file.SeekToBegin());
    char text[8] = {};
    EXPECT_EQ(file.Read(text, 8), 6u);
    EXPECT_STREQ(text, "abcdef");
    int64_t length = 0;
    EXPECT_TRUE(file.GetFileLength(&length));
    EXPECT_EQ(length, 6);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0666));
    file.Close();
    EXPECT_EQ(file.Read(text, 1), 0u);
    EXPECT_FALSE(file.Write("x", 1));
}

}  // namespace
