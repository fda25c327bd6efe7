#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "FATCompleteScanHarness.h"
#include "Regex.h"

namespace harbex::test {
namespace {

struct ExpectedPartition {
    int64_t start;
    uint32_t type;
    uint32_t sectorsPerCluster;
    int64_t firstDataSector;
    uint64_t score;
};

struct DiskCase {
    const char* name;
    std::vector<ExpectedPartition> partitions;
};

// Shown in test listings by its image's name.
void PrintTo(const DiskCase& disk, std::ostream* out) {
    *out << disk.name;
}

// Boot sector and both FAT starts seen: 50 + 50. A zeroed FAT32 boot sector
// leaves the backup: 45 + 50. A partition known only from two sub-folders
// that agree: 10 + 10, its start guessed from a default layout.
const DiskCase kDisks[] = {
    {"two_partitions", {{2048, 1, 1, 2209, 100}, {18432, 2, 1, 19598, 100}}},
    {"one_entry_removed", {{2048, 1, 1, 2209, 100}, {18432, 2, 1, 19598, 100}}},
    {"fat32_zeroed_boot", {{4096, 2, 1, 5262, 95}}},
    {"fat16_reformatted", {{2049, 1, 2, 2146, 20}, {2048, 1, 1, 2209, 100}}},
    {"odd_start", {{4097, 2, 1, 5263, 100}}},
    {"big_sectors", {{16, 1, 1, 23, 100}}},
};

// The complete search run over the parameter's disk image.
class DiskTest : public ::testing::TestWithParam<DiskCase> {
protected:
    void SetUp() override {
        manifest = ReadDiskManifest(GetParam().name);
        device = std::make_unique<FATImageDevice>(DiskImage(GetParam().name), manifest.sectorSize,
                                                  kStorageDeviceDisk);
        scan.Run(device.get());
    }

    DiskManifest manifest;
    std::unique_ptr<FATImageDevice> device;
    CompleteScan scan;
};

TEST_P(DiskTest, FindsEachPartitionWithItsGeometryAndScore) {
    const DiskCase& disk = GetParam();
    ASSERT_EQ(scan.partitions.size(), disk.partitions.size());
    for (size_t i = 0; i < disk.partitions.size(); ++i) {
        const ExpectedPartition& want = disk.partitions[i];
        const CSearchedPartitionInfo& got = *scan.partitions[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(got.partitionIndex, i);
        EXPECT_EQ(static_cast<int64_t>(got.startSector), want.start);
        EXPECT_EQ(got.fileSystemType, want.type);
        EXPECT_EQ(got.sectorsPerCluster, want.sectorsPerCluster);
        EXPECT_EQ(static_cast<int64_t>(got.firstDataSector), want.firstDataSector);
        EXPECT_EQ(got.integerScore, want.score);
        EXPECT_EQ(got.sectorSize, manifest.sectorSize);
    }
    // The manifest's own record of each partition's data area agrees.
    for (const DiskPartition& part : manifest.partitions) {
        EXPECT_NE(scan.PartitionWithData(part.firstDataSector, part.sectorsPerCluster), nullptr)
            << disk.name << " partition " << part.index;
    }
}

// Files of a folder the root no longer reaches are listed under a made-up
// "DIR<n>" folder in place of that lost folder.
std::string ExpectedPathPattern(const DiskFile& file) {
    std::string path = file.path;
    std::string pattern;
    size_t from = 0;
    if (file.state == "lost-folder") {
        const size_t second = path.find('/', 1);
        pattern = "/DIR[0-9]+";
        from = second == std::string::npos ? path.size() : second;
    }
    return pattern + RegexEscaped(path.substr(from));
}

TEST_P(DiskTest, ListsEveryFileUnderItsPathWithItsContent) {
    for (const DiskFile& file : manifest.files) {
        SCOPED_TRACE(file.path);
        const Regex pattern(ExpectedPathPattern(file));
        const DiskPartition& part = manifest.partitions[static_cast<size_t>(file.partition)];
        const CSearchedPartitionInfo* partition =
            scan.PartitionWithData(part.firstDataSector, part.sectorsPerCluster);
        ASSERT_NE(partition, nullptr);
        CFATFileNode* match = nullptr;
        for (const auto& [path, node] : scan.byPath) {
            if (pattern.FullMatch(path) &&
                node->GetBelongedPartition() == partition->partitionIndex) {
                match = node;
                break;
            }
        }
        ASSERT_NE(match, nullptr) << "not listed";
        EXPECT_EQ(match->IsDirectory() != 0, file.directory);
        if (file.directory)
            continue;
        EXPECT_EQ(match->GetFileSize(), file.size);
        EXPECT_EQ(Sha256Of(ReadThroughExtents(device.get(), *partition, match)), file.sha256);
    }
}

// The raw search files a carved file at once where the search says it will
// list no file: every existing file it lists must start where it said it might.
TEST_P(DiskTest, ListsExistingFilesOnlyWhereItSaidItMight) {
    EXPECT_GT(scan.mayListFrom, 0);
    size_t checked = 0;
    for (const auto& [path, node] : scan.byPath) {
        IDataRunList* runs = node->GetDataRunList();
        DataRun* run = runs != nullptr ? runs->GetFirst() : nullptr;
        if (node->IsDirectory() || node->IsDeleted() || run == nullptr)
            continue;
        const CSearchedPartitionInfo& partition = *scan.partitions.at(node->GetBelongedPartition());
        const int64_t first = static_cast<int64_t>(partition.firstDataSector) +
                              run->firstCluster * int64_t{partition.sectorsPerCluster};
        EXPECT_GE(first, scan.mayListFrom) << path;
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}

INSTANTIATE_TEST_SUITE_P(FATCompleteSearch, DiskTest, ::testing::ValuesIn(kDisks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace harbex::test
