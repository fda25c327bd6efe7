#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "TreeFakes.h"

namespace {

using namespace trees_test;

constexpr long long kTop = 2;

TEST(TreeBuilderBadInputTest, ParentIdsThatRunInCirclesEndInLostFiles) {
    Harness h;
    h.Open(SEARCHER_FAT, kTop);
    const std::vector<FakeNode::Fields> nodes = {
        // Two folders naming each other as parent, a file in one of them.
        {.id = 10, .parentId = 11, .name = "A", .folder = true},
        {.id = 11, .parentId = 10, .name = "B", .folder = true},
        {.id = 12, .parentId = 10, .name = "x.txt"},
        // A circle of three with a file.
        {.id = 20, .parentId = 21, .name = "C", .folder = true},
        {.id = 21, .parentId = 22, .name = "D", .folder = true},
        {.id = 22, .parentId = 20, .name = "E", .folder = true},
        {.id = 23, .parentId = 22, .name = "y.txt"},
        // A ".Trash" inside a circle asks for its path through the circle.
        {.id = 24, .parentId = 21, .name = ".Trash", .folder = true},
        {.id = 25, .parentId = 24, .name = "z.txt"},
    };
    for (const auto& fields : nodes) {
        ASSERT_TRUE(h.Offer(fields));
    }
    h.builder->FlashBuild(SEARCHER_FAT);
    std::set<IFileNode*> seen;
    for (IFileNode* node : h.sink.AllShown()) {
        EXPECT_TRUE(seen.insert(node).second) << node->GetFileName() << " shown twice";
    }
    for (const char* name : {"x.txt", "y.txt", "z.txt"}) {
        ASSERT_NE(h.sink.Shown(name), nullptr) << name;
        EXPECT_EQ(PathOf(h.sink.Shown(name)).rfind("Other lost files/", 0), 0u)
            << PathOf(h.sink.Shown(name));
    }
}

// Chains far deeper than any real volume: no recursion, no quadratic rescans.
TEST(TreeBuilderBadInputTest, VeryDeepChainsAreLinkedIteratively) {
    constexpr long long kDepth = 200000;
    for (bool rootKnown : {true, false}) {
        Harness h;
        h.Open(SEARCHER_FAT, kTop);
        // Deepest first, the worst order: every folder waits for its parent.
        ASSERT_TRUE(h.Offer({.id = 10 + kDepth, .parentId = 10 + kDepth - 1, .name = "leaf.txt"}));
        for (long long level = kDepth - 1; level >= 0; --level) {
            const long long parent = level == 0 ? (rootKnown ? kTop : 1) : 10 + level - 1;
            ASSERT_TRUE(h.Offer({.id = 10 + level,
                                 .parentId = parent,
                                 .name = Numbered("d", level),
                                 .folder = true}));
        }
        h.builder->FlashBuild(SEARCHER_FAT);
        EXPECT_EQ(h.sink.AllShown().size(), static_cast<size_t>(kDepth + (rootKnown ? 1 : 2)));
        IFileNode* top = h.sink.roots[0];
        size_t depth = 0;
        for (IFileNode* at = h.sink.Shown("leaf.txt"); at && at != top; at = at->GetParent()) {
            ++depth;
        }
        EXPECT_EQ(depth, static_cast<size_t>(kDepth + (rootKnown ? 1 : 2)));
        EXPECT_EQ(h.sink.batches.back().lost, rootKnown ? 0 : 1);
    }
}

}  // namespace

namespace {

using namespace trees_test;

// APFS trees link empty folders too. An unconnected chain whose head has
// nothing to show is dropped whole: nothing shown may hang below a node that
// the builder releases.
TEST(TreeBuilderBadInputTest, AChainLeftOutOfTheLostFilesIsLeftOutWhole) {
    Harness h;
    h.Open(SEARCHER_APFS, 2);
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = 99, .name = "Head", .folder = true}, SEARCHER_APFS));
    ASSERT_TRUE(
        h.Offer({.id = 11, .parentId = 10, .name = "Below", .folder = true}, SEARCHER_APFS));
    ASSERT_TRUE(h.Offer({.id = 12, .parentId = 11, .name = "zero.txt", .size = 0}, SEARCHER_APFS));
    ASSERT_TRUE(h.Offer({.id = 20, .parentId = 2, .name = "shown.txt"}, SEARCHER_APFS));
    h.builder->FlashBuild(SEARCHER_APFS);
    for (IFileNode* node : h.sink.AllShown()) {
        // Under the address sanitizer a released ancestor would be caught here.
        EXPECT_EQ(PathOf(node).find("Head"), std::string::npos) << PathOf(node);
    }
    EXPECT_EQ(h.sink.Shown("Below"), nullptr);
    EXPECT_EQ(h.sink.Shown("Other lost files"), nullptr);
}

}  // namespace
