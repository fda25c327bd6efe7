#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>

#include <cstdlib>

#include "BrowseFixtures.h"
#include "KvNSTableView.h"
#include "Tr.h"

namespace {

QString TabImage(QPushButton* button) {
    return button->property("tabImage").toString();
}

// A type tree with one category root, so its tab has something to select.
OpNodeRef CategoryRoot() {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    row->setType(OpNodeData::kTypeTree);
    row->setFadeName(QStringLiteral("Documents"));
    return row;
}

TEST(TreeTabs, EachTabShowsItsTreeAndItsLook) {
    BrowseWindow browse({{"a.txt", 1, 1}});
    KvDeletailWindowController& window = browse.window;
    window.show();
    browse.settle();

    window.modifyTimeButtonClick();
    EXPECT_EQ(window.selectTypeCount, 3);
    EXPECT_TRUE(window.modifyTimeBlowView->isVisible());
    EXPECT_TRUE(window.changeTimeBlowView->isVisible());
    EXPECT_FALSE(window.pathBlowView->isVisible());
    EXPECT_EQ(TabImage(window.timeButton), QStringLiteral("bg_tab"));
    EXPECT_EQ(TabImage(window.modifyButton), QStringLiteral("text_bg"));
    EXPECT_TRUE(TabImage(window.pathButton).isEmpty());

    window.timeButtonClick();
    EXPECT_EQ(window.selectTypeCount, 2);
    EXPECT_TRUE(window.createTimeBlowView->isVisible());
    EXPECT_FALSE(window.modifyTimeBlowView->isVisible());
    EXPECT_EQ(TabImage(window.creatButton), QStringLiteral("text_bg"));
    EXPECT_TRUE(TabImage(window.modifyButton).isEmpty());

    window.pathButtonClick();
    EXPECT_TRUE(window.pathBlowView->isVisible());
    EXPECT_FALSE(window.changeTimeBlowView->isVisible());
    EXPECT_EQ(TabImage(window.pathButton), QStringLiteral("bg_tab"));
    EXPECT_TRUE(TabImage(window.timeButton).isEmpty());
    EXPECT_TRUE(TabImage(window.creatButton).isEmpty());
}

// Clicks with the mouse where `control` shows on screen, as a user does.
void ClickOnScreen(QWidget* control) {
    const QPoint centre = control->mapToGlobal(control->rect().center());
    QWidget* hit = QApplication::widgetAt(centre);
    ASSERT_EQ(hit, control);
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFromGlobal(centre));
}

// The colour a button shows near its left edge, clear of its title.
QRgb GroundOf(QPushButton* button) {
    return button->grab().toImage().pixel(4, button->height() / 2);
}

TEST(TreeTabs, TheDateChoicesSayWhichDateAndShowWhichIsChosen) {
    BrowseWindow browse({{"a.txt", 1, 1}});
    KvDeletailWindowController& window = browse.window;
    window.show();
    browse.settle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.timeButtonClick();
    browse.settle();
    for (QPushButton* choice : {window.creatButton, window.modifyButton}) {
        EXPECT_FALSE(choice->text().isEmpty());
        // The title fits its button.
        EXPECT_LE(choice->fontMetrics().horizontalAdvance(choice->text()), choice->width());
    }
    EXPECT_EQ(window.creatButton->text(), Tr("CREATE_TIME_ROOT_NAME"));
    EXPECT_EQ(window.modifyButton->text(), Tr("MODIFY_TIME_ROOT_NAME"));

    struct Step {
        QPushButton* clicked;
        int tree;
    };
    const Step steps[] = {{window.modifyButton, OpNodeData::kModifiedTree},
                          {window.modifyButton, OpNodeData::kModifiedTree},
                          {window.creatButton, OpNodeData::kCreatedTree}};
    for (const Step& step : steps) {
        ClickOnScreen(step.clicked);
        browse.settle();
        QPushButton* other =
            step.clicked == window.creatButton ? window.modifyButton : window.creatButton;
        EXPECT_EQ(window.selectTypeCount, step.tree);
        EXPECT_TRUE(step.clicked->isChecked());
        EXPECT_FALSE(other->isChecked());
        // The chosen one looks different from the other, its title still
        // readable on it.
        EXPECT_NE(GroundOf(step.clicked), GroundOf(other));
        EXPECT_GT(std::abs(QColor(GroundOf(step.clicked)).lightness() -
                           step.clicked->palette().buttonText().color().lightness()),
                  100);
    }

    // Reached from the top tab, the tree by creation date shows as chosen.
    window.modifyTimeButtonClick();
    window.pathButtonClick();
    window.timeButtonClick();
    EXPECT_TRUE(window.creatButton->isChecked());
    EXPECT_FALSE(window.modifyButton->isChecked());
}

TEST(TreeTabs, TheShownTabDoesNothing) {
    BrowseWindow browse({{"a.txt", 1, 1}});
    KvDeletailWindowController& window = browse.window;
    window.allTypeArr.push_back(CategoryRoot());
    window.typeOutlineView->loadDataFormDetail(&window.allTypeArr, OpNodeData::kTypeTree);
    window.typeButtonClick();
    ASSERT_EQ(browse.facade.typeStateRefreshes.size(), 1u);
    // The category root was selected: nothing lists under it here.
    EXPECT_TRUE(window.arrList.empty());
    window.pathOutlineView->selectRootItem();
    browse.showFolder();
    window.typeButtonClick();
    EXPECT_EQ(browse.facade.typeStateRefreshes.size(), 1u);
    EXPECT_EQ(window.arrList.size(), 1u);
}

TEST(TreeTabs, AnUnpausedScanShowsTheTreeWithoutRecomputingItsMarks) {
    BrowseWindow browse({{"a.txt", 1, 1}});
    KvDeletailWindowController& window = browse.window;
    ASSERT_TRUE(browse.facade.DoScanWithDiskIndex(0, 0));
    window.typeButtonClick();
    window.timeButtonClick();
    EXPECT_TRUE(browse.facade.typeStateRefreshes.empty());
    EXPECT_TRUE(browse.facade.timeStateRefreshes.empty());
    EXPECT_EQ(window.selectTypeCount, 2);

    browse.facade.PauseOrResumeScan();
    window.modifyTimeButtonClick();
    EXPECT_EQ(browse.facade.timeStateRefreshes, std::vector<int>{1});
}

TEST(NoValueNote, ShownForAnEmptyNodeOnlyWhileThePathTreeHasRoots) {
    BrowseWindow browse({});
    KvDeletailWindowController& window = browse.window;
    ASSERT_TRUE(window.arrList.empty());
    ASSERT_NE(window.gridNoValueView, nullptr);
    EXPECT_NE(window.tableView->noValueView(), nullptr);
    const QLabel* text = window.gridNoValueView->findChild<QLabel*>(QStringLiteral("noValueText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->height(), 25);

    // Showing it again builds nothing new.
    QWidget* note = window.gridNoValueView;
    window.showNoValueNote();
    EXPECT_EQ(window.gridNoValueView, note);

    // It covers the grid area with its box in the middle, whatever size that gets.
    window.segmentSelect(1);
    window.show();
    browse.settle();
    EXPECT_EQ(window.gridNoValueView->geometry(), window.gridView->rect());
    const QSize area = window.gridView->size();
    EXPECT_EQ(window.nodeView->geometry(),
              QRect(area.width() / 2 - 200, area.height() - area.height() / 2 - 50, 400, 50));

    window.allDiskArr.clear();
    window.showNoValueNote();
    EXPECT_EQ(window.gridNoValueView, nullptr);
    EXPECT_EQ(window.tableView->noValueView(), nullptr);
}

TEST(NoValueNote, NotShownWhileTheNodeHasFiles) {
    BrowseWindow browse({{"a.txt", 1, 1}});
    EXPECT_EQ(browse.window.gridNoValueView, nullptr);
    browse.window.segmentSelect(1);
    EXPECT_TRUE(browse.window.gridView->isVisibleTo(&browse.window));
    EXPECT_FALSE(browse.window.listTableViewBlowView->isVisibleTo(&browse.window));
}

TEST(Split, DraggingStaysWithinTheLimitsAndResizingKeepsThePane) {
    BrowseWindow browse({{"a.txt", 1, 1}});
    KvDeletailWindowController& window = browse.window;
    window.show();
    browse.settle();
    QSplitterHandle* handle = window.splistView->handle(1);
    const int y = handle->height() / 2;
    for (const auto& [target, expected] :
         std::vector<std::pair<int, int>>{{100, 224}, {600, 400}, {300, 300}}) {
        const int from = window.splistLeftView->width();
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(0, y));
        QTest::mouseMove(handle, QPoint(target - from, y));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(target - from, y));
        browse.settle();
        EXPECT_EQ(window.splistLeftView->width(), expected) << target;
    }
    window.resize(window.width() + 300, window.height());
    browse.settle();
    EXPECT_EQ(window.splistLeftView->width(), 300);
}

}  // namespace
