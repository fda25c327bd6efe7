#pragma once

// The thumbnail grid: a flat list of items shown as 150-point square cells,
// row by row. Only the rows in view plus one are built as widgets; items that
// leave the view are parked by reuse identifier and handed out again through
// dequeueReusableItemWithIdentifier, so a million files cost a screenful of
// widgets. The grid is its own scroll area: the viewport is the visible part
// of a grid as tall as its rows, in top-down coordinates.

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QRectF>

#include <cstdint>
#include <map>

#include "CNGridViewTypes.h"

class CNGridViewItem;
class CNSelectionFrameView;
class QMenu;

// A run of indexes: `location` and the `length` after it.
struct CNIndexRange {
    int64_t location = 0;
    int64_t length = 0;
    friend bool operator==(const CNIndexRange&, const CNIndexRange&) = default;
};

class CNGridView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CNGridView(QWidget* parent = nullptr);
    ~CNGridView() override;

    // Neither is owned.
    CNGridViewDelegate* delegate() const { return delegate_; }
    void setDelegate(CNGridViewDelegate* delegate) { delegate_ = delegate; }
    CNGridViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(CNGridViewDataSource* dataSource) { dataSource_ = dataSource; }

    QString gridViewTitle() const { return gridViewTitle_; }
    void setGridViewTitle(const QString& title) { gridViewTitle_ = title; }
    QColor backgroundColor() const { return backgroundColor_; }
    // The colour behind the cells.
    void setBackgroundColor(const QColor& colour);
    // Elastic scrolling has no counterpart here; nothing is stored.
    void setScrollElasticity(bool) {}
    QSize itemSize() const { return itemSize_; }
    // Refreshes only: cells stay 150 points square.
    void setItemSize(const QSize& size);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    // Turning it off drops the selection without announcing it.
    void setAllowsMultipleSelection(bool allows);
    bool allowsMultipleSelectionWithDrag() const { return allowsMultipleSelectionWithDrag_; }
    void setAllowsMultipleSelectionWithDrag(bool allows) {
        allowsMultipleSelectionWithDrag_ = allows;
    }
    bool useSelectionRing() const { return useSelectionRing_; }
    void setUseSelectionRing(bool use) { useSelectionRing_ = use; }
    bool useHover() const { return useHover_; }
    void setUseHover(bool use) { useHover_ = use; }
    bool useCenterAlignment() const { return useCenterAlignment_; }
    void setUseCenterAlignment(bool use) { useCenterAlignment_ = use; }
    // Not owned; its actions get the clicked indexes as data.
    QMenu* itemContextMenu() const { return itemContextMenu_; }
    void setItemContextMenu(QMenu* menu) { itemContextMenu_ = menu; }
    QWidget* headerView() const { return headerView_; }
    void setHeaderView(QWidget* view) { headerView_ = view; }

    // The data source's answers; without a data source the counts are
    // CNNotFound and the rest empty.
    uint64_t gridViewNumberOfItemsInSection(CNGridView* grid, int64_t section);
    CNGridViewItem* gridViewItemAtIndex(CNGridView* grid, int64_t index, int64_t section);
    uint64_t numberOfSectionsInGridView(CNGridView* grid);
    QString gridViewTitleForHeaderInSection(CNGridView* grid, int64_t section);
    QStringList sectionIndexTitlesForGridView(CNGridView* grid);

    // Loading and editing. Item work runs on the next turn of the event loop.
    void reloadData() { reloadDataAnimated(false); }
    void reloadDataAnimated(bool animated);
    void insertItemAtIndex(int64_t index, bool animated);
    void insertItemsAtIndexes(const CNIndexSet& indexes, bool animated);
    void reloadItemsAtIndexes(const CNIndexSet& indexes, bool animated);
    void removeItemsAtIndexes(const CNIndexSet& indexes, bool animated);
    // A parked item of that identifier, or null.
    CNGridViewItem* dequeueReusableItemWithIdentifier(const QString& identifier);
    void beginUpdates() {}
    void endUpdates() {}
    int64_t numberOfItems() const { return numberOfItems_; }

    // Geometry, in grid coordinates. The first two answer for any clip.
    static uint64_t columnsForWidth(double width);
    static CNIndexRange visibleItemRangeIn(const QRectF& clip, int64_t numberOfItems);
    uint64_t columnsInGridView() const;
    uint64_t visibleRowsInGridView() const;
    uint64_t allOverRowsInGridView() const;
    QRect rectForItemAtIndex(int64_t index) const;
    CNItemPoint locationForItemAtIndex(uint64_t index) const;
    // The rows in view plus one.
    CNIndexRange visibleItemRange() const;
    CNIndexSet visibleIndexes() const;
    CNIndexSet indexesForVisibleItems() const;
    uint64_t numberOfVisibleItems() const { return keyedVisibleItems_.size(); }
    // The shown item of an index, or null.
    CNGridViewItem* visibleItemAtIndex(int64_t index) const;
    // The part of the grid in view.
    QRectF clippedRect() const;
    int contentInset() const { return contentInset_; }
    // The grid's own rectangle: as wide as the view, as tall as its rows.
    QRect frame() const { return frame_; }
    void setFrame(const QRect& frame);
    // Items parked for reuse, of every identifier.
    int numberOfParkedItems() const;

    // Refresh.
    void refreshGridViewAnimated(bool animated, bool initialCall);
    void updateVisibleRect();
    void updateReuseableItems();
    void updateVisibleItems();
    void arrangeGridViewItemsAnimated(bool animated);
    void refreshInset();
    void refreshGridView();

    // Announcements: each posts its notification, then tells the delegate.
    void gridViewWillHoverItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewWillUnhoverItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewWillSelectItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewDidSelectItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewWillDeselectItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewDidDeselectItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewWillDeselectAllItems(CNGridView* grid, const QList<CNGridViewItem*>& items);
    void gridViewDidDeselectAllItems(CNGridView* grid);
    void gridViewDidClickItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewDidDoubleClickItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section);
    void gridViewDidActivateContextMenuWithIndexes(CNGridView* grid, const CNIndexSet& indexes,
                                                   uint64_t section);

    // Hover.
    void hoverItemAtIndex(int64_t index);
    void unHoverItemAtIndex(int64_t index);
    void mouseMoved(const QPointF& location);
    void mouseExited();
    int64_t lastHoveredIndex() const { return lastHoveredIndex_; }

    // Selection.
    void selectItem(CNGridViewItem* item);
    void deSelectItem(CNGridViewItem* item);
    void selectAllItems();
    void deselectAllItems();
    // Control stands for the Command key.
    void selectItemAtIndex(int64_t index, Qt::KeyboardModifiers modifiers);
    QList<CNGridViewItem*> selectedItems() const;
    CNIndexSet selectedIndexes() const;

    // Clicks: callers queue the locations of a click series, then resolve it.
    void addClickEvent(const QPointF& location) { clickEvents_.append(location); }
    void handleClicks();
    void handleSingleClickForItemAtIndex(int64_t index);
    void handleDoubleClickForItemAtIndex(int64_t index);

    // Hit testing, in grid coordinates.
    int64_t indexForItemAtLocation(const QPointF& location) const;
    // Not bounded by the item count.
    int64_t boundIndexForItemAtLocation(const QPointF& location) const;

    // Rubber band.
    void mouseDragged(const QPointF& location, Qt::KeyboardModifiers modifiers);
    void drawSelectionFrameForMousePointerAtLocation(const QPointF& location);
    void selectItemsCoveredBySelectionFrame(const QRectF& frame, Qt::KeyboardModifiers modifiers);
    // Ends a drag: the band goes and the items it framed join the selection.
    void mouseUp();
    CNSelectionFrameView* selectionFrameView() const { return selectionFrameView_; }
    QRectF selectionFrame() const { return selectionFrame_; }
    void keyDown(int key);
    void rightMouseDown(const QPointF& location);

protected:
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPoint contentOffset() const;
    QPointF toGrid(const QPointF& viewportPoint) const;
    void updateScrollRange();
    // Moves the shown items behind inserted indexes to their new cells.
    void moveItemsForInsert(const CNIndexSet& indexes, bool animated);
    // Takes an item from the data source into the view.
    void adopt(CNGridViewItem* item);
    void park(CNGridViewItem* item);
    // An item that left the view: deleted unless the selection still holds it.
    void discard(CNGridViewItem* item);
    // Deletes an item that is neither shown, parked nor selected any more.
    void release(CNGridViewItem* item);
    void dropSelection();
    bool holds(const CNGridViewItem* item) const;
    void announce(const char* name, const QVariantMap& userInfo);
    void announceIndex(const char* name, uint64_t index);

    std::map<int64_t, CNGridViewItem*> keyedVisibleItems_;
    QHash<QString, QList<CNGridViewItem*>> reuseableItems_;
    std::map<int64_t, CNGridViewItem*> selectedItems_;
    std::map<int64_t, CNGridViewItem*> selectedItemsBySelectionFrame_;
    CNSelectionFrameView* selectionFrameView_ = nullptr;
    QRectF selectionFrame_;
    QList<QPointF> clickEvents_;
    int64_t lastHoveredIndex_ = CNNotFound;
    int64_t lastSelectedItemIndex_ = CNNotFound;
    QPointF selectionFrameInitialPoint_;
    bool mouseHasDragged_ = false;
    bool abortSelection_ = false;
    int64_t numberOfItems_ = 0;
    bool isInitialCall_ = true;
    int contentInset_ = 0;
    QRect frame_;

    CNGridViewDelegate* delegate_ = nullptr;
    CNGridViewDataSource* dataSource_ = nullptr;
    QString gridViewTitle_;
    QColor backgroundColor_;
    QSize itemSize_;
    bool allowsSelection_ = false;
    bool allowsMultipleSelection_ = false;
    bool allowsMultipleSelectionWithDrag_ = false;
    bool useSelectionRing_ = true;
    bool useHover_ = true;
    bool useCenterAlignment_ = false;
    QMenu* itemContextMenu_ = nullptr;
    QPointer<QWidget> headerView_;
};
