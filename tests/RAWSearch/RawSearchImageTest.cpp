// The raw search over the layout images of tests/fixtures/raw, against their
// manifests: in the engine with each image's own sector size, and end to end
// through harbex-scan with the pictures copied out.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "FileNode.h"
#include "RAWSearchController.h"
#include "RawTestSupport.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

struct ManifestEntry {
    std::string type;
    int64_t start = 0;
    int64_t length = 0;
    std::string sha256;
    std::string state;
    std::string name;  // media images: how the carved name begins
};

struct Manifest {
    uint32_t sectorSize = 0;
    std::vector<ManifestEntry> entries;
};

Manifest ReadManifest(const std::string& name) {
    Manifest manifest;
    std::ifstream in(FixturePath("raw/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "#sector_size") {
            fields >> manifest.sectorSize;
        } else if (!first.empty() && first[0] != '#') {
            ManifestEntry entry;
            entry.type = first;
            fields >> entry.start >> entry.length >> entry.sha256 >> entry.state;
            std::getline(fields >> std::ws, entry.name);
            manifest.entries.push_back(entry);
        }
    }
    return manifest;
}

std::vector<uint8_t> LoadImage(const std::string& name, const TempDir& dir) {
    const auto image = dir / (name + ".img");
    if (!DecompressXz(FixturePath("raw/" + name + ".img.xz"), image))
        return {};
    return ReadFile(image);
}

// start sector -> (size, name) of each carved file of the type tree.
std::map<int64_t, std::pair<int64_t, std::string>> CarveInEngine(std::vector<uint8_t> image,
                                                                 uint32_t sectorSize) {
    MemoryDevice device(std::move(image), sectorSize);
    std::map<int64_t, std::pair<int64_t, std::string>> carved;
    for (const auto& [start, file] : CarveDevice(device, int(0x400000 / sectorSize))) {
        EXPECT_EQ(file.tree, SEARCHER_RAW_BY_TYPE);
        carved.emplace(start, std::make_pair(file.size, file.name));
    }
    return carved;
}

class RawImages : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(RawImages, EveryPictureIsCarvedWhole) {
    const Manifest manifest = ReadManifest(GetParam());
    ASSERT_FALSE(manifest.entries.empty());
    TempDir dir;
    std::vector<uint8_t> image = LoadImage(GetParam(), dir);
    ASSERT_FALSE(image.empty());

    const auto carved = CarveInEngine(image, manifest.sectorSize);
    for (const ManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(std::to_string(entry.start) + " " + entry.state);
        const auto found = carved.find(entry.start);
        ASSERT_NE(found, carved.end());
        if (entry.state != "whole")
            continue;  // a cut-off picture is carved as far as its chunks go
        EXPECT_EQ(found->second.first, entry.length);
        EXPECT_EQ(found->second.second.rfind(std::to_string(entry.start) + "-", 0), 0u);
    }
    // Nothing else: the random bytes around the pictures give no false finds.
    EXPECT_EQ(carved.size(), manifest.entries.size());
}

INSTANTIATE_TEST_SUITE_P(Layouts, RawImages, ::testing::Values("png_512", "png_4096", "png_open"),
                         [](const auto& info) { return std::string(info.param); });

class MediaImages : public ::testing::TestWithParam<const char*> {};

// Audio and video files are carved whole, typed by the extension their
// content gives and named from their tags.
TEST_P(MediaImages, EveryFileIsCarvedWholeTypedAndNamed) {
    const Manifest manifest = ReadManifest(GetParam());
    ASSERT_FALSE(manifest.entries.empty());
    TempDir dir;
    std::vector<uint8_t> image = LoadImage(GetParam(), dir);
    ASSERT_FALSE(image.empty());

    const auto carved = CarveImage(image, manifest.sectorSize);
    for (const ManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.type + " at " + std::to_string(entry.start));
        const auto found = carved.find(entry.start);
        if (found == carved.end()) {
            ADD_FAILURE() << "not carved";
            continue;
        }
        EXPECT_EQ(found->second.size, entry.length);
        const std::string& name = found->second.name;
        const std::string extension = "." + entry.type;
        EXPECT_EQ(name.substr(name.size() - std::min(name.size(), extension.size())), extension)
            << name;
        const std::string start =
            entry.name == "-" ? std::to_string(entry.start) + "-" : entry.name;
        EXPECT_EQ(name.rfind(start, 0), 0u) << name;
    }
    // Nothing else: no false finds in the random bytes or inside the files.
    std::set<int64_t> starts;
    for (const ManifestEntry& entry : manifest.entries)
        starts.insert(entry.start);
    for (const auto& [start, file] : carved)
        EXPECT_TRUE(starts.count(start)) << file.name << " at " << start;
}

INSTANTIATE_TEST_SUITE_P(Layouts, MediaImages, ::testing::Values("media_512", "media_4096"),
                         [](const auto& info) { return std::string(info.param); });

// Media with damaged bytes, cut short by the device's end, or shifted off
// their sectors, end cleanly: every carved file lies inside the device.
TEST(MediaImages, DamagedMediaEndsCleanly) {
    TempDir dir;
    const std::vector<uint8_t> whole = LoadImage("media_512", dir);
    ASSERT_FALSE(whole.empty());
    std::mt19937 random(11);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        // A stretch of the image, cut anywhere.
        const size_t from = size_t(random() % 600) * 512;
        std::vector<uint8_t> image(
            whole.begin() + std::ptrdiff_t(from),
            whole.begin() + std::ptrdiff_t(from + 200 * 512 + random() % 512));
        for (int n = 0; n < 300; ++n)
            image[random() % image.size()] = uint8_t(random());
        const int64_t deviceBytes = int64_t(image.size() + 511) / 512 * 512;
        for (const auto& [start, file] : CarveImage(image, 512)) {
            EXPECT_GT(file.size, 0);
            EXPECT_LE(start * 512 + file.size, deviceBytes) << file.name;
        }
    }
}

// A read-only loop device with the image's sector size, detached at the end.
class SectorLoop {
public:
    SectorLoop(const std::filesystem::path& image, uint32_t sectorSize) {
        const auto result =
            RunCommand("losetup --find --show --read-only --sector-size " +
                       std::to_string(sectorSize) + " '" + image.string() + "' 2>/dev/null");
        if (result.status == 0 && !result.output.empty())
            device_ = result.output.substr(0, result.output.find('\n'));
    }
    ~SectorLoop() {
        if (!device_.empty())
            RunCommand("losetup -d " + device_);
    }
    const std::string& device() const { return device_; }

private:
    std::string device_;
};

class RawImagesEndToEnd : public ::testing::TestWithParam<const char*> {};

TEST_P(RawImagesEndToEnd, HarbexScanListsAndCopiesThePictures) {
    const Manifest manifest = ReadManifest(GetParam());
    TempDir dir;
    const auto image = dir / "image.img";
    ASSERT_TRUE(DecompressXz(FixturePath(std::string("raw/") + GetParam() + ".img.xz"), image));
    // Image files are read as 512-byte sectors; larger ones need a loop device.
    std::string source = image.string();
    std::unique_ptr<SectorLoop> loop;
    if (manifest.sectorSize != 512) {
        if (!IsRoot())
            GTEST_SKIP() << "a loop device with larger sectors needs root";
        loop = std::make_unique<SectorLoop>(image, manifest.sectorSize);
        if (loop->device().empty())
            GTEST_SKIP() << "no loop device could be attached";
        source = loop->device();
    }
    const std::string tool = ShellQuoted(ToolPath("harbex-scan").string()) + " --complete --deep ";

    const auto out = dir / "out";
    const auto result = RunCommand(tool + "--types 2 --recover '" + out.string() + "' '" + source +
                                   "' 2>/dev/null");
    ASSERT_EQ(result.status, 0);
    std::string top;
    std::map<std::string, std::string> listed;  // name -> size
    std::istringstream lines(result.output);
    std::string line;
    bool labelTree = false;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 3)
            continue;
        labelTree |= fields[0] == "36";
        const size_t folder = fields[1].find("(RAW Files)/png/");
        if (fields[0] == "34" && folder != std::string::npos) {
            top = fields[1].substr(0, folder) + "(RAW Files)";
            listed[fields[1].substr(folder + 16)] = fields[2];
        }
    }
    EXPECT_FALSE(labelTree);
    ASSERT_EQ(listed.size(), manifest.entries.size()) << result.output;

    for (const ManifestEntry& entry : manifest.entries) {
        const std::string prefix = std::to_string(entry.start) + "-";
        const auto found = std::find_if(listed.begin(), listed.end(), [&](const auto& item) {
            return item.first.rfind(prefix, 0) == 0;
        });
        ASSERT_NE(found, listed.end()) << prefix;
        EXPECT_EQ(found->second, std::to_string(entry.length));
        const auto copy = out / top / "png" / found->first;
        const auto sum = RunCommand("sha256sum '" + copy.string() + "'");
        EXPECT_EQ(sum.output.substr(0, 64), entry.sha256) << found->first;
    }

    // Pictures are not wanted when only documents are chosen.
    const auto documents = RunCommand(tool + "--types 1 '" + source + "' 2>/dev/null");
    EXPECT_EQ(documents.output.find("PNG"), std::string::npos) << documents.output;
}

INSTANTIATE_TEST_SUITE_P(Layouts, RawImagesEndToEnd, ::testing::Values("png_512", "png_4096"),
                         [](const auto& info) { return std::string(info.param); });

TEST(RawImagesWithFAT, FilesTheFATSearchListsAreNotCarvedAgain) {
    const Manifest manifest = ReadManifest("png_fat");
    TempDir dir;
    const auto image = dir / "png_fat.img";
    ASSERT_TRUE(DecompressXz(FixturePath("raw/png_fat.img.xz"), image));
    const auto result =
        RunCommand(ShellQuoted(ToolPath("harbex-scan").string()) + " --complete --deep --types 2 " +
                   ShellQuoted(image.string()) + " 2>/dev/null");
    ASSERT_EQ(result.status, 0);
    // Carved files are named after their first sector: "<start>-<end>_NNN.PNG".
    std::set<int64_t> carved;
    size_t fatFiles = 0;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const std::string folder = "34\tDisk(RAW Files)/png/";
        if (line.rfind(folder, 0) == 0)
            carved.insert(std::stoll(line.substr(folder.size())));
        fatFiles += line.rfind("32\t", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(fatFiles, manifest.entries.size()) << result.output;
    std::set<int64_t> deleted;
    for (const ManifestEntry& entry : manifest.entries) {
        if (entry.state == "fat-deleted")
            deleted.insert(entry.start);
    }
    // Existing files are left to the FAT search; deleted ones are carved too,
    // as their FAT entries only say where they began.
    EXPECT_EQ(carved, deleted) << result.output;
}
