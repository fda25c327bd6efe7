#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TreeFakes.h"

namespace {

using namespace trees_test;

// A node from outside the CFileNode family: it has no tree links to set.
class ForeignNode : public IFilesystemNode {
public:
    MOCK_METHOD(int, IsNodeShow, (), (const, override));
    MOCK_METHOD(void, ShowNode, (int), (override));
    MOCK_METHOD(int64_t, GetCurrentNodeID, (), (const, override));
    MOCK_METHOD(int64_t, GetParentNodeID, (), (const, override));
    MOCK_METHOD(IFileNode*, GetParent, (), (const, override));
    MOCK_METHOD(IFileNode*, GetFirstChild, (), (override));
    MOCK_METHOD(IFileNode*, GetNextNode, (), (override));
    MOCK_METHOD(const char*, GetFileName, (), (override));
    MOCK_METHOD(int64_t, GetFileSize, (), (override));
    MOCK_METHOD(uint32_t, GetAttribute, (), (override));
    MOCK_METHOD(_FILETIME, GetCreationTime, (), (override));
    MOCK_METHOD(_FILETIME, GetModificationTime, (), (override));
    MOCK_METHOD(_FILETIME, GetLastAccessTime, (), (override));
    MOCK_METHOD(int, IsDirectory, (), (override));
    MOCK_METHOD(int, IsDeleted, (), (override));
    MOCK_METHOD(_tagCheckedStatus, GetCheckedStatus, (), (override));
    MOCK_METHOD(void, SetCheck, (_tagCheckedStatus), (override));
    MOCK_METHOD(_tagSearcherType, GetSearcheType, (), (const, override));
    MOCK_METHOD(const char*, GetVolumeName, (), (const, override));
    MOCK_METHOD(bool, AddChild, (IFileNode*), (override));
    MOCK_METHOD(bool, AddNext, (IFileNode*), (override));
    MOCK_METHOD(void, SetParentNodeID, (int64_t), (override));
    MOCK_METHOD(IFileNode*, Clone, (), (override));
    MOCK_METHOD(void, Release, (), (override));
    MOCK_METHOD(void, MarkDeleted, (), (override));
    MOCK_METHOD(IFileReader*, CreateCompressFileReader, (void*), (override));
    MOCK_METHOD(uint32_t, IsCompressed, (), (const, override));
    MOCK_METHOD(void, SetMetaDataSector, (int64_t), (override));
    MOCK_METHOD(void, FilterFileNameByDot, (), (override));
    MOCK_METHOD(void, UpdateFileSize, (int64_t), (override));
    MOCK_METHOD(void, UpdateNodeInfo, (), (override));
    MOCK_METHOD(void, SetFileName, (const char*), (override));
};

// Node casts remember the last class that passed; a foreign class offered
// right after a family member must still be turned away.
TEST(ForeignNodeTest, IsRefusedRightAfterAFamilyNodeWasTaken) {
    Harness h;
    h.Open(SEARCHER_FAT, 2);
    ASSERT_TRUE(h.Offer({.id = 10, .parentId = 2, .name = "a.txt"}));
    testing::NiceMock<ForeignNode> foreign;

    EXPECT_FALSE(h.builder->AddNode(&foreign, SEARCHER_FAT));

    auto* folder = new FakeNode({.id = 11, .parentId = 2, .name = "b", .folder = true});
    EXPECT_FALSE(folder->AddChild(&foreign));
    EXPECT_FALSE(folder->AddNext(&foreign));
    EXPECT_EQ(folder->GetFirstChild(), nullptr);
    folder->Release();
}

}  // namespace
