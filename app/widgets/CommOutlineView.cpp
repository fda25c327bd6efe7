#include "CommOutlineView.h"

#include <QMouseEvent>

#include "CommOutlineModel.h"
#include "KvUIFacade.h"
#include "NewButton.h"

namespace {

std::weak_ptr<OpNodeData> Keep(OpNodeData* node) {
    if (node == nullptr)
        return {};
    return node->weak_from_this();
}

}  // namespace

CommOutlineView::CommOutlineView(QWidget* parent)
    : QTreeView(parent), model_(new CommOutlineModel(this)), cell_(new NewButton(this)) {
    setModel(model_);
    setItemDelegate(cell_);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(cell_, &NewButton::clickButtonAction, this, &CommOutlineView::clickButtonAction);
    connect(this, &QTreeView::expanded, this, [](const QModelIndex& index) {
        if (OpNodeData* node = CommOutlineModel::nodeOf(index))
            node->setExpand(1);
    });
    connect(this, &QTreeView::collapsed, this, [](const QModelIndex& index) {
        if (OpNodeData* node = CommOutlineModel::nodeOf(index))
            node->setExpand(0);
    });
}

CommOutlineView::~CommOutlineView() = default;

void CommOutlineView::loadDataFormDetail(const OpNodeArray* roots, int64_t dataType) {
    model_->setRoots(roots, dataType);
    restoreExpanded({});
}

int64_t CommOutlineView::dataType() const {
    return model_->dataType();
}

void CommOutlineView::restoreExpanded(const QModelIndex& parent) {
    const int rows = model_->rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = model_->index(row, 0, parent);
        OpNodeData* node = CommOutlineModel::nodeOf(index);
        if (node == nullptr || node->isExpand() == 0)
            continue;
        // Expanding emits expanded(), which stores the same flag again.
        expand(index);
        restoreExpanded(index);
    }
}

void CommOutlineView::selectRootItem() {
    const QModelIndex first = model_->index(0, 0);
    if (!first.isValid())
        return;
    OpNodeData* node = CommOutlineModel::nodeOf(first);
    selected_ = Keep(node);
    selectingRoot_ = true;
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
    selectingRoot_ = false;
    tellSelected(node, 0);
}

void CommOutlineView::tellSelected(OpNodeData* node, int refresh) {
    if (delegate_ != nullptr)
        delegate_->selectOutlineListWithOpNodeData(node, refresh);
}

void CommOutlineView::stopLoadImageForGridOrCover() {
    if (delegate_ == nullptr)
        return;
    const int64_t shown = delegate_->selectSegmentCount();
    if (shown == 1 && delegate_->gridImageState() >= 0)
        delegate_->stopGridImageLoading();
    else if (shown == 2 && delegate_->nImageState() >= 0)
        delegate_->stopImageLoading();
    delegate_->reLoadTableVolumnIndicatorImage();
}

void CommOutlineView::clickButtonAction(const QModelIndex& index) {
    OpNodeData* node = CommOutlineModel::nodeOf(index);
    // Marks may not change under a scan that is feeding the trees.
    KvUIFacade& facade = KvUIFacade::current();
    if (node == nullptr || (facade.IsScanRunning() && !facade.IsPause())) {
        viewport()->update();
        return;
    }
    node->setNodeState(node->state() == 2 ? 0 : 2);
    if (delegate_ != nullptr) {
        stopLoadImageForGridOrCover();
        tellSelected(opDataFile(), 1);
        delegate_->showRecoveryButton();
    }
    facade.KvTableViewCellCilck();
    viewport()->update();
}

bool CommOutlineView::pressCheckBox(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return false;
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return false;
    const QRect cell = visualRect(index);
    if (!NewButton::checkBoxArea(cell).contains(pos))
        return false;
    // A press on the box never moves the selection, reported or not.
    cell_->hitTestForEvent(pos, cell, index);
    return true;
}

void CommOutlineView::mousePressEvent(QMouseEvent* event) {
    if (!pressCheckBox(event))
        QTreeView::mousePressEvent(event);
}

void CommOutlineView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!pressCheckBox(event))
        QTreeView::mouseDoubleClickEvent(event);
}

QModelIndex CommOutlineView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Only the up and down arrows move the selection from the keyboard.
    if (action == MoveUp || action == MoveDown)
        return QTreeView::moveCursor(action, modifiers);
    const QModelIndex current = currentIndex();
    if (action == MoveLeft)
        collapse(current);
    else if (action == MoveRight)
        expand(current);
    return current;
}

void CommOutlineView::keyboardSearch(const QString&) {}

void CommOutlineView::selectionChanged(const QItemSelection& selected,
                                       const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    if (selectingRoot_ || selected.indexes().isEmpty())
        return;
    stopLoadImageForGridOrCover();
    OpNodeData* node = CommOutlineModel::nodeOf(selected.indexes().first());
    selected_ = Keep(node);
    tellSelected(node, 0);
}
