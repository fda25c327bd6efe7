// The list table and the table under the cover flow: their rows, the sort by
// a column header, the row chosen, the trees' double click and the space-bar
// preview of the chosen file.

#include <QHeaderView>
#include <QItemSelectionModel>

#include "CoverFlowView.h"
#include "FileListModel.h"
#include "FileListSort.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvNotificationNames.h"
#include "KvUIFacade.h"
#include "SpacePreviewWindow.h"

void KvDeletailWindowController::setUpListTables() {
    listModel = new FileListModel(&arrList, this);
    for (KvNSTableView* table : {tableView, coverFlowerTableView}) {
        table->setModel(listModel);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        QHeaderView* header = table->horizontalHeader();
        header->setSectionsClickable(true);
        header->setSectionResizeMode(FileListModel::kCheckBox, QHeaderView::Fixed);
        header->resizeSection(FileListModel::kCheckBox, 24);
        // Names and paths are long and share the room the window gives;
        // sizes and dates keep a width that shows them whole.
        header->setStretchLastSection(false);
        header->setSectionResizeMode(FileListModel::kName, QHeaderView::Stretch);
        header->setSectionResizeMode(FileListModel::kPath, QHeaderView::Stretch);
        header->resizeSection(FileListModel::kSize, kSizeColumnWidth);
        header->resizeSection(FileListModel::kCreated, kCreatedColumnWidth);
        connect(header, &QHeaderView::sectionClicked, this,
                [this, table](int column) { tableViewDidClickTableColumn(table, column); });
        connect(table, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
            if (index.column() == FileListModel::kCheckBox)
                nsbuttonCellClick(index.row());
        });
        connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, table](const QModelIndex& current) {
                    if (current.isValid())
                        tableViewShouldSelectRow(table, current.row());
                });
    }
    for (CommOutlineView* outline :
         {pathOutlineView, typeOutlineView, createTimeOutlineView, modifyTimeOutlineView}) {
        outline->setExpandsOnDoubleClick(false);
        connect(outline, &QAbstractItemView::doubleClicked, this,
                [this, outline](const QModelIndex& index) { doubleClick(outline, index); });
    }
    getListViewTableHeaderView();
    changeCoverViewTableHeaderView();
    observe(kvnote::kSpacePreviewFile, &KvDeletailWindowController::spacePrviewFile);
}

void KvDeletailWindowController::tableViewShouldSelectRow(KvNSTableView* /*table*/, int row) {
    tableViewCellNum = row;
    if (selectSegmentCount_ == 2) {
        selectCellCount = row;
        selectedCoverFlow(row);
    } else if (selectSegmentCount_ == 0) {
        selectedRow = row;
    }
}

void KvDeletailWindowController::tableViewDidClickTableColumn(KvNSTableView* /*table*/,
                                                              int column) {
    KvUIFacade& facade = KvUIFacade::current();
    if (facade.IsScanRunning() && !facade.IsPause()) {
        // The header may have moved its indicator on the click: put it back.
        reLoadTableVolumnIndicatorImage();
        if (sortIndicatorTable != nullptr && aTableColumn >= 0) {
            sortIndicatorTable->horizontalHeader()->setSortIndicatorShown(true);
            sortIndicatorTable->horizontalHeader()->setSortIndicator(
                aTableColumn, sortIndicatorAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
        }
        return;
    }
    // No loader may read the list while it is reordered.
    stopAllImageLoadingAndWait();
    const bool ascending = isSorted == 1;
    FileListSort::sortRows(arrList, FileListModel::identifier(column), ascending);

    reLoadTableVolumnIndicatorImage();
    sortIndicatorTable = selectSegmentCount_ == 0 ? tableView : coverFlowerTableView;
    sortIndicatorAscending = ascending;
    QHeaderView* header = sortIndicatorTable->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (CustomHeaderCell* cell = sortIndicatorTable->headerCells()->cell(column))
        cell->setSortAscending(ascending, 0);
    listModel->reloadData();
    if (selectSegmentCount_ != 0) {
        flowSelectedIndex = 0;
        photos.clear();
        showCoverFlowerViewWithRefresh(1);
        coverFlowLoadImageThread(0);
    }
    aTableColumn = column;
    isSorted = isSorted == 1 ? 0 : 1;
}

void KvDeletailWindowController::selectOutlineListWithOpNodeData(OpNodeData* node, int refresh) {
    opDataFile = node != nullptr ? node->weak_from_this() : std::weak_ptr<OpNodeData>();
    isSelectOutlineList = 1;
    flowSelectedIndex = 0;
    photos.clear();
    refashDetailPageDataWithRefashSizeAndCount(refresh);
}

void KvDeletailWindowController::doubleClick(CommOutlineView* sender, const QModelIndex& clicked) {
    const bool known = sender == pathOutlineView || sender == typeOutlineView ||
                       sender == createTimeOutlineView || sender == modifyTimeOutlineView;
    if (!known || !clicked.isValid())
        return;
    sender->setExpanded(clicked, !sender->isExpanded(clicked));
}

void KvDeletailWindowController::spacePrviewFile() {
    KvUIFacade& facade = KvUIFacade::current();
    if (isDeepScan != 0 && facade.IsScanRunning() && isPause == 0)
        return;
    if (selectSegmentCount_ == 2 || arrList.empty())
        return;
    if (spacePreviewWindow && !spacePreviewWindow->isClosed()) {
        // The space bar toggles the preview.
        spacePreviewWindow->closeWindow();
        spacePreviewWindow->deleteLater();
        spacePreviewWindow = nullptr;
        return;
    }
    if (selectedRow < 0 || static_cast<uint64_t>(selectedRow) >= arrList.size())
        return;
    IFileNode* file = arrList[static_cast<size_t>(selectedRow)];
    if (file == nullptr || refusedWithoutDevice())
        return;
    const OpNodeData node(file);
    auto* preview = new SpacePreviewWindow;
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setStrName(node.name());
    preview->setShowImage(facade.GetImageByFileNode(file));
    preview->windowDidLoad();
    preview->center();
    preview->show();
    spacePreviewWindow = preview;
}
