// harbex-scan --quick --deep over each HFS+ fixture, against its manifest:
// every file at its path with size, time and deleted mark, copied out whole.

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <set>
#include <sstream>

#include "HFSPlusTestImages.h"

using namespace harbex::test;

namespace {

struct Listed {
    int64_t size = 0;
    bool deleted = false;
    bool directory = false;
    std::string modified;
};

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    std::string field;
    while (std::getline(split, field, '\t'))
        fields.push_back(field);
    return fields;
}

std::string IsoTime(int64_t seconds) {
    const std::time_t t = seconds;
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The HFS+ lines of the listing by path below the top folder.
std::map<std::string, Listed> ParseListing(const std::string& output, std::string& top) {
    std::map<std::string, Listed> listed;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() != 7 || fields[0] != "31")
            continue;
        const size_t slash = fields[1].find('/');
        if (slash == std::string::npos)
            continue;
        top = fields[1].substr(0, slash);
        listed[fields[1].substr(slash)] = {std::stoll(fields[2]), fields[3] == "1",
                                           fields[4] == "1", fields[5]};
    }
    return listed;
}

// SHA-256 of every file below `folder`, by path relative to it ("/a/b.txt").
std::map<std::string, std::string> HashTree(const std::filesystem::path& folder) {
    std::map<std::string, std::string> hashes;
    const auto result = RunCommand("cd '" + folder.string() +
                                   "' && find . -type f -print0 | xargs -0 -r sha256sum");
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > 66)
            hashes[line.substr(66)] = line.substr(0, 64);  // "<hash>  ./path"
    }
    return hashes;
}

struct ScanCase {
    const char* image;
    int volume;  // 0: the image is the volume
};

class HarbexScanHFSPlus : public ::testing::TestWithParam<ScanCase> {};

// Every manifest entry listed at its path with its size, time and deleted
// mark, every file copied out whole (those the manifest calls unreadable
// never with their bytes), and nothing listed beyond them.
void ExpectListedAndRecovered(const HFSPlusManifest& manifest, const std::string& output,
                              const std::filesystem::path& recovered) {
    std::string top;
    const auto listed = ParseListing(output, top);
    const auto hashes = HashTree(recovered / top);
    for (const HFSPlusManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        const auto found = listed.find(entry.path);
        ASSERT_NE(found, listed.end());
        EXPECT_EQ(found->second.directory, entry.directory);
        EXPECT_EQ(found->second.deleted, entry.deleted);
        if (entry.directory)
            continue;
        if (manifest.unreadable.count(entry.path)) {
            const auto copy = hashes.find("." + entry.path);
            EXPECT_TRUE(copy == hashes.end() || copy->second != entry.sha256);
            continue;
        }
        EXPECT_EQ(found->second.size, entry.size);
        EXPECT_EQ(found->second.modified, IsoTime(entry.mtime));
        const auto copy = hashes.find("." + entry.path);
        ASSERT_NE(copy, hashes.end());
        EXPECT_EQ(copy->second, entry.sha256);
    }
    EXPECT_EQ(listed.size(), manifest.entries.size());
}

}  // namespace

TEST_P(HarbexScanHFSPlus, ListsAndRecoversEveryFileOfTheManifest) {
    const auto [image, volume] = GetParam();
    const HFSPlusManifest manifest = ReadHFSPlusManifest(image);
    ASSERT_FALSE(manifest.entries.empty());
    const auto imagePath = HFSPlusImageFile(image);

    TempDir recovered;
    const std::string volumeOption = volume != 0 ? " --volume " + std::to_string(volume) : "";
    const auto result = RunCommand(
        "TZ=UTC '" + ToolPath("harbex-scan").string() + "' --quick --deep" + volumeOption +
        " --recover '" + recovered.path().string() + "' '" + imagePath.string() + "' 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.output;
    ExpectListedAndRecovered(manifest, result.output, recovered.path());
}

INSTANTIATE_TEST_SUITE_P(Images, HarbexScanHFSPlus,
                         ::testing::Values(ScanCase{"hfsplus_2048", 0}, ScanCase{"hfsplus_512", 0},
                                           ScanCase{"hfsplus_journaled", 0},
                                           ScanCase{"hfsplus_compressed", 0},
                                           ScanCase{"hfsplus_apm_disk", 3},
                                           ScanCase{"hfsplus_gpt_disk", 1}),
                         [](const auto& info) { return std::string(info.param.image); });

namespace {

struct DiskCase {
    const char* image;
    const char* mode;
};

class HarbexScanHFSPlusDisks : public ::testing::TestWithParam<DiskCase> {};

// "#partition <start> <count>" lines of a disk's manifest, as harbex-scan
// reports them: "<start>\t<count>".
std::set<std::string> ManifestPartitions(const std::string& image) {
    std::set<std::string> partitions;
    const std::vector<uint8_t> bytes = ReadFile(FixturePath("hfsplus/" + image + ".manifest"));
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() == 3 && fields[0] == "#partition")
            partitions.insert(fields[1] + "\t" + fields[2]);
    }
    return partitions;
}

std::set<std::string> ListedPartitions(const std::string& output) {
    std::set<std::string> partitions;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() >= 6 && fields[0] == "partition" && fields[1] == "31")
            partitions.insert(fields[4] + "\t" + fields[5]);
    }
    return partitions;
}

}  // namespace

// Volumes behind a partition table, behind a wiped one with a damaged first
// header, and twice on one disk: each found at its start with its size, and
// its files (journal-deleted ones too) listed at their paths and copied out.
TEST_P(HarbexScanHFSPlusDisks, FindsEveryVolumeAndRecoversItsFiles) {
    const auto [image, mode] = GetParam();
    const HFSPlusManifest manifest = ReadHFSPlusManifest(image);
    ASSERT_FALSE(manifest.entries.empty());
    TempDir recovered;
    const auto result = RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' --" + mode +
                                   " --deep --recover '" + recovered.path().string() + "' '" +
                                   HFSPlusImageFile(image).string() + "' 2>&1");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(ListedPartitions(result.output), ManifestPartitions(image)) << result.output;
    ExpectListedAndRecovered(manifest, result.output, recovered.path());
}

INSTANTIATE_TEST_SUITE_P(Disks, HarbexScanHFSPlusDisks,
                         ::testing::Values(DiskCase{"hfsplus_disk_gpt40", "complete"},
                                           DiskCase{"hfsplus_disk_gpt40", "partition"},
                                           DiskCase{"hfsplus_disk_mbr63", "complete"},
                                           DiskCase{"hfsplus_disk_two", "partition"},
                                           DiskCase{"hfsplus_disk_wiped", "complete"}),
                         [](const auto& info) {
                             return std::string(info.param.image) + "_" + info.param.mode;
                         });

namespace {

// The number before " whole" in harbex-scan's "recovered ..." line; -1 without one.
int RecoveredWhole(const std::string& output) {
    const size_t at = output.find("recovered ");
    return at == std::string::npos ? -1 : std::atoi(output.c_str() + at + 10);
}

struct DamagedCase {
    const char* image;
    const char* mode;
};

class HarbexScanHFSPlusDamaged : public ::testing::TestWithParam<DamagedCase> {};

}  // namespace

// Damaged copies of the volumes: what the damage leaves readable is listed
// and copied out whole; what it does not is listed but never counted whole.
TEST_P(HarbexScanHFSPlusDamaged, ListsEveryFileAndCountsOnlyIntactOnesWhole) {
    const auto [image, mode] = GetParam();
    const HFSPlusManifest manifest = ReadHFSPlusManifest(image);
    ASSERT_FALSE(manifest.entries.empty());
    TempDir recovered;
    const auto result = RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' --" + mode +
                                   " --deep --recover '" + recovered.path().string() + "' '" +
                                   HFSPlusImageFile(image).string() + "' 2>&1");
    // 4: some listed file was not copied whole.
    ASSERT_EQ(result.status, manifest.unreadable.empty() ? 0 : 4) << result.output;
    ExpectListedAndRecovered(manifest, result.output, recovered.path());
    int files = 0;
    for (const HFSPlusManifestEntry& entry : manifest.entries)
        files += entry.directory ? 0 : 1;
    EXPECT_EQ(RecoveredWhole(result.output), files - static_cast<int>(manifest.unreadable.size()))
        << result.output;
}

INSTANTIATE_TEST_SUITE_P(Images, HarbexScanHFSPlusDamaged,
                         ::testing::Values(DamagedCase{"hfsplus_trees_damaged", "quick"},
                                           DamagedCase{"hfsplus_trees_damaged", "complete"},
                                           DamagedCase{"hfsplus_index_damaged", "quick"},
                                           DamagedCase{"hfsplus_index_damaged", "complete"},
                                           DamagedCase{"hfsplus_disk_headers_zeroed", "complete"}),
                         [](const auto& info) {
                             return std::string(info.param.image) + "_" + info.param.mode;
                         });

namespace {

struct DfxmlFile {
    std::string path;
    int64_t size = 0;
    std::string mtime;
    std::string md5;
};

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
    const size_t start = text.find(open);
    if (start == std::string::npos)
        return {};
    const size_t from = start + open.size();
    const size_t end = text.find(close, from);
    return end == std::string::npos ? std::string() : text.substr(from, end - from);
}

// The allocated regular files of a DFXML listing that a scan shows: not the
// volume's own metadata files and not files whose names start with a dot.
std::vector<DfxmlFile> ShownDfxmlFiles(const std::filesystem::path& dfxml) {
    const std::vector<uint8_t> bytes = ReadFile(dfxml);
    const std::string text(bytes.begin(), bytes.end());
    std::vector<DfxmlFile> files;
    size_t at = 0;
    while ((at = text.find("<fileobject>", at)) != std::string::npos) {
        const size_t end = text.find("</fileobject>", at);
        const std::string object = text.substr(at, end - at);
        at = end;
        const std::string path = Between(object, "<filename>", "</filename>");
        std::string shown = "/" + path;
        const std::string base = shown.substr(shown.rfind('/') + 1);
        if (Between(object, "<name_type>", "</name_type>") != "r" ||
            Between(object, "<alloc>", "</alloc>") != "1" || path.empty() || path[0] == '$' ||
            base.empty() || base[0] == '.') {
            continue;
        }
        // Folders whose names start with dots are shown without them.
        for (size_t dot; (dot = shown.find("/.")) != std::string::npos;)
            shown.erase(dot + 1, 1);
        files.push_back({shown, std::stoll(Between(object, "<filesize>", "</filesize>")),
                         Between(object, "<mtime>", "</mtime>"),
                         Between(object, "<hashdigest type='md5'>", "</hashdigest>")});
    }
    return files;
}

}  // namespace

TEST(HarbexScanHFSPlusMacOS, ListsAndRecoversTheFilesOfTheGroundTruth) {
    const auto packed = SharedFixturePath("hfsplus-journaled-nps2009.raw.xz");
    const auto dfxml = SharedFixturePath("hfsplus-journaled-nps2009.dfxml");
    if (!packed || !dfxml)
        GTEST_SKIP() << "../shared/fixtures is absent";
    TempDir work;
    const auto image = work / "nps2009.raw";
    ASSERT_TRUE(DecompressXz(*packed, image));
    const std::vector<DfxmlFile> expected = ShownDfxmlFiles(*dfxml);
    ASSERT_FALSE(expected.empty());

    const auto recovered = work / "out";
    std::filesystem::create_directory(recovered);
    const auto result =
        RunCommand("TZ=UTC '" + ToolPath("harbex-scan").string() + "' --quick --deep --recover '" +
                   recovered.string() + "' '" + image.string() + "' 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.output;
    std::string top;
    const auto listed = ParseListing(result.output, top);
    for (const DfxmlFile& file : expected) {
        SCOPED_TRACE(file.path);
        const auto found = listed.find(file.path);
        ASSERT_NE(found, listed.end());
        EXPECT_FALSE(found->second.deleted);
        EXPECT_EQ(found->second.size, file.size);
        EXPECT_EQ(found->second.modified, file.mtime);
        const auto md5 = RunCommand("md5sum '" + (recovered / top / file.path.substr(1)).string() +
                                    "' 2>/dev/null");
        EXPECT_EQ(md5.output.substr(0, 32), file.md5);
    }
}
