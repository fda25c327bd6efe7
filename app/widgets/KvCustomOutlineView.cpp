#include "KvCustomOutlineView.h"

#include <QPainter>

const QColor KvCustomOutlineView::kMarkedColour(59, 153, 252);
const QColor KvCustomOutlineView::kGroupColour(242, 242, 242);

KvCustomOutlineView::KvCustomOutlineView(QWidget* parent) : QTreeView(parent) {
    setUniformRowHeights(true);
}

void KvCustomOutlineView::setSelectCellBackgroundColorWithRow(int64_t row) {
    selectRow_ = static_cast<int>(row);
    viewport()->update();
}

void KvCustomOutlineView::setIsRootArr(const QSet<int>& rows) {
    rootRows_ = rows;
    viewport()->update();
}

int KvCustomOutlineView::numberOfRows() const {
    int rows = 0;
    if (model() == nullptr)
        return 0;
    for (QModelIndex index = model()->index(0, 0, rootIndex()); index.isValid();
         index = indexBelow(index))
        ++rows;
    return rows;
}

QModelIndex KvCustomOutlineView::itemAtRow(int row) const {
    if (model() == nullptr || row < 0)
        return {};
    QModelIndex index = model()->index(0, 0, rootIndex());
    for (int at = 0; index.isValid() && at < row; ++at)
        index = indexBelow(index);
    return index;
}

int KvCustomOutlineView::rowForItem(const QModelIndex& item) const {
    if (!item.isValid() || model() == nullptr)
        return -1;
    const QModelIndex wanted = item.siblingAtColumn(0);
    int row = 0;
    for (QModelIndex index = model()->index(0, 0, rootIndex()); index.isValid();
         index = indexBelow(index), ++row) {
        if (index == wanted)
            return row;
    }
    return -1;
}

QColor KvCustomOutlineView::backgroundForRow(int row) const {
    if (row == selectRow_)
        return kMarkedColour;
    if (rootRows_.contains(row))
        return kGroupColour;
    return Qt::white;
}

void KvCustomOutlineView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const QRect whole(0, option.rect.y(), viewport()->width(), option.rect.height());
    painter->fillRect(whole, backgroundForRow(rowForItem(index)));
    QStyleOptionViewItem plain = option;
    // The colours above stand for the selection.
    plain.state &= ~QStyle::State_Selected;
    QTreeView::drawRow(painter, plain, index);
}
