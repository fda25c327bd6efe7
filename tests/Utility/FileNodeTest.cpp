#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "TestNode.h"

namespace {

// Owns the nodes of one small tree for the length of a test.
class Tree {
public:
    TestNode* Add(const char* name, TestNode* parent, bool directory = false) {
        nodes_.push_back(std::make_unique<TestNode>(name, directory));
        TestNode* node = nodes_.back().get();
        if (parent) {
            EXPECT_TRUE(parent->AddChild(node));
        }
        return node;
    }

private:
    std::vector<std::unique_ptr<TestNode>> nodes_;
};

std::vector<std::string> ChildNames(CFileNode* parent) {
    std::vector<std::string> names;
    for (IFileNode* child = parent->GetFirstChild(); child; child = child->GetNextNode())
        names.emplace_back(child->GetFileName());
    return names;
}

TEST(FileNode, NewNodeHasDefaultState) {
    TestNode node("a");
    EXPECT_EQ(node.GetStateWord(), 0xFFFFFFFFFFFFFF10ull);
    EXPECT_EQ(node.IsNodeShow(), 1);
    EXPECT_EQ(node.GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(node.GetBelongedPartition(), 0xFFFF);
    EXPECT_EQ(node.GetMetadataStartPosition(), -1);
    EXPECT_EQ(node.GetCurrentNodeID(), -1);
    EXPECT_EQ(node.GetParentNodeID(), -1);
    EXPECT_EQ(node.CFileNode::GetSearcheType(), SEARCHER_NONE);
    EXPECT_EQ(node.GetVolumeName(), nullptr);
    EXPECT_EQ(node.IsCompressed(), 0u);
    EXPECT_EQ(node.CreateCompressFileReader(nullptr), nullptr);
}

TEST(FileNode, PackedFieldsDoNotDisturbEachOther) {
    Tree tree;
    TestNode* folder = tree.Add("folder", nullptr, true);
    TestNode* file = tree.Add("file", folder);
    file->SetCheck(CHECK_STATUS_CHECKED);
    file->SetBelongedPartition(7);

    for (int64_t sector : {int64_t{5}, int64_t{-1}, (int64_t{1} << 39) - 1, -(int64_t{1} << 39)}) {
        file->SetMetaDataSector(sector);
        EXPECT_EQ(file->GetMetadataStartPosition(), sector);
        EXPECT_EQ(file->GetCheckedStatus(), CHECK_STATUS_CHECKED);
        EXPECT_EQ(file->IsNodeShow(), 1);
        EXPECT_EQ(file->GetBelongedPartition(), 7);
    }
}

TEST(FileNode, CheckMarksPropagateDownAndUp) {
    Tree tree;
    TestNode* root = tree.Add("root", nullptr, true);
    TestNode* other = tree.Add("other", root);
    TestNode* folder = tree.Add("folder", root, true);
    TestNode* a = tree.Add("a", folder);
    TestNode* b = tree.Add("b", folder);

    folder->SetCheck(CHECK_STATUS_CHECKED);
    EXPECT_EQ(a->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(b->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(folder->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(folder->GetCheckedSum(), 4u);
    EXPECT_EQ(root->GetCheckedStatus(), CHECK_STATUS_PARTLY);

    other->SetCheck(CHECK_STATUS_CHECKED);
    EXPECT_EQ(root->GetCheckedStatus(), CHECK_STATUS_CHECKED);

    a->SetCheck(CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(folder->GetCheckedStatus(), CHECK_STATUS_PARTLY);
    EXPECT_EQ(root->GetCheckedStatus(), CHECK_STATUS_PARTLY);

    b->SetCheck(CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(folder->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(folder->GetCheckedSum(), 0u);
    EXPECT_EQ(root->GetCheckedStatus(), CHECK_STATUS_PARTLY);

    other->SetCheck(CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(root->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(root->GetCheckedSum(), 0u);
}

TEST(FileNode, CheckingAFolderSkipsHiddenSubtrees) {
    Tree tree;
    TestNode* root = tree.Add("root", nullptr, true);
    TestNode* hidden = tree.Add("hidden", root, true);
    TestNode* below = tree.Add("below", hidden);
    TestNode* shown = tree.Add("shown", root);
    hidden->ShowNode(0);
    below->ShowNode(1);

    root->SetCheck(CHECK_STATUS_CHECKED);
    EXPECT_EQ(shown->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(hidden->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(below->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(root->GetCheckedStatus(), CHECK_STATUS_CHECKED);
}

TEST(FileNode, SetCheckIgnoresHiddenNodesAndOtherStates) {
    Tree tree;
    TestNode* folder = tree.Add("folder", nullptr, true);
    TestNode* file = tree.Add("file", folder);
    TestNode* hidden = tree.Add("hidden", folder);
    hidden->ShowNode(0);

    hidden->SetCheck(CHECK_STATUS_CHECKED);
    file->SetCheck(static_cast<_tagCheckedStatus>(3));
    file->SetCheck(CHECK_STATUS_PARTLY);
    EXPECT_EQ(hidden->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(file->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(folder->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(folder->GetCheckedSum(), 0u);
}

TEST(FileNode, HidingTheLastShownChildHidesItsFolder) {
    Tree tree;
    TestNode* root = tree.Add("root", nullptr, true);
    TestNode* folder = tree.Add("folder", root, true);
    TestNode* sibling = tree.Add("sibling", root);
    TestNode* a = tree.Add("a", folder);
    TestNode* b = tree.Add("b", folder);
    EXPECT_EQ(root->GetShownChildCount(), 2u);

    a->ShowNode(0);
    EXPECT_EQ(folder->GetShownChildCount(), 1u);
    EXPECT_EQ(folder->IsNodeShow(), 1);

    b->ShowNode(0);
    EXPECT_EQ(folder->GetShownChildCount(), 0u);
    EXPECT_EQ(folder->IsNodeShow(), 0);
    EXPECT_EQ(root->GetShownChildCount(), 1u);
    EXPECT_EQ(root->IsNodeShow(), 1);

    sibling->ShowNode(0);
    EXPECT_EQ(root->IsNodeShow(), 0);

    b->ShowNode(1);
    EXPECT_EQ(folder->IsNodeShow(), 1);
    EXPECT_EQ(root->IsNodeShow(), 1);
    EXPECT_EQ(root->GetShownChildCount(), 1u);

    // Showing an already shown node changes no count.
    b->ShowNode(1);
    EXPECT_EQ(folder->GetShownChildCount(), 1u);
}

TEST(FileNode, NewChildrenComeFirst) {
    Tree tree;
    TestNode* folder = tree.Add("folder", nullptr, true);
    tree.Add("a", folder);
    tree.Add("b", folder);
    tree.Add("c", folder);
    EXPECT_EQ(ChildNames(folder), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(FileNode, RefusesChildrenThatWouldMakeALoop) {
    Tree tree;
    TestNode* root = tree.Add("root", nullptr, true);
    TestNode* folder = tree.Add("folder", root, true);
    TestNode* file = tree.Add("file", folder);

    EXPECT_FALSE(file->AddChild(root));
    EXPECT_FALSE(file->AddChild(folder));
    EXPECT_FALSE(folder->AddChild(folder));
    EXPECT_FALSE(folder->AddChild(nullptr));
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(file->GetFirstChild(), nullptr);
    EXPECT_EQ(folder->GetShownChildCount(), 1u);
    EXPECT_EQ(folder->GetParent(), root);
}

TEST(FileNode, AddNextKeepsTheExistingChainBehind) {
    Tree tree;
    TestNode* folder = tree.Add("folder", nullptr, true);
    TestNode* first = tree.Add("first", folder);
    TestNode* last = tree.Add("last", nullptr);
    TestNode* middle = tree.Add("middle", nullptr);
    ASSERT_TRUE(first->AddNext(last));
    ASSERT_TRUE(first->AddNext(middle));
    EXPECT_EQ(first->GetNextNode(), middle);
    EXPECT_EQ(middle->GetNextNode(), last);
    EXPECT_EQ(last->GetNextNode(), nullptr);
    EXPECT_FALSE(first->AddNext(first));
    EXPECT_FALSE(first->AddNext(nullptr));
}

TEST(FileNode, RemoveChildKeepsTheRemainingChildrenLinked) {
    Tree tree;
    TestNode* folder = tree.Add("folder", nullptr, true);
    TestNode* a = tree.Add("a", folder);
    TestNode* b = tree.Add("b", folder);
    TestNode* c = tree.Add("c", folder);
    TestNode* stranger = tree.Add("stranger", nullptr);
    a->ShowNode(0);
    c->ShowNode(0);

    ASSERT_TRUE(folder->RemoveChild(b));
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(b->GetNextNode(), nullptr);
    EXPECT_EQ(folder->GetShownChildCount(), 0u);
    // The hidden children are still in the list.
    EXPECT_EQ(ChildNames(folder), (std::vector<std::string>{"c", "a"}));

    EXPECT_FALSE(folder->RemoveChild(stranger));
    EXPECT_FALSE(folder->RemoveChild(nullptr));
}

TEST(FileNode, AssignmentGivesEachNodeItsOwnExtents) {
    auto original = std::make_unique<TestNode>("file", false, 9);
    IDataRunList* extents = CreateDataRunList();
    DataRun run(100, 8);
    extents->AddDataRun(&run);
    original->SetExtents(extents);
    original->SetBelongedPartition(3);

    auto copy = std::make_unique<TestNode>("copy");
    IDataRunList* replaced = CreateDataRunList();
    copy->SetExtents(replaced);
    *copy = *original;
    ASSERT_NE(copy->GetDataRunList(), nullptr);
    EXPECT_NE(copy->GetDataRunList(), original->GetDataRunList());
    EXPECT_EQ(copy->GetDataRunList()->GetFirst()->clusterCount, 8u);
    EXPECT_EQ(copy->GetCurrentNodeID(), 9);
    EXPECT_EQ(copy->GetBelongedPartition(), 3);

    *copy = *copy;  // self-assignment keeps the list
    EXPECT_EQ(copy->GetDataRunList()->GetFirst()->firstCluster, 100);

    std::unique_ptr<TestNode> clone(original->Clone());
    EXPECT_NE(clone->GetDataRunList(), original->GetDataRunList());
    original.reset();  // each node releases only its own list
    EXPECT_EQ(copy->GetDataRunList()->GetFirst()->firstCluster, 100);
    EXPECT_EQ(clone->GetDataRunList()->GetFirst()->firstCluster, 100);
}

TEST(FileNode, MergeTakesOverTheOtherNodesExtentsAndSize) {
    TestNode kept("file");
    kept.SetExtents(CreateDataRunList());
    TestNode newer("file");
    IDataRunList* extents = CreateDataRunList();
    newer.SetExtents(extents);
    newer.size_ = 4096;

    kept.MergeNode(&newer);
    EXPECT_EQ(kept.GetDataRunList(), extents);
    EXPECT_EQ(newer.GetDataRunList(), nullptr);
    EXPECT_EQ(kept.GetFileSize(), 4096);

    kept.MergeNode(&kept);
    kept.MergeNode(nullptr);
    EXPECT_EQ(kept.GetDataRunList(), extents);
}

TEST(FileNode, EqualityFindsTheSameRecordReportedTwice) {
    struct Case {
        const char* what;
        const char* otherName;
        bool otherDirectory;
        int64_t otherParent;
        uint16_t otherPartition;
        _tagSearcherType type;
        bool expected;
    };
    const Case cases[] = {
        {"same file, same partition", "a.txt", false, 5, 1, SEARCHER_NTFS, true},
        {"same file, other partition", "a.txt", false, 5, 2, SEARCHER_NTFS, false},
        {"other name", "b.txt", false, 5, 1, SEARCHER_NTFS, false},
        {"other parent", "a.txt", false, 6, 1, SEARCHER_NTFS, false},
        {"file against folder", "a.txt", true, 5, 1, SEARCHER_NTFS, false},
        {"HFS+ same size and time, other partition", "a.txt", false, 5, 2, SEARCHER_HFSPLUS, true},
    };
    for (const Case& c : cases) {
        TestNode mine("a.txt", false, 42);
        mine.SetParentNodeID(5);
        mine.SetBelongedPartition(1);
        mine.type_ = c.type;
        TestNode other(c.otherName, c.otherDirectory, 42);
        other.SetParentNodeID(c.otherParent);
        other.SetBelongedPartition(c.otherPartition);
        other.type_ = c.type;
        EXPECT_EQ(mine == other, c.expected) << c.what;
    }

    TestNode folder("dir", true, 42);
    TestNode renamed("DIR2", true, 42);
    EXPECT_FALSE(folder == TestNode("dir", true, 43));
    EXPECT_TRUE(folder == TestNode("dir", true, 42));
    EXPECT_FALSE(folder == renamed);
}

TEST(FileNode, FatFolderTakesANewerFoldersPropertiesWhenNamesDiffer) {
    TestNode earlier("OLD", true, 7);
    earlier.type_ = SEARCHER_FAT;
    earlier.created_ = 100;
    TestNode older("ANCIENT", true, 7);
    older.created_ = 50;
    EXPECT_FALSE(earlier == older);
    EXPECT_EQ(earlier.adoptedFrom_, "");

    TestNode newer("NEW", true, 7);
    newer.created_ = 100;
    EXPECT_FALSE(earlier == newer);
    EXPECT_EQ(earlier.adoptedFrom_, "NEW");
}

TEST(FileNode, FilterFileNameByDotDropsLeadingBlanksAndDots) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"...", ""},
        {" . .", ""},
        {". .name", "name"},
        {"a.b.", "a.b."},
        {"  name.txt", "name.txt"},
        {".hidden", "hidden"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(CFileNode::FilterFileNameByDot(name), expected) << '"' << name << '"';
}

TEST(FilesystemNode, IsAFolderWithItsOwnNames) {
    CFilesystemNode root("Disk", "Volume", SEARCHER_FAT, 2);
    root.SetParentNodeID(9);
    root.SetCheck(CHECK_STATUS_CHECKED);
    EXPECT_STREQ(root.GetFileName(), "Disk");
    EXPECT_STREQ(root.GetVolumeName(), "Volume");
    EXPECT_EQ(root.GetSearcheType(), SEARCHER_FAT);
    EXPECT_EQ(root.IsDirectory(), 1);
    EXPECT_EQ(root.IsDeleted(), 0);
    EXPECT_EQ(root.GetFileSize(), 0);
    EXPECT_EQ(root.GetCreationTime(), 0u);

    std::unique_ptr<CFilesystemNode> clone(root.Clone());
    EXPECT_STREQ(clone->GetFileName(), "Disk");
    EXPECT_STREQ(clone->GetVolumeName(), "Volume");
    EXPECT_EQ(clone->GetSearcheType(), SEARCHER_FAT);
    EXPECT_EQ(clone->GetCurrentNodeID(), 2);
    EXPECT_EQ(clone->GetParentNodeID(), -1);
    EXPECT_EQ(clone->GetStateWord(), CFileNode::kDefaultStateWord);

    CFilesystemNode unnamed(nullptr, nullptr, SEARCHER_NTFS, 0);
    EXPECT_STREQ(unnamed.GetFileName(), "");
}

}  // namespace
