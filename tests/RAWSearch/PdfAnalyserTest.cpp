// The PDF analyser: the information keys that name a document, its end
// found while the scan streams past or by a walk on the device, and
// Illustrator drawings told from PDFs.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "PdfAnalyzer.h"
#include "PdfTitleAnalyzer.h"
#include "RawTestSupport.h"

using namespace harbex::test;
using BruteForce::PdfTitleAnalyzer;

namespace {

// UTF-16BE with its byte order mark, as a hexadecimal string.
std::string HexUtf16(const std::string& ascii) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex = "<FEFF";
    for (char c : ascii) {
        hex += "00";
        hex += digits[uint8_t(c) >> 4];
        hex += digits[uint8_t(c) & 15];
    }
    return hex + ">";
}

// A small PDF whose body holds `padding` bytes, with the given information
// dictionary and line end after its end marker.
std::vector<uint8_t> MakePdf(size_t padding, const std::string& info,
                             const std::string& lineEnd = "\n") {
    std::string pdf =
        "%PDF-1.4\n1 0 obj\n<</Type/Catalog/ViewerPreferences<</DisplayDocTitle "
        "true>>>>\nendobj\n2 0 obj\n<</Length " +
        std::to_string(padding) + ">>stream\n";
    for (size_t i = 0; i < padding; ++i)
        pdf += char('a' + i * 7 % 26);
    pdf += "\nendstream\nendobj\n3 0 obj\n<<" + info +
           ">>\nendobj\nxref\n0 4\ntrailer\n<</Root 1 0 R/Info 3 0 R>>\nstartxref\n9\n%%EOF" +
           lineEnd;
    return std::vector<uint8_t>(pdf.begin(), pdf.end());
}

const std::string kInfo = "/Title" + HexUtf16("Quarterly Report") +
                          "/Author(Ann Walker)/Creator(Writer)/ModDate(D:20240406112233Z)";

}  // namespace

TEST(PdfTitleReader, ReadsTheInformationKeys) {
    struct Case {
        const char* what;
        std::string info;
        std::string title;
        std::string author;
    };
    const Case cases[] = {
        {"UTF-16BE hexadecimal title", "/Title" + HexUtf16("Quarterly Report") + "/Author(Ann)",
         "Quarterly Report", "Ann"},
        {"literal title", "/Title(Quarterly Report)/Author(Ann Walker)", "Quarterly Report",
         "Ann Walker"},
        {"title with a digit", "/Title(Report 2024)/Author(Ann Walker)", "", "Ann Walker"},
        {"slash inside the value", "/Title(a/b)/Author(Ann Walker)", "", "Ann Walker"},
        {"a longer name ending in the key", "/DisplayDocTitle true/Title(Plan)/Author(Ann)", "Plan",
         "Ann"},
        {"illegal characters", "/Title(Plan!)/Author(Ann)", "", "Ann"},
    };
    for (const Case& c : cases) {
        FileProperty property;
        PdfTitleAnalyzer reader;
        EXPECT_TRUE(reader.SeparateInformation(c.info.data(), int(c.info.size()), property))
            << c.what;
        EXPECT_EQ(property.title, c.title) << c.what;
        EXPECT_EQ(property.author, c.author) << c.what;
    }
}

TEST(PdfTitleReader, DatesBecomeNameText) {
    EXPECT_EQ(PdfTitleAnalyzer::TimeChange("D:20240406112233Z"), "2024-04-06 11-22-33");
    EXPECT_EQ(PdfTitleAnalyzer::TimeChange("D:2024"), "");
    EXPECT_EQ(PdfTitleAnalyzer::TimeChange("D:2024040611223xZ"), "");
}

TEST(PdfDeviceWalk, EndsAfterTheMarkerFromTheFirstSectorOn) {
    struct Case {
        const char* what;
        std::vector<uint8_t> pdf;
        bool zeroSlack;
        std::string slack = "";  // random bytes that happen to start so
    };
    std::vector<uint8_t> updated = MakePdf(300, kInfo);
    const std::string update =
        "4 0 obj\n<</Title(Plan)>>\nendobj\nxref\n0 1\ntrailer\n<<>>\n"
        "startxref\n400\n%%EOF\r\n";
    updated.insert(updated.end(), update.begin(), update.end());
    const Case cases[] = {
        {"short file, zeros after it", MakePdf(200, kInfo), true},
        {"short file, random slack", MakePdf(200, kInfo), false},
        {"CR LF after the marker", MakePdf(3000, kInfo, "\r\n"), false},
        {"no line end", MakePdf(3000, kInfo, ""), true},
        {"incremental update", updated, false},
        {"slack starting like a comment", MakePdf(200, kInfo), false, "%*\x9c\x01"},
        {"slack starting like a number", MakePdf(200, kInfo), false, "12 \xe0"},
    };
    for (const uint32_t sector : {512u, 4096u}) {
        for (const Case& c : cases) {
            std::vector<uint8_t> image = RandomImage(sector, 80, {});
            Place(image, size_t(2) * sector, c.pdf);
            Place(image, size_t(2) * sector + c.pdf.size(),
                  std::vector<uint8_t>(c.slack.begin(), c.slack.end()));
            if (c.zeroSlack) {
                const size_t end = (2 * sector + c.pdf.size() + sector - 1) / sector * sector;
                std::fill(image.begin() + 2 * sector + c.pdf.size(), image.begin() + end, 0);
            }
            MemoryDevice device(image, sector);
            FilePDFAnalyser walk;
            CRawFileInfo info;
            info.startSector = 2;
            ASSERT_EQ(walk.GetRawFileSize(info, &device), 1u);
            EXPECT_EQ(info.size, int64_t(c.pdf.size())) << c.what << " in " << sector;
        }
    }
}

TEST(PdfDeviceWalk, StopsAtTheNextDocument) {
    std::vector<uint8_t> cut = MakePdf(3000, kInfo);
    cut.resize(2000);  // no end marker
    std::vector<uint8_t> image = RandomImage(512, 40, {{2, cut}, {10, MakePdf(100, kInfo)}});
    MemoryDevice device(image, 512);
    FilePDFAnalyser walk;
    CRawFileInfo info;
    info.startSector = 2;
    ASSERT_EQ(walk.GetRawFileSize(info, &device), 1u);
    EXPECT_EQ(info.size, 8 * 512);
}

class PdfCarving : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PdfCarving, CarvesWholeAndNamesFromTheTitle) {
    const uint32_t sector = GetParam();
    struct Case {
        const char* what;
        std::vector<uint8_t> pdf;
        bool zeroSlack;
    };
    // Long enough for the stream to end it; short ones are walked on the device.
    const Case cases[] = {
        {"streamed", MakePdf(30000, kInfo), true},
        {"walked", MakePdf(1000, kInfo), false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> image = RandomImage(sector, uint32_t(80 * 1024 / sector), {});
        Place(image, size_t(3) * sector, c.pdf);
        if (c.zeroSlack) {
            const size_t from = 3 * sector + c.pdf.size();
            std::fill(image.begin() + from, image.begin() + (from + sector - 1) / sector * sector,
                      0);
        }
        const auto carved = CarveImage(image, sector);
        const auto found = carved.find(3);
        ASSERT_NE(found, carved.end()) << c.what;
        EXPECT_EQ(found->second.size, int64_t(c.pdf.size())) << c.what;
        EXPECT_EQ(found->second.name, "Quarterly Report2024-04-06 11-22-33000.PDF") << c.what;
        EXPECT_EQ(found->second.folder, "Ann Walker") << c.what;
    }
}

TEST_P(PdfCarving, IllustratorDrawingsAreTypedAi) {
    const uint32_t sector = GetParam();
    std::string ai = "%!PS-Adobe-3.0\n%%Creator: Adobe Illustrator(R) 24.0\n%%Title: plan\n";
    ai += std::string(1500, 'x') + "\n%%EOF\n";
    const std::vector<uint8_t> bytes(ai.begin(), ai.end());
    const auto carved =
        CarveImage(RandomImage(sector, uint32_t(64 * 1024 / sector), {{2, bytes}}), sector);
    const auto found = carved.find(2);
    ASSERT_NE(found, carved.end());
    EXPECT_EQ(found->second.size, int64_t(bytes.size()));
    EXPECT_EQ(found->second.name.substr(found->second.name.size() - 3), ".AI");
}

// Small documents whose last sector ends in zeros, far enough apart that the
// stream passes each one's end marker long before it could take it: every one
// ends at its own marker, none runs on into the next.
TEST_P(PdfCarving, SmallZeroTailedDocumentsEndAtTheirOwnMarker) {
    const uint32_t sector = GetParam();
    std::mt19937 random(44);
    std::vector<uint8_t> image;
    std::map<int64_t, size_t> laid;  // start sector, length
    for (int n = 0; n < 40; ++n) {
        const size_t gap = (25 * 1024 + random() % (175 * 1024)) / sector * sector;
        for (size_t k = 0; k < gap; ++k)
            image.push_back(uint8_t(random()));
        const std::vector<uint8_t> pdf = MakePdf(1300 + random() % 7600, kInfo);
        laid[int64_t(image.size() / sector)] = pdf.size();
        image.insert(image.end(), pdf.begin(), pdf.end());
        image.resize((image.size() + sector - 1) / sector * sector, 0);
    }
    for (size_t k = 0; k < 64 * 1024; ++k)
        image.push_back(uint8_t(random()));
    const auto carved = CarveImage(image, sector);
    for (const auto& [start, length] : laid) {
        const auto found = carved.find(start);
        ASSERT_NE(found, carved.end()) << "sector " << start;
        EXPECT_EQ(found->second.size, int64_t(length)) << "sector " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, PdfCarving, ::testing::Values(512u, 4096u));
