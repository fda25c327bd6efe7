#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ArtTable.h"
#include "KvCPPPublic.h"
#include "KvPathTree.h"
#include "KvScanUpdates.h"
#include "KvTimeMgr.h"
#include "KvUIController.h"
#include "KvUIFilter.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace {

using namespace bridgetest;

// Trees fed with nodes the test makes; each refresh is made by the test.
class ResultTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        KvUIFilter::instance()->ResetFilter(127);
        KvScanUpdates::instance()->SetTreeRefresher([](int) {});
        scan->ClearData();
        KvUIController::KvResetTreeNodeData();
    }
    void TearDown() override {
        KvUIController::KvResetTreeNodeData();
        scan->ClearData();
        Pump(50);
        KvScanUpdates::instance()->SetTreeRefresher(nullptr);
    }
    void Deliver(std::vector<IFileNode*> nodes) {
        scan->ShowNodes(nodes.data(), static_cast<unsigned>(nodes.size()), 0);
    }
    void Refresh(int final) {
        std::lock_guard tree(KvScanUpdates::instance()->TreeLock());
        KvUIController::KvGetTreeNodeData(final);
    }
    static std::vector<IFileNode*> Listed(OpNodeData* row) {
        std::vector<IFileNode*> files;
        KvUIController::GetFileNodeToArray(&files, row);
        return files;
    }

    KvUIScan* scan = KvUIScan::instance();
    harbex::test::ScopedTimeZone utc{"UTC"};
    WindowTrees trees;
};

TEST_F(ResultTreeTest, FoldersArrivingBeforeTheirParentsArePlacedOnce) {
    TestNode root("Vol", true), a("A", true), b("B", true), a2("A2", true), file("f.txt");
    root.AddChild(&a);
    root.AddChild(&a2);
    a.AddChild(&b);
    a.AddChild(&file);
    Deliver({&b});
    Refresh(0);
    EXPECT_TRUE(trees.path.empty());
    Deliver({&root, &a, &a, &a2, &file});
    Refresh(0);
    ASSERT_EQ(trees.path.size(), 1u);
    OpNodeData& top = *trees.path[0];
    EXPECT_EQ(top.isFileSystem(), 1);
    EXPECT_EQ(NamesOf(top.childRows()), (std::vector<std::string>{"A", "A2"}));
    OpNodeData& rowA = *top.childRows()[0];
    EXPECT_EQ(NamesOf(rowA.childRows()), std::vector<std::string>{"B"});
    EXPECT_EQ(rowA.parent(), &top);
    EXPECT_EQ(rowA.isExpandAble(), 1);
    EXPECT_EQ(top.childRows()[1]->isExpandAble(), 0);
    // A folder lists its files; one with only folders lists nothing.
    std::vector<IFileNode*> files;
    EXPECT_EQ(KvUIController::GetPathInfoToArray(&files, &rowA), 1);
    EXPECT_EQ(files, std::vector<IFileNode*>{&file});
    EXPECT_EQ(KvUIController::GetPathInfoToArray(&files, &top), 0);
    EXPECT_TRUE(files.empty());
}

// Rows made on a worker thread reach the window's arrays on the main thread only.
TEST_F(ResultTreeTest, RefreshesOffTheMainThreadArePublishedOnIt) {
    TestNode root("Vol", true), folder("Folder", true), file("photo.jpg");
    root.AddChild(&folder);
    folder.AddChild(&file);
    Deliver({&root, &folder, &file});
    std::thread worker([this] { Refresh(1); });
    worker.join();
    EXPECT_TRUE(trees.path.empty());
    EXPECT_TRUE(trees.type.empty());
    ASSERT_TRUE(WaitFor([&] { return !trees.path.empty(); }, 1000));
    EXPECT_EQ(NamesOf(trees.path[0]->childRows()), std::vector<std::string>{"Folder"});
    EXPECT_EQ(trees.type.size(), 7u);
    // Changes made for trees emptied since are dropped.
    Deliver({&file});
    std::thread late([this] {
        Refresh(0);
        KvUIController::KvResetTreeNodeData();
    });
    late.join();
    Pump(100);
    EXPECT_TRUE(trees.path.empty());
    EXPECT_TRUE(trees.type.empty());
}

TEST_F(ResultTreeTest, FoldersWhoseParentNeverArrivesGoUnderLostFiles) {
    TestNode root("Vol", true), parent("never delivered", true), c("C", true), d("D", true);
    TestNode top("no root row", true), e("E", true), file("in D.txt");
    root.AddChild(&parent);
    parent.AddChild(&c);
    c.AddChild(&d);
    d.AddChild(&file);
    top.AddChild(&e);
    Deliver({&root, &d, &c, &e});
    Refresh(0);
    ASSERT_EQ(trees.path.size(), 1u);
    Refresh(1);
    // Below its own root when that has a row, else at the top.
    ASSERT_EQ(trees.path.size(), 2u);
    ASSERT_EQ(NamesOf(trees.path[0]->childRows()), std::vector<std::string>{"Other lost files"});
    OpNodeData& lost = *trees.path[0]->childRows()[0];
    ASSERT_EQ(NamesOf(lost.childRows()), std::vector<std::string>{"C"});
    EXPECT_EQ(NamesOf(lost.childRows()[0]->childRows()), std::vector<std::string>{"D"});
    EXPECT_EQ(trees.path[1]->name(), "Other lost files");
    EXPECT_EQ(NamesOf(trees.path[1]->childRows()), std::vector<std::string>{"E"});
    EXPECT_EQ(KvUIController::GetPathInfoToArray(nullptr, &lost), 0);
    // A mark on the lost files reaches what was placed in it, and reads back.
    lost.setNodeState(2);
    EXPECT_EQ(file.GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(lost.state(), 2);
    lost.setNodeState(0);
    EXPECT_EQ(file.GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
}

// Before a window hands its arrays the published rows go into no tree; the
// folders found later still go below them.
TEST_F(ResultTreeTest, FoldersArePlacedBelowRowsNoWindowTook) {
    KvTreeRoots none;
    KvUIController::KvSetTreeNodeData(&none);
    TestNode root("Vol", true), a("A", true), b("B", true);
    root.AddChild(&a);
    a.AddChild(&b);
    for (TestNode* folder : {&root, &a, &b}) {
        Deliver({folder});
        Refresh(0);
    }
    KvUIController::KvSetTreeNodeData(&trees.view);
    const OpNodeRef rowB = PathRowOf(&b);
    ASSERT_NE(rowB, nullptr);
    ASSERT_NE(rowB->parent(), nullptr);
    EXPECT_EQ(rowB->parent()->fileNode(), &a);
    ASSERT_NE(rowB->parent()->parent(), nullptr);
    EXPECT_EQ(rowB->parent()->parent()->fileNode(), &root);
}

TEST_F(ResultTreeTest, ALoopingSiblingChainListsEachFileOnce) {
    FoundNode folder("Loop", true), x("x.txt"), y("y.txt");
    folder.AddChild(&x);
    folder.AddChild(&y);  // y, then x
    x.LinkNext(&y);
    OpNodeData row(&folder);
    std::vector<IFileNode*> files;
    EXPECT_EQ(KvUIController::GetPathInfoToArray(&files, &row), 1);
    EXPECT_EQ(files, (std::vector<IFileNode*>{&y, &x}));
    x.LinkNext(nullptr);
}

TEST_F(ResultTreeTest, DateTreesOrderYearsAndMonthsWhateverTheArrival) {
    FoundNode july("july.txt"), february("february.txt"), january("january.txt");
    FoundNode undated("undated.txt"), folder("Folder", true);
    july.created_ = FileTimeOf(1373500000);      // 2013-07-10
    february.created_ = FileTimeOf(1297500000);  // 2011-02-12
    january.created_ = FileTimeOf(1357500000);   // 2013-01-06
    folder.created_ = july.created_;
    undated.modified_ = july.created_;
    for (FoundNode* file : {&july, &february, &january})
        file->modified_ = file->created_;
    Deliver({&july});
    Refresh(0);
    Deliver({&february, &january, &undated, &folder});
    Refresh(0);

    ASSERT_EQ(trees.created.size(), 1u);
    OpNodeData& created = *trees.created[0];
    EXPECT_EQ(created.name(), "CREATE_TIME_ROOT_NAME");
    EXPECT_EQ(NamesOf(created.childRows()), (std::vector<std::string>{"2011", "2013"}));
    OpNodeData& year2013 = *created.childRows()[1];
    EXPECT_EQ(NamesOf(year2013.childRows()), (std::vector<std::string>{"01", "07"}));
    EXPECT_EQ(Listed(year2013.childRows()[1].get()), std::vector<IFileNode*>{&july});
    EXPECT_TRUE(Listed(&year2013).empty());
    EXPECT_TRUE(Listed(&created).empty());
    EXPECT_EQ(KvUIController::GetNodeChildrenCnt(&created), 3u);
    EXPECT_EQ(KvUIController::GetNodeChildrenCnt(&year2013), 2u);
    // The file without a creation time is only in the other tree.
    ASSERT_EQ(trees.modified.size(), 1u);
    EXPECT_EQ(KvUIController::GetNodeChildrenCnt(trees.modified[0].get()), 4u);
    EXPECT_EQ(Listed(trees.modified[0]->childRows()[1]->childRows()[1].get()),
              (std::vector<IFileNode*>{&july, &undated}));
}

TEST(DateKeyTime, ReadsBackItsYearAndMonthInEveryZone) {
    for (const char* zone : {"UTC", "Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe",
                             "Pacific/Kiritimati"}) {
        harbex::test::ScopedTimeZone scoped{zone};
        for (int year : {1969, 2013, 2024}) {
            for (int month = 1; month <= 12; ++month) {
                int readYear = 0;
                int readMonth = 0;
                KvCPPPublic::instance().GetYearMonthByTimeT(&readYear, &readMonth,
                                                            KvTimeMgr::KeyTimeOf(year, month));
                EXPECT_EQ(readYear * 100 + readMonth, year * 100 + month) << zone;
            }
        }
    }
}

TEST_F(ResultTreeTest, TypeTreeFilesEachFileOnceUnderItsExtension) {
    TestNode photo("Photo.JPG"), other("data.xyz"), plain("README"), again("c.jpg"),
        hidden("b.jpg"), png("d.png");
    hidden.ShowNode(0);
    Deliver({&photo, &other, &again, &plain, &again, &hidden});
    Refresh(0);
    ASSERT_EQ(trees.type.size(), 7u);
    OpNodeData& pictures = *trees.type[1];
    OpNodeData& others = *trees.type[6];
    EXPECT_EQ(NamesOf(pictures.childRows()), std::vector<std::string>{"jpg"});
    OpNodeData& jpg = *pictures.childRows()[0];
    EXPECT_EQ(jpg.childFiles(), (std::vector<IFileNode*>{&photo, &again}));
    EXPECT_EQ(others.childFiles(), (std::vector<IFileNode*>{&other, &plain}));
    // The last file of a category is looked at again: shown now, it is placed.
    hidden.ShowNode(1);
    Deliver({&png});
    Refresh(0);
    EXPECT_EQ(jpg.childFiles(), (std::vector<IFileNode*>{&photo, &again, &hidden}));
    EXPECT_EQ(NamesOf(pictures.childRows()), (std::vector<std::string>{"jpg", "png"}));
    EXPECT_EQ(KvUIController::GetNodeChildrenCnt(&pictures), 4u);

    std::vector<IFileNode*> files{&png};
    EXPECT_EQ(KvUIController::GetTypeInfoToArray(&files, &pictures), 1);
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(KvUIController::GetTypeInfoToArray(&files, &others), 0);
    EXPECT_EQ(files.size(), 2u);

    // Marks toggled in the file list reach the rows at the next refresh.
    for (IFileNode* file : jpg.childFiles())
        OpNodeData::setFileNode(file, 2);
    KvUIController::KvTableViewCellCilck();
    KvUIController::RefreshTypeTreeState(nullptr);
    EXPECT_EQ(jpg.state(), 2);
    EXPECT_EQ(pictures.state(), 1);
    OpNodeData::setFileNode(&png, 2);
    KvUIController::RefreshTypeTreeState(pictures.childRows()[1].get());
    EXPECT_EQ(pictures.state(), 2);
    OpNodeData::setFileNode(&photo, 0);
    KvUIController::RefreshTypeTreeState(nullptr);  // no toggle reported: unchanged
    EXPECT_EQ(jpg.state(), 2);
    KvUIController::KvTableViewCellCilck();
    KvUIController::RefreshTypeTreeState(nullptr);
    EXPECT_EQ(jpg.state(), 1);
    EXPECT_EQ(pictures.state(), 1);
}

// The results window draws an extension row with the picture the facade
// names: its category's, one the application has.
TEST_F(ResultTreeTest, ExtensionRowsNameTheirCategorysPicture) {
    TestNode doc("a.doc"), jpg("b.JPG"), mp4("c.mp4"), mp3("d.mp3"), zip("e.zip"), eml("f.eml"),
        unknown("g.xyz");
    Deliver({&doc, &jpg, &mp4, &mp3, &zip, &eml, &unknown});
    Refresh(0);
    ASSERT_EQ(trees.type.size(), 7u);
    const auto drawn = [](const QString& name) {
        return std::any_of(harbex::art::kPictures.begin(), harbex::art::kPictures.end(),
                           [&](const auto& picture) { return name == picture.name; });
    };
    size_t extensions = 0;
    for (const OpNodeRef& category : trees.type) {
        for (const OpNodeRef& extension : category->childRows()) {
            ++extensions;
            const QString picture = KvUIController::getImageForType(extension->name());
            EXPECT_EQ(picture, QStringLiteral("%1IconImage").arg(category->nodeType()))
                << extension->name().toStdString();
            EXPECT_TRUE(drawn(picture)) << picture.toStdString();
        }
    }
    EXPECT_EQ(extensions, 6u);
    EXPECT_TRUE(KvUIController::getImageForType("xyz").isEmpty());
    EXPECT_TRUE(KvUIController::getImageForType("").isEmpty());
}

}  // namespace
