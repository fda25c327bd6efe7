#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "KvCustomOutlineView.h"
#include "NewButton.h"
#include "QOVCustemButton.h"

namespace {

TEST(NewButtonTest, PartsOfARowStandWhereTheListsExpectThem) {
    const QRect cell(10, 100, 300, 30);
    EXPECT_EQ(NewButton::iconImageRectForBounds(cell, true), QRect(27, 106, 18, 18));
    EXPECT_TRUE(NewButton::iconImageRectForBounds(cell, false).isNull());
    EXPECT_EQ(NewButton::imageRectForBounds(cell, true, true), QRect(45, 104, 800, 22));
    EXPECT_EQ(NewButton::imageRectForBounds(cell, false, true), QRect(20, 104, 800, 22));
    EXPECT_TRUE(NewButton::imageRectForBounds(cell, true, false).isNull());
    EXPECT_EQ(NewButton::checkBoxArea(cell), QRect(10, 100, 15, 30));
    // Odd spare height rounds up.
    EXPECT_EQ(NewButton::iconImageRectForBounds(QRect(0, 0, 50, 23), true).y(), 3);
}

TEST(NewButtonTest, OnlyTheCheckBoxReportsAndOncePerGuard) {
    NewButton cell;
    QSignalSpy clicks(&cell, &NewButton::clickButtonAction);
    const QRect row(0, 0, 300, 24);
    const struct {
        QPoint at;
        bool hits;
    } presses[] = {{{20, 8}, false},  // icon
                   {{50, 8}, false},  // label
                   {{5, 8}, true},
                   {{5, 9}, false}};  // within 0.2 s of the last report
    for (const auto& press : presses)
        EXPECT_EQ(cell.hitTestForEvent(press.at, row, {}), press.hits) << press.at.x();
    EXPECT_EQ(clicks.count(), 1);
    QThread::msleep(NewButton::kGuardMs + 20);
    EXPECT_TRUE(cell.hitTestForEvent({5, 8}, row, {}));
    EXPECT_EQ(clicks.count(), 2);
}

TEST(NewButtonTest, CheckPicturesByState) {
    EXPECT_EQ(NewButton::checkImageName(0), "pf_checkbox_no");
    EXPECT_EQ(NewButton::checkImageName(2), "pf_checkbox_yes");
    EXPECT_EQ(NewButton::checkImageName(1), "pf_checkbox_half");
    EXPECT_EQ(NewButton::checkImageName(7), "pf_checkbox_half");
}

TEST(QOVCustemButtonTest, APressTogglesAReactingTileAndActs) {
    QOVCustemButton tile;
    tile.resize(370, 70);
    QSignalSpy actions(&tile, &QAbstractButton::clicked);
    EXPECT_TRUE(tile.isSelected());
    QTest::mouseClick(&tile, Qt::LeftButton);
    EXPECT_FALSE(tile.isSelected());
    EXPECT_EQ(actions.count(), 1);

    tile.setButtonEnabled(false);
    QTest::mouseClick(&tile, Qt::LeftButton);
    EXPECT_FALSE(tile.isSelected());
    EXPECT_EQ(actions.count(), 1);
}

TEST(QOVCustemButtonTest, ChangeButtonStartSelectsAndClears) {
    QOVCustemButton tile;
    tile.changeButtonStart(false);
    EXPECT_FALSE(tile.isSelected());
    tile.changeButtonStart(true);
    EXPECT_TRUE(tile.isSelected());
}

TEST(KvCustomOutlineViewTest, RowBackgrounds) {
    KvCustomOutlineView view;
    view.setSelectCellBackgroundColorWithRow(2);
    view.setIsRootArr({0, 2, 3});
    EXPECT_EQ(view.backgroundForRow(2), KvCustomOutlineView::kMarkedColour);
    EXPECT_EQ(view.backgroundForRow(0), KvCustomOutlineView::kGroupColour);
    EXPECT_EQ(view.backgroundForRow(1), QColor(Qt::white));
    EXPECT_EQ(KvCustomOutlineView::kMarkedColour, QColor(59, 153, 252));
    EXPECT_EQ(KvCustomOutlineView::kGroupColour, QColor(242, 242, 242));
}

}  // namespace
