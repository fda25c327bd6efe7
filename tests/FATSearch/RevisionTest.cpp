#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "FATBuildChildren.h"
#include "FATCompleteScanHarness.h"
#include "FATScanHarness.h"
#include "FATTable.h"
#include "LittleEndian.h"
#include "RawFileAnalyserList.h"

using namespace harbex::test;

namespace {

// Stands in for the JPEG analyser until the carving analysers arrive: the
// registry's map claims the JPEG keys with it.
class TestJpegAnalyser : public IRawFileAnalyser {};

const bool kJpegAnalyserRegistered = [] {
    CRawFileAnalyserListSingle::RegisterAnalyserFactory("BruteForce::JpegAnalyzer",
                                                        [] { return new TestJpegAnalyser(); });
    return true;
}();

constexpr const char* kChildEnv = "HARBEX_FAT_REVISION_CHILD";

// The FAT32 fixture with the deleted HIGH.JPG entry moved in front of the
// large file that precedes it, so that nothing listed before it hints at its
// block of 65536 clusters: only its content can.
void MoveHighEntryFirst(FATImageDevice& device) {
    const auto boot = device.Sector(0);
    const int64_t root = ReadLE16(boot.data() + 14) + 2 * ReadLE32(boot.data() + 36);
    auto sector = device.Sector(root);
    int big = -1, high = -1;
    for (int offset = 0; offset < 512; offset += 32) {
        if (std::memcmp(sector.data() + offset, "BIG     BIN", 11) == 0)
            big = offset;
        if (std::memcmp(sector.data() + offset + 1, "IGH    JPG", 10) == 0)
            high = offset;
    }
    ASSERT_GE(big, 0);
    ASSERT_GE(high, 0);
    std::swap_ranges(sector.begin() + big, sector.begin() + big + 32, sector.begin() + high);
    device.Overlay(root, sector);
}

struct HighFile {
    int64_t firstCluster = 0;
    std::string sha256;
};

HighFile ScanHighFile(const char* image) {
    const FATManifest manifest = ReadFATManifest(image);
    FATImageDevice device(FATFixtureImage(image), manifest.sectorSize);
    device.DescribeAsVolume(FILE_SYSTEM_FAT32);
    MoveHighEntryFirst(device);
    QuickScan scan;
    scan.Run(&device);
    HighFile result;
    const auto found = scan.byPath.find("/#IGH.JPG");
    if (found == scan.byPath.end())
        return result;
    result.firstCluster = found->second->GetFileProperties()->GetFirstClusterNum();
    result.sha256 = Sha256Of(ReadThroughExtents(&device, *scan.Partition(), found->second));
    return result;
}

std::string ManifestSha(const char* image, const std::string& path) {
    for (const auto& entry : ReadFATManifest(image).entries) {
        if (entry.path == path)
            return entry.sha256;
    }
    return {};
}

}  // namespace

TEST(FATRevision, ClearedHighWordComesBackWhereAnAnalyserClaimsTheHeader) {
    ASSERT_TRUE(kJpegAnalyserRegistered);
    for (const char* image : {"fat32_512", "fat32_4096"}) {
        SCOPED_TRACE(image);
        const HighFile high = ScanHighFile(image);
        EXPECT_GE(high.firstCluster, 0x10000);
        EXPECT_EQ(high.sha256, ManifestSha(image, "/HIGH.JPG"));
    }
}

// Lists the root of the FAT32 fixture the way the complete search does, with
// candidate clusters tested against `fileSectors`; answers HIGH.JPG's cluster.
int64_t CompletePathHighCluster(const std::map<long long, unsigned int>& fileSectors) {
    FATImageDevice device(FATFixtureImage("fat32_512"), 512);
    MoveHighEntryFirst(device);
    const auto boot = device.Sector(0);
    FATVolumeLayout layout;
    layout.device = &device;
    layout.type = FILE_SYSTEM_FAT32;
    layout.sectorsPerCluster = boot[13];
    layout.firstDataSector = ReadLE16(boot.data() + 14) + 2 * ReadLE32(boot.data() + 36);
    layout.rootCluster = ReadLE32(boot.data() + 44);
    layout.totalSectors = ReadLE32(boot.data() + 32);
    layout.sectorSize = 512;
    std::unique_ptr<CDoubleFATTable> table(IFATTableFactory::CreateFATTable(
        &device, ReadLE16(boot.data() + 14), FILE_SYSTEM_FAT32, ReadLE32(boot.data() + 36), 1, 1));

    RecordingTree tree;
    IRecoveryFilter* filter = CreateFilter();
    filter->SetScanType(SCAN_TYPE_DEEP);
    IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, std::chrono::milliseconds::zero());
    builder->Initialize("volume", &tree, filter);
    builder->AddSearcherInfo(SEARCHER_FAT, 0);
    std::set<uint32_t> read;
    std::map<uint32_t, CFATFileNode*> folders;
    CFATBuildChildren children(layout, builder, nullptr, nullptr, table.get(), read, folders);
    children.SetQuickScan(true);
    children.SetFileSectorMap(&fileSectors);
    FATFolderQueue queue;
    EXPECT_EQ(children.BuildRoot(queue, 1, 1), 1);
    builder->FlashBuild(SEARCHER_FAT);
    int64_t cluster = -1;
    for (IFileNode* node : tree.nodes) {
        auto* fat = dynamic_cast<CFATFileNode*>(node);
        if (fat && std::string(fat->GetFileName()) == "#IGH.JPG") {
            cluster = fat->GetFileProperties()->GetFirstClusterNum();
        }
    }
    builder->Release();
    return cluster;
}

TEST(FATRevision, CompletePathAsksTheFilesTheRawSearchMet) {
    const HighFile high = ScanHighFile("fat32_512");
    ASSERT_GE(high.firstCluster, 0x10000);
    FATImageDevice device(FATFixtureImage("fat32_512"), 512);
    const auto boot = device.Sector(0);
    const long long sector = ReadLE16(boot.data() + 14) + 2 * ReadLE32(boot.data() + 36) +
                             (high.firstCluster - 2) * boot[13];
    struct Case {
        const char* what;
        std::map<long long, unsigned int> fileSectors;
        bool revised;
    } cases[] = {
        {"a JPG met at the candidate", {{sector, 35}}, true},
        {"a PNG met there: another extension", {{sector, 51}}, false},
        {"nothing met", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t cluster = CompletePathHighCluster(c.fileSectors);
        if (c.revised) {
            EXPECT_EQ(cluster, high.firstCluster);
        } else {
            EXPECT_EQ(cluster, high.firstCluster & 0xFFFF);
        }
    }
}

// The complete search hands what the raw search met down to the revision.
TEST(FATRevision, CompleteSearchRevisesAgainstTheFilesTheRawSearchMet) {
    const HighFile high = ScanHighFile("fat32_512");
    ASSERT_GE(high.firstCluster, 0x10000);
    FATImageDevice device(FATFixtureImage("fat32_512"), 512, kStorageDeviceDisk);
    MoveHighEntryFirst(device);
    const auto boot = device.Sector(0);
    const long long sector = ReadLE16(boot.data() + 14) + 2 * ReadLE32(boot.data() + 36) +
                             (high.firstCluster - 2) * boot[13];
    for (const bool met : {true, false}) {
        SCOPED_TRACE(met ? "a JPG met at the candidate" : "nothing met");
        std::map<long long, unsigned int> fileSectors;
        if (met)
            fileSectors[sector] = 35;
        CompleteScan scan;
        scan.fileSectors = &fileSectors;
        scan.Run(&device);
        const CFATFileNode* node = scan.FindEndingWith("/#IGH.JPG");
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetFileProperties()->GetFirstClusterNum(),
                  met ? high.firstCluster : (high.firstCluster & 0xFFFF));
    }
}

TEST(FATRevision, FAT16EntriesKeepTheirCluster) {
    FATImageDevice device(FATFixtureImage("fat16_512"), 512);
    device.DescribeAsVolume(FILE_SYSTEM_FAT16);
    QuickScan scan;
    scan.Run(&device);
    for (CFATFileNode* node : scan.all) {
        if (node->GetFileSize() == 0 && !node->IsDirectory())
            continue;  // numbered above 2^32
        EXPECT_LT(node->GetFileProperties()->GetFirstClusterNum(), 0x10000) << node->GetFileName();
    }
}

// Run in a copy of this program beside a settings file (the settings file is
// read from the program's own folder); skipped in a normal run.
TEST(FATRevisionChild, HighFileCluster) {
    const char* expect = std::getenv(kChildEnv);
    if (!expect)
        GTEST_SKIP() << "runs only as the child of the settings-file test";
    const HighFile high = ScanHighFile("fat32_512");
    if (std::string(expect) == "revised") {
        EXPECT_GE(high.firstCluster, 0x10000);
    } else {
        EXPECT_LT(high.firstCluster, 0x10000);
        EXPECT_GT(high.firstCluster, 0);
    }
}

TEST(FATRevision, SettingsFileSwitch) {
    struct Case {
        const char* what;
        const char* settings;  // null: no settings file
        const char* expect;
    } cases[] = {
        {"switched off", "[UserExperience]\nbRevise=0\n", "kept"},
        {"switched off on the last line", "[UserExperience]\nbRevise=0", "kept"},
        {"carriage return keeps it on", "[UserExperience]\r\nbRevise=0\r\n", "revised"},
        {"switched on", "[UserExperience]\nbRevise=1\n", "revised"},
        {"no settings file", nullptr, "revised"},
    };
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const auto program = dir / self.filename().string();
        std::filesystem::copy_file(self, program);
        if (c.settings)
            std::ofstream(dir / "UIConfig.ini", std::ios::binary) << c.settings;
        const auto result =
            RunCommand(std::string(kChildEnv) + "=" + c.expect + " '" + program.string() +
                       "' --gtest_filter=FATRevisionChild.HighFileCluster 2>&1");
        EXPECT_EQ(result.status, 0)
            << result.output.substr(result.output.size() > 3000 ? result.output.size() - 3000 : 0);
        EXPECT_NE(result.output.find("[  PASSED  ] 1 test"), std::string::npos);
    }
}
