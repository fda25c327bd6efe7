#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DiskVolumeNodeData.h"
#include "KvCPPPublic.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIPublic.h"
#include "OpNodeData.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace {

using namespace bridgetest;

// A top folder that names its volume, as the searchers' roots do.
class VolumeRoot : public TestNode {
public:
    VolumeRoot() : TestNode("root", true) {}
    const char* GetVolumeName() const override { return "Data"; }
};

OpNodeRef SyntheticRow(int tree, const char* name) {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    row->setType(tree);
    row->setFadeName(name);
    row->setExpandAble(1);
    return row;
}

// A synthetic row over `files`, below `parent`.
OpNodeRef FileRow(const OpNodeRef& parent, const char* name, std::vector<IFileNode*> files) {
    OpNodeRef row = SyntheticRow(parent->type(), name);
    for (IFileNode* file : files)
        row->addChildObject(file);
    OpNodeArray siblings = parent->childRows();
    siblings.push_back(row);
    parent->setSubNode(siblings);
    return row;
}

TEST(TextUtilities, PathRunsFromTheVolumeNameToTheNode) {
    VolumeRoot root;
    TestNode photos("Photos", true);
    TestNode picture("a.jpg");
    root.AddChild(&photos);
    photos.AddChild(&picture);
    TestNode loose("loose.txt");
    EXPECT_EQ(KvUIPublic::GetPathByFileNode(&picture), "/Data/Photos/a.jpg");
    EXPECT_EQ(KvUIPublic::GetPathByFileNode(&root), "/Data");
    // A top folder without a volume name shows its own.
    EXPECT_EQ(KvUIPublic::GetPathByFileNode(&loose), "/loose.txt");
    EXPECT_EQ(KvUIPublic::GetPathByFileNode(nullptr), "");
}

TEST(TextUtilities, TimesBefore1970AndMissingTimesNeverWrapIntoTheFuture) {
    struct Case {
        _FILETIME time;
        uint64_t seconds;
    } cases[] = {{FileTimeOf(0), 0},         {FileTimeOf(1), 1},
                 {FileTimeOf(1600000000), 1600000000},
                 {FileTimeOf(-86400), 0},     {1, 0},
                 {0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(KvUIPublic::convertWindowsTimeToUnixTime(c.time), c.seconds) << c.time;

    harbex::test::ScopedTimeZone utc{"UTC"};
    EXPECT_EQ(KvUIPublic::FormatFileTimeToString(0), "");
    const QString epoch = KvUIPublic::FormatFileTimeToString(FileTimeOf(0));
    EXPECT_TRUE(epoch.contains("1970")) << epoch.toStdString();
    EXPECT_EQ(KvUIPublic::FormatFileTimeToString(FileTimeOf(-86400 * 365)), epoch);
    EXPECT_TRUE(KvUIPublic::FormatFileTimeToString(FileTimeOf(1600000000)).contains("2020"));
}

TEST(SearchMatch, KeyIsACaseInsensitivePartOfTheName) {
    struct Case {
        const char* key;
        const char* name;
        bool match;
    } cases[] = {
        {"ABC", "xabcx.jpg", true}, {"ABC", "ABC.doc", true},  {"ABC", "ab.c", false},
        {"", "anything", true},     {nullptr, "anything", true}, {"abc", nullptr, false},
        {"ÉTÉ", "photo été.jpg", true}, {"名前", "Ünïcödé 名前.txt", true}, {"xyz", "xy", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KvUIPublic::IsStringInString(c.key, c.name), c.match)
            << (c.key ? c.key : "null") << " in " << (c.name ? c.name : "null");
    }
}

TEST(SearchMatch, FoldersMatchThroughTheFilesBelowThem) {
    TestNode root("root", true);
    TestNode keyFolder("key folder", true);
    TestNode inner("inner", true);
    TestNode other("other.txt");
    TestNode desktop("Desktop", true);
    TestNode lowerDesktop("desktop", true);
    TestNode onDesktop("plan.doc");
    TestNode onLowerDesktop("plan2.doc");
    root.AddChild(&keyFolder);
    keyFolder.AddChild(&inner);
    inner.AddChild(&other);
    root.AddChild(&desktop);
    desktop.AddChild(&onDesktop);
    root.AddChild(&lowerDesktop);
    lowerDesktop.AddChild(&onLowerDesktop);

    // The folder's own name does not count.
    EXPECT_FALSE(KvUIPublic::IsStringInFileNode("key", &keyFolder, false));
    EXPECT_TRUE(KvUIPublic::IsStringInFileNode("OTHER", &keyFolder, false));
    EXPECT_TRUE(KvUIPublic::IsStringInFileNode("plan", &root, false));
    EXPECT_TRUE(KvUIPublic::IsStringInFileNode("", nullptr, false));
    EXPECT_FALSE(KvUIPublic::IsStringInFileNode("x", nullptr, false));
    // Desktop mode: directly inside "Desktop", whatever the key.
    EXPECT_TRUE(KvUIPublic::IsStringInFileNode("zzz", &onDesktop, true));
    EXPECT_FALSE(KvUIPublic::IsStringInFileNode("zzz", &onLowerDesktop, true));
    EXPECT_FALSE(KvUIPublic::IsStringInFileNode("zzz", &other, true));
}

TEST(NodeObjects, SyntheticRowsAndFileRowsAnswerByWhatTheyWrap) {
    harbex::test::ScopedTimeZone utc{"UTC"};
    OpNodeRef month = SyntheticRow(OpNodeData::kCreatedTree, "07");
    EXPECT_TRUE(month->isFadeNode());
    EXPECT_TRUE(month->isDirect());
    EXPECT_EQ(month->size(), 0u);
    EXPECT_EQ(month->path(), "");
    EXPECT_EQ(month->createTime(), "");
    month->setNodeState(2);
    EXPECT_EQ(month->state(), 2);

    // A path row is never synthetic, even without a node.
    OpNodeData empty(TreeNodeData{});
    EXPECT_FALSE(empty.isFadeNode());
    EXPECT_FALSE(empty.isDirect());
    EXPECT_EQ(empty.name(), "");

    FoundNode file("a.jpg");
    file.size_ = 1234;
    file.created_ = 0;
    file.modified_ = FileTimeOf(1600000000);
    OpNodeData row(&file);
    EXPECT_EQ(row.size(), 1234u);
    EXPECT_EQ(row.createTime(), "");
    EXPECT_NE(row.modifyTime(), "");
    EXPECT_EQ(row.lastAccessTime(), "");
    EXPECT_EQ(row.nodeType(), 1);

    FoundNode badName("\xff\xfe.txt");
    EXPECT_EQ(OpNodeData(&badName).name(), "Unknown");

    for (int state : {3, -1, 1}) {
        OpNodeData::setFileNode(&file, state);
        EXPECT_EQ(OpNodeData::fileNodeState(&file), 0) << state;
    }
    OpNodeData::setFileNode(&file, 2);
    EXPECT_EQ(OpNodeData::fileNodeState(&file), 2);
    EXPECT_EQ(OpNodeData::fileNodeState(nullptr), 0);
    EXPECT_EQ(OpNodeData::fileNodeName(nullptr), "");
}

TEST(NodeObjects, IconClassFollowsTheTreeAndTheCategory) {
    KvCPPPublic& utilities = KvCPPPublic::instance();
    int expected = 2;
    for (unsigned int category : KvCPPPublic::kCategories) {
        const QString title = utilities.FilterTypeToString(category);
        EXPECT_EQ(utilities.StringToFilterType(title), category);
        EXPECT_EQ(SyntheticRow(OpNodeData::kTypeTree, title.toUtf8().constData())->nodeType(),
                  expected++);
    }
    EXPECT_EQ(utilities.StringToFilterType("JPG"), FILTER_TYPE_OTHER);
    EXPECT_EQ(SyntheticRow(OpNodeData::kTypeTree, "jpg")->nodeType(), 8);
    OpNodeRef root = SyntheticRow(OpNodeData::kModifiedTree, "root");
    OpNodeRef year = FileRow(root, "2013", {});
    EXPECT_EQ(root->nodeType(), 9);
    EXPECT_EQ(year->nodeType(), 10);
    EXPECT_EQ(SyntheticRow(7, "x")->nodeType(), 11);
}

TEST(NodeObjects, DeviceRowsNameTheirDevice) {
    _DiskVolumeData disk;
    disk.name = "";
    disk.bsdName = nullptr;
    disk.capacity = 4096;
    EXPECT_EQ(DiskVolumeNodeData(disk).name(), "DEVICE_NAME_UNTITILED");
    EXPECT_EQ(DiskVolumeNodeData(disk).diskPath(), "");
    disk.name = "USB \xff";
    disk.bsdName = "sdb";
    EXPECT_EQ(DiskVolumeNodeData(disk).name(), "Unknown");
    EXPECT_EQ(DiskVolumeNodeData(disk).diskPath(), "/dev/sdb");
    disk.name = "Stick";
    disk.bsdName = "/home/me/stick.img";
    const DiskVolumeNodeData image(disk);
    EXPECT_EQ(image.name(), "Stick");
    EXPECT_EQ(image.diskPath(), "/home/me/stick.img");
    EXPECT_EQ(image.capacity(), 4096u);
}

TEST(CheckStates, MarksOfMonthsReachTheirYearAndRootAndBack) {
    OpNodeRef root = SyntheticRow(OpNodeData::kCreatedTree, "root");
    OpNodeRef year = FileRow(root, "2013", {});
    std::vector<std::unique_ptr<TestNode>> files;
    std::vector<OpNodeRef> months;
    for (const char* name : {"01", "02", "03"}) {
        files.push_back(std::make_unique<TestNode>(std::string(name) + ".txt"));
        months.push_back(FileRow(year, name, {files.back().get()}));
    }
    months[0]->setNodeState(2);
    EXPECT_EQ(files[0]->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(year->state(), 1);
    EXPECT_EQ(root->state(), 1);
    months[1]->setNodeState(2);
    months[2]->setNodeState(2);
    EXPECT_EQ(year->state(), 2);
    EXPECT_EQ(root->state(), 2);
    // Down from the root to every file.
    root->setNodeState(0);
    for (const auto& file : files)
        EXPECT_EQ(file->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(months[1]->state(), 0);
}

TEST(CheckStates, CategoriesPassMarksToTheirFilesButPartlyStaysOnTheRow) {
    OpNodeRef category = SyntheticRow(OpNodeData::kTypeTree, "pictures");
    TestNode a("a.jpg"), b("b.jpg"), c("c.png");
    OpNodeRef jpg = FileRow(category, "jpg", {&a, &b});
    OpNodeRef png = FileRow(category, "png", {&c});
    category->setNodeState(2);
    EXPECT_EQ(a.GetCheckedStatus() + b.GetCheckedStatus() + c.GetCheckedStatus(), 6);
    category->setNodeState(1);
    EXPECT_EQ(category->state(), 1);
    EXPECT_EQ(jpg->state(), 2);
    EXPECT_EQ(c.GetCheckedStatus(), CHECK_STATUS_CHECKED);
    category->setNodeState(0);
    EXPECT_EQ(a.GetCheckedStatus() + b.GetCheckedStatus() + c.GetCheckedStatus(), 0);
    EXPECT_EQ(png->state(), 0);
}

TEST(CheckStates, MonthMarkComesFromItsShownFiles) {
    OpNodeRef year = SyntheticRow(OpNodeData::kCreatedTree, "2013");
    TestNode a("a"), b("b"), hidden("h");
    OpNodeRef month = FileRow(year, "05", {&a, &b, &hidden});
    struct Case {
        int a, b;
        int expected;
    } cases[] = {{2, 2, 2}, {2, 0, 1}, {0, 2, 1}, {0, 0, 0}};
    hidden.SetCheck(CHECK_STATUS_CHECKED);
    hidden.ShowNode(0);
    for (const Case& c : cases) {
        a.SetCheck(static_cast<_tagCheckedStatus>(c.a));
        b.SetCheck(static_cast<_tagCheckedStatus>(c.b));
        KvUIController::setNodeState(month.get(), month->childFiles());
        EXPECT_EQ(month->state(), c.expected) << c.a << "," << c.b;
        EXPECT_EQ(year->state(), c.expected);
    }
    a.ShowNode(0);
    b.ShowNode(0);
    KvUIController::setNodeState(month.get(), month->childFiles());
    EXPECT_EQ(month->state(), 0);
}

TEST(NodeUtilities, WalksUpTheParentsStopAfter1024Steps) {
    std::vector<std::unique_ptr<TestNode>> chain;
    for (int i = 0; i < 1100; ++i) {
        chain.push_back(std::make_unique<TestNode>("level" + std::to_string(i), true));
        if (i > 0)
            chain[i - 1]->AddChild(chain[i].get());
    }
    KvCPPPublic& utilities = KvCPPPublic::instance();
    EXPECT_EQ(utilities.GetFileSystemNode(chain.back().get()), chain[1099 - 1024].get());
    EXPECT_EQ(utilities.GetFileSystemNode(chain[5].get()), chain[0].get());
    EXPECT_EQ(utilities.GetFileSystemNode(nullptr), nullptr);
    EXPECT_EQ(utilities.GetNodeSearcheType(nullptr), SEARCHER_NONE);
    const QString path = KvUIPublic::GetPathByFileNode(chain.back().get());
    EXPECT_EQ(path.count('/'), 1024);
    EXPECT_TRUE(path.endsWith("/level1099"));
}

}  // namespace
