#include <gtest/gtest.h>

#include "APFSFileNode.h"
#include "DataRunList.h"

namespace {

TEST(APFSNames, DisplayNamesDropOneLeadingDotAndTheFinderFile) {
    const std::pair<std::string, std::string> cases[] = {
        {".hidden", "hidden"}, {".", ""},          {".DS_Store", ""}, {".ds_store", ""},
        {"..notes", ".notes"}, {"plain", "plain"}, {"", ""},
    };
    for (const auto& [raw, shown] : cases)
        EXPECT_EQ(MakeDisplayName(raw), shown) << raw;
    EXPECT_FALSE(IsWantedName(".DS_STORE"));
    EXPECT_TRUE(IsWantedName("DS_Store"));
}

TEST(APFSNodes, TheTrashFolderIsADeletedFolder) {
    APFSFileNode node;
    node.SetDisplayName(MakeDisplayName(".Trashes"));
    node.SetIsDirectory(false);  // the first decision stands
    EXPECT_STREQ(node.GetFileName(), "Trashes");
    EXPECT_TRUE(node.IsDirectory());
    EXPECT_TRUE(node.IsDeleted());
}

std::vector<std::pair<int64_t, uint64_t>> Runs(APFSFileNode& node) {
    std::vector<std::pair<int64_t, uint64_t>> runs;
    IDataRunList* list = node.GetDataRunList();
    for (DataRun* run = list ? list->GetFirst() : nullptr; run; run = list->GetNext())
        runs.emplace_back(run->firstCluster, run->clusterCount);
    return runs;
}

TEST(APFSNodes, ExtentsAtTheSameOffsetKeepTheLargerCount) {
    APFSFileNode node;
    node.AddExtent(100, 4, 512, 0);
    node.AddExtent(100, 8, 512, 0);
    EXPECT_EQ(Runs(node), (std::vector<std::pair<int64_t, uint64_t>>{{100, 8}}));
}

TEST(APFSNodes, ANewFirstExtentStartsTheFileAgain) {
    APFSFileNode node;
    node.SetSize(20000);
    node.AddExtent(100, 8, 512, 0);
    node.AddExtent(300, 8, 512, 4096);
    node.AddExtent(900, 8, 512, 0);
    EXPECT_EQ(Runs(node), (std::vector<std::pair<int64_t, uint64_t>>{{900, 8}}));
}

TEST(APFSNodes, CoverageCountsWholeBlocksAboveTheSize) {
    APFSFileNode node;
    node.SetSize(10000);
    EXPECT_FALSE(node.AddExtent(100, 8, 512, 0));
    EXPECT_TRUE(node.AddExtent(108, 12, 512, 4096));
    EXPECT_EQ(node.GetFileSize(), 10000);
    EXPECT_TRUE(node.Has(APFSFileNode::kCovered));
}

// Holes read as zeros only where the file system says so: an explicit hole
// record, or ranges no extent covers as far as the inode counts sparse bytes.
// Any other uncovered range is unknown; extents that overlap leave everything
// from the overlap unknown.
TEST(APFSNodes, OnlyRangesTheInodeCountsSparseReadAsZeros) {
    using Runs_ = std::vector<std::pair<int64_t, uint64_t>>;
    struct Extent {
        int64_t first;
        uint64_t count;
        uint64_t offset;
    };
    struct Case {
        const char* what;
        uint64_t size;
        uint64_t sparseBytes;
        std::vector<Extent> extents;
        Runs_ runs;
    };
    const int64_t hole = kHoleDataRun;
    const int64_t unknown = kUnknownDataRun;
    const Case cases[] = {
        {"hole record", 12288, 4096, {{hole, 8, 0}, {200, 16, 4096}}, {{hole, 8}, {200, 16}}},
        {"gap, not sparse",
         12288,
         0,
         {{100, 8, 0}, {200, 8, 8192}},
         {{100, 8}, {unknown, 8}, {200, 8}}},
        {"gap counted sparse",
         12288,
         4096,
         {{100, 8, 0}, {200, 8, 8192}},
         {{100, 8}, {hole, 8}, {200, 8}}},
        {"gap beyond the sparse count",
         16384,
         4096,
         {{100, 8, 0}, {200, 8, 12288}},
         {{100, 8}, {unknown, 16}, {200, 8}}},
        {"hole record uses up the count",
         16384,
         4096,
         {{hole, 8, 0}, {100, 8, 4096}, {200, 8, 12288}},
         {{hole, 8}, {100, 8}, {unknown, 8}, {200, 8}}},
        {"sparse tail", 12288, 4096, {{100, 16, 0}}, {{100, 16}, {hole, 8}}},
        {"lost tail", 12288, 0, {{100, 16, 0}}, {{100, 16}}},
        {"overlap", 12288, 0, {{100, 16, 0}, {300, 16, 4096}}, {{100, 8}, {unknown, 16}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        APFSFileNode node;
        node.SetSize(c.size);
        for (const Extent& e : c.extents)
            node.AddExtent(e.first, e.count, 512, e.offset);
        if (c.sparseBytes != 0)
            node.SetSparseBytes(c.sparseBytes, 512);
        EXPECT_EQ(Runs(node), c.runs);
    }
}

TEST(APFSNodes, ExtentsComeFromOneVersionOfTheFile) {
    APFSFileNode node;
    ASSERT_TRUE(node.TakeExtentVersion(7));
    node.AddExtent(100, 8, 512, 0);
    EXPECT_FALSE(node.TakeExtentVersion(5));  // older: refused
    ASSERT_TRUE(node.TakeExtentVersion(9));   // newer: replaces
    node.AddExtent(500, 8, 512, 4096);
    EXPECT_EQ(Runs(node),
              (std::vector<std::pair<int64_t, uint64_t>>{{kUnknownDataRun, 8}, {500, 8}}));
}

TEST(APFSNodes, ForcedReadinessGivesAParentlessFolderTheLostId) {
    APFSFileNode folder;
    folder.SetBelongedPartition(1);
    folder.SetIsDirectory(true);
    folder.SetDisplayName("Old");
    EXPECT_FALSE(folder.IsReady(false));
    EXPECT_TRUE(folder.IsReady(true));
    EXPECT_EQ(folder.GetParentNodeID(), (int64_t{1} << 32) | 3);

    APFSFileNode file;
    file.SetDisplayName("no time");
    file.SetParentNodeID(2);
    EXPECT_FALSE(file.IsReady(true));  // a file without a creation time
}

TEST(APFSNodes, RootParentMapsToTheTopOfItsContainer) {
    APFSFileNode node;
    node.SetBelongedPartition(2);
    node.SetParentNodeID((int64_t{2} << 32) | 1);
    EXPECT_EQ(node.GetParentNodeID(), (int64_t{2} << 32) | 2);
}

TEST(APFSNodes, SameNamedFoldersUnderOneParentMergeIntoTheFirst) {
    APFSFileNode parent;
    parent.SetIsDirectory(true);
    APFSFileNode first;
    APFSFileNode second;
    for (APFSFileNode* folder : {&first, &second}) {
        folder->SetIsDirectory(true);
        folder->SetDisplayName("Photos");
        parent.AddChildNode(folder);
    }
    EXPECT_EQ(second.twin, &first);
    EXPECT_TRUE(second.Has(APFSFileNode::kMerged));
    APFSFileNode child;
    second.AddChildNode(&child);  // goes to the twin
    EXPECT_EQ(child.parentNode, &first);
}

TEST(APFSNodes, CloneIsAStandaloneCopyAndTheSourceKeepsItsLinks) {
    APFSFileNode parent;
    parent.SetIsDirectory(true);
    APFSFileNode node;
    node.SetDisplayName("a.txt");
    node.SetSize(5);
    node.AddExtent(100, 1, 512, 0);
    parent.AddChildNode(&node);
    node.Set(APFSFileNode::kReported);

    APFSFileNode* copy = node.Clone();
    EXPECT_EQ(node.parentNode, &parent);
    EXPECT_EQ(parent.firstChildNode, &node);
    EXPECT_EQ(copy->parentNode, nullptr);
    EXPECT_FALSE(copy->Has(APFSFileNode::kReported));
    EXPECT_STREQ(copy->GetFileName(), "a.txt");
    EXPECT_EQ(Runs(*copy), Runs(node));
    EXPECT_NE(copy->GetDataRunList(), node.GetDataRunList());
    copy->Release();  // the copy is the caller's: this frees it
    node.Release();   // the parser's node stays alive
    EXPECT_STREQ(node.GetFileName(), "a.txt");
}

}  // namespace
