#include <gtest/gtest.h>

#include <QMenu>

#include "CNSelectionFrameView.h"
#include "GridFixtures.h"
#include "KvNotificationCenter.h"

namespace {

using gridtest::Grid;
using gridtest::Settle;

constexpr int64_t NF = CNNotFound;

// What a grid announced, as "name index" lines in order of arrival;
// delegate calls are marked with a leading "delegate ".
class Announcements : public CNGridViewDelegate {
public:
    explicit Announcements(CNGridView* grid) : grid_(grid) {
        const char* names[] = {cnnote::kWillHoverItem,
                               cnnote::kWillUnhoverItem,
                               cnnote::kWillSelectItem,
                               cnnote::kDidSelectItem,
                               cnnote::kWillDeselectItem,
                               cnnote::kDidDeselectItem,
                               cnnote::kDidClickItem,
                               cnnote::kDidDoubleClickItem,
                               cnnote::kWillDeselectAllItems,
                               cnnote::kDidDeselectAllItems,
                               cnnote::kRightMouseButtonClickedOnItem};
        for (const char* name : names) {
            KvNotificationCenter::defaultCenter()->observe(
                name, &context_, [this, name](const QVariant& object) {
                    const auto note = object.value<CNGridViewNotification>();
                    if (note.grid != grid_)
                        return;
                    std::string line = name;
                    const QVariant index = note.userInfo.value(cnnote::kItemIndexKey);
                    if (index.isValid())
                        line += " " + Index(int64_t(index.toULongLong()));
                    lines.push_back(line);
                });
        }
    }
    static std::string Index(int64_t index) { return index == NF ? "NF" : std::to_string(index); }
    void gridViewWillSelectItemAtIndex(CNGridView*, uint64_t index, uint64_t) override {
        lines.push_back("delegate will-select " + Index(int64_t(index)));
    }
    void gridViewDidClickItemAtIndex(CNGridView*, uint64_t index, uint64_t) override {
        lines.push_back("delegate click " + Index(int64_t(index)));
    }
    void gridViewDidActivateContextMenuWithIndexes(CNGridView*, const CNIndexSet& indexes,
                                                   uint64_t) override {
        menuIndexes = indexes;
    }
    std::vector<std::string> take() { return std::exchange(lines, {}); }

    std::vector<std::string> lines;
    CNIndexSet menuIndexes;

private:
    CNGridView* grid_;
    QObject context_;
};

// A 3-column grid of 12 items, all in view.
struct InteractionGrid : Grid {
    InteractionGrid() : Grid(450, 600, 12), heard(&view) { view.setDelegate(&heard); }
    static QPointF centreOf(int64_t index) {
        return QPointF(double(index % 3) * 150 + 75, double(index / 3) * 150 + 75);
    }
    Announcements heard;
};

TEST(GridInteraction, HoverFollowsTheMouse) {
    InteractionGrid grid;
    const QPointF empty(75, 1000);
    struct Step {
        QPointF at;
        std::vector<std::string> heard;
    };
    const Step steps[] = {
        {InteractionGrid::centreOf(0), {"CNGridViewWillHoverItem 0"}},
        {InteractionGrid::centreOf(0) + QPointF(10, 10), {}},
        {InteractionGrid::centreOf(1),
         {"CNGridViewWillUnhoverItem 0", "CNGridViewWillHoverItem 1"}},
        {empty, {"CNGridViewWillUnhoverItem 1", "CNGridViewWillHoverItem NF"}},
        {empty, {}},
        {InteractionGrid::centreOf(2), {"CNGridViewWillHoverItem 2"}},
    };
    for (const Step& step : steps) {
        grid.view.mouseMoved(step.at);
        EXPECT_EQ(grid.heard.take(), step.heard) << step.at.x() << "," << step.at.y();
    }
    EXPECT_TRUE(grid.view.visibleItemAtIndex(2)->isHovered());
    EXPECT_FALSE(grid.view.visibleItemAtIndex(1)->isHovered());
    // Leaving the grid forgets the index but leaves the highlight.
    grid.view.mouseExited();
    EXPECT_EQ(grid.view.lastHoveredIndex(), NF);
    EXPECT_TRUE(grid.view.visibleItemAtIndex(2)->isHovered());
    grid.view.setUseHover(false);
    grid.view.mouseMoved(InteractionGrid::centreOf(3));
    EXPECT_TRUE(grid.heard.take().empty());
}

TEST(GridInteraction, ClickSeriesResolveIntoSingleAndDoubleClicks) {
    struct Case {
        std::vector<int64_t> clicks;
        std::vector<std::string> heard;
    };
    const std::string click = "CNGridViewDidClickItem ";
    const std::string twice = "CNGridViewDidDoubleClickItem ";
    const Case cases[] = {
        {{4}, {click + "4"}},
        {{4, 4}, {twice + "4"}},
        {{4, 7}, {click + "4", click + "7"}},
        {{4, 4, 7}, {twice + "4", click + "7"}},
        {{4, 7, 7}, {click + "4", twice + "7"}},
        {{4, 4, 4}, {twice + "4"}},
        {{1, 2, 3}, {click + "1", click + "2", click + "3"}},
        {{1, 2, 3, 4}, {}},
        {{NF}, {}},
    };
    for (const Case& c : cases) {
        InteractionGrid grid;
        for (int64_t index : c.clicks)
            grid.view.addClickEvent(index == NF ? QPointF(75, 5000)
                                                : InteractionGrid::centreOf(index));
        grid.view.handleClicks();
        std::vector<std::string> notes;
        for (const std::string& line : grid.heard.take()) {
            if (line.rfind("delegate", 0) != 0)
                notes.push_back(line);
        }
        EXPECT_EQ(notes, c.heard) << c.clicks.size() << " clicks";
        // The series is used up.
        grid.view.handleClicks();
        EXPECT_TRUE(grid.heard.take().empty());
    }
}

TEST(GridInteraction, NotificationsComeBeforeTheDelegate) {
    InteractionGrid grid;
    grid.view.selectItem(grid.view.visibleItemAtIndex(5));
    grid.view.handleSingleClickForItemAtIndex(5);
    EXPECT_EQ(grid.heard.take(),
              (std::vector<std::string>{"CNGridViewWillSelectItem 5", "delegate will-select 5",
                                        "CNGridViewDidSelectItem 5", "CNGridViewDidClickItem 5",
                                        "delegate click 5"}));
}

TEST(GridInteraction, ModifiersDecideWhatAClickSelects) {
    const auto shift = Qt::ShiftModifier;
    const auto command = Qt::ControlModifier;
    const Qt::KeyboardModifiers none;
    struct Case {
        bool multiple;
        CNIndexSet before;
        int64_t index;
        Qt::KeyboardModifiers modifiers;
        CNIndexSet after;
    };
    const Case cases[] = {
        {true, {1, 2}, 5, none, {5}},     // a plain click replaces the selection
        {true, {1, 2}, 2, none, {2}},     // also on a selected item
        {true, {1, 2}, 2, command, {1}},  // Command toggles
        {true, {1, 2}, 5, command, {1, 2, 5}},
        {true, {}, 5, shift, {5}},            // Shift without a selection selects one
        {true, {4}, 1, shift, {1, 2, 3, 4}},  // Shift fills towards the highest selected
        {true, {1, 4}, 7, shift, {1, 4, 5, 6, 7}},
        {false, {}, 5, none, {5}},
        {false, {5}, 5, command, {}},
        {true, {1}, NF, none, {1}},
    };
    for (const Case& c : cases) {
        InteractionGrid grid;
        grid.view.setAllowsMultipleSelection(true);
        for (int64_t index : c.before)
            grid.view.selectItem(grid.view.visibleItemAtIndex(index));
        grid.view.setAllowsMultipleSelection(c.multiple);
        if (!c.multiple) {
            for (int64_t index : c.before)
                grid.view.selectItem(grid.view.visibleItemAtIndex(index));
        }
        grid.view.selectItemAtIndex(c.index, c.modifiers);
        EXPECT_EQ(grid.view.selectedIndexes(), c.after) << c.index << " " << c.modifiers;
        for (int64_t index = 0; index < 12; ++index) {
            EXPECT_EQ(grid.view.visibleItemAtIndex(index)->isSelected(), c.after.count(index) > 0)
                << index;
        }
    }
}

TEST(GridInteraction, SingleSelectionMovesWithTheClicks) {
    InteractionGrid grid;
    grid.view.selectItemAtIndex(3, {});
    grid.view.selectItemAtIndex(8, {});
    EXPECT_EQ(grid.view.selectedIndexes(), (CNIndexSet{8}));
}

TEST(GridInteraction, RightClicks) {
    InteractionGrid grid;
    QMenu menu;
    QAction* open = menu.addAction("open");
    grid.view.setItemContextMenu(&menu);
    grid.view.setAllowsMultipleSelection(true);
    grid.view.selectItemAtIndex(2, {});
    grid.view.selectItemAtIndex(4, Qt::ControlModifier);
    grid.heard.take();

    // On a selected item: the whole selection goes to the menu.
    grid.view.rightMouseDown(InteractionGrid::centreOf(4));
    EXPECT_EQ(grid.view.selectedIndexes(), (CNIndexSet{2, 4}));
    EXPECT_EQ(grid.heard.menuIndexes, (CNIndexSet{2, 4}));
    EXPECT_EQ(open->data().value<CNIndexSet>(), (CNIndexSet{2, 4}));
    menu.hide();

    // On another item: it alone is selected.
    grid.view.rightMouseDown(InteractionGrid::centreOf(7));
    EXPECT_EQ(grid.view.selectedIndexes(), (CNIndexSet{7}));
    EXPECT_EQ(grid.heard.menuIndexes, (CNIndexSet{7}));
    menu.hide();

    // Without a menu it still selects, and no menu is announced.
    grid.view.setItemContextMenu(nullptr);
    grid.heard.take();
    grid.view.rightMouseDown(InteractionGrid::centreOf(1));
    EXPECT_EQ(grid.heard.take(), (std::vector<std::string>{
                                     "CNGridViewWillDeselectAllItems",
                                     "CNGridViewDidDeselectAllItems", "CNGridViewWillSelectItem 1",
                                     "delegate will-select 1", "CNGridViewDidSelectItem 1"}));
    // Outside every cell: the selection goes.
    grid.view.rightMouseDown(QPointF(75, 5000));
    EXPECT_TRUE(grid.view.selectedIndexes().empty());
}

TEST(GridInteraction, SelectAllShowsTheSelectionOnTheShownItems) {
    Grid grid(450, 300, 12);  // 9 cells in view
    grid.view.selectAllItems();
    Settle();
    CNIndexSet all;
    for (int64_t index = 0; index < 12; ++index)
        all.insert(index);
    EXPECT_EQ(grid.view.selectedIndexes(), all);
    for (int64_t index : grid.shown())
        EXPECT_TRUE(grid.view.visibleItemAtIndex(index)->isSelected()) << index;
    EXPECT_EQ(grid.liveItems(), 12);  // the 9 shown and 3 for the cells out of view
}

TEST(GridInteraction, DeselectAllReachesOnlyTheItemsOfItsGrid) {
    InteractionGrid first;
    InteractionGrid second;
    first.view.selectItem(first.view.visibleItemAtIndex(1));
    second.view.selectItem(second.view.visibleItemAtIndex(1));
    first.view.deselectAllItems();
    EXPECT_FALSE(first.view.visibleItemAtIndex(1)->isSelected());
    EXPECT_TRUE(second.view.visibleItemAtIndex(1)->isSelected());
    EXPECT_EQ(second.view.selectedIndexes(), (CNIndexSet{1}));
}

TEST(GridInteraction, TheRubberBandSelectsWhatItCovers) {
    InteractionGrid grid;
    grid.view.setAllowsMultipleSelection(true);
    grid.view.setAllowsMultipleSelectionWithDrag(true);
    grid.view.mouseDragged(QPointF(20, 20), {});
    ASSERT_NE(grid.view.selectionFrameView(), nullptr);
    grid.view.mouseDragged(QPointF(200, 200), {});
    EXPECT_EQ(grid.view.selectionFrame(), QRectF(20, 20, 180, 180));
    for (int64_t index : {0, 1, 3, 4})
        EXPECT_TRUE(grid.view.visibleItemAtIndex(index)->isSelected()) << index;
    EXPECT_FALSE(grid.view.visibleItemAtIndex(2)->isSelected());
    // Shrinking the band lets go of what it left.
    grid.view.mouseDragged(QPointF(100, 100), {});
    EXPECT_TRUE(grid.view.visibleItemAtIndex(0)->isSelected());
    EXPECT_FALSE(grid.view.visibleItemAtIndex(4)->isSelected());
    // The right edge stops one point short of the last column's edge.
    grid.view.mouseDragged(QPointF(2000, 100), {});
    EXPECT_EQ(grid.view.selectionFrame().right(), 449);
    grid.view.mouseDragged(QPointF(200, 100), {});
    // Releasing ends the drag: the framed items are the selection.
    grid.view.mouseUp();
    Settle();
    EXPECT_EQ(grid.view.selectionFrameView(), nullptr);
    EXPECT_EQ(grid.view.selectedIndexes(), (CNIndexSet{0, 1}));
}

TEST(GridInteraction, CommandInvertsTheSelectionUnderTheBand) {
    InteractionGrid grid;
    grid.view.setAllowsMultipleSelection(true);
    grid.view.setAllowsMultipleSelectionWithDrag(true);
    grid.view.selectItemAtIndex(0, {});
    grid.view.mouseDragged(QPointF(20, 20), Qt::ControlModifier);
    grid.view.mouseDragged(QPointF(200, 100), Qt::ControlModifier);
    EXPECT_FALSE(grid.view.visibleItemAtIndex(0)->isSelected());
    EXPECT_TRUE(grid.view.visibleItemAtIndex(1)->isSelected());
    grid.view.mouseDragged(QPointF(21, 21), Qt::ControlModifier);
    grid.view.mouseDragged(QPointF(200, 100), Qt::ControlModifier);
    grid.view.mouseDragged(QPointF(100, 20), Qt::ControlModifier);
    // Shrunk away from item 1 and back over item 0 only.
    EXPECT_FALSE(grid.view.visibleItemAtIndex(1)->isSelected());
    grid.view.mouseUp();
    EXPECT_TRUE(grid.view.selectedIndexes().empty());
}

TEST(GridInteraction, EscapeStopsTheBandUntilTheDragEnds) {
    InteractionGrid grid;
    grid.view.setAllowsMultipleSelection(true);
    grid.view.setAllowsMultipleSelectionWithDrag(true);
    grid.view.keyDown(Qt::Key_Escape);
    grid.view.mouseDragged(QPointF(20, 20), {});
    grid.view.mouseDragged(QPointF(200, 200), {});
    EXPECT_EQ(grid.view.selectionFrameView(), nullptr);
    grid.view.mouseUp();
    grid.view.mouseDragged(QPointF(20, 20), {});
    EXPECT_NE(grid.view.selectionFrameView(), nullptr);
}

}  // namespace
