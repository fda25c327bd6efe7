#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "KvSelectTypeViewController.h"
#include "QOVCustemButton.h"
#include "TCImageButton.h"

namespace {

const QStringList kAll = {"1", "2", "4", "8", "16", "32", "64"};

// The page as the main window opens it: everything selected.
struct OpenedPage {
    OpenedPage() {
        page.setSelectAllCount(0);
        page.allTypesButtonClick();
    }
    KvSelectTypeViewController page;
};

TEST(TypePageTest, OpensWithEverySelectedAndContinuesWithMask127) {
    OpenedPage opened;
    KvSelectTypeViewController& page = opened.page;
    QSignalSpy next(&page, &KvSelectTypeViewController::nextButtonActionWithAllTypeArr);
    EXPECT_EQ(page.selectArr(), kAll);
    EXPECT_EQ(page.allBoxImage(), "checkbox_yes");
    EXPECT_TRUE(page.nextButton()->isDisabled());
    page.nextButtonAction();
    ASSERT_EQ(next.count(), 1);
    EXPECT_EQ(KvSelectTypeViewController::maskOf(next[0][0].toStringList()), 127);
}

TEST(TypePageTest, TheAllBoxToggles) {
    OpenedPage opened;
    KvSelectTypeViewController& page = opened.page;
    QSignalSpy office(&page, &KvSelectTypeViewController::isSelectOffice);
    page.allTypesButtonClick();
    EXPECT_TRUE(page.selectArr().isEmpty());
    EXPECT_EQ(page.allBoxImage(), "checkbox_no");
    EXPECT_FALSE(page.nextButton()->isDisabled());
    page.allTypesButtonClick();
    EXPECT_EQ(page.selectArr(), kAll);
    EXPECT_TRUE(page.nextButton()->isDisabled());
    ASSERT_EQ(office.count(), 2);
    EXPECT_EQ(office[0][0].toInt(), 0);
    EXPECT_EQ(office[1][0].toInt(), 1);
}

TEST(TypePageTest, TilesMoveTheAllBoxThroughItsThreeStates) {
    OpenedPage opened;
    KvSelectTypeViewController& page = opened.page;
    std::vector<QOVCustemButton*> tiles;
    for (int tag = 0; tag < 7; ++tag)
        tiles.push_back(page.buildTypeButton("icon_disk", "icon_usb", tag, QRect(0, 0, 40, 40)));

    QTest::mouseClick(tiles[3], Qt::LeftButton);  // "8"
    EXPECT_FALSE(tiles[3]->isSelected());
    EXPECT_FALSE(page.selectArr().contains("8"));
    EXPECT_EQ(page.allBoxImage(), "checkbox_half");
    EXPECT_EQ(page.selectAllCount(), 2);

    // Some selected: the all-box selects all.
    page.allTypesButtonClick();
    EXPECT_EQ(page.selectArr(), kAll);
    EXPECT_TRUE(tiles[3]->isSelected());

    page.allTypesButtonClick();
    QTest::mouseClick(tiles[0], Qt::LeftButton);
    EXPECT_EQ(page.selectArr(), QStringList{"1"});
    EXPECT_EQ(page.selectAllCount(), 2);
    QTest::mouseClick(tiles[0], Qt::LeftButton);
    EXPECT_EQ(page.allBoxImage(), "checkbox_no");
    EXPECT_FALSE(page.nextButton()->isDisabled());
}

TEST(TypePageTest, ModeTilesAndRadioPair) {
    KvSelectTypeViewController page;
    QSignalSpy modes(&page, &KvSelectTypeViewController::changeScanTypeWithNum);
    page.completeButton()->click();
    page.formatButton()->click();
    page.deleteButton()->click();
    page.selectScanButton(2);
    page.selectScanButton(1);
    ASSERT_EQ(modes.count(), 5);
    const int expected[] = {2, 1, 1, 2, 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(modes[i][0].toInt(), expected[i]) << i;
}

TEST(TypePageTest, RemoveSelectOfficeDropsTheDocumentCategoryOnly) {
    OpenedPage opened;
    opened.page.removeSelectOffice();
    EXPECT_EQ(opened.page.selectArr(), (QStringList{"1", "2", "4", "16", "32", "64"}));
}

}  // namespace
