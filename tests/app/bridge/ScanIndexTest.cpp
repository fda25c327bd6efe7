#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "KvNotificationNames.h"
#include "KvScanUpdates.h"
#include "KvUIFilter.h"
#include "KvUIScan.h"
#include "RecoveryFilter.h"
#include "QtWait.h"
#include "TestNode.h"
#include "TestSupport.h"

namespace {

using namespace bridgetest;

// 2021-03-15 12:00:00 UTC and 2019-11-02 12:00:00 UTC as node times.
constexpr _FILETIME kMarch2021 = (1615809600ull + 11644473600ull) * 10000000ull;
constexpr _FILETIME kNovember2019 = (1572696000ull + 11644473600ull) * 10000000ull;

class ModifiedNode : public TestNode {
public:
    using TestNode::TestNode;
    _FILETIME GetModificationTime() override { return modified_; }
    _FILETIME modified_ = 0;
};

class ScanIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        KvUIFilter::instance()->ResetFilter(127);
        KvScanUpdates::instance()->Reset();
        // The indexes alone: no tree takes the new folders.
        KvScanUpdates::instance()->SetTreeRefresher([](int) {});
        scan->ClearData();
    }
    void TearDown() override {
        scan->ClearData();
        Pump(50);
        KvScanUpdates::instance()->SetTreeRefresher(nullptr);
    }
    KvUIScan* scan = KvUIScan::instance();
    harbex::test::ScopedTimeZone utc{"UTC"};
};

TEST_F(ScanIndexTest, NodesAreFiledByTypeAndByTheDatesTheyHave) {
    auto photo = std::make_unique<ModifiedNode>("Photo.JPG");
    photo->created_ = kMarch2021;
    photo->modified_ = kNovember2019;
    photo->size_ = 1000;
    auto undated = std::make_unique<ModifiedNode>("notes.txt");
    undated->size_ = 20;
    auto folder = std::make_unique<ModifiedNode>("Docs", true);
    folder->created_ = kMarch2021;
    std::vector<IFileNode*> batch = {photo.get(), undated.get(), folder.get()};
    scan->ShowNodes(batch.data(), static_cast<unsigned>(batch.size()), 0);

    EXPECT_EQ(scan->GetScanFileCnt(), 2u);
    EXPECT_EQ(scan->GetScanFileSize(), 1020u);
    const KvUIScan::TypeIndex types = scan->GetTypeMap();
    ASSERT_EQ(types.count(FILE_MASK_PICTURE), 1u);
    EXPECT_EQ(types.at(FILE_MASK_PICTURE), std::vector<IFileNode*>{photo.get()});
    EXPECT_EQ(types.at(FILE_MASK_DOCUMENT), std::vector<IFileNode*>{undated.get()});
    const KvUIScan::DateIndex created = scan->GetCreateTimeMap();
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created.at(2021).at(3), std::vector<IFileNode*>{photo.get()});
    const KvUIScan::DateIndex modified = scan->GetModifyTimeMap();
    ASSERT_EQ(modified.size(), 1u);
    EXPECT_EQ(modified.at(2019).at(11), std::vector<IFileNode*>{photo.get()});
    // Folders go to the path tree only, taken once.
    EXPECT_EQ(scan->KvGetNewPathNode(), std::vector<IFileNode*>{folder.get()});
    EXPECT_TRUE(scan->KvGetNewPathNode().empty());
    EXPECT_EQ(scan->KvGetAllPathNode(), std::vector<IFileNode*>{folder.get()});

    // Hidden files do not count towards the size after the scan.
    undated->ShowNode(0);
    scan->ReCalTotalSize();
    EXPECT_EQ(scan->GetScanFileSize(), 1000u);
}

TEST_F(ScanIndexTest, AnEmptyBatchChangesNothingAndPostsNothing) {
    NotificationLog log;
    scan->SetNeedUIUpdate(0);
    scan->ShowNodes(nullptr, 0, 0);
    Pump(100);
    EXPECT_EQ(log.Count(kvnote::kNormalScanValue), 0);
    EXPECT_EQ(scan->IsNeedUIUpdate(), 0);
    EXPECT_EQ(scan->GetScanFileCnt(), 0u);
}

TEST(ScanNodeText, ExtensionIsTheLowerCaseTextAfterTheLastDot) {
    struct Case {
        const char* name;
        const char* extension;
    } cases[] = {{"Photo.JPG", "jpg"}, {"archive.tar.gz", "gz"}, {"README", ""}, {"dot.", ""}};
    for (const Case& c : cases) {
        TestNode node(c.name);
        EXPECT_EQ(KvUIScan::GetNodeExt(&node), c.extension) << c.name;
    }
    EXPECT_EQ(KvUIScan::GetNodeExt(nullptr), "");
}

}  // namespace
