#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>
#include <set>
#include <vector>

#include "CNGridViewItem.h"
#include "CoverFlowLoader.h"
#include "GridThumbnailLoader.h"
#include "LoaderFixtures.h"
#include "SerialJobQueue.h"

namespace {

using loadertest::Deliver;
using loadertest::WaitFor;
using loadertest::WatchedFacade;

std::vector<CoverFlowLoader::Job> JobsFor(const SyntheticTree& tree, int64_t first, int64_t last) {
    std::vector<CoverFlowLoader::Job> jobs;
    for (int64_t index = first; index < last; ++index)
        jobs.push_back({index, tree.files()[size_t(index)]});
    return jobs;
}

std::set<int64_t> Indexes(const QSignalSpy& spy) {
    std::set<int64_t> indexes;
    for (const QList<QVariant>& call : spy)
        indexes.insert(call.at(0).toLongLong());
    return indexes;
}

struct WindowCase {
    int64_t centre;
    int64_t count;
    int64_t first;
    int64_t last;
};

class CoverFlowWindowAround : public ::testing::TestWithParam<WindowCase> {};

TEST_P(CoverFlowWindowAround, CoversTheHundredOnEachSideOrAllOfFew) {
    const WindowCase& c = GetParam();
    EXPECT_EQ(CoverFlowLoader::windowAround(c.centre, c.count), std::make_pair(c.first, c.last));
}

INSTANTIATE_TEST_SUITE_P(Cases, CoverFlowWindowAround,
                         ::testing::Values(WindowCase{0, 0, 0, 0}, WindowCase{9, 10, 0, 10},
                                           WindowCase{-1, 10, 0, 10}, WindowCase{0, 11, 0, 11},
                                           WindowCase{250, 1000, 150, 350},
                                           WindowCase{40, 1000, 0, 140},
                                           WindowCase{950, 1000, 850, 1000},
                                           WindowCase{999, 1000, 899, 1000}));

TEST(SerialJobQueue, CancelDropsWaitingJobsAndWaitsForTheOneRunning) {
    SerialJobQueue queue;
    std::atomic<bool> release{false};
    std::atomic<bool> firstStarted{false};
    std::atomic<bool> firstEnded{false};
    std::atomic<int> others{0};
    queue.add([&] {
        firstStarted = true;
        while (!release)
            std::this_thread::yield();
        firstEnded = true;
    });
    for (int i = 0; i < 5; ++i)
        queue.add([&] { ++others; });
    while (!firstStarted)
        std::this_thread::yield();
    EXPECT_EQ(queue.operationCount(), 6u);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        release = true;
    });
    queue.cancelAllAndWait();
    EXPECT_TRUE(firstEnded);
    EXPECT_EQ(queue.operationCount(), 0u);
    releaser.join();
    queue.add([&] { ++others; });
    queue.cancelAllAndWait();
    EXPECT_LE(others.load(), 1);
}

TEST(CoverFlowLoader, LoadsItsJobsInOrderAndEnds) {
    WatchedFacade fake;
    SyntheticTree tree(30, 10);
    CoverFlowLoader loader;
    EXPECT_EQ(loader.state(), -1);
    QSignalSpy loaded(&loader, &CoverFlowLoader::thumbnailLoaded);
    loader.start(JobsFor(tree, 5, 25));
    ASSERT_TRUE(WaitFor([&] { return loaded.count() == 20; }));
    EXPECT_EQ(loader.state(), 2);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(loaded.at(i).at(0).toLongLong(), 5 + i);
        EXPECT_EQ(loaded.at(i).at(1).toString(),
                  QString::fromStdString(tree.files()[size_t(5 + i)]->name_));
        EXPECT_FALSE(loaded.at(i).at(2).value<QImage>().isNull());
    }
}

TEST(CoverFlowLoader, ANewStartStopsTheOldRunFirst) {
    WatchedFacade fake;
    fake.thumbnailDelayMs = 20;
    SyntheticTree tree(1000, 100);
    CoverFlowLoader loader;
    QSignalSpy loaded(&loader, &CoverFlowLoader::thumbnailLoaded);
    loader.start(JobsFor(tree, 0, 200));
    ASSERT_TRUE(WaitFor([&] { return loaded.count() >= 2; }));
    const int deliveredBeforeRestart = int(loaded.count());
    loader.start(JobsFor(tree, 600, 800));
    fake.thumbnailDelayMs = 0;
    ASSERT_TRUE(WaitFor([&] { return Indexes(loaded).count(799) == 1; }));
    EXPECT_EQ(fake.mostAtOnce.load(), 1);

    // The old run asked for at most the preview it had in hand, and nothing
    // once the new run had begun; the new run asked for each of its files.
    const std::vector<IFileNode*> asked = fake.askedInOrder();
    const std::set<IFileNode*> newFiles(tree.files().begin() + 600, tree.files().begin() + 800);
    size_t firstNew = 0;
    while (firstNew < asked.size() && newFiles.count(asked[firstNew]) == 0)
        ++firstNew;
    EXPECT_LE(firstNew, size_t(deliveredBeforeRestart + 1));
    EXPECT_EQ(std::set<IFileNode*>(asked.begin() + firstNew, asked.end()), newFiles);
    EXPECT_EQ(asked.size() - firstNew, 200u);

    // No picture of the old run arrived after the restart.
    for (qsizetype call = deliveredBeforeRestart; call < loaded.count(); ++call)
        EXPECT_GE(loaded.at(call).at(0).toLongLong(), 600);
}

TEST(CoverFlowLoader, StopWaitsForTheSlowPreviewAndDropsWhatWasNotHandedOver) {
    WatchedFacade fake;
    fake.thumbnailDelayMs = 150;
    SyntheticTree tree(50, 10);
    CoverFlowLoader loader;
    QSignalSpy loaded(&loader, &CoverFlowLoader::thumbnailLoaded);
    loader.start(JobsFor(tree, 0, 50));
    ASSERT_TRUE(WaitFor([&] { return fake.inFlight.load() == 1; }));
    loader.stopAndWait();
    EXPECT_EQ(fake.inFlight.load(), 0);
    EXPECT_EQ(loader.state(), 2);
    EXPECT_LE(fake.thumbnailCount.load(), 2);
    Deliver();
    EXPECT_EQ(loaded.count(), 0);
}

TEST(CoverFlowLoader, FilesWithoutPreviewStillGetTheirNames) {
    WatchedFacade fake;
    fake.noPreview = true;
    SyntheticTree tree(3, 3);
    CoverFlowLoader loader;
    QSignalSpy loaded(&loader, &CoverFlowLoader::thumbnailLoaded);
    loader.start(JobsFor(tree, 0, 3));
    ASSERT_TRUE(WaitFor([&] { return loaded.count() == 3; }));
    EXPECT_TRUE(loaded.at(2).at(2).value<QImage>().isNull());
    EXPECT_FALSE(loaded.at(2).at(1).toString().isEmpty());
}

// Grid items over the files of `tree`, each showing its own file.
struct GridItems {
    explicit GridItems(const SyntheticTree& tree, size_t count) {
        for (size_t index = 0; index < count; ++index) {
            items.push_back(std::make_unique<CNGridViewItem>());
            items.back()->setNode(std::make_shared<OpNodeData>(tree.files()[index]));
        }
    }
    int withPicture() const {
        int count = 0;
        for (const auto& item : items)
            count += item->itemImage().isNull() ? 0 : 1;
        return count;
    }
    std::vector<std::unique_ptr<CNGridViewItem>> items;
};

TEST(GridThumbnailLoader, EveryRequestedItemGetsItsThumbnail) {
    WatchedFacade fake;
    SyntheticTree tree(40, 10);
    GridItems grid(tree, 40);
    GridThumbnailLoader loader;
    EXPECT_EQ(loader.state(), -1);
    for (size_t index = 0; index < 40; ++index)
        loader.request(grid.items[index].get(), tree.files()[index]);
    ASSERT_TRUE(WaitFor([&] { return grid.withPicture() == 40; }));
    EXPECT_EQ(loader.state(), 2);
    EXPECT_EQ(fake.mostAtOnce.load(), 1);
}

TEST(GridThumbnailLoader, StopCancelsTheQueueAndLaterRequestsStillLoad) {
    WatchedFacade fake;
    fake.thumbnailDelayMs = 40;
    SyntheticTree tree(60, 10);
    GridItems grid(tree, 60);
    GridThumbnailLoader loader;
    for (size_t index = 0; index < 30; ++index)
        loader.request(grid.items[index].get(), tree.files()[index]);
    ASSERT_TRUE(WaitFor([&] { return fake.inFlight.load() == 1; }));
    loader.stopAndWait();
    EXPECT_EQ(fake.inFlight.load(), 0);
    EXPECT_EQ(loader.operationCount(), 0u);
    const int asked = fake.thumbnailCount.load();
    EXPECT_LE(asked, 2);
    Deliver();
    EXPECT_EQ(grid.withPicture(), 0);

    // The next request after the stop is not skipped, even though the last
    // cancelled one ended just before it.
    fake.thumbnailDelayMs = 0;
    for (size_t index = 30; index < 60; ++index)
        loader.request(grid.items[index].get(), tree.files()[index]);
    ASSERT_TRUE(WaitFor([&] { return grid.withPicture() == 30; }));
    EXPECT_EQ(fake.thumbnailCount.load(), asked + 30);
}

TEST(GridThumbnailLoader, AnItemGivenAnotherFileKeepsTheOldThumbnailOut) {
    WatchedFacade fake;
    fake.thumbnailDelayMs = 50;
    SyntheticTree tree(4, 4);
    GridItems grid(tree, 1);
    GridThumbnailLoader loader;
    CNGridViewItem* item = grid.items[0].get();
    loader.request(item, tree.files()[0]);
    ASSERT_TRUE(WaitFor([&] { return fake.inFlight.load() == 1; }));
    item->setNode(std::make_shared<OpNodeData>(tree.files()[1]));
    ASSERT_TRUE(WaitFor([&] { return loader.state() == 2; }));
    Deliver();
    EXPECT_TRUE(item->itemImage().isNull());
}

TEST(GridThumbnailLoader, AnItemDeletedWhileItsThumbnailLoadsIsLeftAlone) {
    WatchedFacade fake;
    fake.thumbnailDelayMs = 50;
    SyntheticTree tree(4, 4);
    auto item = std::make_unique<CNGridViewItem>();
    item->setNode(std::make_shared<OpNodeData>(tree.files()[0]));
    GridThumbnailLoader loader;
    loader.request(item.get(), tree.files()[0]);
    ASSERT_TRUE(WaitFor([&] { return fake.inFlight.load() == 1; }));
    item.reset();
    ASSERT_TRUE(WaitFor([&] { return loader.state() == 2; }));
    Deliver();
}

}  // namespace
