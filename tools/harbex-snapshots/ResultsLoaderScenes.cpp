// Scenes of the results window's grid and cover flow once their pictures
// have come in.

#include <QTest>

#include <memory>

#include "CNGridView.h"
#include "CNGridViewItem.h"
#include "CoverFlowLoader.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvSegmentedControl.h"
#include "Photo.h"
#include "Scene.h"

namespace {

// A finished scan of 600 photos and files, 60 to a folder, showing the
// third folder in view mode `mode`.
std::unique_ptr<KvDeletailWindowController> ShowingFolder(FakeFacade& facade, int mode) {
    auto tree = std::make_shared<SyntheticTree>(600, 60, QStringLiteral("PHOTOS"));
    facade.tree = tree;
    auto window = std::make_unique<KvDeletailWindowController>();
    window->resize(1100, 700);
    window->allDiskArr.push_back(tree->pathRoot(tree->folders().size()));
    window->DataInitFinished();
    CommOutlineView* outline = window->pathOutlineView;
    const QModelIndex root = outline->model()->index(0, 0);
    outline->expand(root);
    outline->setCurrentIndex(outline->model()->index(2, 0, root));
    window->segment->setSelectedSegment(mode);
    window->segmentSelect(mode);
    window->show();
    return window;
}

}  // namespace

HARBEX_SCENE("results-grid") {
    auto window = ShowingFolder(facade, 1);
    CNGridView* grid = window->gridMainView;
    const bool loaded = QTest::qWaitFor(
        [grid] {
            const auto items = grid->findChildren<CNGridViewItem*>();
            int withPicture = 0;
            for (CNGridViewItem* item : items)
                withPicture += item->isVisible() && item->itemImage().width() > 64 ? 1 : 0;
            return grid->numberOfVisibleItems() > 0 &&
                   withPicture == int(grid->numberOfVisibleItems());
        },
        3000);
    if (!loaded)
        qWarning("results-grid: some thumbnails did not come in");
    return window;
}

HARBEX_SCENE("results-coverflow") {
    auto window = ShowingFolder(facade, 2);
    window->imageFlowDidSelectItemAtIndex(window->flowView, 7);
    KvDeletailWindowController* shown = window.get();
    if (!QTest::qWaitFor([shown] { return shown->coverFlowLoader->state() == 2; }, 3000))
        qWarning("results-coverflow: the pictures did not all come in");
    return window;
}
