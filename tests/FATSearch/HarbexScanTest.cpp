// harbex-scan over the FAT fixture images, against their manifests.

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

#include "../tools/HarbexScanRun.h"
#include "FATCompleteScanHarness.h"
#include "FATScanHarness.h"
#include "Regex.h"

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
        const std::string sha = Sha256OfFile(copy);
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

// An image cut short: the files past its end are listed all the same; the
// file the cut runs through is copied partly, those wholly past the end not
// at all.
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
    // Not every file was copied whole.
    ASSERT_EQ(result.status, 4) << result.output;
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
    ASSERT_EQ(std::sscanf(result.output.c_str() + at,
                          "recovered %d whole, %d partly, %d not at all", &whole, &partly, &failed),
              3);
    EXPECT_GT(whole, 0);
    EXPECT_GT(partly, 0);
    EXPECT_GT(failed, 0);
    EXPECT_NE(result.output.find(std::to_string(failed) +
                                 " files not written: could not be read from the source\n"),
              std::string::npos)
        << result.output;
}

TEST(HarbexScanFATRecognition, FAT12IsNotSearched) {
    const std::string image = ShellQuoted(FATFixtureImage("fat12").string());
    const ScanRun run = RunHarbexScan("--quick --deep " + image);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("found 0 files"), std::string::npos) << run.err;
}

namespace {

struct Counts {
    int files = 0;
    int deletedFiles = 0;
    int folders = 0;
    int deletedFolders = 0;
    bool operator==(const Counts&) const = default;
};

Counts CountListed(const std::map<std::string, Listed>& listed) {
    Counts counts;
    for (const auto& [path, entry] : listed) {
        (entry.directory ? counts.folders : counts.files) += 1;
        (entry.directory ? counts.deletedFolders : counts.deletedFiles) += entry.deleted ? 1 : 0;
    }
    return counts;
}

// The counts of the summary line, or all -1 when there is none.
Counts SummaryCounts(const std::string& err) {
    static const Regex summary(
        "found ([0-9]+) files? \\(([0-9]+) deleted\\) and ([0-9]+) folders? \\(([0-9]+) "
        "deleted\\)");
    const std::vector<std::string> match = summary.Search(err);
    if (match.empty())
        return {-1, -1, -1, -1};
    return {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3]), std::stoi(match[4])};
}

class HarbexScanSummary : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(HarbexScanSummary, CountsWhatIsListedAndSaysHowManyExistingFilesItLeftOut) {
    const FATManifest manifest = ReadFATManifest(GetParam());
    const std::string image = ShellQuoted(FATFixtureImage(GetParam()).string());
    int liveFiles = 0;
    for (const FATManifestEntry& entry : manifest.entries)
        liveFiles += !entry.directory && !entry.deleted() ? 1 : 0;
    ASSERT_GT(liveFiles, 0);

    const ScanRun deletedOnly = RunHarbexScan(image);
    const ScanRun all = RunHarbexScan("--all " + image);
    ASSERT_EQ(deletedOnly.status, 0) << deletedOnly.err;
    ASSERT_EQ(all.status, 0) << all.err;
    std::string top;
    const auto deletedListed = ParseListing(deletedOnly.out, top);
    const auto allListed = ParseListing(all.out, top);
    const Counts deletedCounts = CountListed(deletedListed);
    const Counts allCounts = CountListed(allListed);
    EXPECT_EQ(SummaryCounts(deletedOnly.err), deletedCounts) << deletedOnly.err;
    EXPECT_EQ(SummaryCounts(all.err), allCounts) << all.err;

    // Without --all only deleted files are listed, with the folders they lie in.
    EXPECT_GT(deletedCounts.files, 0);
    EXPECT_EQ(deletedCounts.deletedFiles, deletedCounts.files);
    EXPECT_EQ(deletedCounts.deletedFiles, allCounts.deletedFiles);
    for (const auto& [path, entry] : deletedListed) {
        SCOPED_TRACE(path);
        const size_t slash = path.rfind('/');
        if (slash > 0) {
            EXPECT_EQ(deletedListed.count(path.substr(0, slash)), 1u);  // its folder
        }
        if (entry.directory) {
            const auto below = deletedListed.lower_bound(path + "/");
            EXPECT_TRUE(below != deletedListed.end() && below->first.rfind(path + "/", 0) == 0);
        }
    }
    // The existing files are the ones the deleted-only listing leaves out, and says so.
    EXPECT_EQ(allCounts.files - allCounts.deletedFiles, liveFiles);
    EXPECT_NE(deletedOnly.err.find(std::to_string(liveFiles) +
                                   " existing files not listed; add --all to list them too"),
              std::string::npos)
        << deletedOnly.err;
    EXPECT_EQ(all.err.find("not listed"), std::string::npos) << all.err;
}

INSTANTIATE_TEST_SUITE_P(Images, HarbexScanSummary, ::testing::Values("fat16_512", "fat32_512"),
                         [](const auto& info) { return std::string(info.param); });

TEST(HarbexScanDisk, AQuickScanOfAPartitionedDiskListsItsVolumes) {
    const DiskManifest manifest = ReadDiskManifest("two_partitions");
    const ScanRun run = RunHarbexScan(ShellQuoted(DiskImage("two_partitions").string()));
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("is a disk holding 2 volumes"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("choose one with --volume N"), std::string::npos) << run.err;

    // number, start sector, size, file system, label
    struct Row {
        int number = 0;
        int64_t start = 0;
        double size = 0;
        std::string unit, fileSystem, label;
    };
    std::vector<Row> rows;
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        Row row;
        if (std::istringstream(line) >> row.number >> row.start >> row.size >> row.unit >>
            row.fileSystem >> row.label)
            rows.push_back(row);
    }
    const std::vector<std::string> labels = {"HARBEX16", "HARBEX32"};  // as the maker named them
    ASSERT_EQ(rows.size(), manifest.partitions.size()) << run.err;
    for (size_t i = 0; i < rows.size(); ++i) {
        const DiskPartition& part = manifest.partitions[i];
        EXPECT_EQ(rows[i].number, int(i) + 1);
        EXPECT_EQ(rows[i].start, part.start);
        EXPECT_EQ(rows[i].fileSystem, part.type);
        EXPECT_EQ(rows[i].label, labels[i]);
        ASSERT_EQ(rows[i].unit, "MiB");
        EXPECT_NEAR(rows[i].size * 1024 * 1024, double(part.totalSectors) * 512,
                    0.05 * 1024 * 1024);
    }
}

TEST(HarbexScanVerbose, EngineDiagnosticsShowOnlyWithVerbose) {
    const std::string image = ShellQuoted(FATFixtureImage("fat16_512").string());
    const ScanRun quiet = RunHarbexScan(image);
    const ScanRun verbose = RunHarbexScan("--verbose " + image);
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(quiet.err.find("CDirectoryTreeBuilder"), std::string::npos) << quiet.err;
    EXPECT_NE(verbose.err.find("CDirectoryTreeBuilder::FlashBuild"), std::string::npos)
        << verbose.err;
    EXPECT_EQ(verbose.out, quiet.out);  // the listing stays clean either way
}
