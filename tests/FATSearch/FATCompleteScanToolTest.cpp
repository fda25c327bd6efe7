#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "FATCompleteScanHarness.h"
#include "Regex.h"

namespace harbex::test {
namespace {

struct ListedFile {
    std::string path;  // below the top folder
    int64_t size = 0;
    bool deleted = false;
    bool directory = false;
};

// The FAT lines of harbex-scan's listing: type, path, size, deleted, folder, times.
std::vector<ListedFile> ParseListing(const std::string& output, std::string& top) {
    std::vector<ListedFile> listed;
    std::stringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t'))
            f.push_back(field);
        if (f.size() != 7 || f[0] != "32")
            continue;
        const size_t slash = f[1].find('/');
        top = f[1].substr(0, slash);
        listed.push_back({f[1].substr(slash), std::stoll(f[2]), f[3] == "1", f[4] == "1"});
    }
    return listed;
}

// A file of a folder the root no longer reaches is listed in a made-up
// "DIR<n>" folder in place of that lost top folder.
std::string ListedPattern(const DiskFile& file) {
    if (file.state != "lost-folder")
        return RegexEscaped(file.path);
    const size_t second = file.path.find('/', 1);
    return "/DIR[0-9]+" +
           (second == std::string::npos ? "" : RegexEscaped(file.path.substr(second)));
}

struct ListedPartition {
    int type = 0;
    int index = 0;
    std::string fileSystem;
    int64_t start = 0;
    int64_t sectors = 0;
    int64_t sectorSize = 0;
    int64_t sectorsPerCluster = 0;
    int64_t firstDataSector = 0;
    int64_t integerScore = -1;
};

// The "partition" lines harbex-scan writes to standard error.
std::vector<ListedPartition> ParsePartitions(const std::string& errors) {
    std::vector<ListedPartition> listed;
    std::stringstream lines(errors);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t'))
            f.push_back(field);
        if (f.empty() || f[0] != "partition")
            continue;
        EXPECT_EQ(f.size(), 11u) << line;
        if (f.size() != 11)
            continue;
        listed.push_back({std::stoi(f[1]), std::stoi(f[2]), f[3], std::stoll(f[4]),
                          std::stoll(f[5]), std::stoll(f[6]), std::stoll(f[7]), std::stoll(f[8]),
                          std::stoll(f[9])});
    }
    return listed;
}

struct ScanRun {
    int status = -1;
    std::string output;
    std::string errors;
};

ScanRun Scan(const std::string& arguments) {
    TempDir dir;
    const std::string errors = (dir / "stderr").string();
    const CommandResult run =
        RunCommand(ToolPath("harbex-scan").string() + " " + arguments + " 2>'" + errors + "'");
    const std::vector<uint8_t> text = ReadFile(errors);
    return {run.status, run.output, std::string(text.begin(), text.end())};
}

// A partition whose boot sector tells where it begins and how long it is. A
// reformat wrote a new boot sector over the old partition's, and a boot sector
// of 8 KiB sectors does not describe an image file read in 512-byte sectors:
// such partitions are found from their folders, their start only estimated.
bool HasUsableBootSector(const DiskPartition& part, const DiskManifest& manifest,
                         int64_t readSectorSize) {
    return part.state != "overwritten" && manifest.sectorSize == readSectorSize;
}

class ScanToolTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ScanToolTest, CompleteDeepScanListsEachPartitionWithItsStartGeometryAndScore) {
    if (!std::filesystem::exists(ToolPath("harbex-scan")))
        GTEST_SKIP() << "harbex-scan is not built";
    const std::string name = GetParam();
    const DiskManifest manifest = ReadDiskManifest(name);
    const ScanRun run = Scan("--complete --deep '" + DiskImage(name).string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<ListedPartition> listed = ParsePartitions(run.errors);
    EXPECT_EQ(listed.size(), manifest.partitions.size()) << run.errors;
    // Compared in bytes: the tool reads an image file in sectors of its own size.
    const int64_t bytes = manifest.sectorSize;
    for (const DiskPartition& part : manifest.partitions) {
        SCOPED_TRACE(part.index);
        const ListedPartition* match = nullptr;
        for (const ListedPartition& p : listed) {
            if (p.firstDataSector * p.sectorSize == part.firstDataSector * bytes &&
                p.sectorsPerCluster * p.sectorSize == part.sectorsPerCluster * bytes)
                match = &p;
        }
        ASSERT_NE(match, nullptr) << "no partition with that data area in\n" << run.errors;
        EXPECT_EQ(match->type, 32);
        EXPECT_EQ(match->fileSystem, part.type);
        EXPECT_GT(match->integerScore, 0);
        if (HasUsableBootSector(part, manifest, match->sectorSize)) {
            EXPECT_EQ(match->start, part.start);
            EXPECT_EQ(match->sectors, part.totalSectors);
        }
    }
}

struct QuickCase {
    const char* disk;
    int volume;     // of the partition table, from 1
    int partition;  // in the manifest
};

std::ostream& operator<<(std::ostream& out, const QuickCase& c) {
    return out << c.disk << " volume " << c.volume;
}

class QuickScanToolTest : public ::testing::TestWithParam<QuickCase> {};

TEST_P(QuickScanToolTest, QuickScanOfAVolumeListsItsOnePartition) {
    if (!std::filesystem::exists(ToolPath("harbex-scan")))
        GTEST_SKIP() << "harbex-scan is not built";
    const QuickCase& c = GetParam();
    const DiskPartition part = ReadDiskManifest(c.disk).partitions.at(c.partition);
    const ScanRun run = Scan("--quick --deep --volume " + std::to_string(c.volume) + " '" +
                             DiskImage(c.disk).string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<ListedPartition> listed = ParsePartitions(run.errors);
    ASSERT_EQ(listed.size(), 1u) << run.errors;
    // The volume's sectors count from its own start.
    const ListedPartition& p = listed[0];
    EXPECT_EQ(p.type, 32);
    EXPECT_EQ(p.fileSystem, part.type);
    EXPECT_EQ(p.start, 0);
    EXPECT_EQ(p.sectors, part.totalSectors);
    EXPECT_EQ(p.sectorSize, 512);
    EXPECT_EQ(p.sectorsPerCluster, part.sectorsPerCluster);
    EXPECT_EQ(p.firstDataSector, part.firstDataSector - part.start);
    EXPECT_GT(p.integerScore, 0);
}

INSTANTIATE_TEST_SUITE_P(FATQuickScanTool, QuickScanToolTest,
                         ::testing::Values(QuickCase{"two_partitions", 1, 0},
                                           QuickCase{"two_partitions", 2, 1},
                                           QuickCase{"odd_start", 1, 0}));

// harbex-scan with `options` over the disk, recovering into a folder of its
// own: every file of the manifest is listed at its path and copied out whole.
// A recycled file is listed deleted under the name its info file records;
// one whose name only looks recycled, live as it is.
void ExpectEveryFileListedAndCopiedOut(const std::string& name, const std::string& options) {
    const DiskManifest manifest = ReadDiskManifest(name);
    TempDir out;
    const CommandResult run =
        RunCommand(ToolPath("harbex-scan").string() + " " + options + " --recover '" +
                   (out / "files").string() + "' '" + DiskImage(name).string() + "' 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    std::string top;
    const std::vector<ListedFile> listed = ParseListing(run.output, top);
    for (const DiskFile& file : manifest.files) {
        SCOPED_TRACE(file.path);
        const Regex pattern(ListedPattern(file));
        const ListedFile* match = nullptr;
        for (const ListedFile& entry : listed) {
            if (pattern.FullMatch(entry.path) && entry.directory == file.directory &&
                entry.size == file.size) {
                match = &entry;
                break;
            }
        }
        ASSERT_NE(match, nullptr) << "not listed";
        if (file.state == "live" || file.state == "recycled") {
            EXPECT_EQ(match->deleted, file.state == "recycled");
        }
        if (file.directory)
            continue;
        const std::filesystem::path copy = out / "files" / (top + match->path);
        ASSERT_TRUE(std::filesystem::exists(copy)) << copy;
        EXPECT_EQ(Sha256OfFile(copy), file.sha256);
    }
}

TEST_P(ScanToolTest, CompleteDeepScanListsAndCopiesOutEveryFile) {
    if (!std::filesystem::exists(ToolPath("harbex-scan")))
        GTEST_SKIP() << "harbex-scan is not built";
    ExpectEveryFileListedAndCopiedOut(GetParam(), "--complete --deep");
}

INSTANTIATE_TEST_SUITE_P(FATCompleteScanTool, ScanToolTest,
                         ::testing::Values("two_partitions", "one_entry_removed",
                                           "fat32_zeroed_boot", "fat16_reformatted", "odd_start",
                                           "big_sectors", "recycle_bin"));

// The quick scan of the disk's one volume.
class QuickScanFilesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(QuickScanFilesTest, QuickDeepScanListsAndCopiesOutEveryFile) {
    if (!std::filesystem::exists(ToolPath("harbex-scan")))
        GTEST_SKIP() << "harbex-scan is not built";
    ExpectEveryFileListedAndCopiedOut(GetParam(), "--quick --deep --volume 1");
}

INSTANTIATE_TEST_SUITE_P(FATQuickScanTool, QuickScanFilesTest, ::testing::Values("recycle_bin"));

}  // namespace
}  // namespace harbex::test
