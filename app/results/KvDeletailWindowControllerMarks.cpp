// Check marks in the trees, the tables, the grid and the select-all boxes of
// the table headers; the count and size of the checked files and the Recover
// button that follows them.

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

#include "CNGridView.h"
#include "CheckMarks.h"
#include "FileListModel.h"
#include "Images.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvPublicUtilities.h"
#include "KvSegmentedControl.h"
#include "KvUIFacade.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

// The select-all box in a table header: 14 x 14 at (5, 3) of the flipped
// header; a click selects all or nothing.
QAbstractButton* AddSelectAllBox(QWidget* header, const QString& name,
                                 KvDeletailWindowController* window) {
    auto* box = new QPushButton(header);
    box->setObjectName(name);
    box->setFlat(true);
    box->setGeometry(5, 3, 14, 14);
    box->setIconSize(QSize(14, 14));
    box->setIcon(Images::named(QStringLiteral("pf_checkbox_no")));
    box->setProperty("imageName", QStringLiteral("pf_checkbox_no"));
    box->setStyleSheet(QStringLiteral("border: none; padding: 0px;"));
    QObject::connect(box, &QAbstractButton::clicked, window,
                     [window] { window->setAllSelectOrNoSelect(); });
    return box;
}

}  // namespace

void KvDeletailWindowController::nsbuttonCellClick(int clickedRow) {
    KvUIFacade& facade = KvUIFacade::current();
    if (CheckMarks::locked(facade))
        return;
    facade.KvTableViewCellCilck();
    if (clickedRow < 0 || static_cast<size_t>(clickedRow) >= arrList.size())
        return;
    IFileNode* file = arrList[static_cast<size_t>(clickedRow)];
    if (file == nullptr)
        return;
    showRecoveryButton();
    OpNodeData node(file);
    node.setNodeState(CheckMarks::toggled(node.state()));
    if (!facade.IsScanRunning())
        segment->setEnabled(true);
    if (selectSegmentCount_ == 1)
        gridMainView->reloadData();
    listModel->refreshRow(clickedRow);
    refreshMarksTail();
}

void KvDeletailWindowController::doSelectItem(uint64_t index) {
    KvUIFacade& facade = KvUIFacade::current();
    if (CheckMarks::locked(facade) || index >= arrList.size() || arrList[index] == nullptr)
        return;
    showRecoveryButton();
    OpNodeData node(arrList[index]);
    node.setNodeState(CheckMarks::toggled(node.state()));
    if (!facade.IsScanRunning())
        segment->setEnabled(true);
    listModel->refreshRow(static_cast<int>(index));
    refreshMarksTail();
}

void KvDeletailWindowController::clickButtonAction(OpNodeData* node) {
    if (node == nullptr || CheckMarks::locked(KvUIFacade::current()))
        return;
    showRecoveryButton();
    node->setNodeState(CheckMarks::toggled(node->state()));
    isSelectOutlineList = 1;
    refashDetailPageDataWithRefashSizeAndCount(1);
}

void KvDeletailWindowController::setAllSelectOrNoSelect() {
    KvUIFacade& facade = KvUIFacade::current();
    if (arrList.empty() || CheckMarks::locked(facade))
        return;
    showRecoveryButton();
    facade.KvTableViewCellCilck();
    const int state = CheckMarks::selectAllTarget(GetCellNodeState(opDataFile.lock().get()));
    CheckMarks::setAllFiles(arrList, state);
    if (!facade.IsScanRunning())
        segment->setEnabled(true);
    if (selectSegmentCount_ == 1)
        gridMainView->reloadData();
    else
        listModel->refreshCells();
    refreshMarksTail();
}

int KvDeletailWindowController::GetCellNodeState(OpNodeData* node) {
    return CheckMarks::derivedState(KvUIFacade::current(), node, arrList);
}

void KvDeletailWindowController::changeSelectAllButtonState() {
    const int derived = arrList.empty() ? 0 : GetCellNodeState(opDataFile.lock().get());
    const QString image = CheckMarks::selectAllImage(arrList.empty(), derived);
    for (QAbstractButton* box : {listViewSelectAllButton, coverViewSelectAllButton}) {
        if (box == nullptr)
            continue;
        box->setIcon(Images::named(image));
        box->setProperty("imageName", image);
    }
}

void KvDeletailWindowController::showSelectFilesCountAndSize() {
    KvUIFacade& facade = KvUIFacade::current();
    if (CheckMarks::locked(facade))
        return;
    selectedFileCnt = 0;
    selectedFileSize = 0;
    facade.GetSelectedFilesAmout(&selectedFileCnt, &selectedFileSize);
    recovertyButton->setButtonEnabled(selectedFileCnt >= 1);
    selectFilesLabel->setText(
        Tr("QOV_FOUR_SELECT_FILES",
           KvPublicUtilities::longlongConvertVolSpace(static_cast<int64_t>(selectedFileSize)),
           QString::number(selectedFileCnt)));
    selectValue = selectedFileSize;
}

void KvDeletailWindowController::reLoadCollectionViewData() {
    if (KvUIFacade::current().IsScanRunning())
        return;
    showSelectFilesCountAndSize();
    refreshShownTreeStates();
}

QWidget* KvDeletailWindowController::getListViewTableHeaderView() {
    listViewTableHeaderView = tableView->horizontalHeader();
    listViewSelectAllButton =
        AddSelectAllBox(listViewTableHeaderView, QStringLiteral("listViewSelectAllButton"), this);
    return listViewTableHeaderView;
}

QWidget* KvDeletailWindowController::changeCoverViewTableHeaderView() {
    coverViewTableHeaderView = coverFlowerTableView->horizontalHeader();
    coverViewSelectAllButton =
        AddSelectAllBox(coverViewTableHeaderView, QStringLiteral("coverViewSelectAllButton"), this);
    return coverViewTableHeaderView;
}

void KvDeletailWindowController::reLoadTableVolumnIndicatorImage() {
    for (KvNSTableView* table : {tableView, coverFlowerTableView}) {
        table->horizontalHeader()->setSortIndicatorShown(false);
        if (CustomHeaderCell* cell = table->headerCells()->cell(aTableColumn))
            cell->setSortAscending(true, 1);
    }
}

void KvDeletailWindowController::refreshMarksTail() {
    changeSelectAllButtonState();
    showSelectFilesCountAndSize();
    refreshShownTreeStates();
    reloadTreesFromRoots();
}

void KvDeletailWindowController::refreshShownTreeStates() {
    KvUIFacade& facade = KvUIFacade::current();
    switch (selectTypeCount) {
        case 1:
            facade.RefreshTypeTreeState(opDataFile.lock().get());
            break;
        case 2:
            facade.RefreshTimeTreeState(allCreatTimeArr, 0);
            break;
        case 3:
            facade.RefreshTimeTreeState(allModifyTimeArr, 0);
            break;
        default:
            // The path tree reads the file nodes' own marks.
            break;
    }
}
