#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecycleBin.h"
#include "TreeFakes.h"

namespace {

using trees_test::FakeNode;

TEST(RecycleBinTest, NameTests) {
    struct Case {
        std::string name;
        bool folder;
        bool bin;
        bool info;
        bool recycled;
    };
    const std::vector<Case> cases = {
        {"RECYCLER", true, true, false, false},
        {"Recycled", true, true, false, false},
        {"$Recycle.Bin", true, true, false, true},
        {"$recycle.bin", true, true, false, false},
        {"$RECYCLE.BI0", true, true, false, true},
        {"Recycler", false, false, false, false},  // a file of that name is no bin
        {"$IA1B2C3.txt", false, false, true, false},
        {"#I0001", false, false, true, false},
        {"$iA1B2C3.txt", false, false, false, false},
        {"$RA1B2C3.txt", false, false, false, true},
        {"#R0001", false, false, false, true},
        {"$Repair", false, false, false, false},
        {"$Reparse", false, false, false, false},
        {"$RmMetadata", false, false, false, false},
        {"$R", false, false, false, false},
        {"$", false, false, false, false},
        {"report.doc", false, false, false, false},
    };
    for (const Case& c : cases) {
        FakeNode node({.id = 5, .parentId = 2, .name = c.name, .folder = c.folder});
        EXPECT_EQ(CRecyclerFilter::IsRecycleBinSigleNode(&node), c.bin) << c.name;
        EXPECT_EQ(CRecyclerFilter::IsRecoverNode(&node), c.info) << c.name;
        EXPECT_EQ(CRecyclerFilter::IsRecoverNodeEx(&node), c.recycled) << c.name;
    }
    EXPECT_FALSE(CRecyclerFilter::IsRecycleBinSigleNode(nullptr));
    EXPECT_FALSE(CRecyclerFilter::IsRecycleBin(nullptr));
}

TEST(RecycleBinTest, ANodeBelowABinBelongsToIt) {
    FakeNode bin({.id = 3, .parentId = 2, .name = "$Recycle.Bin", .folder = true});
    FakeNode user({.id = 4, .parentId = 3, .name = "S-1-5-21", .folder = true});
    FakeNode file({.id = 5, .parentId = 4, .name = "desktop.ini"});
    FakeNode elsewhere({.id = 6, .parentId = 2, .name = "desktop.ini"});
    ASSERT_TRUE(bin.AddChild(&user));
    ASSERT_TRUE(user.AddChild(&file));
    EXPECT_TRUE(CRecyclerFilter::IsRecycleBin(&file));
    EXPECT_TRUE(CRecyclerFilter::IsRecycleBin(&bin));
    EXPECT_FALSE(CRecyclerFilter::IsRecycleBin(&elsewhere));
    user.RemoveChild(&file);
    bin.RemoveChild(&user);
}

}  // namespace
