#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NTFSMemoryDevice.h"
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

// An info file read through its extent on a volume whose clusters start at
// sector 100: the name is the last component of a drive-letter path.
TEST(RecycleBinTest, RecycledFileIsNamedFromItsInfoFile) {
    struct Case {
        const char* what;
        std::u16string path;
        size_t pathOffset;
        _tagSearcherType type;
        const char* name;
    } cases[] = {
        {"version 1", u"C:\\Users\\Ann\\Budget 2023.txt", 24, SEARCHER_NTFS, "Budget 2023.txt"},
        {"version 2", u"D:\\photo \u00e9t\u00e9.jpg", 28, SEARCHER_FAT, "photo \u00e9t\u00e9.jpg"},
        {"no backslash", u"C:file.txt", 24, SEARCHER_NTFS, "$RABC.txt"},
        {"no drive mark", u"\\share\\file.txt", 24, SEARCHER_NTFS, "$RABC.txt"},
        {"a searcher without names to restore", u"C:\\x.txt", 24, SEARCHER_HFSPLUS, "$RABC.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harbex::test::NTFSMemoryDevice device(200);
        std::vector<uint8_t> info(544, 0);
        info[0] = c.pathOffset == 24 ? 1 : 2;
        for (size_t i = 0; i < c.path.size(); ++i) {
            info[c.pathOffset + 2 * i] = static_cast<uint8_t>(c.path[i]);
            info[c.pathOffset + 2 * i + 1] = static_cast<uint8_t>(c.path[i] >> 8);
        }
        device.Put(100 + 2 * 7, info);  // cluster 7 of two sectors
        FakeNode recycled({.id = 30, .parentId = 4, .name = "$RABC.txt"});
        FakeNode infoFile({.id = 31, .parentId = 4, .name = "$IABC.txt", .size = 544});
        infoFile.GiveExtent(7, 1);
        CRecyclerFilter::RestorFileName(&device, &recycled, &infoFile, 100, 2, c.type);
        EXPECT_STREQ(recycled.GetFileName(), c.name);
    }
}

}  // namespace
