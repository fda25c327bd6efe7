#include "CNGridView.h"

#include <QEvent>
#include <QPalette>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "CNGridViewItem.h"
#include "CNSelectionFrameView.h"

namespace {

constexpr int kCell = CNGridCellSize;
constexpr int kFadeInMs = 350;
constexpr int kMoveMs = 150;
constexpr int kRedisplayAfterResizeMs = 300;

// Shifts of old indexes after inserting `inserted`: each old index moves
// past every inserted index at or below its new place.
int64_t IndexAfterInsert(int64_t index, const CNIndexSet& inserted) {
    int64_t moved = index;
    for (int64_t insertedIndex : inserted) {
        if (insertedIndex > moved)
            break;
        ++moved;
    }
    return moved;
}

}  // namespace

CNGridView::CNGridView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    setBackgroundColor(palette().color(QPalette::Button));
    verticalScrollBar()->setSingleStep(kCell / 5);
    frame_ = QRect(0, 0, viewport()->width(), 0);
}

CNGridView::~CNGridView() = default;

void CNGridView::setBackgroundColor(const QColor& colour) {
    backgroundColor_ = colour;
    QPalette colours = viewport()->palette();
    colours.setColor(QPalette::Window, colour);
    viewport()->setPalette(colours);
}

void CNGridView::setItemSize(const QSize& size) {
    itemSize_ = size;
    refreshGridViewAnimated(true, true);
}

// Data source.

uint64_t CNGridView::gridViewNumberOfItemsInSection(CNGridView* grid, int64_t section) {
    return dataSource_ ? dataSource_->gridViewNumberOfItemsInSection(grid, section)
                       : uint64_t(CNNotFound);
}

CNGridViewItem* CNGridView::gridViewItemAtIndex(CNGridView* grid, int64_t index, int64_t section) {
    return dataSource_ ? dataSource_->gridViewItemAtIndex(grid, index, section) : nullptr;
}

uint64_t CNGridView::numberOfSectionsInGridView(CNGridView* grid) {
    return dataSource_ ? dataSource_->numberOfSectionsInGridView(grid) : uint64_t(CNNotFound);
}

QString CNGridView::gridViewTitleForHeaderInSection(CNGridView* grid, int64_t section) {
    return dataSource_ ? dataSource_->gridViewTitleForHeaderInSection(grid, section) : QString();
}

QStringList CNGridView::sectionIndexTitlesForGridView(CNGridView* grid) {
    return dataSource_ ? dataSource_->sectionIndexTitlesForGridView(grid) : QStringList();
}

// Geometry.

QRectF CNGridView::clippedRect() const {
    return QRectF(contentOffset(), viewport()->size());
}

QPoint CNGridView::contentOffset() const {
    return QPoint(0, verticalScrollBar()->value());
}

QPointF CNGridView::toGrid(const QPointF& viewportPoint) const {
    return viewportPoint + contentOffset();
}

uint64_t CNGridView::columnsForWidth(double width) {
    return std::max<uint64_t>(uint64_t(std::max(0.0, std::floor(width / kCell))), 1);
}

uint64_t CNGridView::columnsInGridView() const {
    return columnsForWidth(clippedRect().width());
}

uint64_t CNGridView::visibleRowsInGridView() const {
    return uint64_t(std::ceil(clippedRect().height() / kCell));
}

uint64_t CNGridView::allOverRowsInGridView() const {
    const uint64_t columns = columnsInGridView();
    return (uint64_t(numberOfItems_) + columns - 1) / columns;
}

void CNGridView::refreshInset() {
    if (!useCenterAlignment_) {
        contentInset_ = 0;
        return;
    }
    const double spare = clippedRect().width() - double(columnsInGridView()) * kCell;
    contentInset_ = int(std::floor(spare / 2));
}

QRect CNGridView::rectForItemAtIndex(int64_t index) const {
    const auto columns = int64_t(columnsInGridView());
    const int64_t column = index % columns;
    const int64_t row = (index - column) / columns;
    // Geometry is int-sized; rows past its reach pile up at its end.
    const int64_t top = std::min<int64_t>(row * kCell + contentInset_, INT_MAX - kCell);
    return QRect(int(column * kCell + contentInset_), int(top), kCell, kCell);
}

CNItemPoint CNGridView::locationForItemAtIndex(uint64_t index) const {
    const uint64_t columns = columnsInGridView();
    const uint64_t row = index / columns + 1;
    return CNMakeItemPoint(index - (row - 1) * columns + 1, row);
}

CNIndexRange CNGridView::visibleItemRange() const {
    return visibleItemRangeIn(clippedRect(), numberOfItems_);
}

CNIndexRange CNGridView::visibleItemRangeIn(const QRectF& clip, int64_t numberOfItems) {
    const auto columns = int64_t(columnsForWidth(clip.width()));
    const auto rows = int64_t(std::ceil(clip.height() / kCell));
    const double y = clip.y();
    int64_t first = 0;
    if (y > kCell)
        first = (int64_t(std::ceil(y / kCell)) - 1) * columns;
    if (first >= numberOfItems)
        return {first, 0};
    const int64_t length = std::min(numberOfItems - first, columns * rows + columns);
    return {first, length};
}

CNIndexSet CNGridView::visibleIndexes() const {
    const CNIndexRange range = visibleItemRange();
    CNIndexSet indexes;
    for (int64_t index = range.location; index < range.location + range.length; ++index)
        indexes.insert(indexes.end(), index);
    return indexes;
}

CNIndexSet CNGridView::indexesForVisibleItems() const {
    CNIndexSet indexes;
    for (const auto& [index, item] : keyedVisibleItems_)
        indexes.insert(indexes.end(), index);
    return indexes;
}

CNGridViewItem* CNGridView::visibleItemAtIndex(int64_t index) const {
    const auto found = keyedVisibleItems_.find(index);
    return found == keyedVisibleItems_.end() ? nullptr : found->second;
}

int CNGridView::numberOfParkedItems() const {
    int parked = 0;
    for (const QList<CNGridViewItem*>& items : reuseableItems_)
        parked += int(items.size());
    return parked;
}

// Frame and scrolling.

void CNGridView::setFrame(const QRect& frame) {
    const bool widthChanged = frame.width() != frame_.width();
    frame_ = frame;
    updateScrollRange();
    refreshGridViewAnimated(widthChanged, true);
    QTimer::singleShot(kRedisplayAfterResizeMs, this, &CNGridView::refreshGridView);
}

void CNGridView::updateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, frame_.height() - viewport()->height()));
}

bool CNGridView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize)
        setFrame(QRect(0, 0, viewport()->width(), frame_.height()));
    else if (event->type() == QEvent::Leave)
        mouseExited();
    return QAbstractScrollArea::viewportEvent(event);
}

void CNGridView::scrollContentsBy(int dx, int dy) {
    // Moves every child and repaints only the strip that scrolled into view.
    viewport()->scroll(dx, dy);
    const QPoint offset = contentOffset();
    for (const auto& [index, item] : keyedVisibleItems_)
        item->noteScrolled(offset);
    updateVisibleRect();
}

// Refresh.

void CNGridView::refreshGridViewAnimated(bool animated, bool initialCall) {
    isInitialCall_ = initialCall;
    // The margins of this refresh, so the height counts them at once.
    refreshInset();
    const int64_t height = int64_t(allOverRowsInGridView()) * kCell + 2 * contentInset_;
    const int clamped = int(std::min<int64_t>(height, INT_MAX));
    if (std::abs(clamped - frame_.height()) > 1) {
        frame_.setHeight(clamped);
        updateScrollRange();
    }
    // Several refreshes in one turn of the loop each do their item pass later, in order.
    QMetaObject::invokeMethod(
        this,
        [this, animated] {
            refreshInset();
            updateReuseableItems();
            updateVisibleItems();
            arrangeGridViewItemsAnimated(animated);
        },
        Qt::QueuedConnection);
}

void CNGridView::refreshGridView() {
    viewport()->update();
}

void CNGridView::updateVisibleRect() {
    updateReuseableItems();
    updateVisibleItems();
    arrangeGridViewItemsAnimated(false);
}

void CNGridView::updateReuseableItems() {
    // Selected items stay where they are; every other item out of view is
    // parked, so a selection cannot make the grid keep every item it showed.
    const CNIndexRange range = visibleItemRange();
    for (auto entry = keyedVisibleItems_.begin(); entry != keyedVisibleItems_.end();) {
        const bool inView =
            entry->first >= range.location && entry->first < range.location + range.length;
        CNGridViewItem* item = entry->second;
        if (inView || !item->isReuseable()) {
            ++entry;
            continue;
        }
        entry = keyedVisibleItems_.erase(entry);
        park(item);
    }
}

void CNGridView::updateVisibleItems() {
    const CNIndexRange range = visibleItemRange();
    for (int64_t index = range.location; index < range.location + range.length; ++index) {
        if (keyedVisibleItems_.count(index))
            continue;
        CNGridViewItem* item = gridViewItemAtIndex(this, index, 0);
        if (!item)
            continue;
        adopt(item);
        item->setIndex(index);
        if (isInitialCall_) {
            item->setAlphaValue(0);
            item->setFrame(rectForItemAtIndex(index));
        }
        keyedVisibleItems_[index] = item;
        item->show();
    }
}

void CNGridView::arrangeGridViewItemsAnimated(bool animated) {
    if (keyedVisibleItems_.empty())
        return;
    if (isInitialCall_) {
        // New items fade in where they were put; the others keep their frames
        // until the next arrangement of the other kind.
        isInitialCall_ = false;
        for (const auto& [index, item] : keyedVisibleItems_)
            item->animateAlpha(1.0, kFadeInMs);
        return;
    }
    const int duration = animated ? kMoveMs : 0;
    for (const auto& [index, item] : keyedVisibleItems_)
        item->animateFrame(rectForItemAtIndex(index), duration);
}

// Loading and editing.

void CNGridView::reloadDataAnimated(bool animated) {
    const uint64_t count = gridViewNumberOfItemsInSection(this, 0);
    // Without a data source there is nothing to show, not CNNotFound cells.
    numberOfItems_ =
        count == uint64_t(CNNotFound) ? 0 : int64_t(std::min<uint64_t>(count, INT64_MAX));
    std::vector<CNGridViewItem*> dropped;
    for (const auto& [index, item] : keyedVisibleItems_)
        dropped.push_back(item);
    for (const QList<CNGridViewItem*>& items : reuseableItems_)
        dropped.insert(dropped.end(), items.begin(), items.end());
    keyedVisibleItems_.clear();
    reuseableItems_.clear();
    for (CNGridViewItem* item : dropped)
        discard(item);
    refreshGridViewAnimated(animated, true);
}

void CNGridView::insertItemAtIndex(int64_t index, bool animated) {
    moveItemsForInsert({index}, animated);
    numberOfItems_ += 1;
    refreshGridViewAnimated(animated, true);
}

void CNGridView::insertItemsAtIndexes(const CNIndexSet& indexes, bool animated) {
    if (indexes.empty())
        return;
    moveItemsForInsert(indexes, animated);
    numberOfItems_ += int64_t(indexes.size());
    refreshGridViewAnimated(animated, false);
}

void CNGridView::moveItemsForInsert(const CNIndexSet& indexes, bool animated) {
    const int64_t first = *indexes.begin();
    std::vector<std::pair<int64_t, CNGridViewItem*>> moving;
    for (auto entry = keyedVisibleItems_.rbegin(); entry != keyedVisibleItems_.rend(); ++entry) {
        if (entry->first < first)
            break;
        moving.push_back(*entry);
    }
    for (const auto& [index, item] : moving)
        keyedVisibleItems_.erase(index);
    for (const auto& [index, item] : moving) {
        const int64_t moved = IndexAfterInsert(index, indexes);
        keyedVisibleItems_[moved] = item;
        item->setIndex(moved);
        item->animateFrame(rectForItemAtIndex(moved), animated ? kMoveMs : 0);
    }
}

void CNGridView::reloadItemsAtIndexes(const CNIndexSet& indexes, bool animated) {
    // The items go at once; the refresh asks the data source for those cells again.
    for (int64_t index : indexes) {
        const auto found = keyedVisibleItems_.find(index);
        if (found == keyedVisibleItems_.end())
            continue;
        CNGridViewItem* item = found->second;
        keyedVisibleItems_.erase(found);
        discard(item);
    }
    refreshGridViewAnimated(animated, false);
}

void CNGridView::removeItemsAtIndexes(const CNIndexSet& indexes, bool animated) {
    if (indexes.empty())
        return;
    // Every shown item from the first removed index on goes: the cells after
    // it show other files now, and the refresh asks for all of them again.
    const auto from = keyedVisibleItems_.lower_bound(*indexes.begin());
    std::vector<CNGridViewItem*> removed;
    for (auto entry = from; entry != keyedVisibleItems_.end(); ++entry)
        removed.push_back(entry->second);
    keyedVisibleItems_.erase(from, keyedVisibleItems_.end());
    for (CNGridViewItem* item : removed) {
        if (animated)
            discard(item);
        else
            park(item);
    }
    numberOfItems_ = std::max<int64_t>(0, numberOfItems_ - int64_t(indexes.size()));
    refreshGridViewAnimated(animated, false);
}

CNGridViewItem* CNGridView::dequeueReusableItemWithIdentifier(const QString& identifier) {
    const auto parked = reuseableItems_.find(identifier);
    if (parked == reuseableItems_.end() || parked->isEmpty())
        return nullptr;
    CNGridViewItem* item = parked->takeLast();
    item->setRepresentedObject({});
    return item;
}

// Item ownership: the grid's viewport holds every item it was given until the
// item is neither shown, parked nor selected.

void CNGridView::adopt(CNGridViewItem* item) {
    const auto parked = reuseableItems_.find(item->reuseIdentifier());
    if (parked != reuseableItems_.end())
        parked->removeOne(item);
    if (item->parentWidget() != viewport())
        item->setParent(viewport());
    item->setGridView(this);
    item->setContentOffset(contentOffset());
}

void CNGridView::park(CNGridViewItem* item) {
    item->hide();
    item->prepareForReuse();
    reuseableItems_[item->reuseIdentifier()].append(item);
}

void CNGridView::discard(CNGridViewItem* item) {
    item->hide();
    release(item);
}

void CNGridView::release(CNGridViewItem* item) {
    if (!holds(item))
        item->deleteLater();
}

bool CNGridView::holds(const CNGridViewItem* item) const {
    const auto holding = [item](const std::map<int64_t, CNGridViewItem*>& items) {
        return std::any_of(items.begin(), items.end(),
                           [item](const auto& entry) { return entry.second == item; });
    };
    if (visibleItemAtIndex(item->index()) == item)
        return true;
    const auto parked = reuseableItems_.find(item->reuseIdentifier());
    if (parked != reuseableItems_.end() && parked->contains(item))
        return true;
    return holding(selectedItems_) || holding(selectedItemsBySelectionFrame_);
}
