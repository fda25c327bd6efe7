// harbex-scan --quick --deep over each FAT fixture image, against its manifest.

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

#include "FATScanHarness.h"

using namespace harbex::test;

namespace {

struct Listed {
    int64_t size = 0;
    bool deleted = false;
    bool directory = false;
    std::string modified;
};

std::string IsoTime(int64_t seconds) {
    const std::time_t t = seconds;
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The FAT lines of the listing by path below the top folder; `top` gets the
// top folder's name.
std::map<std::string, Listed> ParseListing(const std::string& output, std::string& top) {
    std::map<std::string, Listed> listed;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = SplitTabs(line);
        if (fields.size() != 7 || fields[0] != "32")
            continue;
        const size_t slash = fields[1].find('/');
        if (slash == std::string::npos)
            continue;
        top = fields[1].substr(0, slash);
        Listed entry;
        entry.size = std::stoll(fields[2]);
        entry.deleted = fields[3] == "1";
        entry.directory = fields[4] == "1";
        entry.modified = fields[5];
        listed[fields[1].substr(slash)] = entry;
    }
    return listed;
}

// A read-only loop device with the image's sector size, detached at the end.
class SectorLoop {
public:
    SectorLoop(const std::filesystem::path& image, uint32_t sectorSize) {
        const auto result =
            RunCommand("losetup --find --show --read-only --sector-size " +
                       std::to_string(sectorSize) + " '" + image.string() + "' 2>/dev/null");
        if (result.status == 0 && !result.output.empty()) {
            device_ = result.output.substr(0, result.output.find('\n'));
        }
    }
    ~SectorLoop() {
        if (!device_.empty())
            RunCommand("losetup -d " + device_);
    }
    const std::string& device() const { return device_; }

private:
    std::string device_;
};

class HarbexScanFAT : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(HarbexScanFAT, ListsAndRecoversEveryFileOfTheManifest) {
    const char* image = GetParam();
    const FATManifest manifest = ReadFATManifest(image);
    const auto imagePath = FATFixtureImage(image);
    ASSERT_FALSE(imagePath.empty());

    // Image files are read as 512-byte sectors; larger ones need a loop device.
    std::string source = imagePath.string();
    std::unique_ptr<SectorLoop> loop;
    if (manifest.sectorSize != 512) {
        if (!IsRoot())
            GTEST_SKIP() << "a loop device with larger sectors needs root";
        loop = std::make_unique<SectorLoop>(imagePath, manifest.sectorSize);
        if (loop->device().empty())
            GTEST_SKIP() << "no loop device could be attached";
        source = loop->device();
    }

    TempDir recovered;
    const auto result =
        RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' --quick --deep --recover '" +
                   recovered.path().string() + "' '" + source + "' 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.output;
    std::string top;
    const auto listed = ParseListing(result.output, top);
    ASSERT_FALSE(listed.empty()) << result.output;

    for (const FATManifestEntry& entry : manifest.entries) {
        const std::string path = ListedPath(entry);
        SCOPED_TRACE(path);
        const auto found = listed.find(path);
        ASSERT_NE(found, listed.end());
        EXPECT_EQ(found->second.directory, entry.directory);
        EXPECT_EQ(found->second.deleted, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(found->second.size, entry.size);
        if (entry.mtime != 0) {
            EXPECT_EQ(found->second.modified, IsoTime(entry.mtime));
        }

        const auto copy = recovered.path() / top / path.substr(1);
        ASSERT_TRUE(std::filesystem::exists(copy));
        const std::string sha = Sha256(ReadFile(copy));
        if (entry.state == "deleted-fragmented" || entry.state == "crosslinked") {
            // Deleted files are taken to lie contiguously after their first
            // cluster; this one did not, so its copy differs from the original.
            // A cross-linked chain runs on into another file's clusters.
            EXPECT_NE(sha, entry.sha256);
        } else {
            EXPECT_EQ(sha, entry.sha256);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Images, HarbexScanFAT,
                         ::testing::Values("fat16_512", "fat32_512", "fat16_4096", "fat32_4096",
                                           "fat32_crosslinked"),
                         [](const auto& info) { return std::string(info.param); });

// An image cut short: the files past its end are listed all the same, and
// their copies are counted as partial.
TEST(HarbexScanFATCutShort, FilesPastTheEndAreListedAndRecoveredPartly) {
    // BIG.BIN fills the first 65600 clusters; the cut lies inside it, and
    // every file written after it lies past the end.
    const char* image = "fat32_512";
    const int64_t cut = 40000;
    TempDir work;
    const auto path = work / "cut.img";
    std::filesystem::copy_file(FATFixtureImage(image), path);
    std::filesystem::resize_file(path, uint64_t{cut} * 512);

    TempDir recovered;
    const auto result =
        RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' --quick --deep --recover '" +
                   recovered.path().string() + "' '" + path.string() + "' 2>&1");
    ASSERT_EQ(result.status, 0) << result.output;
    std::string top;
    const auto listed = ParseListing(result.output, top);
    // The files the root's first cluster lists (its second lies past the end).
    for (const char* name : {"/BIG.BIN", "/README.TXT", "/Long file name with spaces.txt",
                             "/#ONE.TXT", "/EMPTY.DAT"}) {
        EXPECT_TRUE(listed.count(name)) << name;
    }
    int whole = 0, partly = 0, failed = 0;
    const size_t at = result.output.find("recovered ");
    ASSERT_NE(at, std::string::npos) << result.output;
    ASSERT_EQ(std::sscanf(result.output.c_str() + at, "recovered %d whole, %d partly, %d not at all",
                          &whole, &partly, &failed),
              3);
    EXPECT_GT(whole, 0);
    EXPECT_GT(partly, 0);
    EXPECT_EQ(failed, 0);
}

TEST(HarbexScanFATRecognition, FAT12IsNotSearched) {
    const auto result = RunCommand("'" + ToolPath("harbex-scan").string() + "' --quick --deep '" +
                                   FATFixtureImage("fat12").string() + "' 2>&1");
    EXPECT_EQ(result.output.find("\n32\t"), std::string::npos);
    EXPECT_NE(result.output.find("found 0 files"), std::string::npos) << result.output;
}
