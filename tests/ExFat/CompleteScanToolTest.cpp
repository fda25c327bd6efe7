// harbex-scan --complete --deep --recover over each exFAT disk image, against
// its manifest: the partitions with their geometry, every file at its path,
// copied out byte for byte.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "ExFatTestSupport.h"
#include "Regex.h"

namespace harbex::test {
namespace {

struct DiskEntry {
    int partition = 0;
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    // live, deleted, deleted-fragment (may come back partial), recycled or
    // lost (its folder's entry was formatted over)
    std::string state;
};

struct DiskPart {
    int64_t start = 0;
    int64_t sectors = 0;
    int64_t sectorsPerCluster = 0;
    int64_t firstDataSector = 0;
    std::string state;
};

struct Disk {
    std::vector<DiskEntry> entries;
    std::vector<DiskPart> partitions;
};

Disk ReadDisk(const std::string& name) {
    Disk disk;
    std::ifstream in(FixturePath("exfat-disks/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 8 && f[0] == "partition") {
            disk.partitions.push_back(
                {std::stoll(f[3]), std::stoll(f[4]), std::stoll(f[5]), std::stoll(f[6]), f[7]});
        } else if (f.size() == 7) {
            disk.entries.push_back({std::stoi(f[1]), f[0] == "dir", f[2],
                                    f[0] == "dir" ? 0 : std::stoll(f[3]), f[4], f[6]});
        }
    }
    return disk;
}

struct Listed {
    int64_t size = 0;
    bool deleted = false;
    bool directory = false;
};

struct Scanned {
    std::map<std::string, Listed> files;  // below the top folder
    std::string top;
    std::vector<std::vector<std::string>> partitions;
    int partly = 0;  // copies the tool counted partial
};

Scanned ParseScan(const std::string& output, const std::string& errors) {
    Scanned scan;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 7 || f[0] != "33" || f[1].find('/') == std::string::npos)
            continue;
        const size_t slash = f[1].find('/');
        scan.top = f[1].substr(0, slash);
        scan.files[f[1].substr(slash)] = {std::stoll(f[2]), f[3] == "1", f[4] == "1"};
    }
    std::istringstream errorLines(errors);
    while (std::getline(errorLines, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 11 && f[0] == "partition" && f[1] == "33")
            scan.partitions.push_back(f);
        std::sscanf(line.c_str(), "recovered %*d whole, %d partly", &scan.partly);
    }
    return scan;
}

// Where a file is listed: at its path, or, when the entry of its folder was
// formatted over, in a made-up DIR<n> folder at the top.
std::string FindListed(const Scanned& scan, const DiskEntry& entry) {
    if (scan.files.count(entry.path) || entry.state != "lost")
        return scan.files.count(entry.path) ? entry.path : "";
    const std::string name = entry.path.substr(entry.path.rfind('/'));
    const Regex lost("/DIR[0-9]+");
    for (const auto& [path, listed] : scan.files) {
        const size_t slash = path.rfind('/');
        if (path.substr(slash) == name && lost.FullMatch(path.substr(0, slash)))
            return path;
    }
    return "";
}

// harbex-scan with `options` over an image, recovering into work/out.
void RunTool(const std::filesystem::path& image, const std::string& options, const TempDir& work,
             Scanned& scan) {
    const auto result = RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' " + options +
                                   " --recover '" + (work / "out").string() + "' '" +
                                   image.string() + "' 2>'" + (work / "errors").string() + "'");
    // 4: a listed file was not copied whole, as a guessed deleted fragmented
    // file may not be; the files checked below are.
    ASSERT_TRUE(result.status == 0 || result.status == 4) << result.status;
    const std::vector<uint8_t> errorBytes = ReadFile(work / "errors");
    scan = ParseScan(result.output, std::string(errorBytes.begin(), errorBytes.end()));
}

void ExpectEveryFileRecovered(const Disk& disk, const Scanned& scan, const TempDir& work) {
    std::vector<std::vector<uint8_t>> copies, fragments;
    std::vector<std::string> expected, fragmentSums;
    for (const DiskEntry& entry : disk.entries) {
        SCOPED_TRACE(entry.path);
        if (entry.state == "lost" && entry.directory)
            continue;  // its name went with the formatted root
        const std::string path = FindListed(scan, entry);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(scan.files.at(path).directory, entry.directory);
        if (entry.state != "lost") {
            EXPECT_EQ(scan.files.at(path).deleted,
                      entry.state.starts_with("deleted") || entry.state == "recycled");
        }
        if (entry.directory)
            continue;
        EXPECT_EQ(scan.files.at(path).size, entry.size);
        const auto copy = work / "out" / scan.top / path.substr(1);
        ASSERT_TRUE(std::filesystem::exists(copy));
        if (entry.state == "deleted-fragment") {
            fragments.push_back(ReadFile(copy));
            fragmentSums.push_back(entry.sha256);
        } else {
            copies.push_back(ReadFile(copy));
            expected.push_back(entry.sha256);
        }
    }
    EXPECT_EQ(Sha256Each(copies), expected);
    // A fragment whose clusters could not be told apart comes back partial:
    // never with other bytes counted whole.
    const std::vector<std::string> sums = Sha256Each(fragments);
    int wrong = 0;
    for (size_t i = 0; i < sums.size(); ++i)
        wrong += sums[i] != fragmentSums[i];
    EXPECT_LE(wrong, scan.partly);
}

class CompleteScanTool : public ::testing::TestWithParam<const char*> {};

TEST_P(CompleteScanTool, ListsEachPartitionAndRecoversItsFiles) {
    const Disk disk = ReadDisk(GetParam());
    const auto image = ExFatImage(std::string("exfat-disks/") + GetParam());
    ASSERT_FALSE(image.empty());
    TempDir work;
    Scanned scan;
    RunTool(image, "--complete --deep", work, scan);

    // Partitions that kept a boot sector (main or backup) are found with their
    // start and length; one formatted over, from its folders, with its geometry;
    // no others.
    EXPECT_EQ(scan.partitions.size(), disk.partitions.size());
    for (const DiskPart& part : disk.partitions) {
        SCOPED_TRACE(part.start);
        const bool fromBoot = part.state != "overwritten";
        const auto found =
            std::find_if(scan.partitions.begin(), scan.partitions.end(), [&](const auto& f) {
                return fromBoot ? std::stoll(f[4]) == part.start
                                : std::stoll(f[8]) == part.firstDataSector &&
                                      std::stoll(f[7]) == part.sectorsPerCluster;
            });
        ASSERT_NE(found, scan.partitions.end()) << scan.partitions.size();
        if (fromBoot) {
            EXPECT_EQ(std::stoll((*found)[5]), part.sectors);
        }
        EXPECT_EQ(std::stoll((*found)[7]), part.sectorsPerCluster);
        EXPECT_EQ(std::stoll((*found)[8]), part.firstDataSector);
    }
    ExpectEveryFileRecovered(disk, scan, work);
}

INSTANTIATE_TEST_SUITE_P(Disks, CompleteScanTool,
                         ::testing::Values("two_partitions", "one_entry_removed", "zeroed_boot",
                                           "reformatted", "deleted_folders", "recycle_bin",
                                           "fragmented_deleted", "gpt_4096"),
                         [](const auto& info) { return std::string(info.param); });

// The quick scan of the volume names recycled files from their info files too.
TEST(QuickScanTool, RecycledFilesTakeTheNamesTheirInfoFilesRecord) {
    const Disk disk = ReadDisk("recycle_bin");
    const auto image = ExFatImage("exfat-disks/recycle_bin");
    ASSERT_FALSE(image.empty());
    TempDir work;
    Scanned scan;
    RunTool(image, "--quick --deep --volume 1", work, scan);
    ExpectEveryFileRecovered(disk, scan, work);
}

}  // namespace
}  // namespace harbex::test
