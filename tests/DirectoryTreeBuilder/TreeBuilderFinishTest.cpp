#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FileTypeManager.h"
#include "TestSupport.h"
#include "TreeFakes.h"

namespace {

using namespace trees_test;

constexpr long long kTop = 2;

// A deleted folder holding a live folder holding a live file, in every arrival
// order, in a deleted-file scan and in a deep scan.
TEST(TreeBuilderFinishTest, WhatLiesBelowADeletedFolderIsDeleted) {
    const std::vector<FakeNode::Fields> nodes = {
        {.id = 10, .parentId = kTop, .name = "Gone", .folder = true, .deleted = true},
        {.id = 11, .parentId = 10, .name = "Inner", .folder = true, .deleted = false},
        {.id = 12, .parentId = 11, .name = "kept.txt", .deleted = false},
    };
    for (bool showNormal : {false, true}) {
        std::vector<size_t> order = {0, 1, 2};
        do {
            Harness h;
            h.filter.showNormal = showNormal;
            h.Open(SEARCHER_FAT, kTop);
            for (size_t i : order) {
                ASSERT_TRUE(h.Offer(nodes[i]));
            }
            h.builder->FlashBuild(SEARCHER_FAT);
            IFileNode* file = h.sink.Shown("kept.txt");
            ASSERT_NE(file, nullptr) << "order " << order[0] << order[1] << order[2];
            EXPECT_EQ(PathOf(file), "Gone/Inner/kept.txt");
            EXPECT_TRUE(file->IsDeleted());
            EXPECT_TRUE(h.sink.Shown("Inner")->IsDeleted());
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

TEST(TreeBuilderFinishTest, FoldersAreShownOnlyWithAFileBelowThem) {
    for (_tagSearcherType type : {SEARCHER_FAT, SEARCHER_APFS}) {
        Harness h;
        h.Open(type, kTop);
        ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = "Empty", .folder = true}, type));
        ASSERT_TRUE(h.Offer({.id = 11, .parentId = 10, .name = "AlsoEmpty", .folder = true}, type));
        ASSERT_TRUE(h.Offer({.id = 20, .parentId = kTop, .name = "Full", .folder = true}, type));
        ASSERT_TRUE(h.Offer({.id = 21, .parentId = 20, .name = "Deep", .folder = true}, type));
        ASSERT_TRUE(h.Offer({.id = 22, .parentId = 21, .name = "a.txt"}, type));
        h.builder->FlashBuild(type);
        EXPECT_EQ(PathOf(h.sink.Shown("a.txt")), "Full/Deep/a.txt");
        const bool apfs = type == SEARCHER_APFS;
        EXPECT_EQ(h.sink.Shown("Empty") != nullptr, apfs);
        EXPECT_EQ(h.sink.Shown("AlsoEmpty") != nullptr, apfs);
    }
}

TEST(TreeBuilderFinishTest, ADeletedFileScanListsOnlyDeletedFiles) {
    for (bool showNormal : {false, true}) {
        Harness h;
        h.filter.showNormal = showNormal;
        h.Open(SEARCHER_FAT, kTop);
        ASSERT_TRUE(h.Offer(
            {.id = 10, .parentId = kTop, .name = "Live", .folder = true, .deleted = false}));
        ASSERT_TRUE(h.Offer({.id = 11, .parentId = 10, .name = "erased.txt", .deleted = true}));
        ASSERT_TRUE(h.Offer({.id = 12, .parentId = 10, .name = "present.txt", .deleted = false}));
        ASSERT_TRUE(h.Offer(
            {.id = 20, .parentId = kTop, .name = "OnlyLive", .folder = true, .deleted = false}));
        ASSERT_TRUE(h.Offer({.id = 21, .parentId = 20, .name = "here.txt", .deleted = false}));
        ASSERT_TRUE(h.Offer({.id = 30, .parentId = 99, .name = "orphan.txt", .deleted = false}));
        h.builder->FlashBuild(SEARCHER_FAT);
        EXPECT_NE(h.sink.Shown("erased.txt"), nullptr);
        EXPECT_NE(h.sink.Shown("Live"), nullptr);
        for (const char* name : {"present.txt", "OnlyLive", "here.txt", "orphan.txt"}) {
            EXPECT_EQ(h.sink.Shown(name) != nullptr, showNormal) << name;
        }
    }
}

TEST(TreeBuilderFinishTest, TheFileTypeFilterDecidesWhichFilesAreTaken) {
    std::map<int, std::string> lists = {{1, "doc;pdf"}, {2, "jpg;png"}, {4, "mov"},
                                        {8, "mp3"},     {16, "zip"},    {32, "eml"}};
    CFileTypeManager::Initialze(lists);
    IRecoveryFilter* filter = CreateFilter();
    filter->SetScanType(SCAN_TYPE_DEEP);
    filter->SetFilterTypes(FILE_MASK_PICTURE);

    FakeClock clock;
    RecordingTree sink;
    BuilderPtr builder(CreateTreeBuilder(false, &clock));
    ASSERT_TRUE(builder->Initialize("Disk1", &sink, filter));
    builder->AddSearcherInfo(SEARCHER_FAT, kTop);
    FakeNode letter({.id = 10, .parentId = kTop, .name = "letter.DOC"});
    FakeNode noExtension({.id = 11, .parentId = kTop, .name = "README"});
    EXPECT_FALSE(builder->AddNode(&letter, SEARCHER_FAT));
    EXPECT_FALSE(builder->AddNode(&noExtension, SEARCHER_FAT));
    EXPECT_TRUE(builder->AddNode(new FakeNode({.id = 12, .parentId = 13, .name = "cat.JPG"}),
                                 SEARCHER_FAT));
    EXPECT_TRUE(builder->AddNode(
        new FakeNode({.id = 13, .parentId = kTop, .name = "Photos", .folder = true}),
        SEARCHER_FAT));
    builder->FlashBuild(SEARCHER_FAT);
    EXPECT_EQ(PathOf(sink.Shown("cat.JPG")), "Photos/cat.JPG");
    filter->SetFilterTypes(FILE_MASK_ALL);
}

TEST(TreeBuilderFinishTest, UnconnectedFilesAreHandedOverLastAsLostFiles) {
    Harness h;
    h.filter.showNormal = false;
    h.Open(SEARCHER_FAT, kTop);
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = "linked.txt"}));
    ASSERT_TRUE(h.Offer({.id = 20, .parentId = 99, .name = "orphan.txt"}));
    ASSERT_TRUE(h.Offer({.id = 21, .parentId = 99, .name = "empty.txt", .size = 0}));
    ASSERT_TRUE(h.Offer({.id = 22, .parentId = 99, .name = "live.txt", .deleted = false}));
    ASSERT_TRUE(h.Offer({.id = 30, .parentId = 98, .name = "Lost", .folder = true}));
    ASSERT_TRUE(h.Offer({.id = 31, .parentId = 30, .name = "in-lost.txt"}));
    ASSERT_TRUE(h.Offer({.id = 32, .parentId = 30, .name = "empty-in-lost.txt", .size = 0}));
    ASSERT_TRUE(h.Offer({.id = 40, .parentId = 97, .name = "OnlyEmpty", .folder = true}));
    ASSERT_TRUE(h.Offer({.id = 41, .parentId = 40, .name = "zero.txt", .size = 0}));
    h.builder->FlashBuild(SEARCHER_FAT);

    ASSERT_EQ(h.sink.batches.size(), 2u);
    const RecordingTree::Batch& lost = h.sink.batches.back();
    EXPECT_EQ(lost.lost, 1);
    std::vector<std::string> names;
    for (IFileNode* node : lost.nodes) {
        names.push_back(node->GetFileName());
    }
    // Arrival order, the lost-files folder last.
    EXPECT_EQ(names,
              (std::vector<std::string>{"orphan.txt", "Lost", "in-lost.txt", "Other lost files"}));
    IFileNode* folder = lost.nodes.back();
    EXPECT_EQ(folder->GetParent(), h.sink.roots[0]);
    EXPECT_EQ(folder->GetSearcheType(), SEARCHER_FAT);
    EXPECT_EQ(PathOf(h.sink.Shown("in-lost.txt")), "Other lost files/Lost/in-lost.txt");
}

TEST(TreeBuilderFinishTest, NoLostFilesFolderWithoutLostFiles) {
    Harness h;
    h.Open(SEARCHER_FAT, kTop);
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = "a.txt"}));
    ASSERT_TRUE(h.Offer({.id = 11, .parentId = 99, .name = "Empty orphan", .folder = true}));
    h.builder->FlashBuild(SEARCHER_FAT);
    ASSERT_EQ(h.sink.batches.size(), 1u);
    EXPECT_EQ(h.sink.Shown("Other lost files"), nullptr);
    EXPECT_EQ(h.sink.roots[0]->GetFirstChild()->GetNextNode(), nullptr);
}

TEST(TreeBuilderFinishTest, ARecordReportedTwiceIsKeptOnce) {
    struct Case {
        const char* what;
        FakeNode::Fields second;
        bool restoring;
        bool accepted;
        int64_t firstSize;
        int64_t firstCluster;
    };
    const FakeNode::Fields first = {
        .id = 10, .parentId = kTop, .name = "a.txt", .size = 100, .modified = 5000};
    auto variant = [&](int64_t size, _FILETIME modified, uint16_t partition) {
        FakeNode::Fields fields = first;
        fields.size = size;
        fields.modified = modified;
        fields.partition = partition;
        return fields;
    };
    const std::vector<Case> cases = {
        {"empty copy", variant(0, 1000, 0), false, false, 100, 1},
        {"older copy lends its extents", variant(300, 1000, 0), false, false, 300, 7},
        {"newer copy", variant(300, 9000, 0), false, false, 100, 1},
        {"same time", variant(300, 5000, 0), false, false, 100, 1},
        {"other partition", variant(300, 1000, 1), false, true, 100, 1},
        {"restored result keeps both", variant(300, 1000, 0), true, true, 100, 1},
    };
    for (const Case& c : cases) {
        Harness h(c.restoring);
        h.Open(SEARCHER_FAT, kTop);
        auto* original = new FakeNode(first);
        original->GiveExtent(1, 1);
        ASSERT_TRUE(h.Offer(original));
        auto* copy = new FakeNode(c.second);
        copy->GiveExtent(7, 3);
        EXPECT_EQ(h.Offer(copy), c.accepted) << c.what;
        EXPECT_EQ(original->GetFileSize(), c.firstSize) << c.what;
        EXPECT_EQ(original->FirstCluster(), c.firstCluster) << c.what;
        h.builder->FlashBuild(SEARCHER_FAT);
        EXPECT_EQ(h.sink.AllShown().size(), c.accepted ? 2u : 1u) << c.what;
    }
}

TEST(TreeBuilderFinishTest, AParentSharedByTwoPartitionsIsChosenByPartition) {
    Harness h;
    h.Open(SEARCHER_NTFS, kTop);
    ASSERT_TRUE(
        h.Offer({.id = 10, .parentId = kTop, .name = "OnFirst", .folder = true, .partition = 0},
                SEARCHER_NTFS));
    ASSERT_TRUE(
        h.Offer({.id = 10, .parentId = kTop, .name = "OnSecond", .folder = true, .partition = 1},
                SEARCHER_NTFS));
    ASSERT_TRUE(
        h.Offer({.id = 11, .parentId = 10, .name = "b.txt", .partition = 1}, SEARCHER_NTFS));
    ASSERT_TRUE(
        h.Offer({.id = 12, .parentId = 10, .name = "c.txt", .partition = 7}, SEARCHER_NTFS));
    h.builder->FlashBuild(SEARCHER_NTFS);
    EXPECT_EQ(PathOf(h.sink.Shown("b.txt")), "OnSecond/b.txt");
    EXPECT_EQ(PathOf(h.sink.Shown("c.txt")), "OnFirst/c.txt");
}

TEST(TreeBuilderFinishTest, TheUsersTrashIsFoundThroughHome) {
    harbex::test::ScopedEnv home("HOME", "/Users/alice");
    const std::vector<FakeNode::Fields> ancestors = {
        {.id = 10, .parentId = kTop, .name = "Users", .folder = true, .deleted = false},
        {.id = 11, .parentId = 10, .name = "alice", .folder = true, .deleted = false},
    };
    const FakeNode::Fields trash = {
        .id = 12, .parentId = 11, .name = ".Trash", .folder = true, .deleted = false};
    const FakeNode::Fields thrown = {.id = 13, .parentId = 12, .name = "old.txt", .deleted = false};
    {
        // Its folders known first: the trash moves right below the top folder.
        Harness h;
        h.Open(SEARCHER_HFSPLUS, kTop);
        for (const auto& fields : ancestors) {
            ASSERT_TRUE(h.Offer(fields, SEARCHER_HFSPLUS));
        }
        ASSERT_TRUE(h.Offer(trash, SEARCHER_HFSPLUS));
        ASSERT_TRUE(h.Offer(thrown, SEARCHER_HFSPLUS));
        h.builder->FlashBuild(SEARCHER_HFSPLUS);
        EXPECT_EQ(PathOf(h.sink.Shown("old.txt")), "Trash/old.txt");
        EXPECT_TRUE(h.sink.Shown("old.txt")->IsDeleted());
        EXPECT_TRUE(h.sink.Shown("Trash")->IsDeleted());
    }
    {
        // Found only when the tree is finished: it stays where it is.
        Harness h;
        h.Open(SEARCHER_HFSPLUS, kTop);
        ASSERT_TRUE(h.Offer(trash, SEARCHER_HFSPLUS));
        ASSERT_TRUE(h.Offer(thrown, SEARCHER_HFSPLUS));
        for (const auto& fields : ancestors) {
            ASSERT_TRUE(h.Offer(fields, SEARCHER_HFSPLUS));
        }
        h.builder->FlashBuild(SEARCHER_HFSPLUS);
        EXPECT_EQ(PathOf(h.sink.Shown("old.txt")), "Users/alice/Trash/old.txt");
        EXPECT_TRUE(h.sink.Shown("old.txt")->IsDeleted());
    }
    {
        // Someone else's trash is just a folder.
        harbex::test::ScopedEnv other("HOME", "/Users/bob/");
        Harness h;
        h.Open(SEARCHER_HFSPLUS, kTop);
        for (const auto& fields : ancestors) {
            ASSERT_TRUE(h.Offer(fields, SEARCHER_HFSPLUS));
        }
        ASSERT_TRUE(h.Offer(trash, SEARCHER_HFSPLUS));
        ASSERT_TRUE(h.Offer(thrown, SEARCHER_HFSPLUS));
        h.builder->FlashBuild(SEARCHER_HFSPLUS);
        EXPECT_EQ(PathOf(h.sink.Shown("old.txt")), "Users/alice/Trash/old.txt");
        EXPECT_FALSE(h.sink.Shown("old.txt")->IsDeleted());
    }
}

TEST(TreeBuilderFinishTest, ATrashAtTheTopOfTheVolumeIsDeleted) {
    Harness h;
    h.Open(SEARCHER_HFSPLUS, kTop);
    ASSERT_TRUE(
        h.Offer({.id = 10, .parentId = kTop, .name = ".Trashes", .folder = true, .deleted = false},
                SEARCHER_HFSPLUS));
    ASSERT_TRUE(
        h.Offer({.id = 11, .parentId = 10, .name = "x.txt", .deleted = false}, SEARCHER_HFSPLUS));
    h.builder->FlashBuild(SEARCHER_HFSPLUS);
    EXPECT_EQ(PathOf(h.sink.Shown("x.txt")), "Trashes/x.txt");
    EXPECT_TRUE(h.sink.Shown("Trashes")->IsDeleted());
    EXPECT_TRUE(h.sink.Shown("x.txt")->IsDeleted());
}

TEST(TreeBuilderFinishTest, RecycleBinNodesWaitForTheFinishedTree) {
    Harness h;
    h.Open(SEARCHER_NTFS, kTop);
    h.Open(SEARCHER_FAT, kTop);
    const std::vector<FakeNode::Fields> bin = {
        {.id = 10, .parentId = kTop, .name = "$Recycle.Bin", .folder = true, .deleted = false},
        {.id = 11, .parentId = 10, .name = "S-1-5-21", .folder = true, .deleted = false},
        {.id = 12, .parentId = 11, .name = "$RAB12CD.txt", .deleted = false},
        {.id = 13, .parentId = 11, .name = "$IAB12CD.txt", .deleted = false},
        {.id = 14, .parentId = 11, .name = "desktop.ini", .deleted = false},
    };
    for (const auto& fields : bin) {
        ASSERT_TRUE(h.Offer(fields, SEARCHER_NTFS));
    }
    for (long long id = 100; id < 1200; ++id) {
        ASSERT_TRUE(
            h.Offer({.id = id, .parentId = kTop, .name = Numbered("f", id)}, SEARCHER_NTFS));
    }
    ASSERT_FALSE(h.sink.batches.empty());
    EXPECT_EQ(h.sink.Shown("$RAB12CD.txt"), nullptr);
    // Finishing another searcher's tree leaves them where they are.
    h.builder->FlashBuild(SEARCHER_FAT);
    EXPECT_EQ(h.sink.Shown("$RAB12CD.txt"), nullptr);
    h.builder->FlashBuild(SEARCHER_NTFS);
    for (const char* name : {"$Recycle.Bin", "S-1-5-21", "$RAB12CD.txt", "desktop.ini"}) {
        ASSERT_NE(h.sink.Shown(name), nullptr) << name;
        EXPECT_TRUE(h.sink.Shown(name)->IsDeleted()) << name;
    }
    EXPECT_EQ(PathOf(h.sink.Shown("$RAB12CD.txt")), "$Recycle.Bin/S-1-5-21/$RAB12CD.txt");
    IFileNode* top = h.sink.Shown("$Recycle.Bin")->GetParent();
    EXPECT_EQ(top->GetSearcheType(), SEARCHER_NTFS);
    EXPECT_EQ(h.sink.Shown("$IAB12CD.txt"), nullptr);
}

// Names that only look recycled are ordinary files outside a bin, whichever
// arrives first; inside a bin's per-user folder they are recycled.
TEST(TreeBuilderFinishTest, OnlyFilesInARecycleBinAreTakenForRecycled) {
    const std::vector<FakeNode::Fields> nodes = {
        {.id = 10, .parentId = kTop, .name = "$Invoice.pdf", .deleted = false},
        {.id = 11, .parentId = kTop, .name = "docs", .folder = true, .deleted = false},
        {.id = 12, .parentId = 11, .name = "$INDEX.html", .deleted = false},
        {.id = 13, .parentId = kTop, .name = "#Ideas.txt", .deleted = false},
        {.id = 14, .parentId = kTop, .name = "$Resume.doc", .deleted = false},
        {.id = 15, .parentId = kTop, .name = "$Reports", .folder = true, .deleted = false},
        {.id = 16, .parentId = 15, .name = "q1.txt", .deleted = false},
        {.id = 20, .parentId = kTop, .name = "RECYCLER", .folder = true, .deleted = false},
        {.id = 21, .parentId = 20, .name = "S-1-5-21", .folder = true, .deleted = false},
        {.id = 22, .parentId = 21, .name = "$RAB12CD.txt", .deleted = false},
        {.id = 23, .parentId = 21, .name = "$IAB12CD.txt", .deleted = false},
    };
    for (bool binFirst : {false, true}) {
        SCOPED_TRACE(binFirst);
        Harness h;
        h.Open(SEARCHER_NTFS, kTop);
        std::vector<FakeNode::Fields> order = nodes;
        if (binFirst) {
            std::reverse(order.begin(), order.end());
        }
        for (const auto& fields : order) {
            ASSERT_TRUE(h.Offer(fields, SEARCHER_NTFS));
        }
        h.builder->FlashBuild(SEARCHER_NTFS);
        const std::map<std::string, std::string> live = {
            {"$Invoice.pdf", "$Invoice.pdf"}, {"$INDEX.html", "docs/$INDEX.html"},
            {"#Ideas.txt", "#Ideas.txt"},     {"$Resume.doc", "$Resume.doc"},
            {"q1.txt", "$Reports/q1.txt"},
        };
        for (const auto& [name, path] : live) {
            ASSERT_NE(h.sink.Shown(name), nullptr) << name;
            EXPECT_FALSE(h.sink.Shown(name)->IsDeleted()) << name;
            EXPECT_EQ(PathOf(h.sink.Shown(name)), path);
        }
        ASSERT_NE(h.sink.Shown("$RAB12CD.txt"), nullptr);
        EXPECT_TRUE(h.sink.Shown("$RAB12CD.txt")->IsDeleted());
        EXPECT_EQ(h.sink.Shown("$IAB12CD.txt"), nullptr);
    }
}

TEST(TreeBuilderFinishTest, ApfsTreesHoldNothingBack) {
    Harness h;
    h.Open(SEARCHER_APFS, kTop);
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = "$RAB12CD.txt", .deleted = false},
                        SEARCHER_APFS));
    h.clock.now += std::chrono::seconds(3);
    ASSERT_TRUE(h.Offer({.id = 11, .parentId = kTop, .name = "b.txt"}, SEARCHER_APFS));
    ASSERT_NE(h.sink.Shown("$RAB12CD.txt"), nullptr);
    EXPECT_FALSE(h.sink.Shown("$RAB12CD.txt")->IsDeleted());
    h.builder->FlashBuild(SEARCHER_APFS);
}

TEST(TreeBuilderFinishTest, TheBuilderReleasesEverythingItTook) {
    for (bool finish : {false, true}) {
        const int liveBefore = FakeNode::live;
        {
            Harness h;
            h.Open(SEARCHER_NTFS, kTop);
            h.Open(SEARCHER_FAT, kTop);
            ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = "shown.txt"}));
            ASSERT_TRUE(h.Offer({.id = 11, .parentId = 50, .name = "orphan.txt", .size = 0}));
            ASSERT_TRUE(h.Offer({.id = 12, .parentId = kTop, .name = "Empty", .folder = true}));
            ASSERT_TRUE(h.Offer({.id = 13, .parentId = kTop, .name = "$IAB.txt"}, SEARCHER_NTFS));
            ASSERT_TRUE(h.Offer({.id = 14, .parentId = kTop, .name = "$RAB.txt"}, SEARCHER_NTFS));
            // Held back twice, refused as a copy when offered again: still the builder's.
            ASSERT_TRUE(h.Offer({.id = 14, .parentId = kTop, .name = "$RAB.txt"}, SEARCHER_NTFS));
            h.clock.now += std::chrono::seconds(3);
            ASSERT_TRUE(h.Offer({.id = 16, .parentId = kTop, .name = "b.txt"}));
            if (finish) {
                h.builder->FlashBuild(SEARCHER_FAT);
                h.builder->FlashBuild(SEARCHER_NTFS);
            }
        }
        EXPECT_EQ(FakeNode::live, liveBefore) << (finish ? "finished" : "not finished");
    }
}

}  // namespace

namespace {

using namespace trees_test;

// A restored result keeps what it could not show; a later file can still
// bring such a folder into the tree.
TEST(TreeBuilderFinishTest, ARestoredResultKeepsUnshownFoldersForLaterFiles) {
    const int liveBefore = FakeNode::live;
    {
        Harness h(true);
        h.Open(SEARCHER_FAT, 2);
        ASSERT_TRUE(h.Offer({.id = 10, .parentId = 2, .name = "Kept", .folder = true}));
        h.builder->FlashBuild(SEARCHER_FAT);
        EXPECT_TRUE(h.sink.batches.empty());
        ASSERT_TRUE(h.Offer({.id = 11, .parentId = 10, .name = "late.txt"}));
        h.builder->FlashBuild(SEARCHER_FAT);
        EXPECT_EQ(PathOf(h.sink.Shown("late.txt")), "Kept/late.txt");
        ASSERT_NE(h.sink.Shown("Kept"), nullptr);
    }
    EXPECT_EQ(FakeNode::live, liveBefore);
}

}  // namespace
