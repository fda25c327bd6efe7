// The document and container analysers over the layout images of
// tests/fixtures/raw made by make_document_images.py: real files from
// LibreOffice, zip, zipfile, sqlite3 and a xar writer, in 512 and 4096-byte
// sectors with random slack. Each is carved byte for byte (start and length
// as the manifest has them), typed and named from its own properties.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "RawTestSupport.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

// The types whose analysers this build has.
const std::set<std::string> kCarvedTypes = {"ZIP", "DOCX", "XLSX", "PPTX",    "ODT",
                                            "ODS", "ODP",  "EPUB", "DOC",     "XLS",
                                            "PPT", "PDF",  "pkg",  "FCPEVENT"};

struct Entry {
    std::string type;
    int64_t start = 0;
    int64_t length = 0;
    std::string sha256;
    std::string name;  // what the carved name must hold; "-" when nothing
};

std::vector<Entry> ReadEntries(const std::string& image, uint32_t& sectorSize) {
    std::vector<Entry> entries;
    std::ifstream in(FixturePath("raw/" + image + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        if (fields.size() == 2 && fields[0] == "#sector_size")
            sectorSize = uint32_t(std::stoul(fields[1]));
        if (fields.size() == 6)
            entries.push_back(
                {fields[0], std::stoll(fields[1]), std::stoll(fields[2]), fields[3], fields[5]});
    }
    return entries;
}

std::string Extension(const std::string& name) {
    return name.substr(name.rfind('.') + 1);
}

class DocumentImages : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(DocumentImages, EveryDocumentIsCarvedWholeTypedAndNamed) {
    uint32_t sectorSize = 0;
    const std::vector<Entry> entries = ReadEntries(GetParam(), sectorSize);
    ASSERT_FALSE(entries.empty());
    TempDir dir;
    const auto image = dir / "image.img";
    ASSERT_TRUE(DecompressXz(FixturePath(std::string("raw/") + GetParam() + ".img.xz"), image));
    MemoryDevice device(ReadFile(image), sectorSize);
    const auto carved = CarveDevice(device, int(0x400000 / sectorSize));

    std::set<int64_t> expected;
    for (const Entry& entry : entries) {
        if (kCarvedTypes.count(entry.type) == 0)
            continue;
        SCOPED_TRACE(entry.type + " at " + std::to_string(entry.start));
        expected.insert(entry.start);
        const auto found = carved.find(entry.start);
        ASSERT_NE(found, carved.end());
        EXPECT_EQ(found->second.size, entry.length);
        EXPECT_EQ(Extension(found->second.name), entry.type);
        if (entry.name != "-") {
            EXPECT_NE(found->second.name.find(entry.name), std::string::npos) << found->second.name;
        }
    }
    // No false finds of these types in the slack and background.
    for (const auto& [start, file] : carved) {
        if (kCarvedTypes.count(Extension(file.name))) {
            EXPECT_EQ(expected.count(start), 1u) << file.name << " at " << start;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DocumentImages, ::testing::Values("doc_512", "doc_4096"),
                         [](const auto& info) { return std::string(info.param); });

TEST(DocumentImagesEndToEnd, HarbexScanCopiesTheDocumentsOutByteForByte) {
    uint32_t sectorSize = 0;
    const std::vector<Entry> entries = ReadEntries("doc_512", sectorSize);
    TempDir dir;
    const auto image = dir / "image.img";
    ASSERT_TRUE(DecompressXz(FixturePath("raw/doc_512.img.xz"), image));
    const auto out = dir / "out";
    const auto result = RunCommand(ShellQuoted(ToolPath("harbex-scan").string()) +
                                   " --complete --deep --types 127 --recover '" + out.string() +
                                   "' '" + image.string() + "' 2>/dev/null");
    ASSERT_EQ(result.status, 0);
    const auto sums = RunCommand("find '" + out.string() + "' -type f -exec sha256sum {} +");
    for (const Entry& entry : entries) {
        if (kCarvedTypes.count(entry.type)) {
            EXPECT_NE(sums.output.find(entry.sha256), std::string::npos)
                << entry.type << " at " << entry.start;
        }
    }
}

// Documents with bytes flipped in their headers, tables and ends, and cut
// short: the analysers keep every read inside the device and end cleanly
// (the sanitizer builds check the reads).
TEST(DamagedDocuments, CarvingStaysInsideTheDevice) {
    uint32_t sectorSize = 0;
    const std::vector<Entry> entries = ReadEntries("doc_512", sectorSize);
    TempDir dir;
    const auto path = dir / "image.img";
    ASSERT_TRUE(DecompressXz(FixturePath("raw/doc_512.img.xz"), path));
    const std::vector<uint8_t> original = ReadFile(path);
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        std::vector<uint8_t> image = original;
        std::mt19937 random(seed);
        for (const Entry& entry : entries) {
            const size_t start = size_t(entry.start) * sectorSize;
            const size_t length = size_t(entry.length);
            for (int flip = 0; flip < 24; ++flip) {
                const size_t reach = std::min<size_t>(length, 4096);
                const size_t at = flip % 2 ? random() % reach : length - 1 - random() % reach;
                image[start + at] = uint8_t(random());
            }
            if (seed % 2 == 0) {
                // Cut short: the tail becomes random bytes.
                for (size_t at = length / 2; at < length; ++at)
                    image[start + at] = uint8_t(random());
            }
        }
        MemoryDevice device(image, sectorSize);
        const int64_t deviceBytes = device.GetTotalSectors() * sectorSize;
        for (const auto& [start, file] : CarveDevice(device, int(0x400000 / sectorSize))) {
            EXPECT_GT(file.size, 0) << file.name;
            EXPECT_LE(start * sectorSize + file.size, deviceBytes) << file.name;
        }
    }
}
