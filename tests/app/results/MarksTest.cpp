#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>

#include "BrowseFixtures.h"
#include "FileListModel.h"
#include "KvNSTableView.h"
#include "TCImageButton.h"

namespace {

std::vector<ListFile> FilesAndAFolder() {
    return {{"a.txt", 1000, 1}, {"Sub", 0, 1, false, true}, {"b.txt", 24, 1}};
}

QString BoxImage(QAbstractButton* box) {
    return box->property("imageName").toString();
}

bool RecoverEnabled(const KvDeletailWindowController& window) {
    return window.recovertyButton->isDisabled();  // true while usable
}

TEST(Marks, AClickOnAPartlyCheckedFileChecksIt) {
    BrowseWindow browse(FilesAndAFolder());
    browse.list.node(0)->SetCheck(CHECK_STATUS_PARTLY);
    browse.window.nsbuttonCellClick(0);
    EXPECT_EQ(browse.list.node(0)->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(browse.window.listModel
                  ->data(browse.window.listModel->index(0, FileListModel::kCheckBox),
                         FileListModel::kImageNameRole)
                  .toString(),
              QStringLiteral("pf_checkbox_yes"));
    browse.window.nsbuttonCellClick(0);
    EXPECT_EQ(browse.list.node(0)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    // Outside the list.
    browse.window.nsbuttonCellClick(3);
    browse.window.nsbuttonCellClick(-1);
}

TEST(Marks, SelectAllChecksEveryFileThenClearsThemAndLeavesFolders) {
    BrowseWindow browse(FilesAndAFolder());
    KvDeletailWindowController& window = browse.window;
    browse.list.node(1)->SetCheck(CHECK_STATUS_CHECKED);
    browse.list.node(0)->SetCheck(CHECK_STATUS_CHECKED);
    window.changeSelectAllButtonState();
    EXPECT_EQ(BoxImage(window.listViewSelectAllButton), QStringLiteral("pf_checkbox_half"));

    window.listViewSelectAllButton->click();
    EXPECT_EQ(browse.list.node(2)->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(BoxImage(window.listViewSelectAllButton), QStringLiteral("pf_checkbox_yes"));
    EXPECT_EQ(BoxImage(window.coverViewSelectAllButton), QStringLiteral("pf_checkbox_yes"));

    window.coverViewSelectAllButton->click();
    EXPECT_EQ(browse.list.node(0)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(browse.list.node(2)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(browse.list.node(1)->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(BoxImage(window.listViewSelectAllButton), QStringLiteral("pf_checkbox_no"));
}

TEST(Marks, AListOfFoldersOnlyShowsAnEmptyBox) {
    BrowseWindow browse({{"Sub", 0, 1, false, true}, {"More", 0, 1, false, true}});
    browse.list.node(0)->SetCheck(CHECK_STATUS_CHECKED);
    browse.window.setAllSelectOrNoSelect();
    EXPECT_EQ(BoxImage(browse.window.listViewSelectAllButton), QStringLiteral("pf_checkbox_no"));
    EXPECT_EQ(browse.list.node(1)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
}

TEST(Marks, NothingCheckedDisablesRecover) {
    BrowseWindow browse(FilesAndAFolder());
    KvDeletailWindowController& window = browse.window;
    window.showSelectFilesCountAndSize();
    EXPECT_FALSE(RecoverEnabled(window));
    EXPECT_EQ(window.selectedFileCnt, 0);
    EXPECT_EQ(window.selectFilesLabel->text(), QStringLiteral("0 files selected, 0 byte in all"));
}

TEST(Marks, CountsTheCheckedFilesAndTheirBytes) {
    FakeFacade facade;
    auto tree = std::make_shared<SyntheticTree>(3, 3);
    facade.tree = tree;
    KvDeletailWindowController window;
    OpNodeRef folder = tree->folderRow(0);
    window.selectOutlineListWithOpNodeData(folder.get(), 1);
    ASSERT_EQ(window.arrList.size(), 3u);
    window.nsbuttonCellClick(0);
    window.doSelectItem(2);
    EXPECT_EQ(window.selectedFileCnt, 2);
    const uint64_t bytes = uint64_t(tree->files()[0]->size_ + tree->files()[2]->size_);
    EXPECT_EQ(window.selectedFileSize, bytes);
    EXPECT_EQ(window.selectValue, bytes);
    EXPECT_TRUE(RecoverEnabled(window));
    window.setAllSelectOrNoSelect();
    window.setAllSelectOrNoSelect();
    EXPECT_EQ(window.selectedFileCnt, 0);
    EXPECT_FALSE(RecoverEnabled(window));
}

TEST(Marks, NothingChangesWhileAScanRunsUnpaused) {
    BrowseWindow browse(FilesAndAFolder());
    KvDeletailWindowController& window = browse.window;
    ASSERT_TRUE(browse.facade.DoScanWithDiskIndex(0, 0));
    window.nsbuttonCellClick(0);
    window.doSelectItem(2);
    window.setAllSelectOrNoSelect();
    window.clickButtonAction(browse.folder.get());
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(browse.list.node(i)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED) << i;
    EXPECT_EQ(browse.facade.tableCellClicks, 0);

    browse.facade.PauseOrResumeScan();
    window.doSelectItem(2);
    EXPECT_EQ(browse.list.node(2)->GetCheckedStatus(), CHECK_STATUS_CHECKED);
}

TEST(Marks, ATreeNodeCheckBoxMarksItsFilesAndShowsThem) {
    BrowseWindow browse(FilesAndAFolder());
    browse.window.clickButtonAction(browse.folder.get());
    EXPECT_EQ(browse.folder->state(), 2);
    EXPECT_EQ(browse.window.isSelectOutlineList, 1);
    EXPECT_EQ(BoxImage(browse.window.listViewSelectAllButton), QStringLiteral("pf_checkbox_yes"));
}

struct TreeCase {
    int tree;
    size_t typeRefreshes;
    std::vector<int> timeModes;
};

class ShownTreeStates : public ::testing::TestWithParam<TreeCase> {};

TEST_P(ShownTreeStates, ATableClickRefreshesTheShownTreesMarks) {
    BrowseWindow browse(FilesAndAFolder());
    browse.window.selectTypeCount = GetParam().tree;
    browse.window.nsbuttonCellClick(0);
    EXPECT_EQ(browse.facade.tableCellClicks, 1);
    EXPECT_EQ(browse.facade.typeStateRefreshes.size(), GetParam().typeRefreshes);
    EXPECT_EQ(browse.facade.timeStateRefreshes, GetParam().timeModes);
}

INSTANTIATE_TEST_SUITE_P(Trees, ShownTreeStates,
                         ::testing::Values(TreeCase{0, 0, {}}, TreeCase{1, 1, {}},
                                           TreeCase{2, 0, {0}}, TreeCase{3, 0, {0}}));

}  // namespace
