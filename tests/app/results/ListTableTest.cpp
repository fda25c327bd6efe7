#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>

#include "Alert.h"
#include "BrowseFixtures.h"
#include "FileListModel.h"
#include "KvNSTableView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "SpacePreviewWindow.h"
#include "Tr.h"

namespace {

using Names = std::vector<std::string>;

std::vector<ListFile> ThreeFiles() {
    return {{"b.txt", 100, 20}, {"a.txt", 300, 10}, {"c.txt", 200, 10}};
}

void ClickHeader(KvNSTableView* table, int column) {
    QHeaderView* header = table->horizontalHeader();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

bool ShowsIndicator(KvNSTableView* table, int column, Qt::SortOrder order) {
    QHeaderView* header = table->horizontalHeader();
    return header->isSortIndicatorShown() && header->sortIndicatorSection() == column &&
           header->sortIndicatorOrder() == order;
}

TEST(ListTable, OneDirectionFlagForAllColumns) {
    BrowseWindow browse(ThreeFiles());
    browse.window.show();
    browse.settle();
    KvNSTableView* table = browse.window.tableView;

    ClickHeader(table, FileListModel::kName);
    EXPECT_EQ(browse.shownNames(), (Names{"c.txt", "b.txt", "a.txt"}));
    EXPECT_TRUE(ShowsIndicator(table, FileListModel::kName, Qt::DescendingOrder));
    ClickHeader(table, FileListModel::kName);
    EXPECT_EQ(browse.shownNames(), (Names{"a.txt", "b.txt", "c.txt"}));
    EXPECT_TRUE(ShowsIndicator(table, FileListModel::kName, Qt::AscendingOrder));
    // The flag was flipped by the last click, whichever column comes next.
    ClickHeader(table, FileListModel::kSize);
    EXPECT_EQ(browse.shownNames(), (Names{"a.txt", "c.txt", "b.txt"}));
    EXPECT_TRUE(ShowsIndicator(table, FileListModel::kSize, Qt::DescendingOrder));
    // The reload after the sort keeps the column's filled indicator.
    EXPECT_EQ(table->headerCells()->cell(FileListModel::kSize)->priority(), 0);
    EXPECT_EQ(table->model()->data(table->model()->index(0, FileListModel::kName)).toString(),
              QStringLiteral("a.txt"));
    // The check-box column sorts nothing.
    ClickHeader(table, FileListModel::kCheckBox);
    EXPECT_EQ(browse.shownNames(), (Names{"a.txt", "c.txt", "b.txt"}));
}

// Names and paths get the room; the date keeps what it needs.
TEST(ListTable, NamesAndPathsShareTheWidth) {
    BrowseWindow browse(ThreeFiles());
    browse.window.show();
    browse.settle();
    QHeaderView* header = browse.window.tableView->horizontalHeader();
    const int created = header->sectionSize(FileListModel::kCreated);
    EXPECT_EQ(created, KvDeletailWindowController::kCreatedColumnWidth);
    EXPECT_GT(header->sectionSize(FileListModel::kName), created);
    EXPECT_EQ(header->sectionSize(FileListModel::kPath), header->sectionSize(FileListModel::kName));
    // A wider window widens them, not the date.
    const int name = header->sectionSize(FileListModel::kName);
    browse.window.resize(browse.window.width() + 200, browse.window.height());
    browse.settle();
    EXPECT_GT(header->sectionSize(FileListModel::kName), name);
    EXPECT_EQ(header->sectionSize(FileListModel::kCreated), created);
}

TEST(ListTable, EqualTimesKeepTheirOrderBothWays) {
    BrowseWindow browse(ThreeFiles());
    browse.window.tableViewDidClickTableColumn(browse.window.tableView, FileListModel::kCreated);
    EXPECT_EQ(browse.shownNames(), (Names{"b.txt", "a.txt", "c.txt"}));
    browse.window.tableViewDidClickTableColumn(browse.window.tableView, FileListModel::kCreated);
    EXPECT_EQ(browse.shownNames(), (Names{"a.txt", "c.txt", "b.txt"}));
}

TEST(ListTable, HeaderClicksDuringAnUnpausedScanDoNothing) {
    BrowseWindow browse(ThreeFiles());
    browse.window.show();
    browse.settle();
    KvNSTableView* table = browse.window.tableView;
    ClickHeader(table, FileListModel::kName);
    ASSERT_TRUE(browse.facade.DoScanWithDiskIndex(0, 0));

    ClickHeader(table, FileListModel::kSize);
    EXPECT_EQ(browse.shownNames(), (Names{"c.txt", "b.txt", "a.txt"}));
    EXPECT_EQ(browse.window.isSorted, 1);
    EXPECT_TRUE(ShowsIndicator(table, FileListModel::kName, Qt::DescendingOrder));

    browse.facade.PauseOrResumeScan();
    ClickHeader(table, FileListModel::kSize);
    EXPECT_EQ(browse.shownNames(), (Names{"b.txt", "c.txt", "a.txt"}));
}

TEST(ListTable, TheIndicatorMovesBetweenTheTwoTables) {
    BrowseWindow browse(ThreeFiles());
    KvDeletailWindowController& window = browse.window;
    window.tableViewDidClickTableColumn(window.tableView, FileListModel::kName);
    window.segmentSelect(2);
    window.tableViewDidClickTableColumn(window.coverFlowerTableView, FileListModel::kPath);
    EXPECT_FALSE(window.tableView->horizontalHeader()->isSortIndicatorShown());
    EXPECT_TRUE(
        ShowsIndicator(window.coverFlowerTableView, FileListModel::kPath, Qt::AscendingOrder));
    window.segmentSelect(0);
    window.tableViewDidClickTableColumn(window.tableView, FileListModel::kSize);
    EXPECT_FALSE(window.coverFlowerTableView->horizontalHeader()->isSortIndicatorShown());
    EXPECT_TRUE(ShowsIndicator(window.tableView, FileListModel::kSize, Qt::DescendingOrder));
}

TEST(ListTable, ANewNodeStartsDescendingAgain) {
    BrowseWindow browse(ThreeFiles());
    browse.window.tableViewDidClickTableColumn(browse.window.tableView, FileListModel::kName);
    browse.showFolder();
    EXPECT_EQ(browse.window.isSorted, 0);
    EXPECT_EQ(browse.shownNames(), (Names{"b.txt", "a.txt", "c.txt"}));
}

class Preview : public ::testing::Test {
protected:
    Preview() : browse(ThreeFiles()) {}
    void pressSpace() {
        KvNotificationCenter::defaultCenter()->post(kvnote::kSpacePreviewFile);
        browse.settle();
    }
    bool previewOpen() const {
        return browse.window.spacePreviewWindow && !browse.window.spacePreviewWindow->isClosed();
    }
    BrowseWindow browse;
};

TEST_F(Preview, TheSpaceBarOpensAndClosesIt) {
    browse.window.show();
    browse.settle();
    KvNSTableView* table = browse.window.tableView;
    table->setFocus();
    table->selectRow(1);
    QTest::keyClick(table, Qt::Key_Space);
    browse.settle();
    ASSERT_TRUE(previewOpen());
    EXPECT_EQ(browse.window.spacePreviewWindow->strName(), QStringLiteral("a.txt"));
    EXPECT_FALSE(browse.window.spacePreviewWindow->showImage().isNull());
    pressSpace();
    EXPECT_FALSE(previewOpen());
}

TEST_F(Preview, IgnoredInCoverFlowWithAnEmptyListAndForAStaleRow) {
    browse.window.tableViewShouldSelectRow(browse.window.tableView, 2);
    browse.window.segmentSelect(2);
    pressSpace();
    EXPECT_FALSE(previewOpen());

    browse.window.segmentSelect(0);
    browse.list.rows.resize(1);
    browse.folder->clearChildren();
    browse.folder->addChildObjects(browse.list.rows);
    browse.showFolder();
    // Row 2 was chosen in the longer list.
    pressSpace();
    EXPECT_FALSE(previewOpen());

    browse.folder->clearChildren();
    browse.showFolder();
    browse.window.selectedRow = 0;
    pressSpace();
    EXPECT_FALSE(previewOpen());
}

TEST_F(Preview, WaitsForADeepScanThatRunsUnlessTheUserPausedIt) {
    browse.window.tableViewShouldSelectRow(browse.window.tableView, 0);
    browse.window.isDeepScan = 1;
    ASSERT_TRUE(browse.facade.DoScanWithDiskIndex(0, 0));
    pressSpace();
    EXPECT_FALSE(previewOpen());
    browse.window.isPause = 1;
    pressSpace();
    EXPECT_TRUE(previewOpen());
    pressSpace();
}

TEST(ListTable, ADoubleClickOpensAndClosesATreeRow) {
    BrowseWindow browse(ThreeFiles());
    CommOutlineView* tree = browse.window.pathOutlineView;
    const QModelIndex root = tree->model()->index(0, 0);
    browse.window.doubleClick(tree, root);
    EXPECT_TRUE(tree->isExpanded(root));
    browse.window.doubleClick(tree, root);
    EXPECT_FALSE(tree->isExpanded(root));
    // Not one of the window's trees.
    CommOutlineView other;
    browse.window.doubleClick(&other, root);
    EXPECT_FALSE(tree->isExpanded(root));
}

// A saved result whose drive is not connected has nothing to show of a file.
TEST_F(Preview, WithoutTheDeviceItIsRefusedWithTheReason) {
    std::vector<QString> alerts;
    Alert::setAnswerer([&](const Alert& alert) {
        alerts.push_back(alert.message);
        return 1;
    });
    browse.facade.resultWithoutDevice = true;
    browse.window.tableViewShouldSelectRow(browse.window.tableView, 1);
    pressSpace();
    Alert::setAnswerer({});
    EXPECT_FALSE(previewOpen());
    EXPECT_EQ(alerts, std::vector<QString>{Tr("QOV_FOUR_DEVICE_MISSING_TITLE")});
}

}  // namespace
