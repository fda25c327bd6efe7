// Scenes of the thumbnail grid, the file tiles and the cover flow.

#include <QGridLayout>
#include <QPainter>
#include <QTimer>

#include <set>

#include "BVPrototype.h"
#include "CNGridView.h"
#include "CNGridViewItem.h"
#include "CoverFlowView.h"
#include "FakeFacade.h"
#include "Images.h"
#include "Scene.h"
#include "SyntheticTree.h"

namespace {

// A made-up photo: a coloured ground with a lighter band, as thumbnails look.
QImage Thumbnail(int index, QSize size = QSize(120, 90)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 47) % 360, 110, 220));
    QPainter painter(&image);
    painter.fillRect(QRect(0, size.height() * 2 / 3, size.width(), size.height() / 6),
                     QColor(255, 255, 255, 150));
    return image;
}

// A grid and the data source that fills it, with a few items marked.
class GridScene : public QWidget, public CNGridViewDataSource {
public:
    GridScene(QSize size, int count) : count_(count) {
        resize(size);
        grid = new CNGridView(this);
        grid->setGeometry(rect());
        grid->setDataSource(this);
        grid->reloadData();
    }
    uint64_t gridViewNumberOfItemsInSection(CNGridView*, int64_t) override { return count_; }
    CNGridViewItem* gridViewItemAtIndex(CNGridView* view, int64_t index, int64_t) override {
        CNGridViewItem* item = view->dequeueReusableItemWithIdentifier(kCNDefaultItemIdentifier);
        if (!item)
            item = new CNGridViewItem(nullptr, kCNDefaultItemIdentifier);
        item->setItemTitle(QString("IMG_%1.JPG").arg(1000 + index));
        item->setItemImage(Thumbnail(int(index)));
        item->setItemButtonImage(checked.count(index) ? "pf_checkbox_yes" : "pf_checkbox_no");
        item->setCurrentLayout(selection);
        return item;
    }

    CNGridView* grid;
    std::set<int64_t> checked;
    std::shared_ptr<CNGridViewItemLayout> selection = std::make_shared<CNGridViewItemLayout>();

private:
    int count_;
};

class PhotoSource : public QWidget, public CoverFlowDataSource {
public:
    PhotoSource() {
        resize(720, 360);
        for (int index = 0; index < 12; ++index) {
            photos.push_back(
                std::make_shared<Photo>(Thumbnail(index, QSize(200, 150)), QString::number(index)));
            photos.back()->setName(QString("Holiday %1.jpg").arg(index + 1));
        }
        // One still waits for its picture.
        photos[6]->setImageRepresentation(QImage());
        flow = new CoverFlowView(this);
        flow->setGeometry(rect());
        flow->setDataSource(this);
        flow->reloadData();
        flow->setSelectedIndex(5);
    }
    uint64_t numberOfItemsInImageFlow(CoverFlowView*) override { return photos.size(); }
    std::shared_ptr<Photo> imageFlowItemAtIndex(CoverFlowView*, uint64_t index) override {
        return index < photos.size() ? photos[index] : nullptr;
    }
    std::vector<std::shared_ptr<Photo>> photos;
    CoverFlowView* flow;
};

class TileWindow : public QWidget, public BVPrototypeDelegate {
public:
    TileWindow() : tree(12, 12, "Photos") {
        resize(4 * 130 + 20, 3 * 110 + 20);
        auto* layout = new QGridLayout(this);
        for (size_t index = 0; index < tree.files().size(); ++index) {
            auto* item = new BVPrototype(this);
            item->setDelegate(this);
            item->loadView();
            SyntheticFileNode* file = tree.files()[index];
            if (index % 3 == 0)
                file->SetCheck(_tagCheckedStatus(2));
            item->setRepresentedObject(file);
            item->view()->setFixedSize(BVView::itemSize());
            layout->addWidget(item->view(), int(index / 4), int(index % 4));
        }
    }
    uint64_t viewLoadCnt() override { return 12; }

    SyntheticTree tree;
};

}  // namespace

HARBEX_SCENE("grid-thumbnails") {
    auto scene = std::make_unique<GridScene>(QSize(620, 340), 14);
    scene->checked = {1, 4};
    CNGridView* grid = scene->grid;
    // Once shown and filled: one item under the mouse, one selected.
    QTimer::singleShot(20, grid, [grid] {
        grid->hoverItemAtIndex(2);
        grid->selectItem(grid->visibleItemAtIndex(5));
    });
    return scene;
}

HARBEX_SCENE("grid-one-column") {
    return std::make_unique<GridScene>(QSize(140, 340), 5);
}

HARBEX_SCENE("grid-rubber-band") {
    auto scene = std::make_unique<GridScene>(QSize(620, 340), 14);
    CNGridView* grid = scene->grid;
    grid->setAllowsMultipleSelection(true);
    grid->setAllowsMultipleSelectionWithDrag(true);
    // A drag half way across, the band still held.
    QTimer::singleShot(20, grid, [grid] {
        grid->mouseDragged(QPointF(40, 40), {});
        grid->mouseDragged(QPointF(380, 230), {});
    });
    return scene;
}

HARBEX_SCENE("grid-tile-collection") {
    return std::make_unique<TileWindow>();
}

HARBEX_SCENE("coverflow-items") {
    return std::make_unique<PhotoSource>();
}
