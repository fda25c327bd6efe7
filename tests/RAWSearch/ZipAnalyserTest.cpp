// The ZIP analyser and what it builds on: record lengths, the end record that
// closes an archive, typing by member names, the Office core properties and
// the UTF-8 conversion of their texts; streamed and measured on the device.

#include <gtest/gtest.h>

#include <clocale>
#include <random>

#include "ByteOrder.h"
#include "DocumentTestSupport.h"
#include "FileZIPAnalyser.h"
#include "KvUtf8.h"
#include "OfficeTagFromXML.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

std::map<int64_t, CarvedFile> Carve(std::vector<uint8_t> image, uint32_t sectorSize,
                                    int perBlock = 16) {
    MemoryDevice device(std::move(image), sectorSize);
    return CarveDevice(device, perBlock);
}

std::vector<ZipMember> TextMembers(bool descriptor, bool zip64 = false) {
    std::vector<ZipMember> members;
    std::mt19937 random(9);
    for (int n = 0; n < 4; ++n) {
        std::string text;
        for (int k = 0; k < 700 * (n + 1); ++k)
            text += char('a' + random() % 26);
        members.push_back(
            {"notes/n" + std::to_string(n) + ".txt", text, n != 2, descriptor, zip64});
    }
    return members;
}

struct ZipCase {
    const char* what;
    std::vector<uint8_t> zip;
};

}  // namespace

TEST(Utf8, ConvertsWithinTheDestination) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    struct Case {
        std::string source;
        long capacity;
        std::string expected;
    } cases[] = {
        {"", 16, ""},
        {"abc", 16, "abc"},
        {"ab\xC3", 16, "ab"},  // a cut-off last character is dropped
        {"a\x80z", 16, ""},    // a continuation byte as lead fails it all
        {"Stra\xC3\x9F"
         "e",
         16,
         "Stra\xC3\x9F"
         "e"},
        {"0123456789abcdef", 4, "0123"},  // never more than the destination holds
        {"\xC3\x9F\xC3\x9F\xC3\x9F", 3, "\xC3\x9F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::vector<char> out(size_t(c.capacity), '#');
        const long written = UTF8ToANSI(reinterpret_cast<const unsigned char*>(c.source.data()),
                                        long(c.source.size()), out.data(), c.capacity);
        EXPECT_EQ(std::string(out.data(), size_t(written)), c.expected);
    }
    wchar_t units[4] = {};
    const std::string emoji = "\xF0\x9F\x98\x80";
    EXPECT_EQ(UTF8ToUNICODE(reinterpret_cast<const unsigned char*>(emoji.data()), 3, units, 4), 0)
        << "the sequence is cut off by the source's end";
    const std::string more = emoji + "!";
    ASSERT_EQ(UTF8ToUNICODE(reinterpret_cast<const unsigned char*>(more.data()), 5, units, 4), 3);
    EXPECT_EQ(units[0], wchar_t(0xD83D));
    EXPECT_EQ(units[1], wchar_t(0xDE00));
    EXPECT_EQ(UTF8ToUNICODE(reinterpret_cast<const unsigned char*>(more.data()), 5, units, 1), 0)
        << "no room for the pair";
    std::setlocale(LC_CTYPE, "C");
}

TEST(OfficeCoreProperties, TimesAreShapedForNames) {
    EXPECT_EQ(Zorado::OfficeTagFromXML::FilterFileTime("2013-05-21T08:15:30Z"),
              "2013-05-21 08-15-30 ");
}

TEST(ZipAnalyser, ArchivesAreCarvedToTheEndOfTheirEndRecord) {
    const std::vector<ZipCase> cases = {
        {"followed member by member, with a comment", MakeZip(TextMembers(false), "a comment")},
        {"data descriptors", MakeZip(TextMembers(true))},
        {"data descriptors and a comment", MakeZip(TextMembers(true), "zz")},
        {"64-bit sizes in the local headers", MakeZip(TextMembers(false, true))},
    };
    for (const uint32_t sectorSize : {512u, 4096u}) {
        for (const ZipCase& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " " + std::to_string(sectorSize));
            const auto carved =
                Carve(RandomImage(sectorSize, 60, {{2, c.zip}, {30, c.zip}}), sectorSize);
            for (const int64_t start : {2, 30}) {
                ASSERT_EQ(carved.count(start), 1u);
                EXPECT_EQ(carved.at(start).size, int64_t(c.zip.size()));
                EXPECT_EQ(carved.at(start).name.substr(carved.at(start).name.size() - 4), ".ZIP");
            }
        }
    }
}

TEST(ZipAnalyser, TheDeviceWalkMeasuresWhatTheStreamDidNotFinish) {
    const std::vector<ZipCase> cases = {
        {"followed", MakeZip(TextMembers(false), "note")},
        {"data descriptors", MakeZip(TextMembers(true))},
        {"64-bit sizes", MakeZip(TextMembers(false, true))},
        {"office package", MakeZip(DocxMembers(CoreXml("Report", "Ann"), true))},
    };
    for (const ZipCase& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryDevice device(RandomImage(512, 60, {{5, c.zip}}), 512);
        FileZIPAnalyser analyser;
        CRawFileInfo info;
        info.startSector = 5;
        ASSERT_EQ(analyser.GetRawFileSize(info, &device), 1u);
        EXPECT_EQ(info.size, int64_t(c.zip.size()));
        EXPECT_EQ(info.fileType, std::string(c.what) == "office package" ? 73u : 72u);
    }
}

TEST(ZipAnalyser, SixtyFourBitSizesPastAnyDeviceEndTheRecordChain) {
    std::vector<uint8_t> zip = MakeZip(TextMembers(false, true));
    // The first member's 64-bit compressed size, 2^63: as a signed step it
    // would take the walk back before the record.
    const size_t compressedAt = 30 + ReadLE16(zip.data() + 26) + 12;
    for (int k = 0; k < 8; ++k)
        zip[compressedAt + size_t(k)] = k == 7 ? 0x80 : 0x00;
    for (const uint32_t sectorSize : {512u, 4096u}) {
        const auto carved = Carve(RandomImage(sectorSize, 40, {{2, zip}}), sectorSize);
        for (const auto& [start, file] : carved)
            EXPECT_LE(start * sectorSize + file.size, int64_t(40) * sectorSize) << file.name;
    }
}

TEST(ZipAnalyser, OfficePackagesAreTypedAndNamedFromTheirCoreProperties) {
    struct Case {
        const char* core;
        const char* name;
    } cases[] = {
        {"", "Ann_Report000.DOCX"},
        {"2013-05-21T08:15:30Z", "Ann_Report_2013-05-21 08-15-30000.DOCX"},
    };
    for (const Case& c : cases) {
        for (const bool descriptor : {false, true}) {
            SCOPED_TRACE(std::string(c.core) + (descriptor ? " descriptors" : ""));
            const auto docx = MakeZip(DocxMembers(CoreXml("Report", "Ann", c.core), descriptor));
            const auto carved = Carve(RandomImage(512, 40, {{3, docx}}), 512);
            ASSERT_EQ(carved.count(3), 1u);
            EXPECT_EQ(carved.at(3).size, int64_t(docx.size()));
            EXPECT_EQ(carved.at(3).tree, SEARCHER_RAW_BY_TAG);
            EXPECT_EQ(carved.at(3).name, c.name);
            EXPECT_EQ(carved.at(3).folder, "Ann");
        }
    }
}

TEST(ZipAnalyser, MemberNamesGiveTheType) {
    struct Case {
        std::vector<ZipMember> members;
        const char* extension;
    } cases[] = {
        {{{"mimetype", "application/epub+zip", false}, {"OEBPS/a.xhtml", "<p/>"}}, "EPUB"},
        {{{"mimetype", "application/vnd.oasis.opendocument.text", false}}, "ODT"},
        {{{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false}}, "ODS"},
        {{{"mimetype", "application/vnd.oasis.opendocument.presentation", false}}, "ODP"},
        {{{"META-INF/MANIFEST.MF", "x"}, {"Payload/a", "y"}}, "IPA"},
        {{{"META-INF/container.xml", "x"}, {"mimetype", "application/epub+zip", false}}, "EPUB"},
        {{{"12345678-1234-1234-1234-123456789012", "x"}}, "TAX"},
        {{{"[Content_Types].xml", "x"}, {"xl/_rels/workbook.xml.rels", "y"}}, "XLSX"},
        {{{"[Content_Types].xml", "x"}, {"ppt/_rels/presentation.xml.rels", "y"}}, "PPTX"},
        {{{"[Content_Types].xml", "x", true, true},
          {"ppt/_rels/presentation.xml.rels", "y", true, true}},
         "PPTX"},
        {{{"readme.txt", "hello"}}, "ZIP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        const auto carved = Carve(RandomImage(512, 20, {{1, MakeZip(c.members)}}), 512);
        ASSERT_EQ(carved.count(1), 1u);
        const std::string& name = carved.at(1).name;
        EXPECT_EQ(name.substr(name.rfind('.') + 1), c.extension);
    }
}

TEST(ZipAnalyser, EachArchiveKeepsItsOwnPendingCoreProperties) {
    // Two packages whose core properties run past what is in memory when
    // their headers stream by; each must later read its own.
    const auto a = MakeZip(DocxMembers(CoreXml("First", "Ann"), true));
    const auto b = MakeZip(DocxMembers(CoreXml("Second", "Bob"), true));
    FileZIPAnalyser analyser;
    std::unique_ptr<CRawFileInfo> recordA(analyser.CreateRawFileInfo());
    std::unique_ptr<CRawFileInfo> recordB(analyser.CreateRawFileInfo());
    recordA->startSector = 0;
    recordB->startSector = 100;
    std::vector<uint8_t> bytesA = a, bytesB = b;
    bytesA.resize(8192);
    bytesB.resize(8192);
    auto feed = [](CRawFileInfo& record, std::vector<uint8_t>& bytes, int64_t sector) {
        CRawFileInfo::SearchContext context;
        context.windowStart = record.startSector;
        context.windowEnd = record.startSector + sector + 1;  // nothing after this sector
        return record.CalcRawSize(bytes.data() + sector * 512, 512, record.startSector + sector,
                                  context);
    };
    for (int64_t sector = 0; sector < 16; ++sector) {
        feed(*recordA, bytesA, sector);
        feed(*recordB, bytesB, sector);
    }
    auto& zipA = dynamic_cast<FileZIPAnalyser::ZIPRawFileInfo&>(*recordA);
    auto& zipB = dynamic_cast<FileZIPAnalyser::ZIPRawFileInfo&>(*recordB);
    EXPECT_EQ(zipA.properties.title, "First");
    EXPECT_EQ(zipB.properties.title, "Second");
    EXPECT_EQ(zipA.size, int64_t(a.size()));
    EXPECT_EQ(zipB.size, int64_t(b.size()));
}

TEST(ZipAnalyser, DamagedArchivesEndCleanly) {
    std::mt19937 random(21);
    const std::vector<std::vector<uint8_t>> sources = {
        MakeZip(DocxMembers(CoreXml("Report", "Ann"), true)), MakeZip(TextMembers(false, true)),
        MakeZip(TextMembers(true), "c")};
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> zip = sources[size_t(round) % sources.size()];
        for (int flips = 0; flips < 6; ++flips)
            zip[4 + random() % (zip.size() - 4)] = uint8_t(random());
        const uint32_t sectorSize = round % 2 ? 4096 : 512;
        const auto carved = Carve(RandomImage(sectorSize, 24, {{1, zip}}, round), sectorSize, 4);
        for (const auto& [start, file] : carved) {
            EXPECT_GT(file.size, 0);
            EXPECT_LE(start * sectorSize + file.size, int64_t(24) * sectorSize);
        }
    }
}
