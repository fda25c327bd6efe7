// The grid's interaction: hover, selection, click series, the rubber band,
// the context menu and what the grid announces of them.

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "CNGridView.h"
#include "CNGridViewItem.h"
#include "CNSelectionFrameView.h"
#include "CNViewRelations.h"
#include "KvNotificationCenter.h"

namespace {

constexpr int kCell = CNGridCellSize;

bool Within(const CNItemPoint& cell, const CNItemPoint& topLeft, const CNItemPoint& bottomRight) {
    return cell.column >= topLeft.column && cell.column <= bottomRight.column &&
           cell.row >= topLeft.row && cell.row <= bottomRight.row;
}

}  // namespace

// Announcements.

void CNGridView::announce(const char* name, const QVariantMap& userInfo) {
    KvNotificationCenter::defaultCenter()->post(
        name, QVariant::fromValue(CNGridViewNotification{this, userInfo}));
}

void CNGridView::announceIndex(const char* name, uint64_t index) {
    announce(name, {{cnnote::kItemIndexKey, QVariant::fromValue<qulonglong>(index)}});
}

void CNGridView::gridViewWillHoverItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section) {
    announceIndex(cnnote::kWillHoverItem, index);
    if (delegate_)
        delegate_->gridViewWillHoverItemAtIndex(grid, index, section);
}

void CNGridView::gridViewWillUnhoverItemAtIndex(CNGridView* grid, uint64_t index,
                                                uint64_t section) {
    announceIndex(cnnote::kWillUnhoverItem, index);
    if (delegate_)
        delegate_->gridViewWillUnhoverItemAtIndex(grid, index, section);
}

void CNGridView::gridViewWillSelectItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section) {
    announceIndex(cnnote::kWillSelectItem, index);
    if (delegate_)
        delegate_->gridViewWillSelectItemAtIndex(grid, index, section);
}

void CNGridView::gridViewDidSelectItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section) {
    announceIndex(cnnote::kDidSelectItem, index);
    if (delegate_)
        delegate_->gridViewDidSelectItemAtIndex(grid, index, section);
}

void CNGridView::gridViewWillDeselectItemAtIndex(CNGridView* grid, uint64_t index,
                                                 uint64_t section) {
    announceIndex(cnnote::kWillDeselectItem, index);
    if (delegate_)
        delegate_->gridViewWillDeselectItemAtIndex(grid, index, section);
}

void CNGridView::gridViewDidDeselectItemAtIndex(CNGridView* grid, uint64_t index,
                                                uint64_t section) {
    announceIndex(cnnote::kDidDeselectItem, index);
    if (delegate_)
        delegate_->gridViewDidDeselectItemAtIndex(grid, index, section);
}

void CNGridView::gridViewWillDeselectAllItems(CNGridView* grid,
                                              const QList<CNGridViewItem*>& items) {
    announce(cnnote::kWillDeselectAllItems,
             {{cnnote::kSelectedItemsKey, QVariant::fromValue(items)}});
    if (delegate_)
        delegate_->gridViewWillDeselectAllItems(grid, items);
}

void CNGridView::gridViewDidDeselectAllItems(CNGridView* grid) {
    announce(cnnote::kDidDeselectAllItems, {});
    if (delegate_)
        delegate_->gridViewDidDeselectAllItems(grid);
}

void CNGridView::gridViewDidClickItemAtIndex(CNGridView* grid, uint64_t index, uint64_t section) {
    announceIndex(cnnote::kDidClickItem, index);
    if (delegate_)
        delegate_->gridViewDidClickItemAtIndex(grid, index, section);
}

void CNGridView::gridViewDidDoubleClickItemAtIndex(CNGridView* grid, uint64_t index,
                                                   uint64_t section) {
    announceIndex(cnnote::kDidDoubleClickItem, index);
    if (delegate_)
        delegate_->gridViewDidDoubleClickItemAtIndex(grid, index, section);
}

void CNGridView::gridViewDidActivateContextMenuWithIndexes(CNGridView* grid,
                                                           const CNIndexSet& indexes,
                                                           uint64_t section) {
    announce(cnnote::kRightMouseButtonClickedOnItem,
             {{cnnote::kItemsIndexSetKey, QVariant::fromValue(indexes)}});
    if (delegate_)
        delegate_->gridViewDidActivateContextMenuWithIndexes(grid, indexes, section);
}

// Hit testing.

int64_t CNGridView::indexForItemAtLocation(const QPointF& location) const {
    const auto columns = int64_t(columnsInGridView());
    const double x = location.x();
    const double y = location.y();
    if (x >= double(columns * kCell + contentInset_) || x < contentInset_ || y < contentInset_)
        return CNNotFound;
    const auto column = int64_t(std::floor((x - contentInset_) / kCell));
    const auto row = int64_t(std::floor((y - contentInset_) / kCell));
    const int64_t index = row * columns + column;
    return index < numberOfItems_ ? index : CNNotFound;
}

int64_t CNGridView::boundIndexForItemAtLocation(const QPointF& location) const {
    const auto columns = int64_t(columnsInGridView());
    const double x = std::clamp(location.x(), 0.0, double(columns * kCell));
    const double y = std::max(location.y(), 0.0);
    return int64_t(std::floor(y / kCell)) * columns + int64_t(std::floor(x / kCell));
}

// Hover.

void CNGridView::hoverItemAtIndex(int64_t index) {
    gridViewWillHoverItemAtIndex(this, uint64_t(index), 0);
    lastHoveredIndex_ = index;
    if (CNGridViewItem* item = visibleItemAtIndex(index))
        item->setHovered(true);
}

void CNGridView::unHoverItemAtIndex(int64_t index) {
    gridViewWillUnhoverItemAtIndex(this, uint64_t(index), 0);
    if (CNGridViewItem* item = visibleItemAtIndex(index))
        item->setHovered(false);
}

void CNGridView::mouseMoved(const QPointF& location) {
    if (!useHover_)
        return;
    const int64_t index = indexForItemAtLocation(location);
    if (index == CNNotFound && lastHoveredIndex_ == CNNotFound)
        return;
    if (lastHoveredIndex_ != CNNotFound && lastHoveredIndex_ != index)
        unHoverItemAtIndex(lastHoveredIndex_);
    if (lastHoveredIndex_ != index)
        hoverItemAtIndex(index);
}

void CNGridView::mouseExited() {
    lastHoveredIndex_ = CNNotFound;
}

// Selection.

void CNGridView::selectItem(CNGridViewItem* item) {
    if (!item || selectedItems_.count(item->index()))
        return;
    const int64_t index = item->index();
    gridViewWillSelectItemAtIndex(this, uint64_t(index), 0);
    item->setSelected(true);
    selectedItems_[index] = item;
    gridViewDidSelectItemAtIndex(this, uint64_t(index), 0);
}

void CNGridView::deSelectItem(CNGridViewItem* item) {
    if (!item || !selectedItems_.count(item->index()))
        return;
    const int64_t index = item->index();
    gridViewWillDeselectItemAtIndex(this, uint64_t(index), 0);
    item->setSelected(false);
    CNGridViewItem* recorded = selectedItems_[index];
    selectedItems_.erase(index);
    release(recorded);
    gridViewDidDeselectItemAtIndex(this, uint64_t(index), 0);
}

void CNGridView::selectAllItems() {
    const uint64_t count = gridViewNumberOfItemsInSection(this, 0);
    if (count == uint64_t(CNNotFound))
        return;
    for (int64_t index = 0; index < int64_t(count); ++index) {
        // A shown item shows its selection; other cells come from the data source.
        CNGridViewItem* item = visibleItemAtIndex(index);
        if (!item) {
            item = gridViewItemAtIndex(this, index, 0);
            if (!item)
                continue;
            adopt(item);
            item->hide();
        }
        item->setSelected(true);
        item->setIndex(index);
        selectedItems_[index] = item;
    }
}

void CNGridView::deselectAllItems() {
    if (selectedItems_.empty())
        return;
    gridViewWillDeselectAllItems(this, selectedItems());
    dropSelection();
    gridViewDidDeselectAllItems(this);
}

void CNGridView::setAllowsMultipleSelection(bool allows) {
    allowsMultipleSelection_ = allows;
    if (allows || selectedItems_.empty())
        return;
    dropSelection();
}

void CNGridView::dropSelection() {
    // Every item of this grid clears its own flag.
    KvNotificationCenter::defaultCenter()->post(
        cnnote::kDeSelectAllItems, QVariant::fromValue(CNGridViewNotification{this, {}}));
    const QList<CNGridViewItem*> released = selectedItems();
    selectedItems_.clear();
    for (CNGridViewItem* item : released)
        release(item);
}

QList<CNGridViewItem*> CNGridView::selectedItems() const {
    QList<CNGridViewItem*> items;
    for (const auto& [index, item] : selectedItems_)
        items.append(item);
    return items;
}

CNIndexSet CNGridView::selectedIndexes() const {
    CNIndexSet indexes;
    for (const auto& [index, item] : selectedItems_)
        indexes.insert(item->index());
    return indexes;
}

void CNGridView::selectItemAtIndex(int64_t index, Qt::KeyboardModifiers modifiers) {
    if (index == CNNotFound)
        return;
    if (lastSelectedItemIndex_ != CNNotFound && lastSelectedItemIndex_ != index)
        deSelectItem(visibleItemAtIndex(lastSelectedItemIndex_));
    CNGridViewItem* item = visibleItemAtIndex(index);
    if (!item)
        return;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool command = modifiers & Qt::ControlModifier;
    if (allowsMultipleSelection_) {
        if (!item->isSelected() && !shift && !command) {
            deselectAllItems();
            selectItem(item);
        } else if (item->isSelected() && command) {
            deSelectItem(item);
        } else if (!item->isSelected() && command) {
            selectItem(item);
        } else if (shift) {
            if (selectedItems_.empty()) {
                selectItem(item);
            } else {
                const int64_t last = selectedItems_.rbegin()->first;
                for (int64_t between = std::min(last, index); between <= std::max(last, index);
                     ++between) {
                    CNGridViewItem* covered = visibleItemAtIndex(between);
                    if (covered && !covered->isSelected())
                        selectItem(covered);
                }
            }
        } else {
            deselectAllItems();
            selectItem(item);
        }
    } else if (command && item->isSelected()) {
        deSelectItem(item);
    } else {
        selectItem(item);
    }
    lastSelectedItemIndex_ = allowsMultipleSelection_ ? CNNotFound : index;
}

// Clicks.

void CNGridView::handleClicks() {
    QList<int64_t> clicked;
    for (const QPointF& location : clickEvents_)
        clicked.append(indexForItemAtLocation(location));
    if (clicked.size() == 1) {
        handleSingleClickForItemAtIndex(clicked[0]);
    } else if (clicked.size() == 2) {
        if (clicked[0] == clicked[1]) {
            handleDoubleClickForItemAtIndex(clicked[0]);
        } else {
            handleSingleClickForItemAtIndex(clicked[0]);
            handleSingleClickForItemAtIndex(clicked[1]);
        }
    } else if (clicked.size() == 3) {
        const int64_t a = clicked[0], b = clicked[1], c = clicked[2];
        if (a == b && b == c) {
            handleDoubleClickForItemAtIndex(a);
        } else if (a == b) {
            handleDoubleClickForItemAtIndex(a);
            handleSingleClickForItemAtIndex(c);
        } else if (b == c) {
            handleSingleClickForItemAtIndex(a);
            handleDoubleClickForItemAtIndex(c);
        } else {
            handleSingleClickForItemAtIndex(a);
            handleSingleClickForItemAtIndex(b);
            handleSingleClickForItemAtIndex(c);
        }
    }
    clickEvents_.clear();
}

void CNGridView::handleSingleClickForItemAtIndex(int64_t index) {
    if (index != CNNotFound)
        gridViewDidClickItemAtIndex(this, uint64_t(index), 0);
}

void CNGridView::handleDoubleClickForItemAtIndex(int64_t index) {
    if (index != CNNotFound)
        gridViewDidDoubleClickItemAtIndex(this, uint64_t(index), 0);
}

// Rubber band.

void CNGridView::mouseDragged(const QPointF& location, Qt::KeyboardModifiers modifiers) {
    if (!allowsMultipleSelection_ || !allowsMultipleSelectionWithDrag_)
        return;
    mouseHasDragged_ = true;
    if (abortSelection_)
        return;
    drawSelectionFrameForMousePointerAtLocation(location);
    selectItemsCoveredBySelectionFrame(selectionFrame_, modifiers);
}

void CNGridView::drawSelectionFrameForMousePointerAtLocation(const QPointF& location) {
    if (!selectionFrameView_) {
        selectionFrameInitialPoint_ = location;
        selectionFrameView_ = new CNSelectionFrameView(viewport());
        selectionFrame_ = QRectF(location, QSizeF(0, 0));
    } else {
        const QPointF start = selectionFrameInitialPoint_;
        const QRectF clip = clippedRect();
        const double right = double(columnsInGridView() * kCell);
        const double x = std::max(std::ceil(std::min(location.x(), start.x())), clip.x());
        const double y = std::max(std::ceil(std::min(location.y(), start.y())), clip.y());
        double width = location.x() <= start.x() ? start.x() - x : location.x() - start.x();
        if (x + width >= right)
            width = right - x - 1;
        double height = location.y() <= start.y() ? start.y() - y : location.y() - start.y();
        if (y + height > clip.bottom())
            height = clip.bottom() - y;
        selectionFrame_ = QRectF(x, y, width, height);
    }
    if (!containsSubView(viewport(), selectionFrameView_))
        selectionFrameView_->setParent(viewport());
    selectionFrameView_->setGeometry(selectionFrame_.toRect().translated(-contentOffset()));
    selectionFrameView_->show();
    selectionFrameView_->raise();
}

void CNGridView::selectItemsCoveredBySelectionFrame(const QRectF& frame,
                                                    Qt::KeyboardModifiers modifiers) {
    CNItemPoint topLeft =
        locationForItemAtIndex(uint64_t(boundIndexForItemAtLocation(frame.topLeft())));
    CNItemPoint bottomRight =
        locationForItemAtIndex(uint64_t(boundIndexForItemAtLocation(frame.bottomRight())));

    // Items the band no longer covers go back to what the selection says.
    for (const int64_t index : indexesForVisibleItems()) {
        const auto framed = selectedItemsBySelectionFrame_.find(index);
        if (framed == selectedItemsBySelectionFrame_.end())
            continue;
        CNGridViewItem* item = framed->second;
        if (Within(locationForItemAtIndex(uint64_t(item->index())), topLeft, bottomRight))
            continue;
        const auto selected = selectedItems_.find(index);
        if (selected != selectedItems_.end() && selected->second == item) {
            item->setSelected(true);
            continue;
        }
        item->setSelected(false);
        selectedItemsBySelectionFrame_.erase(framed);
    }

    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    const uint64_t columns = columnsInGridView();
    const uint64_t rows = allOverRowsInGridView();
    topLeft.column = std::min(topLeft.column, columns);
    bottomRight.column = std::min(bottomRight.column, columns);
    topLeft.row = std::min(topLeft.row, rows);
    bottomRight.row = std::min(bottomRight.row, rows);
    const bool invert = modifiers & Qt::ControlModifier;
    for (uint64_t row = topLeft.row; row <= bottomRight.row; ++row) {
        for (uint64_t column = topLeft.column; column <= bottomRight.column; ++column) {
            const auto index = int64_t((row - 1) * columns + (column - 1));
            CNGridViewItem* item = visibleItemAtIndex(index);
            if (!item)
                continue;
            selectedItemsBySelectionFrame_[index] = item;
            const auto selected = selectedItems_.find(index);
            const bool inSelection = selected != selectedItems_.end() && selected->second == item;
            item->setSelected(invert ? !inSelection : true);
        }
    }
}

void CNGridView::mouseUp() {
    if (selectionFrameView_) {
        selectionFrameView_->deleteLater();
        selectionFrameView_ = nullptr;
        selectionFrame_ = QRectF();
    }
    // What the band showed becomes the selection.
    const auto framed = std::move(selectedItemsBySelectionFrame_);
    selectedItemsBySelectionFrame_.clear();
    for (const auto& [index, item] : framed) {
        const auto selected = selectedItems_.find(index);
        const bool inSelection = selected != selectedItems_.end() && selected->second == item;
        if (item->isSelected() && !inSelection)
            selectItem(item);
        else if (!item->isSelected() && inSelection)
            deSelectItem(item);
    }
    mouseHasDragged_ = false;
    abortSelection_ = false;
}

void CNGridView::keyDown(int key) {
    if (key == Qt::Key_Escape)
        abortSelection_ = true;
}

// Context menu.

void CNGridView::rightMouseDown(const QPointF& location) {
    const int64_t index = indexForItemAtLocation(location);
    if (index == CNNotFound) {
        deselectAllItems();
        return;
    }
    CNIndexSet indexes = selectedIndexes();
    if (!indexes.count(index)) {
        indexes = {index};
        deselectAllItems();
        selectItem(visibleItemAtIndex(index));
    }
    if (!itemContextMenu_)
        return;
    for (QAction* action : itemContextMenu_->actions())
        action->setData(QVariant::fromValue(indexes));
    itemContextMenu_->popup(viewport()->mapToGlobal((location - contentOffset()).toPoint()));
    gridViewDidActivateContextMenuWithIndexes(this, indexes, 0);
}

// Events.

void CNGridView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        rightMouseDown(toGrid(event->position()));
    event->accept();
}

void CNGridView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        mouseDragged(toGrid(event->position()), event->modifiers());
    else
        mouseMoved(toGrid(event->position()));
}

void CNGridView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        mouseUp();
}

void CNGridView::keyPressEvent(QKeyEvent* event) {
    keyDown(event->key());
    QAbstractScrollArea::keyPressEvent(event);
}
