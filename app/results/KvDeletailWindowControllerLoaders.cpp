// The grid's thumbnails and the cover flow's pictures. Each is loaded on a
// worker of its own from the files handed to it, and both are stopped, and
// waited for, before the shown files change.

#include <QBrush>
#include <QDebug>
#include <QPalette>
#include <QScrollBar>
#include <QUuid>

#include <algorithm>

#include "CNGridView.h"
#include "CNGridViewItem.h"
#include "CoverFlowLoader.h"
#include "FileListModel.h"
#include "GridThumbnailLoader.h"
#include "Images.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "Photo.h"

namespace {

// The id of a photo still waiting for its picture.
const QString kLoadingID = QStringLiteral("Loading...");
// Cells redrawn past a chosen picture.
constexpr int64_t kRedrawReach = 100;

// The grid items' check boxes reach the window's check marks through this.
class GridItemChecks : public QObject, public CNGridViewItemDelegate {
public:
    explicit GridItemChecks(KvDeletailWindowController* window)
        : QObject(window), window_(window) {}
    void doSelectItem(int64_t index) override {
        if (index >= 0)
            window_->doSelectItem(uint64_t(index));
    }

private:
    KvDeletailWindowController* window_;
};

}  // namespace

void KvDeletailWindowController::setUpImageLoaders() {
    coverFlowLoader = new CoverFlowLoader(this);
    gridThumbnailLoader = new GridThumbnailLoader(this);
    gridItemDelegate = new GridItemChecks(this);
    connect(coverFlowLoader, &CoverFlowLoader::thumbnailLoaded, this,
            &KvDeletailWindowController::loadImageForCoverFlowWithImage);
    connect(flowView, &CoverFlowView::didSelectItemAtIndex, this,
            [this](int64_t index) { imageFlowDidSelectItemAtIndex(flowView, index); });
}

void KvDeletailWindowController::stopAllImageLoadingAndWait() {
    stopImageLoading();
    stopGridImageLoading();
}

// ----- Cover flow ---------------------------------------------------------------

void KvDeletailWindowController::showCoverFlowerViewWithRefresh(int refresh) {
    if (!publicItem)
        publicItem = std::make_shared<Photo>(QImage(), kLoadingID);
    const int64_t centred = refresh != 0 ? 0 : flowView->selectedIndex();
    if (flowSelectedIndex == centred && !photos.empty())
        return;
    if (flowSelectedIndex == -1)
        flowSelectedIndex = 0;
    // Photos already made keep their pictures; callers empty the photos when
    // the files change.
    photos.reserve(arrList.size());
    while (photos.size() < arrList.size())
        photos.push_back(
            std::make_shared<Photo>(publicItem->imageRepresentation(), publicItem->imageUID()));
    flowView->reloadData();
    flowView->setSelectedIndex(flowSelectedIndex);
}

void KvDeletailWindowController::selectedCoverFlow(int64_t index) {
    flowView->setSelectedIndex(index);
    // The run going on already covers this centre.
    if (index == flowSelectedIndex && coverFlowLoader->state() == 0)
        return;
    flowSelectedIndex = index;
    coverFlowLoadImageThread(index);
}

void KvDeletailWindowController::coverFlowLoadImageThread(int64_t centre) {
    // The loader is handed the files now; it never reads arrList or the
    // photos on its own thread.
    std::vector<CoverFlowLoader::Job> jobs;
    const auto [first, last] = CoverFlowLoader::windowAround(centre, int64_t(photos.size()));
    for (int64_t index = first; index < last && index < int64_t(arrList.size()); ++index) {
        if (photos[size_t(index)]->imageUID() == kLoadingID)
            jobs.push_back({index, arrList[size_t(index)]});
    }
    nImageState_ = 0;
    coverFlowLoader->start(std::move(jobs));
}

void KvDeletailWindowController::loadImageForCoverFlowWithImage(int64_t index, const QString& name,
                                                                const QImage& image) {
    if (index < 0 || index >= int64_t(photos.size()))
        return;
    Photo& photo = *photos[size_t(index)];
    photo.setName(name);
    if (image.isNull())
        return;
    photo.setImageRepresentation(image);
    photo.setImageVersion();
    photo.setImageUID(QUuid::createUuid().toString(QUuid::WithoutBraces));
    flowView->reloadCellDataAtIndex(index);
}

void KvDeletailWindowController::imageFlowDidSelectItemAtIndex(CoverFlowView* /*view*/,
                                                               int64_t index) {
    selectedCoverFlow(index);
    if (index < 0 || index >= int64_t(photos.size()))
        return;
    if (index != 0) {
        const int64_t last = std::min<int64_t>(index + kRedrawReach, int64_t(photos.size()));
        for (int64_t cell = 0; cell < last; ++cell) {
            photos[size_t(cell)]->setImageVersion();
            flowView->reloadCellDataAtIndex(cell);
        }
    }
    if (index < int64_t(arrList.size())) {
        const QModelIndex row = listModel->index(int(index), 0);
        tableView->scrollTo(row);
        coverFlowerTableView->scrollTo(row);
        coverFlowerTableView->selectRow(int(index));
    }
}

uint64_t KvDeletailWindowController::numberOfItemsInImageFlow(CoverFlowView* /*view*/) {
    return arrList.size();
}

std::shared_ptr<Photo> KvDeletailWindowController::imageFlowItemAtIndex(CoverFlowView* /*view*/,
                                                                        uint64_t index) {
    return index < photos.size() ? photos[index] : nullptr;
}

void KvDeletailWindowController::stopImageLoading() {
    // Whatever the view shown: a loader left running would read nodes that
    // the caller is about to let go.
    const bool running = coverFlowLoader != nullptr && coverFlowLoader->state() == 0;
    if (coverFlowLoader != nullptr)
        coverFlowLoader->stopAndWait();
    if (nImageState_ >= 0)
        nImageState_ = 2;
    if (running)
        qInfo("-------we wait thead has been exit----");
}

// ----- Grid ---------------------------------------------------------------------

void KvDeletailWindowController::showGridView() {
    QPalette colours = gridMainView->viewport()->palette();
    colours.setBrush(QPalette::Window, QBrush(Images::named(QStringLiteral("BackgroundDust"))));
    gridMainView->viewport()->setPalette(colours);
    gridMainView->setScrollElasticity(true);
    gridMainView->reloadDataAnimated(true);
    gridMainView->verticalScrollBar()->setValue(gridMainView->frame().y());
}

uint64_t KvDeletailWindowController::gridViewNumberOfItemsInSection(CNGridView* /*grid*/,
                                                                    int64_t /*section*/) {
    return arrList.size();
}

CNGridViewItem* KvDeletailWindowController::gridViewItemAtIndex(CNGridView* grid, int64_t index,
                                                                int64_t /*section*/) {
    // Checked before an item is taken from the parked ones, so none is lost.
    if (index < 0 || index >= int64_t(arrList.size()))
        return nullptr;
    CNGridViewItem* item = grid->dequeueReusableItemWithIdentifier(kCNDefaultItemIdentifier);
    if (item == nullptr)
        item = new CNGridViewItem(nullptr, kCNDefaultItemIdentifier);
    IFileNode* file = arrList[size_t(index)];
    auto node = std::make_shared<OpNodeData>(file);
    item->setItemTitle(node->name());
    item->setItemImage(Images::named(QStringLiteral("loading")).toImage());
    item->setNode(node);
    item->setDelegate(gridItemDelegate);
    item->setItemButtonImage(OpNodeData::fileNodeState(file) == 2
                                 ? QStringLiteral("pf_checkbox_yes")
                                 : QStringLiteral("pf_checkbox_no"));
    gridImageState_ = 0;
    gridThumbnailLoader->request(item, file);
    return item;
}

void KvDeletailWindowController::stopGridImageLoading() {
    if (gridThumbnailLoader != nullptr)
        gridThumbnailLoader->stopAndWait();
    if (gridImageState_ >= 0)
        gridImageState_ = 2;
}
