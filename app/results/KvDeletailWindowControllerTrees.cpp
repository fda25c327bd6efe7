// The tabs of the four trees, the switch between list, grid and cover flow,
// the refresh of the right-hand side for the chosen node, the note for a node
// without files, and the split between the trees and the files.

#include <QDebug>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>

#include <array>

#include "CNGridView.h"
#include "CoverFlowView.h"
#include "FileListModel.h"
#include "Images.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvSegmentedControl.h"
#include "KvUIFacade.h"
#include "ResizeWatcher.h"
#include "ResultsLayout.h"
#include "Tr.h"
#include "TreeTabs.h"

namespace {

// A tab's picture fills the button behind its title; a name of no picture
// clears it. The brush carries the picture's own colour too: the style shades
// a pressed button from that colour, not from the picture.
void SetTabImage(QPushButton* button, const QString& name) {
    const QPixmap picture = Images::named(name);
    button->setProperty("tabImage", picture.isNull() ? QString() : name);
    QPalette palette = button->palette();
    const QPixmap filling = picture.isNull() ? QPixmap() : picture.scaled(button->size());
    palette.setBrush(QPalette::Button,
                     picture.isNull()
                         ? QBrush(Qt::transparent)
                         : QBrush(filling.toImage().pixelColor(filling.rect().center()), filling));
    button->setPalette(palette);
    button->setAutoFillBackground(!picture.isNull());
}

}  // namespace

void KvDeletailWindowController::setUpTreeTabs() {
    connect(pathButton, &QPushButton::clicked, this, [this] { pathButtonClick(); });
    connect(typeButton, &QPushButton::clicked, this, [this] { typeButtonClick(); });
    connect(timeButton, &QPushButton::clicked, this, [this] { timeButtonClick(); });
    connect(creatButton, &QPushButton::clicked, this, [this] { timeButtonClick(); });
    connect(modifyButton, &QPushButton::clicked, this, [this] { modifyTimeButtonClick(); });
    connect(segment, &KvSegmentedControl::activated, this,
            [this](int chosen) { segmentSelect(chosen); });
    // The tree pane keeps its width when the window grows; a drag stays
    // within the divider's limits.
    splistLeftView->setMinimumWidth(ResultsLayout::kLeftPaneMin);
    splistLeftView->setMaximumWidth(ResultsLayout::kLeftPaneMax);
    splistView->setStretchFactor(0, 0);
    connect(splistView, &QSplitter::splitterMoved, this, [this](int position, int handle) {
        const int limited = ResultsLayout::constrainDivider(position, handle - 1);
        if (limited == position || handle != 1)
            return;
        QList<int> sizes = splistView->sizes();
        const int total = sizes[0] + sizes[1];
        sizes[0] = limited;
        sizes[1] = total - limited;
        splistView->setSizes(sizes);
    });
    new ResizeWatcher(this, [this] { windowDidResize(); });
    // The note covers the grid area at whatever size it gets.
    new ResizeWatcher(gridView, [this] { changeNoValueNodeViewFrame(); });
    SetTabImage(pathButton, QStringLiteral("bg_tab"));
    for (QPushButton* tab : {pathButton, typeButton, timeButton})
        setButtonTitleColor(tab, Qt::black);
}

void KvDeletailWindowController::showTree(int tree) {
    if (selectTypeCount == tree)
        return;
    const TreeTabs::TabLook& look = TreeTabs::lookOf(tree);
    const std::array<QPushButton*, TreeTabs::kButtonCount> buttons = {
        pathButton, typeButton, timeButton, creatButton, modifyButton};
    SetTabImage(buttons[look.tabBackground], QStringLiteral("bg_tab"));
    if (look.textBackground >= 0)
        SetTabImage(buttons[static_cast<size_t>(look.textBackground)], QStringLiteral("text_bg"));
    for (TreeTabs::Button cleared : look.cleared)
        SetTabImage(buttons[cleared], look.clearedImage);
    for (TreeTabs::Button black : look.blackTitles)
        setButtonTitleColor(buttons[black], Qt::black);
    // The date choice shows which date the tree is by, whichever way it was
    // reached; it is hidden under the other trees.
    if (tree == OpNodeData::kCreatedTree || tree == OpNodeData::kModifiedTree)
        (tree == OpNodeData::kCreatedTree ? creatButton : modifyButton)->setChecked(true);

    KvUIFacade& facade = KvUIFacade::current();
    selectTypeCount = tree;
    facade.SetViewType(tree);
    const std::array<CommOutlineView*, TreeTabs::kTreeCount> outlines = {
        pathOutlineView, typeOutlineView, createTimeOutlineView, modifyTimeOutlineView};
    const std::array<const OpNodeArray*, TreeTabs::kTreeCount> roots = {
        &allDiskArr, &allTypeArr, &allCreatTimeArr, &allModifyTimeArr};
    CommOutlineView* outline = outlines[static_cast<size_t>(tree)];
    // While a scan adds files unpaused the marks are left as they are.
    if (tree != 0 && (!facade.IsScanRunning() || facade.IsPause())) {
        if (tree == 1)
            facade.RefreshTypeTreeState(nullptr);
        else
            facade.RefreshTimeTreeState(*roots[static_cast<size_t>(tree)], 1);
        outline->viewport()->update();
    }
    const std::array<QWidget*, TreeTabs::kContainerCount> containers = {
        pathBlowView, typeBlowView, createTimeBlowView, modifyTimeBlowView, changeTimeBlowView};
    for (size_t index = 0; index < containers.size(); ++index) {
        const bool shown = std::find(look.shown.begin(), look.shown.end(),
                                     static_cast<TreeTabs::Container>(index)) != look.shown.end();
        containers[index]->setVisible(shown);
    }
    for (CommOutlineView* each : outlines)
        each->setVisible(each == outline);
    if (!roots[static_cast<size_t>(tree)]->empty())
        outline->selectRootItem();
}

void KvDeletailWindowController::pathButtonClick() {
    showTree(OpNodeData::kPathTree);
}

void KvDeletailWindowController::typeButtonClick() {
    if (selectTypeCount != OpNodeData::kTypeTree)
        qInfo("path hidden");
    showTree(OpNodeData::kTypeTree);
}

void KvDeletailWindowController::timeButtonClick() {
    showTree(OpNodeData::kCreatedTree);
}

void KvDeletailWindowController::modifyTimeButtonClick() {
    showTree(OpNodeData::kModifiedTree);
}

void KvDeletailWindowController::setButtonTitleColor(QPushButton* button, const QColor& color) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
}

void KvDeletailWindowController::segmentSelect(int selected) {
    stopAllImageLoadingAndWait();
    if (selected == selectSegmentCount_)
        return;
    selectSegmentCount_ = selected;
    showNoValueNote();
    if (!KvUIFacade::current().IsScanRunning())
        segment->setEnabled(true);
    showFilesInCurrentView();
    changeSelectAllButtonState();
    showSelectFilesCountAndSize();
}

void KvDeletailWindowController::showFilesInCurrentView() {
    switch (selectSegmentCount_) {
        case 0:
            listModel->reloadData();
            break;
        case 1:
            showGridView();
            break;
        default:
            photos.clear();
            listModel->reloadData();
            showCoverFlowerViewWithRefresh(1);
            selectedCoverFlow(0);
            break;
    }
}

void KvDeletailWindowController::refashDetailPageDataWithRefashSizeAndCount(int refresh) {
    // No loader may read the list while it is refilled.
    stopAllImageLoadingAndWait();
    arrList.clear();
    listModel->reloadData();
    KvUIFacade& facade = KvUIFacade::current();
    if (OpNodeData* node = opDataFile.lock().get())
        facade.GetFileNodeToArray(&arrList, node);
    if (!facade.IsScanRunning())
        segment->setEnabled(true);
    isSorted = 0;
    showFilesInCurrentView();
    changeSelectAllButtonState();
    if (refresh != 0)
        showSelectFilesCountAndSize();
    showNoValueNote();
}

void KvDeletailWindowController::showNoValueNote() {
    const int remove =
        ResultsLayout::showsNoValueNote(arrList.empty(), !allDiskArr.empty()) ? 0 : 1;
    tableView->changeNoValue(remove);
    coverFlowerTableView->changeNoValue(remove);
    changeNoValue(remove);
    listTableViewBlowView->setVisible(selectSegmentCount_ == 0);
    gridView->setVisible(selectSegmentCount_ == 1);
    coverFlower->setVisible(selectSegmentCount_ == 2);
}

void KvDeletailWindowController::changeNoValue(int remove) {
    if (remove != 0) {
        delete gridNoValueView;
        gridNoValueView = nullptr;
        nodeView = nullptr;
        return;
    }
    if (gridNoValueView != nullptr)
        return;
    gridNoValueView = new QWidget(gridView);
    gridNoValueView->setObjectName(QStringLiteral("gridNoValueView"));
    auto* background = new QLabel(gridNoValueView);
    background->setObjectName(QStringLiteral("noValueBackground"));
    background->setPixmap(Images::named(QStringLiteral("bg_150")));
    background->setScaledContents(true);
    nodeView = new QWidget(gridNoValueView);
    nodeView->setObjectName(QStringLiteral("nodeView"));
    auto* arrow = new QLabel(nodeView);
    arrow->setGeometry(0, 0, 82, 39);
    arrow->setPixmap(Images::named(QStringLiteral("arrow")));
    arrow->setScaledContents(true);
    auto* text = new QLabel(Tr("QOV_FOUR_NO_VALUE_NOTE"), nodeView);
    text->setObjectName(QStringLiteral("noValueText"));
    text->setGeometry(82, 0, 420, static_cast<int>(getLableHight()));
    QFont font = text->font();
    font.setPixelSize(13);
    text->setFont(font);
    text->setStyleSheet(QStringLiteral("color: grey;"));
    changeNoValueNodeViewFrame();
    gridNoValueView->raise();
    gridNoValueView->show();
}

float KvDeletailWindowController::getLableHight() const {
    return KvNSTableView::getLableHight();
}

void KvDeletailWindowController::changeNoValueNodeViewFrame() {
    if (gridNoValueView == nullptr)
        return;
    // The note and its background cover the grid area as it grows.
    gridNoValueView->setGeometry(gridView->rect());
    for (QLabel* background : gridNoValueView->findChildren<QLabel*>(
             QStringLiteral("noValueBackground"), Qt::FindDirectChildrenOnly))
        background->setGeometry(gridNoValueView->rect());
    nodeView->setGeometry(ResultsLayout::noteBoxFrame(gridNoValueView->size()));
}

void KvDeletailWindowController::windowDidResize() {
    if (splistView == nullptr)
        return;
    const int width = splistLeftView->width();
    const int limited = ResultsLayout::clampLeftPaneWidth(width);
    if (limited != width) {
        QList<int> sizes = splistView->sizes();
        if (sizes.size() >= 2) {
            sizes[1] += sizes[0] - limited;
            sizes[0] = limited;
            splistView->setSizes(sizes);
        }
    }
    splistView->update();
    for (KvNSTableView* table : {tableView, coverFlowerTableView})
        table->changeFrame();
    changeNoValueNodeViewFrame();
    moveDeepScanOffer();
}
