#include <gtest/gtest.h>

#include "GridFixtures.h"

namespace {

using gridtest::Grid;
using gridtest::Settle;

std::set<int64_t> Span(int64_t first, int64_t end) {
    std::set<int64_t> indexes;
    for (int64_t index = first; index < end; ++index)
        indexes.insert(index);
    return indexes;
}

TEST(GridLayout, ColumnsAndTheVisibleRangeFollowTheClip) {
    struct Case {
        QRectF clip;
        int64_t items;
        uint64_t columns;
        CNIndexRange range;
    };
    const Case cases[] = {
        {{0, 0, 140, 300}, 10, 1, {0, 3}},      // narrower than a cell: still one column
        {{0, 150, 450, 300}, 30, 3, {0, 9}},    // at y 150 nothing has left the view yet
        {{0, 150.5, 450, 300}, 30, 3, {3, 9}},  // just past it the first row has
        {{0, 0, 450, 300}, 7, 3, {0, 7}},       // rows in view plus one, cut at the end
        {{0, 0, 450, 300}, 20, 3, {0, 9}},
        {{0, 3000, 450, 300}, 20, 3, {57, 0}},  // past the end: empty
        {{0, 0, 450, 300}, 0, 3, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CNGridView::columnsForWidth(c.clip.width()), c.columns) << c.clip.width();
        EXPECT_EQ(CNGridView::visibleItemRangeIn(c.clip, c.items), c.range)
            << c.clip.y() << " " << c.items;
    }
}

TEST(GridLayout, CellsRowsAndHeightWithACentredGrid) {
    Grid grid(500, 300, 7);
    grid.view.setUseCenterAlignment(true);
    grid.view.reloadData();
    Settle();
    // 500 wide holds 3 columns with 50 points to spare: 25 each side and on top.
    EXPECT_EQ(grid.view.columnsInGridView(), 3u);
    EXPECT_EQ(grid.view.contentInset(), 25);
    EXPECT_EQ(grid.view.allOverRowsInGridView(), 3u);
    EXPECT_EQ(grid.view.frame().height(), 3 * 150 + 50);
    EXPECT_EQ(grid.view.rectForItemAtIndex(4), QRect(175, 175, 150, 150));
    EXPECT_EQ(grid.view.locationForItemAtIndex(4), CNMakeItemPoint(2, 2));
    EXPECT_EQ(grid.view.locationForItemAtIndex(6), CNMakeItemPoint(1, 3));
    EXPECT_EQ(grid.view.visibleItemAtIndex(4)->frame(), QRect(175, 175, 150, 150));

    grid.source.count = 0;
    grid.view.reloadData();
    Settle();
    EXPECT_EQ(grid.view.frame().height(), 50);
    EXPECT_EQ(grid.view.numberOfVisibleItems(), 0u);
}

TEST(GridLayout, HitTesting) {
    Grid grid(500, 300, 7);
    grid.view.setUseCenterAlignment(true);
    grid.view.reloadData();
    Settle();
    struct Case {
        QPointF point;
        int64_t index;
        int64_t bound;
    };
    const Case cases[] = {
        {{30, 30}, 0, 0},
        {{24, 30}, CNNotFound, 0},     // in the left margin
        {{30, 24}, CNNotFound, 0},     // in the top margin
        {{474, 30}, 2, 3},             // the bound index ignores the margin
        {{475, 30}, CNNotFound, 3},    // right of the last column
        {{900, 30}, CNNotFound, 3},    // clamped to the columns' width
        {{180, 480}, CNNotFound, 10},  // in the cell area past the last item
        {{180, 200}, 4, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid.view.indexForItemAtLocation(c.point), c.index)
            << c.point.x() << "," << c.point.y();
        EXPECT_EQ(grid.view.boundIndexForItemAtLocation(c.point), c.bound)
            << c.point.x() << "," << c.point.y();
    }
}

TEST(GridLayout, ShowsTheRowsInViewPlusOneAndFollowsTheScroll) {
    Grid grid(450, 300, 30);
    EXPECT_EQ(grid.shown(), Span(0, 9));
    EXPECT_EQ(grid.view.visibleItemAtIndex(5)->itemTitle(), "5");
    grid.scrollTo(300);
    EXPECT_EQ(grid.shown(), Span(3, 12));
    // Frames are grid positions; the widgets sit where the scroll puts them.
    CNGridViewItem* item = grid.view.visibleItemAtIndex(6);
    EXPECT_EQ(item->frame(), QRect(0, 300, 150, 150));
    EXPECT_EQ(item->geometry(), QRect(0, 0, 150, 150));
    EXPECT_EQ(grid.liveItems(), 9);  // the first row's items came back as the last row's
}

TEST(GridLayout, ReloadOfAMillionItemsAsksOnlyForTheCellsInView) {
    Grid grid(450, 300, 1'000'000);
    EXPECT_EQ(grid.source.asked.size(), 9u);
    grid.scrollTo(grid.view.verticalScrollBar()->maximum());
    EXPECT_EQ(grid.shown(), Span(999'993, 1'000'000));
}

TEST(GridLayout, AGridWithoutDataSourceShowsNothing) {
    CNGridView grid;
    grid.resize(300, 300);
    grid.show();
    grid.reloadData();
    Settle();
    EXPECT_EQ(grid.numberOfItems(), 0);
    EXPECT_EQ(grid.frame().height(), 0);
}

// Editing.

TEST(GridEditing, RemovingAnIndexDropsEveryShownItemFromItOn) {
    Grid grid(450, 600, 20);
    std::map<int64_t, CNGridViewItem*> before;
    for (int64_t index : grid.shown())
        before[index] = grid.view.visibleItemAtIndex(index);
    grid.source.count = 19;
    grid.source.asked.clear();
    grid.view.removeItemsAtIndexes({5}, false);
    Settle();
    for (int64_t index = 0; index < 5; ++index)
        EXPECT_EQ(grid.view.visibleItemAtIndex(index), before[index]) << index;
    EXPECT_EQ(std::set<int64_t>(grid.source.asked.begin(), grid.source.asked.end()), Span(5, 15));
    EXPECT_EQ(grid.view.visibleItemAtIndex(5)->itemTitle(), "5");
    EXPECT_EQ(grid.liveItems(), 15);  // the dropped items were parked and handed out again
}

TEST(GridEditing, InsertedIndexesMoveTheItemsBehindThem) {
    struct Case {
        CNIndexSet inserted;
        std::map<int64_t, int64_t> moves;  // old index -> new index
    };
    const Case cases[] = {
        {{5}, {{4, 4}, {5, 6}, {14, 15}}},
        {{0}, {{0, 1}}},
        {{2, 3, 10}, {{1, 1}, {2, 4}, {7, 9}, {8, 11}}},
    };
    for (const Case& c : cases) {
        Grid grid(450, 600, 20);
        std::map<int64_t, CNGridViewItem*> before;
        for (const auto& [from, to] : c.moves)
            before[from] = grid.view.visibleItemAtIndex(from);
        grid.source.count += c.inserted.size();
        grid.source.asked.clear();
        grid.view.insertItemsAtIndexes(c.inserted, false);
        Settle();
        for (const auto& [from, to] : c.moves) {
            CNGridViewItem* moved = before[from];
            if (to >= 15)  // moved out of view and parked
                continue;
            EXPECT_EQ(grid.view.visibleItemAtIndex(to), moved) << from << "->" << to;
            EXPECT_EQ(moved->index(), to);
            EXPECT_EQ(moved->frame(), grid.view.rectForItemAtIndex(to));
        }
        // Only the new cells are asked for.
        EXPECT_EQ(std::set<int64_t>(grid.source.asked.begin(), grid.source.asked.end()),
                  std::set<int64_t>(c.inserted.begin(), c.inserted.end()));
        EXPECT_EQ(grid.view.numberOfItems(), int64_t(grid.source.count));
    }
}

TEST(GridEditing, EmptySetsChangeNothing) {
    Grid grid(450, 600, 20);
    const std::set<int64_t> shown = grid.shown();
    grid.source.asked.clear();
    grid.view.insertItemsAtIndexes({}, true);
    grid.view.removeItemsAtIndexes({}, true);
    Settle();
    EXPECT_TRUE(grid.source.asked.empty());
    EXPECT_EQ(grid.shown(), shown);
    EXPECT_EQ(grid.view.numberOfItems(), 20);
}

TEST(GridEditing, ReloadingItemsAsksForThemAgain) {
    Grid grid(450, 600, 20);
    CNGridViewItem* kept = grid.view.visibleItemAtIndex(2);
    grid.source.asked.clear();
    grid.view.reloadItemsAtIndexes({3, 7}, false);
    Settle();
    EXPECT_EQ(grid.source.asked, (std::vector<int64_t>{3, 7}));
    EXPECT_EQ(grid.view.visibleItemAtIndex(2), kept);
    EXPECT_EQ(grid.liveItems(), 15);
}

TEST(GridEditing, ReloadKeepsTheSelection) {
    Grid grid(450, 600, 20);
    grid.view.selectItem(grid.view.visibleItemAtIndex(2));
    grid.view.reloadData();
    Settle();
    EXPECT_EQ(grid.view.selectedIndexes(), (CNIndexSet{2}));
    grid.view.deselectAllItems();
    Settle();
    EXPECT_TRUE(grid.view.selectedIndexes().empty());
    EXPECT_EQ(grid.liveItems(), 15);  // the old selected item went with its selection
}

TEST(GridEditing, AnEmptyCellIsAskedForAgainOnTheNextScroll) {
    Grid grid(450, 600, 40);
    grid.source.empty = {4};
    grid.view.reloadData();
    Settle();
    EXPECT_EQ(grid.view.visibleItemAtIndex(4), nullptr);
    EXPECT_EQ(grid.view.numberOfVisibleItems(), 14u);
    grid.source.empty.clear();
    grid.scrollTo(1);
    ASSERT_NE(grid.view.visibleItemAtIndex(4), nullptr);
    EXPECT_EQ(grid.view.visibleItemAtIndex(4)->itemTitle(), "4");
}

// Reuse.

TEST(GridReuse, ASelectionDoesNotStopRecycling) {
    Grid grid(450, 600, 30'000);  // 3 columns, 4 rows in view, 10,000 rows
    // A right click selects, as it does in the results window.
    grid.view.rightMouseDown(QPointF(200, 20));
    CNGridViewItem* selected = grid.view.visibleItemAtIndex(1);
    ASSERT_TRUE(selected->isSelected());
    int mostLive = 0;
    QScrollBar* bar = grid.view.verticalScrollBar();
    // Scrolling works through the items at once; only the end is painted.
    for (int y = 150; y <= bar->maximum(); y += 150) {
        bar->setValue(y);
        mostLive = std::max(mostLive, grid.liveItems());
    }
    Settle();
    const int bound = (4 + 1) * 3 + 1;
    EXPECT_LE(mostLive, bound);
    EXPECT_LE(grid.source.made, bound);
    EXPECT_EQ(grid.view.visibleItemAtIndex(1), selected);
    EXPECT_TRUE(selected->isSelected());
    EXPECT_EQ(grid.view.selectedIndexes(), (CNIndexSet{1}));
}

TEST(GridReuse, DequeueHandsOutParkedItemsCleared) {
    Grid grid(450, 300, 30);
    CNGridViewItem* leaving = grid.view.visibleItemAtIndex(6);
    leaving->setRepresentedObject(7);
    grid.view.resize(450, 150);  // one row in view, plus one
    Settle();
    EXPECT_EQ(grid.view.numberOfParkedItems(), 3);
    EXPECT_EQ(grid.view.dequeueReusableItemWithIdentifier("other"), nullptr);
    std::set<CNGridViewItem*> handedOut;
    while (CNGridViewItem* item =
               grid.view.dequeueReusableItemWithIdentifier(kCNDefaultItemIdentifier)) {
        EXPECT_EQ(item->index(), CNNotFound);
        EXPECT_FALSE(item->representedObject().isValid());
        EXPECT_EQ(item->itemTitle(), "");
        handedOut.insert(item);
    }
    EXPECT_EQ(handedOut.size(), 3u);
    EXPECT_TRUE(handedOut.count(leaving));
}

TEST(GridReuse, AWidthChangeRelaysTheCells) {
    Grid grid(450, 300, 30);
    grid.view.resize(300, 300);
    Settle();
    EXPECT_EQ(grid.view.columnsInGridView(), 2u);
    EXPECT_EQ(grid.shown(), Span(0, 6));
    EXPECT_EQ(grid.view.visibleItemAtIndex(3)->frame(), QRect(0, 150, 150, 150));
    // Items already shown keep their frames until an arrangement that is not
    // a fade-in moves them.
    grid.view.arrangeGridViewItemsAnimated(false);
    EXPECT_EQ(grid.view.visibleItemAtIndex(3)->frame(), QRect(150, 150, 150, 150));
}

}  // namespace
