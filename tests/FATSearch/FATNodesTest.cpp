#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "DataRunList.h"
#include "FATBuildDataRun.h"
#include "FATDirEntry.h"
#include "FATFileNode.h"
#include "FATSearchedPartitionInfo.h"
#include "FATTable.h"
#include "FATTestEntries.h"
#include "LittleEndian.h"

namespace {

using namespace harbex::test;
using Entry = FATEntryBytes;

// A short entry of a file whose data starts at cluster 5 (none when empty).
Entry Short(const char* name11, uint8_t attribute = 0x20, uint32_t size = 10) {
    return ShortEntry(name11, attribute, size ? 5 : 0, size);
}

std::unique_ptr<CFATFileProperties> Build(std::initializer_list<Entry> entries) {
    std::vector<uint8_t> bytes;
    for (const Entry& e : entries)
        bytes.insert(bytes.end(), e.begin(), e.end());
    return std::unique_ptr<CFATFileProperties>(
        CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(
            bytes.data(), static_cast<uint32_t>(bytes.size())));
}

// A FAT reader answering from a fixed table.
class FixedFAT : public IFATTable {
public:
    explicit FixedFAT(std::vector<uint32_t> entries) : entries_(std::move(entries)) {}
    uint32_t GetNextCluster(uint32_t cluster) override {
        return cluster < entries_.size() ? entries_[cluster] : 0;
    }

private:
    std::vector<uint32_t> entries_;
};

std::vector<std::pair<int64_t, uint64_t>> Runs(IDataRunList* list) {
    std::vector<std::pair<int64_t, uint64_t>> runs;
    if (!list)
        return runs;
    for (DataRun* run = list->GetFirst(); run; run = list->GetNext()) {
        runs.emplace_back(run->firstCluster, run->clusterCount);
    }
    list->Release();
    return runs;
}

}  // namespace

TEST(FATFileProperties, NamesFromTheEntriesOfOneFile) {
    struct Case {
        const char* what;
        std::unique_ptr<CFATFileProperties> properties;
        const char* name;
    } cases[] = {
        {"long name in two pieces",
         Build({LongNamePiece(0x42, u"ces.txt"), LongNamePiece(0x01, u"Long with spa"),
                Short("LONGWI~1TXT")}),
         "Long with spaces.txt"},
        {"invalid long name falls back to 8.3",
         Build({LongNamePiece(0x41, u"a:b.txt"), Short("AB~1    TXT")}), "AB~1.TXT"},
        {"short name only", Build({Short("README  TXT")}), "README.TXT"},
        {"stale pieces of another name are dropped",
         Build({LongNamePiece(0x41, u"old.txt"), LongNamePiece(0x41, u"new.txt"),
                Short("NEW     TXT")}),
         "new.txt"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.properties, nullptr);
        EXPECT_STREQ(c.properties->GetFileName(), c.name);
        EXPECT_EQ(c.properties->GetFileNameLength(), std::strlen(c.name));
    }
    EXPECT_EQ(Build({LongNamePiece(0x41, u"no short entry")}), nullptr);
}

TEST(FATFileProperties, DeletedEntryGetsStateAndHash) {
    auto properties =
        Build({Short("\xE5"
                     "AB     TXT")});
    ASSERT_NE(properties, nullptr);
    EXPECT_STREQ(properties->GetFileName(), "#AB.TXT");
    EXPECT_EQ(properties->GetState() & 1, 1);
}

TEST(FATFileProperties, LongNameOf2047BytesOrMoreGivesNoRecord) {
    std::vector<uint8_t> bytes;
    // 158 pieces of 13 characters: 2054 bytes.
    for (int i = 0; i < 158; ++i) {
        const Entry piece = LongNamePiece(static_cast<uint8_t>(i + 1), u"abcdefghijklm");
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    const Entry entry = Short("ABCDEF~1   ");
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    EXPECT_EQ(CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(
                  bytes.data(), static_cast<uint32_t>(bytes.size())),
              nullptr);
}

TEST(FATFileNode, IdentityAndCloning) {
    auto* properties = CFATFileProperties::Create();
    properties->SetFileName("photo.jpg");
    properties->SetFirstClusterNum(0x30123);
    properties->SetParentFirstClusterNum(7);
    properties->SetMetaDataSector(900);
    properties->SetAttribute(0x20);
    CFATFileNode node;
    node.SetFileProperties(properties);
    EXPECT_EQ(node.GetCurrentNodeID(), 0x30123);
    EXPECT_EQ(node.GetParentNodeID(), 7);
    EXPECT_EQ(node.GetMetadataStartPosition(), 900);
    EXPECT_EQ(node.GetSearcheType(), SEARCHER_FAT);
    EXPECT_FALSE(node.IsDeleted());
    node.MarkDeleted();
    EXPECT_TRUE(node.IsDeleted());

    CFATFileNode* copy = node.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetFileName(), "photo.jpg");
    EXPECT_NE(copy->GetFileName(), node.GetFileName());  // a buffer of its own
    EXPECT_EQ(copy->GetCurrentNodeID(), 0x30123);
    EXPECT_TRUE(copy->IsDeleted());
    copy->Release();

    CFATSearchedPartitionInfo record(512);
    EXPECT_EQ(record.GetType(), 1u);
    record.SetRootInfo(2);
    record.MergeFlag(4);
    record.MergeFlag(8);
    std::unique_ptr<CFATSearchedPartitionInfo> clone(record.Clone());
    EXPECT_EQ(clone->GetFlag(), 12u);
    EXPECT_EQ(clone->GetRootInfo(), 2u);
}

TEST(FATBuildDataRun, DeletedFileIsTakenToLieOnAfterItsFirstCluster) {
    FixedFAT fat(std::vector<uint32_t>(64, 0));
    CFATBuildDataRun builder(&fat, 512, 2, 1000);
    EXPECT_EQ(Runs(builder.BuildDataRunList(10, 3 * 1024 - 5, 1)),
              (std::vector<std::pair<int64_t, uint64_t>>{{8, 3}}));
    EXPECT_EQ(builder.BuildDataRunList(0, 100, 1), nullptr);
}

// A damaged FAT may lead a chain back into clusters the walk has passed; the
// walk takes the chain as broken there and the rest as following on.
TEST(FATBuildDataRun, ChainLeadingBackIntoItselfIsTakenToLieOn) {
    using Runs_ = std::vector<std::pair<int64_t, uint64_t>>;
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> links;
        int64_t size;
        int deleted;
        Runs_ runs;
    } cases[] = {
        {"back into the current run", {{2, 3}, {3, 4}, {4, 3}}, 6 * 512, 0, {{0, 6}}},
        {"back into an earlier run", {{2, 10}, {10, 11}, {11, 2}}, 5 * 512, 0, {{0, 1}, {8, 4}}},
        {"onto itself", {{2, 2}}, 3 * 512, 0, {{0, 3}}},
        {"deleted, back to its first cluster", {{2, 5}, {5, 2}}, 4 * 512, 1,
         {{0, 1}, {3, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint32_t> entries(64, 0);
        for (const auto& [from, to] : c.links)
            entries[from] = to;
        FixedFAT fat(entries);
        CFATBuildDataRun builder(&fat, 512, 1, 1000);
        EXPECT_EQ(Runs(builder.BuildDataRunList(2, c.size, c.deleted)), c.runs);
    }
}

TEST(FATBuildDataRun, ExistingFileFollowsItsChain) {
    std::vector<uint32_t> entries(64, 0);
    entries[10] = 11;
    entries[11] = 20;
    entries[20] = 21;
    entries[21] = 0x0FFFFFFF;
    FixedFAT fat(entries);
    CFATBuildDataRun builder(&fat, 512, 1, 1000);
    // Four clusters in two runs; the last run is sized from the bytes left.
    EXPECT_EQ(Runs(builder.BuildDataRunList(10, 3 * 512 + 1, 0)),
              (std::vector<std::pair<int64_t, uint64_t>>{{8, 2}, {18, 2}}));
    EXPECT_EQ(Runs(builder.BuildDataRunList(10, 2 * 512 + 1, 0)),
              (std::vector<std::pair<int64_t, uint64_t>>{{8, 2}, {18, 1}}));
    // A chain reaching past the volume gives no extents at all.
    CFATBuildDataRun small(&fat, 512, 1, 15);
    EXPECT_EQ(small.BuildDataRunList(10, 3 * 512 + 1, 0), nullptr);
}
