// harbex-scan --quick and --complete, --deep --recover, over each exFAT
// fixture volume, against its manifest: read from the image file itself and,
// for larger sectors, from a loop device of that sector size too.

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>

#include "ExFatTestSupport.h"

namespace harbex::test {
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

// The exFAT lines of the listing by path below the top folder.
std::map<std::string, Listed> ParseListing(const std::string& output, std::string& top) {
    std::map<std::string, Listed> listed;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 7 || f[0] != "33")
            continue;
        const size_t slash = f[1].find('/');
        if (slash == std::string::npos)
            continue;
        top = f[1].substr(0, slash);
        listed[f[1].substr(slash)] = {std::stoll(f[2]), f[3] == "1", f[4] == "1", f[5]};
    }
    return listed;
}

struct ScanCase {
    const char* image;
    const char* mode;
    bool loop;  // through a loop device of the image's sector size
};

class HarbexScanExFat : public ::testing::TestWithParam<ScanCase> {};

TEST_P(HarbexScanExFat, ListsAndRecoversEveryFileOfTheManifest) {
    const FATManifest manifest = ReadExFatManifest(GetParam().image);
    const auto image = ExFatImage(std::string("exfat/") + GetParam().image);
    ASSERT_FALSE(image.empty());
    std::string source = image.string();
    std::string loop;
    if (GetParam().loop) {
        if (!IsRoot())
            GTEST_SKIP() << "a loop device with larger sectors needs root";
        const auto attached =
            RunCommand("losetup --find --show --read-only --sector-size " +
                       std::to_string(manifest.sectorSize) + " '" + source + "' 2>/dev/null");
        if (attached.status != 0 || attached.output.empty())
            GTEST_SKIP() << "no loop device could be attached";
        loop = source = attached.output.substr(0, attached.output.find('\n'));
    }
    TempDir recovered;
    const auto result = RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' " +
                                   GetParam().mode + " --deep --recover '" +
                                   recovered.path().string() + "' '" + source + "' 2>/dev/null");
    if (!loop.empty())
        RunCommand("losetup -d " + loop);
    ASSERT_EQ(result.status, 0) << result.output;
    std::string top;
    const auto listed = ParseListing(result.output, top);
    ASSERT_FALSE(listed.empty()) << result.output;

    std::vector<std::vector<uint8_t>> copies;
    std::vector<std::string> expected;
    for (const FATManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        const auto found = listed.find(entry.path);
        ASSERT_NE(found, listed.end());
        EXPECT_EQ(found->second.directory, entry.directory);
        EXPECT_EQ(found->second.deleted, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(found->second.size, entry.size);
        EXPECT_EQ(found->second.modified, IsoTime(entry.mtime));
        const auto copy = recovered.path() / top / entry.path.substr(1);
        ASSERT_TRUE(std::filesystem::exists(copy));
        copies.push_back(ReadFile(copy));
        expected.push_back(entry.sha256);
    }
    EXPECT_EQ(Sha256Each(copies), expected);
}

INSTANTIATE_TEST_SUITE_P(Images, HarbexScanExFat,
                         ::testing::Values(ScanCase{"exfat_512", "--quick", false},
                                           ScanCase{"exfat_512", "--complete", false},
                                           ScanCase{"exfat_4096", "--quick", false},
                                           ScanCase{"exfat_4096", "--complete", false},
                                           ScanCase{"exfat_4096", "--quick", true},
                                           ScanCase{"exfat_4096", "--complete", true}),
                         [](const auto& info) {
                             return std::string(info.param.image) + "_" + (info.param.mode + 2) +
                                    (info.param.loop ? "_loop" : "");
                         });

}  // namespace
}  // namespace harbex::test
