#include <gtest/gtest.h>

#include <list>
#include <memory>

#include "ImageDisk.h"
#include "PartitionTableAnalyze.h"
#include "TableImages.h"
#include "TestSupport.h"

namespace {

using harbex::test::TempDir;

struct SfdiskCase {
    const char* name;
    uint64_t imageMiB;
    const char* script;
    enumDiskPartitionScheme scheme;
};

const SfdiskCase kCases[] = {
    {"gpt", 64, "label: gpt\\nsize=20MiB\\nsize=9MiB\\n,\\n", kPartitionSchemeGPT},
    {"gpt_with_gaps", 128,
     "label: gpt\\nstart=4096, size=30MiB\\nstart=100000, size=12MiB\\nstart=200000\\n",
     kPartitionSchemeGPT},
    {"mbr_logical", 64,
     "label: dos\\nsize=10MiB, type=83\\ntype=5\\nsize=9MiB\\nsize=9MiB, type=7\\n,\\n",
     kPartitionSchemeMBR},
    {"mbr_extended_in_slot_3", 64,
     "label: dos\\nsize=10MiB\\nsize=10MiB, type=c\\ntype=f\\nsize=5MiB\\nsize=5MiB\\n,\\n",
     kPartitionSchemeMBR},
};

class SfdiskTables : public testing::TestWithParam<SfdiskCase> {};

// Our parse lists what sfdisk lists, except the extended container itself.
TEST_P(SfdiskTables, ParseAsSfdiskDumps) {
    const SfdiskCase& param = GetParam();
    TempDir dir;
    auto image = dir / "disk.img";
    tables::MakeSparseImage(image, param.imageMiB << 20);
    ASSERT_TRUE(tables::RunSfdisk(image.string(), param.script));
    std::vector<tables::ToolPartition> expected;
    for (const auto& p : tables::SfdiskDump(image.string())) {
        if (p.type != "5" && p.type != "f")
            expected.push_back(p);
    }
    ASSERT_FALSE(expected.empty());

    ImageDisk disk(image, 512);
    CPartitionTableAnalyze analyze;
    enumDiskPartitionScheme scheme = kPartitionSchemeNone;
    ASSERT_EQ(analyze.GetDiskType(&disk, scheme), kResultSuccess);
    EXPECT_EQ(scheme, param.scheme);
    std::list<PartitionEntry> partitions;
    ASSERT_EQ(analyze.AnalyzePartitionTable(&disk, partitions), kResultSuccess);

    ASSERT_EQ(partitions.size(), expected.size());
    auto it = partitions.begin();
    for (const auto& want : expected) {
        EXPECT_EQ(it->number, want.number);
        EXPECT_EQ(it->startSector, want.start);
        EXPECT_EQ(it->sectorCount, want.size);
        if (param.scheme == kPartitionSchemeGPT) {
            EXPECT_EQ(tables::GuidText(it->typeGuid), want.type);
            EXPECT_EQ(tables::GuidText(it->partitionGuid), want.uuid);
        }
        ++it;
    }
}

INSTANTIATE_TEST_SUITE_P(Images, SfdiskTables, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A loop device with 4 KiB logical sectors, detached at the end of the scope.
class FourKLoop {
public:
    explicit FourKLoop(const std::filesystem::path& image) {
        auto result = harbex::test::RunCommand("losetup -f --show -b 4096 '" + image.string() +
                                               "' 2>/dev/null");
        if (result.status == 0)
            device_ = result.output.substr(0, result.output.find('\n'));
    }
    ~FourKLoop() {
        if (!device_.empty())
            harbex::test::RunCommand("losetup -d " + device_);
    }
    const std::string& device() const { return device_; }

private:
    std::string device_;
};

// On a disk of 4 KiB sectors the 8 MiB floor is 2048 sectors, not 16384.
TEST(GptFourKSectors, SizeFloorUsesTheDiskSectorSize) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "4 KiB-sector loop devices need root";
    TempDir dir;
    auto image = dir / "disk4k.img";
    tables::MakeSparseImage(image, 64 << 20);
    std::vector<tables::ToolPartition> expected;
    {
        FourKLoop loop(image);
        if (loop.device().empty())
            GTEST_SKIP() << "no free loop device";
        ASSERT_TRUE(tables::RunSfdisk(loop.device(), "label: gpt\\nsize=2048\\nsize=2049\\n,\\n"));
        expected = tables::SfdiskDump(loop.device());
    }
    ASSERT_EQ(expected.size(), 3u);

    ImageDisk disk(image, 4096);
    std::list<PartitionEntry> partitions;
    std::unique_ptr<IPartitionTableAnalyze> analyze(CreatePartitionTableAnalyze());
    ASSERT_EQ(analyze->AnalyzePartitionTable(&disk, partitions), kResultSuccess);
    ASSERT_EQ(partitions.size(), 2u);
    EXPECT_EQ(partitions.front().number, 2u);
    EXPECT_EQ(partitions.front().startSector, expected[1].start);
    EXPECT_EQ(partitions.front().sectorCount, 2049);
    EXPECT_EQ(partitions.back().number, 3u);
    EXPECT_EQ(partitions.back().sectorCount, expected[2].size);
}

}  // namespace
