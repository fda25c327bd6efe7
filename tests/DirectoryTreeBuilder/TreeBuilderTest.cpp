#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "TreeFakes.h"

namespace {

using namespace trees_test;
using namespace std::chrono_literals;

constexpr long long kTop = 2;

TEST(TreeBuilderTest, TopFoldersAreNamedAfterTheDeviceAndTheSearcher) {
    const std::map<_tagSearcherType, std::string> suffixes = {
        {SEARCHER_HFSPLUS, "(HFS+)"}, {SEARCHER_FAT, "(FAT/FAT32)"},
        {SEARCHER_EXFAT, "(ExFat)"},  {SEARCHER_RAW_BY_TYPE, "(RAW Files)"},
        {SEARCHER_NTFS, "(NTFS)"},    {SEARCHER_RAW_BY_TAG, "(Label RAW Files)"},
        {SEARCHER_APFS, "(APFS)"},    {SEARCHER_NONE, ""}};
    for (const char* root : {"", "USB Stick"}) {
        for (const auto& [type, suffix] : suffixes) {
            FakeClock clock;
            RecordingTree sink;
            FakeFilter filter;
            BuilderPtr builder(CreateTreeBuilder(false, &clock));
            ASSERT_TRUE(builder->Initialize(root, &sink, &filter));
            ASSERT_TRUE(builder->AddSearcherInfo(type, kTop));
            auto* file = new FakeNode({.id = 7, .parentId = kTop, .name = "a.txt"});
            ASSERT_TRUE(builder->AddNode(file, type));
            builder->FlashBuild(type);
            ASSERT_EQ(sink.roots.size(), 1u);
            IFilesystemNode* top = sink.roots[0];
            const std::string device = *root ? root : "Disk";
            EXPECT_EQ(top->GetFileName(), device + suffix);
            EXPECT_STREQ(top->GetVolumeName(), device.c_str());
            EXPECT_EQ(top->GetSearcheType(), type);
            EXPECT_EQ(top->GetCurrentNodeID(), kTop);
            EXPECT_EQ(file->GetParent(), top);
        }
    }
}

TEST(TreeBuilderTest, ASecondTreeOfTheSameTypeKeepsTheFirst) {
    Harness h;
    h.Open(SEARCHER_FAT, kTop);
    EXPECT_TRUE(h.builder->AddSearcherInfo(SEARCHER_FAT, 9));
    ASSERT_TRUE(h.Offer({.id = 7, .parentId = kTop, .name = "under-first.txt"}));
    ASSERT_TRUE(h.Offer({.id = 8, .parentId = 9, .name = "under-second.txt"}));
    h.builder->FlashBuild(SEARCHER_FAT);
    ASSERT_EQ(h.sink.roots.size(), 1u);
    EXPECT_EQ(PathOf(h.sink.Shown("under-first.txt")), "under-first.txt");
    EXPECT_EQ(PathOf(h.sink.Shown("under-second.txt")), "Other lost files/under-second.txt");
}

TEST(TreeBuilderTest, InitializeNeedsEveryArgument) {
    FakeClock clock;
    RecordingTree sink;
    FakeFilter filter;
    BuilderPtr builder(CreateTreeBuilder(false, &clock));
    EXPECT_FALSE(builder->Initialize(nullptr, &sink, &filter));
    EXPECT_FALSE(builder->Initialize("Disk1", nullptr, &filter));
    EXPECT_FALSE(builder->Initialize("Disk1", &sink, nullptr));
    builder->AddSearcherInfo(SEARCHER_FAT, kTop);
    FakeNode node({.id = 7, .parentId = kTop, .name = "a.txt"});
    EXPECT_FALSE(builder->AddNode(&node, SEARCHER_FAT));  // no filter yet
}

TEST(TreeBuilderTest, RefusedNodesStayWithTheCaller) {
    struct Case {
        const char* what;
        FakeNode::Fields fields;
        _tagSearcherType type;
    };
    const std::vector<Case> cases = {
        {"own parent", {.id = 7, .parentId = 7, .name = "a.txt"}, SEARCHER_FAT},
        {"no tree of the type", {.id = 7, .parentId = kTop, .name = "a.txt"}, SEARCHER_NTFS},
        {"excluded category", {.id = 7, .parentId = kTop, .name = "a.doc"}, SEARCHER_FAT},
        {"hidden file", {.id = 7, .parentId = kTop, .name = ".DS_Store"}, SEARCHER_FAT},
    };
    for (const Case& c : cases) {
        Harness h;
        h.filter.refusedExtensions = {"doc"};
        h.Open(SEARCHER_FAT, kTop);
        FakeNode node(c.fields);
        EXPECT_FALSE(h.builder->AddNode(&node, c.type)) << c.what;
        EXPECT_FALSE(h.builder->AddNode(nullptr, SEARCHER_FAT));
        h.builder->FlashBuild(SEARCHER_FAT);
        EXPECT_TRUE(h.sink.batches.empty()) << c.what;
    }
}

TEST(TreeBuilderTest, AHiddenFolderIsKeptWithoutItsLeadingDots) {
    Harness h;
    h.Open(SEARCHER_FAT, kTop);
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = ". .config", .folder = true}));
    ASSERT_TRUE(h.Offer({.id = 11, .parentId = 10, .name = "app.ini"}));
    h.builder->FlashBuild(SEARCHER_FAT);
    EXPECT_EQ(PathOf(h.sink.Shown("app.ini")), "config/app.ini");
}

// A small volume: folders three levels deep, files at every level.
std::vector<FakeNode::Fields> SampleVolume() {
    return {
        {.id = 10, .parentId = kTop, .name = "Documents", .folder = true},
        {.id = 11, .parentId = 10, .name = "Letters", .folder = true},
        {.id = 12, .parentId = 11, .name = "2024", .folder = true},
        {.id = 13, .parentId = 12, .name = "bank.pdf"},
        {.id = 14, .parentId = 11, .name = "note.txt"},
        {.id = 15, .parentId = 10, .name = "cv.odt"},
        {.id = 20, .parentId = kTop, .name = "Pictures", .folder = true},
        {.id = 21, .parentId = 20, .name = "cat.jpg"},
        {.id = 22, .parentId = 20, .name = "dog.jpg"},
        {.id = 30, .parentId = kTop, .name = "readme.txt"},
    };
}

const std::map<std::string, std::string> kSamplePaths = {
    {"Documents", "Documents"},
    {"Letters", "Documents/Letters"},
    {"2024", "Documents/Letters/2024"},
    {"bank.pdf", "Documents/Letters/2024/bank.pdf"},
    {"note.txt", "Documents/Letters/note.txt"},
    {"cv.odt", "Documents/cv.odt"},
    {"Pictures", "Pictures"},
    {"cat.jpg", "Pictures/cat.jpg"},
    {"dog.jpg", "Pictures/dog.jpg"},
    {"readme.txt", "readme.txt"},
    {"stray.txt", "Other lost files/stray.txt"},
    {"Lost folder", "Other lost files/Lost folder"},
    {"inside.txt", "Other lost files/Lost folder/inside.txt"},
    {"Other lost files", "Other lost files"},
};

TEST(TreeBuilderTest, ShuffledDuplicatedAndOrphanedNodesGiveTheSameTree) {
    std::vector<FakeNode::Fields> stream = SampleVolume();
    // Orphans whose parents never arrive.
    stream.push_back({.id = 40, .parentId = 99, .name = "stray.txt"});
    stream.push_back({.id = 41, .parentId = 98, .name = "Lost folder", .folder = true});
    stream.push_back({.id = 42, .parentId = 41, .name = "inside.txt"});
    // The same records reported a second time.
    stream.push_back(stream[0]);
    stream.push_back(stream[3]);

    for (unsigned seed = 0; seed < 30; ++seed) {
        std::vector<FakeNode::Fields> order = stream;
        std::shuffle(order.begin(), order.end(), std::mt19937(seed));
        const int liveBefore = FakeNode::live;
        {
            Harness h;
            h.Open(SEARCHER_FAT, kTop);
            int accepted = 0;
            for (const FakeNode::Fields& fields : order) {
                accepted += h.Offer(fields);
            }
            EXPECT_EQ(accepted, static_cast<int>(stream.size()) - 2);
            h.builder->FlashBuild(SEARCHER_FAT);

            ASSERT_EQ(h.sink.roots.size(), 1u);
            EXPECT_EQ(h.sink.rootsBeforeBatch.front(), 1u);  // announced before the first batch
            std::map<std::string, std::string> paths;
            for (IFileNode* node : h.sink.AllShown()) {
                EXPECT_TRUE(paths.emplace(node->GetFileName(), PathOf(node)).second)
                    << node->GetFileName() << " shown twice, seed " << seed;
            }
            EXPECT_EQ(paths, kSamplePaths) << "seed " << seed;
            // The lost files come last, in a batch of their own that ends with their folder.
            const RecordingTree::Batch& last = h.sink.batches.back();
            EXPECT_EQ(last.lost, 1);
            EXPECT_STREQ(last.nodes.back()->GetFileName(), "Other lost files");
            EXPECT_STREQ(last.nodes.back()->GetVolumeName(), "LostFiles");
            EXPECT_EQ(last.nodes.back()->GetCurrentNodeID(), -1);
            for (size_t i = 0; i + 1 < h.sink.batches.size(); ++i) {
                EXPECT_EQ(h.sink.batches[i].lost, 0);
            }
        }
        EXPECT_EQ(FakeNode::live, liveBefore) << "seed " << seed;
    }
}

TEST(TreeBuilderTest, BatchesGoOutEvery1024NodesOrAfterTwoSeconds) {
    Harness h;
    h.Open(SEARCHER_FAT, kTop);
    long long id = 100;
    auto offerFiles = [&](int count) {
        for (int i = 0; i < count; ++i, ++id) {
            ASSERT_TRUE(h.Offer({.id = id, .parentId = kTop, .name = Numbered("f", id)}));
        }
    };
    offerFiles(1023);
    EXPECT_TRUE(h.sink.batches.empty());
    offerFiles(1);
    ASSERT_EQ(h.sink.batches.size(), 1u);
    EXPECT_EQ(h.sink.batches[0].nodes.size(), 1024u);
    EXPECT_EQ(h.clock.waited, 1s);  // the pause after announcing the new tree

    offerFiles(50);
    h.clock.now += 2s;
    offerFiles(1);
    EXPECT_EQ(h.sink.batches.size(), 1u);  // exactly two seconds is not yet enough
    h.clock.now += 1ms;
    offerFiles(1);
    ASSERT_EQ(h.sink.batches.size(), 2u);
    EXPECT_EQ(h.sink.batches[1].nodes.size(), 52u);

    offerFiles(3);
    h.builder->FlashBuild(SEARCHER_FAT);
    ASSERT_EQ(h.sink.batches.size(), 3u);
    EXPECT_EQ(h.sink.batches[2].nodes.size(), 3u);
    EXPECT_EQ(h.sink.batches[2].lost, 0);
    EXPECT_EQ(h.sink.roots.size(), 1u);
    EXPECT_EQ(h.clock.waited, 1s);
}

TEST(TreeBuilderTest, ThePauseAfterAnnouncingATreeIsTheCreatorsChoice) {
    for (const std::chrono::milliseconds pause : {kTreeSetupPause, 0ms, 250ms}) {
        SCOPED_TRACE(pause.count());
        FakeClock clock;
        RecordingTree sink;
        FakeFilter filter;
        BuilderPtr builder(CreateTreeBuilder(false, &clock, pause));
        ASSERT_TRUE(builder->Initialize("Disk1", &sink, &filter));
        for (_tagSearcherType type : {SEARCHER_FAT, SEARCHER_NTFS}) {
            ASSERT_TRUE(builder->AddSearcherInfo(type, kTop));
            ASSERT_TRUE(
                builder->AddNode(new FakeNode({.id = 7, .parentId = kTop, .name = "a.txt"}), type));
            builder->FlashBuild(type);
        }
        EXPECT_EQ(sink.rootsBeforeBatch, (std::vector<size_t>{1, 2}));
        EXPECT_EQ(clock.waited, 2 * pause);  // once per tree
    }
}

TEST(TreeBuilderTest, AFolderArrivingLateBringsItsWaitingChildrenAlong) {
    Harness h;
    h.Open(SEARCHER_FAT, kTop);
    ASSERT_TRUE(h.Offer({.id = 50, .parentId = 10, .name = "early.txt"}));
    h.clock.now += 3s;
    ASSERT_TRUE(h.Offer({.id = 51, .parentId = kTop, .name = "other.txt"}));
    ASSERT_EQ(h.sink.AllShown().size(), 1u);  // the early file still waits for its folder
    h.clock.now += 3s;
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = kTop, .name = "Late", .folder = true}));
    ASSERT_EQ(h.sink.batches.size(), 2u);
    EXPECT_EQ(h.sink.batches[1].nodes.size(), 2u);
    EXPECT_EQ(PathOf(h.sink.Shown("early.txt")), "Late/early.txt");
    h.builder->FlashBuild(SEARCHER_FAT);
}

TEST(TreeBuilderTest, ABatchKeepsTheOrderTheNodesArrivedIn) {
    // Children arrive before their folders; the folder arriving last connects
    // them all in one batch, which still lists them as they came.
    const std::vector<FakeNode::Fields> stream = {
        {.id = 50, .parentId = 10, .name = "a.txt"},
        {.id = 11, .parentId = 10, .name = "Inner", .folder = true},
        {.id = 51, .parentId = 11, .name = "b.txt"},
        {.id = 52, .parentId = 10, .name = "c.txt"},
        {.id = 10, .parentId = kTop, .name = "Outer", .folder = true},
    };
    for (const bool duringTheScan : {true, false}) {
        SCOPED_TRACE(duringTheScan ? "linked while nodes arrive" : "linked when finishing");
        Harness h;
        h.Open(SEARCHER_FAT, kTop);
        for (const FakeNode::Fields& fields : stream) {
            if (duringTheScan && fields.id == 10)
                h.clock.now += 3s;
            ASSERT_TRUE(h.Offer(fields));
        }
        h.builder->FlashBuild(SEARCHER_FAT);
        ASSERT_EQ(h.sink.batches.size(), 1u);
        std::vector<std::string> names;
        for (IFileNode* node : h.sink.batches[0].nodes)
            names.push_back(node->GetFileName());
        EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "Inner", "b.txt", "c.txt", "Outer"}));
    }
}

TEST(TreeBuilderTest, HfsTreesWaitForThePrivateDataFolder) {
    Harness h;
    h.Open(SEARCHER_HFSPLUS, kTop);
    for (long long id = 100; id < 1200; ++id) {
        ASSERT_TRUE(
            h.Offer({.id = id, .parentId = kTop, .name = Numbered("f", id)}, SEARCHER_HFSPLUS));
    }
    EXPECT_TRUE(h.sink.batches.empty());
    // Hard-link targets live below it; folders there are never shown.
    ASSERT_TRUE(
        h.Offer({.id = 21, .parentId = 20, .name = "dir_5", .folder = true}, SEARCHER_HFSPLUS));
    FakeNode privateData({.id = 20, .parentId = kTop, .name = "HFS+ Private Data", .folder = true});
    const int liveBefore = FakeNode::live;
    EXPECT_FALSE(h.builder->AddNode(&privateData, SEARCHER_HFSPLUS));
    EXPECT_EQ(FakeNode::live, liveBefore - 1);  // dir_5 was released
    EXPECT_FALSE(
        h.Offer({.id = 22, .parentId = 20, .name = "dir_6", .folder = true}, SEARCHER_HFSPLUS));
    ASSERT_TRUE(h.Offer({.id = 23, .parentId = 20, .name = "iNode23"}, SEARCHER_HFSPLUS));
    ASSERT_EQ(h.sink.batches.size(), 1u);
    EXPECT_EQ(h.sink.batches[0].nodes.size(), 1100u);
    h.builder->FlashBuild(SEARCHER_HFSPLUS);
    EXPECT_EQ(PathOf(h.sink.Shown("iNode23")), "Other lost files/iNode23");
    EXPECT_EQ(h.sink.Shown("dir_5"), nullptr);
}

}  // namespace
