// harbex-scan --quick --deep over each NTFS fixture image, against its manifest.

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

#include "NTFSScanHarness.h"

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

// The NTFS lines of the listing by path below the top folder.
std::map<std::string, Listed> ParseListing(const std::string& output, std::string& top) {
    std::map<std::string, Listed> listed;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = SplitTabs(line);
        if (fields.size() != 7 || fields[0] != "35")
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

class HarbexScanNTFS : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(HarbexScanNTFS, ListsAndRecoversEveryFileOfTheManifest) {
    const NTFSManifest manifest = ReadNTFSManifest(GetParam());
    const auto image = NTFSFixtureImage(GetParam());
    ASSERT_FALSE(image.empty());
    // Image files are read in 512-byte sectors, whatever the volume was made for.
    TempDir recovered;
    const auto result =
        RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' --quick --deep --recover '" +
                   recovered.path().string() + "' '" + image.string() + "' 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.output;
    std::string top;
    const auto listed = ParseListing(result.output, top);
    ASSERT_FALSE(listed.empty()) << result.output;

    for (const NTFSManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        const auto found = listed.find(entry.path);
        if (entry.state == "hardlink" && found == listed.end())
            continue;  // the listing shows one of the names
        ASSERT_NE(found, listed.end());
        EXPECT_EQ(found->second.directory, entry.directory);
        EXPECT_EQ(found->second.deleted, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(found->second.size, entry.size);
        EXPECT_EQ(found->second.modified, IsoTime(entry.mtime));
        const auto copy = recovered.path() / top / entry.path.substr(1);
        ASSERT_TRUE(std::filesystem::exists(copy));
        EXPECT_EQ(Sha256OfFile(copy), entry.sha256);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, HarbexScanNTFS, ::testing::ValuesIn(NTFSFixtureNames()),
                         [](const auto& info) { return info.param; });
