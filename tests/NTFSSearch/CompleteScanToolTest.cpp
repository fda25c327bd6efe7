// harbex-scan --complete --deep --recover over each NTFS disk image, against
// its manifest: the partitions with their geometry, every file at its path,
// copied out byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "NTFSScanHarness.h"

using namespace harbex::test;

namespace {

struct DiskEntry {
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    // live, deleted, orphan (its folder's record destroyed), lost, formatted
    // (quick-formatted over with the same cluster size), recycled
    std::string state;
};

struct DiskPart {
    int64_t start = 0;
    int64_t sectors = 0;
    int64_t sectorsPerCluster = 0;
    std::string state;
};

struct Disk {
    std::vector<DiskEntry> entries;
    std::vector<DiskPart> partitions;
};

Disk ReadDisk(const std::string& name) {
    Disk disk;
    std::ifstream in(FixturePath("ntfs-disks/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 7 && f[0] == "partition") {
            disk.partitions.push_back({std::stoll(f[3]), std::stoll(f[4]), std::stoll(f[5]), f[6]});
        } else if (f.size() == 7) {
            disk.entries.push_back(
                {f[0] == "dir", f[2], f[0] == "dir" ? 0 : std::stoll(f[3]), f[4], f[6]});
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
};

Scanned ParseScan(const std::string& output, const std::string& errors) {
    Scanned scan;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 7 || f[0] != "35" || f[1].find('/') == std::string::npos)
            continue;
        const size_t slash = f[1].find('/');
        scan.top = f[1].substr(0, slash);
        scan.files[f[1].substr(slash)] = {std::stoll(f[2]), f[3] == "1", f[4] == "1"};
    }
    std::istringstream errorLines(errors);
    while (std::getline(errorLines, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 11 && f[0] == "partition" && f[1] == "35")
            scan.partitions.push_back(f);
    }
    return scan;
}

// Where a file is listed: at its path, or, when its folder's record is gone
// (or may be, on a volume quick-formatted over), among the lost files.
std::string FindListed(const Scanned& scan, const DiskEntry& entry) {
    if (scan.files.count(entry.path) && entry.state != "orphan")
        return entry.path;
    if (entry.state != "orphan" && entry.state != "formatted")
        return "";
    const std::string name = entry.path.substr(entry.path.rfind('/'));
    for (const auto& [path, listed] : scan.files) {
        if (path.size() > name.size() && path.substr(path.size() - name.size()) == name &&
            path.rfind("/Other lost files/", 0) == 0)
            return path;
    }
    return "";
}

class NTFSCompleteScanTool : public ::testing::TestWithParam<const char*> {};

struct ToolRun {
    TempDir work;
    Scanned scan;
};

// harbex-scan with `options` over a disk image, recovering into work/out.
void RunTool(const std::string& disk, const std::string& options, ToolRun& run) {
    const auto image = run.work / "disk.img";
    ASSERT_TRUE(DecompressXz(FixturePath("ntfs-disks/" + disk + ".img.xz"), image));
    const auto result = RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' " + options +
                                   " --recover '" + (run.work / "out").string() + "' '" +
                                   image.string() + "' 2>'" + (run.work / "errors").string() + "'");
    // 4: a listed file was not copied whole, as the lost files of an
    // overwritten volume may not be; the files checked below are.
    ASSERT_TRUE(result.status == 0 || result.status == 4) << result.status;
    const std::vector<uint8_t> errors = ReadFile(run.work / "errors");
    run.scan = ParseScan(result.output, std::string(errors.begin(), errors.end()));
}

void ExpectListedAndRecovered(const ToolRun& run, const DiskEntry& entry) {
    const Scanned& scan = run.scan;
    const std::string path = FindListed(scan, entry);
    ASSERT_FALSE(path.empty());
    const Listed& listed = scan.files.at(path);
    EXPECT_EQ(listed.directory, entry.directory);
    EXPECT_EQ(listed.deleted, entry.state != "live");
    if (entry.directory)
        return;
    EXPECT_EQ(listed.size, entry.size);
    const auto copy = run.work / "out" / scan.top / path.substr(1);
    ASSERT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(Sha256OfFile(copy), entry.sha256);
}

}  // namespace

TEST_P(NTFSCompleteScanTool, ListsEachPartitionAndRecoversItsFiles) {
    const Disk disk = ReadDisk(GetParam());
    ToolRun run;
    RunTool(GetParam(), "--complete --deep", run);
    const Scanned& scan = run.scan;

    // Every volume is found at its start with its cluster size; one whose
    // boot sector survives, with its length in whole clusters.
    for (const DiskPart& part : disk.partitions) {
        SCOPED_TRACE(part.start);
        if (part.state == "overwritten")
            continue;
        const auto found =
            std::find_if(scan.partitions.begin(), scan.partitions.end(), [&](const auto& f) {
                return std::stoll(f[8]) == part.start && std::stoll(f[7]) == part.sectorsPerCluster;
            });
        ASSERT_NE(found, scan.partitions.end()) << scan.partitions.size();
        EXPECT_EQ(std::stoll((*found)[4]), part.start);
        if (part.state != "zeroed-boot") {
            EXPECT_EQ(std::stoll((*found)[5]),
                      part.sectors / part.sectorsPerCluster * part.sectorsPerCluster);
        }
    }
    for (const DiskEntry& entry : disk.entries) {
        SCOPED_TRACE(entry.path);
        if (entry.state == "lost" || (entry.state == "orphan" && entry.directory))
            continue;
        ExpectListedAndRecovered(run, entry);
    }
}

INSTANTIATE_TEST_SUITE_P(Disks, NTFSCompleteScanTool,
                         ::testing::Values("three_partitions", "zeroed_boot", "reformatted",
                                           "big_sectors", "recycle_bin", "lookalike_names",
                                           "fragmented_mft", "quick_reformatted", "windows_mft",
                                           "attribute_lists", "damaged_table"),
                         [](const auto& info) { return std::string(info.param); });

// The quick scan of the volume: recycled files named from their info files,
// names that only look recycled taken for ordinary files, a table whose own
// name or later runs lie in extension records read whole, files whose names
// and runs lie in extension records (also with record 0 of the table lost),
// and the files of a volume quick-formatted over an older one.
class NTFSQuickScanTool : public ::testing::TestWithParam<const char*> {};

TEST_P(NTFSQuickScanTool, ListsTheVolumeAndRecoversItsFiles) {
    const Disk disk = ReadDisk(GetParam());
    ToolRun run;
    RunTool(GetParam(), "--quick --deep --volume 1", run);
    for (const DiskEntry& entry : disk.entries) {
        SCOPED_TRACE(entry.path);
        if (entry.state == "formatted" || entry.state == "lost")
            continue;  // only the complete scan looks past the table
        ExpectListedAndRecovered(run, entry);
    }
}

INSTANTIATE_TEST_SUITE_P(Disks, NTFSQuickScanTool,
                         ::testing::Values("recycle_bin", "lookalike_names", "fragmented_mft",
                                           "quick_reformatted", "windows_mft", "attribute_lists",
                                           "damaged_table"),
                         [](const auto& info) { return std::string(info.param); });
