#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <set>

#include "CNGridView.h"
#include "CNGridViewItem.h"
#include "CoverFlowLoader.h"
#include "GridThumbnailLoader.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "LoaderFixtures.h"
#include "Photo.h"

namespace {

using loadertest::Deliver;
using loadertest::WaitFor;
using loadertest::WatchedFacade;

// A results window showing one folder that holds every file of a tree.
struct LoaderWindow {
    explicit LoaderWindow(size_t files)
        : tree(std::make_unique<SyntheticTree>(files, files)),
          window(std::make_unique<KvDeletailWindowController>()) {
        folder = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 0, nullptr});
        folder->addChildObjects({tree->files().begin(), tree->files().end()});
        root = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 1, nullptr});
        root->setSubNode({folder});
        window->allDiskArr.push_back(root);
        window->pathOutlineView->loadDataFormDetail(&window->allDiskArr, OpNodeData::kPathTree);
        window->selectOutlineListWithOpNodeData(folder.get(), 1);
        window->show();
        Deliver();
    }
    ~LoaderWindow() {
        // The window goes before the files it shows.
        window.reset();
        tree.reset();
    }

    // Indexes of the photos that have their picture.
    std::set<int64_t> withPicture() const {
        std::set<int64_t> indexes;
        for (size_t index = 0; index < window->photos.size(); ++index)
            if (window->photos[index]->imageUID() != QStringLiteral("Loading..."))
                indexes.insert(int64_t(index));
        return indexes;
    }
    bool coverFlowIdle() const { return window->coverFlowLoader->state() == 2; }
    int gridItemsWithPicture() const {
        int count = 0;
        for (CNGridViewItem* item : window->gridMainView->findChildren<CNGridViewItem*>())
            count += item->isVisible() && item->itemImage().size() == QSize(128, 96) ? 1 : 0;
        return count;
    }

    WatchedFacade facade;
    std::unique_ptr<SyntheticTree> tree;
    OpNodeRef root;
    OpNodeRef folder;
    std::unique_ptr<KvDeletailWindowController> window;
};

std::set<int64_t> Range(int64_t first, int64_t last) {
    std::set<int64_t> indexes;
    for (int64_t index = first; index < last; ++index)
        indexes.insert(index);
    return indexes;
}

TEST(CoverFlowWindow, FewPhotosAllLoadWhateverTheCentre) {
    LoaderWindow shown(7);
    shown.window->segmentSelect(2);
    ASSERT_TRUE(WaitFor([&] { return shown.withPicture().size() == 7; }));
    ASSERT_TRUE(WaitFor([&] { return shown.coverFlowIdle(); }));
    EXPECT_EQ(shown.window->photos[3]->imageTitle(),
              QString::fromStdString(shown.tree->files()[3]->name_));
    // Nothing is left to load, so a new centre asks for nothing.
    const int asked = shown.facade.thumbnailCount.load();
    shown.window->imageFlowDidSelectItemAtIndex(shown.window->flowView, 5);
    ASSERT_TRUE(WaitFor([&] { return shown.coverFlowIdle(); }));
    EXPECT_EQ(shown.facade.thumbnailCount.load(), asked);
}

TEST(CoverFlowWindow, CentringItem250Of1000LoadsItems150To349) {
    LoaderWindow shown(1000);
    shown.window->segmentSelect(2);
    ASSERT_TRUE(WaitFor([&] { return shown.coverFlowIdle(); }));
    Deliver();
    EXPECT_EQ(shown.withPicture(), Range(0, 100));

    shown.window->selectedCoverFlow(250);
    ASSERT_TRUE(WaitFor([&] { return shown.coverFlowIdle(); }));
    Deliver();
    std::set<int64_t> expected = Range(0, 100);
    expected.merge(Range(150, 350));
    EXPECT_EQ(shown.withPicture(), expected);
    EXPECT_EQ(shown.facade.thumbnailCount.load(), 300);
    EXPECT_EQ(shown.window->flowView->selectedIndex(), 250);
}

TEST(CoverFlowWindow, ChoosingANewCentreStopsTheOldLoaderFirst) {
    LoaderWindow shown(1000);
    shown.facade.thumbnailDelayMs = 20;
    shown.window->segmentSelect(2);
    ASSERT_TRUE(WaitFor([&] { return !shown.withPicture().empty(); }));
    shown.window->imageFlowDidSelectItemAtIndex(shown.window->flowView, 700);
    shown.facade.thumbnailDelayMs = 0;
    ASSERT_TRUE(WaitFor([&] { return shown.coverFlowIdle(); }));
    Deliver();
    EXPECT_EQ(shown.facade.mostAtOnce.load(), 1);
    // Once the new centre's files were asked for, no file of the old window was.
    const std::vector<IFileNode*> asked = shown.facade.askedInOrder();
    std::set<IFileNode*> newWindow;
    for (size_t index = 600; index < 800; ++index)
        newWindow.insert(shown.tree->files()[index]);
    bool newBegan = false;
    for (IFileNode* file : asked) {
        if (newWindow.count(file) != 0)
            newBegan = true;
        else
            EXPECT_FALSE(newBegan) << "an old file was asked for after the new centre";
    }
    EXPECT_TRUE(shown.withPicture().count(700));
    EXPECT_EQ(shown.window->coverFlowerTableView->currentIndex().row(), 700);
}

TEST(GridWindow, EveryShownItemGetsItsThumbnail) {
    LoaderWindow shown(40);
    shown.window->resize(900, 640);
    shown.window->segmentSelect(1);
    ASSERT_TRUE(WaitFor([&] {
        return shown.window->gridMainView->numberOfVisibleItems() > 0 &&
               shown.gridItemsWithPicture() ==
                   int(shown.window->gridMainView->numberOfVisibleItems());
    }));
}

TEST(GridWindow, GoingToTheListCancelsTheQueueAndComingBackAsksAgain) {
    LoaderWindow shown(200);
    shown.facade.thumbnailDelayMs = 30;
    shown.window->segmentSelect(1);
    ASSERT_TRUE(WaitFor([&] { return shown.facade.inFlight.load() == 1; }));
    ASSERT_GT(shown.window->gridThumbnailLoader->operationCount(), 2u);
    shown.window->segmentSelect(0);
    EXPECT_EQ(shown.facade.inFlight.load(), 0);
    EXPECT_EQ(shown.window->gridThumbnailLoader->operationCount(), 0u);
    const int asked = shown.facade.thumbnailCount.load();
    QTest::qWait(100);
    EXPECT_EQ(shown.facade.thumbnailCount.load(), asked);

    shown.facade.thumbnailDelayMs = 0;
    shown.window->segmentSelect(1);
    ASSERT_TRUE(WaitFor([&] {
        return shown.window->gridMainView->numberOfVisibleItems() > 0 &&
               shown.gridItemsWithPicture() ==
                   int(shown.window->gridMainView->numberOfVisibleItems());
    }));
    EXPECT_GT(shown.facade.thumbnailCount.load(), asked);
}

// What the user may do while a slow preview is being made; afterwards the
// old files are let go at once.
enum class Interruption { SwitchMode, ShowAnotherFolder, Close };

class SlowPreviewWindow : public ::testing::TestWithParam<std::tuple<int, Interruption>> {};

TEST_P(SlowPreviewWindow, NothingReadsTheFilesOnceTheyChange) {
    const auto [mode, interruption] = GetParam();
    LoaderWindow shown(300);
    shown.facade.thumbnailDelayMs = 80;
    shown.window->segmentSelect(mode);
    ASSERT_TRUE(WaitFor([&] { return shown.facade.inFlight.load() == 1; }));
    switch (interruption) {
        case Interruption::SwitchMode:
            shown.window->segmentSelect(0);
            break;
        case Interruption::ShowAnotherFolder: {
            auto other = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 0, nullptr});
            shown.window->selectOutlineListWithOpNodeData(other.get(), 1);
            break;
        }
        case Interruption::Close:
            shown.window.reset();
            break;
    }
    ASSERT_EQ(shown.facade.inFlight.load(), 0);
    const int asked = shown.facade.thumbnailCount.load();
    QTest::qWait(150);
    EXPECT_EQ(shown.facade.thumbnailCount.load(), asked);
    shown.window.reset();
    shown.tree.reset();
    Deliver();
}

INSTANTIATE_TEST_SUITE_P(Cases, SlowPreviewWindow,
                         ::testing::Combine(::testing::Values(1, 2),
                                            ::testing::Values(Interruption::SwitchMode,
                                                              Interruption::ShowAnotherFolder,
                                                              Interruption::Close)));

}  // namespace
