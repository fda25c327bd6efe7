// Browsing a million found files in the results window: a sort by each column
// of the list, select-all, and the refresh of a tree node that holds every
// file, each run by the window on its GUI thread, with the longest single run
// (the longest stall of the interface) reported. The peer sorts with a
// comparison that wraps both rows in new nodes every time it compares. The
// cover flow of the same folder, and the wait when the files change while a
// slow preview is being made, close the set.

#include <QStandardItemModel>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "FakeFacade.h"
#include "FileListModel.h"
#include "KvDeletailWindowController.h"
#include "StallClock.h"
#include "SyntheticTree.h"

namespace {

constexpr size_t kRows = 1'000'000;

// One folder holding every file, shown in a results window.
struct BrowseRig {
    BrowseRig() {
        facade.tree = tree;
        folder = tree->folderRow(0);
        window = std::make_unique<KvDeletailWindowController>();
        window->selectOutlineListWithOpNodeData(folder.get(), 1);
    }
    std::shared_ptr<SyntheticTree> tree = std::make_shared<SyntheticTree>(kRows, kRows);
    FakeFacade facade;
    OpNodeRef folder;
    std::unique_ptr<KvDeletailWindowController> window;
};

// A click on a column header; every click flips the direction.
void BM_SortByColumn(benchmark::State& state) {
    BrowseRig rig;
    const int column = int(state.range(0));
    StallClock clock;
    for (auto _ : state)
        clock.run([&] { rig.window->tableViewDidClickTableColumn(rig.window->tableView, column); });
    state.SetLabel(FileListModel::identifier(column).toStdString());
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kRows));
    clock.report(state);
}
BENCHMARK(BM_SortByColumn)
    ->DenseRange(FileListModel::kName, FileListModel::kCreated)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// The peer: each comparison makes a node around both rows.
void BM_SortWrappingEachComparison(benchmark::State& state) {
    SyntheticTree tree(kRows, kRows);
    std::vector<IFileNode*> rows(tree.files().begin(), tree.files().end());
    const bool byName = state.range(0) == FileListModel::kName;
    StallClock clock;
    for (auto _ : state) {
        clock.run([&] {
            std::sort(rows.begin(), rows.end(), [byName](IFileNode* a, IFileNode* b) {
                const auto left = std::make_shared<OpNodeData>(a);
                const auto right = std::make_shared<OpNodeData>(b);
                return byName ? left->name() < right->name() : left->size() < right->size();
            });
        });
    }
    state.SetLabel(byName ? "Name" : "Size");
    clock.report(state);
}
BENCHMARK(BM_SortWrappingEachComparison)
    ->Arg(FileListModel::kName)
    ->Arg(FileListModel::kSize)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The select-all box, checking then clearing every file.
void BM_SelectAll(benchmark::State& state) {
    BrowseRig rig;
    StallClock clock;
    for (auto _ : state)
        clock.run([&] { rig.window->setAllSelectOrNoSelect(); });
    clock.report(state);
}
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMillisecond)->Iterations(4);

// Choosing the folder in the tree again: the list refilled, marks and count.
void BM_DetailRefresh(benchmark::State& state) {
    BrowseRig rig;
    StallClock clock;
    for (auto _ : state)
        clock.run([&] { rig.window->selectOutlineListWithOpNodeData(rig.folder.get(), 1); });
    clock.report(state);
}
BENCHMARK(BM_DetailRefresh)->Unit(benchmark::kMillisecond)->Iterations(4);

// The cover flow of the folder: a waiting photo per file, the flow reloaded
// and the loading of the pictures around the first one started, after the
// last run was stopped and waited for.
void BM_CoverFlowBuild(benchmark::State& state) {
    BrowseRig rig;
    rig.window->segmentSelect(2);
    StallClock clock;
    for (auto _ : state) {
        clock.run([&] {
            rig.window->stopAllImageLoadingAndWait();
            rig.window->photos.clear();
            rig.window->showCoverFlowerViewWithRefresh(1);
            rig.window->selectedCoverFlow(0);
        });
    }
    rig.window->stopAllImageLoadingAndWait();
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kRows));
    clock.report(state);
}
BENCHMARK(BM_CoverFlowBuild)->Unit(benchmark::kMillisecond)->Iterations(4);

// The peer: Qt's own item model with an item per file, each with the
// placeholder picture and the file's name, as a list view in icon mode needs.
void BM_IconModelBuild(benchmark::State& state) {
    SyntheticTree tree(kRows, kRows);
    const QIcon placeholder(QPixmap(32, 32));
    StallClock clock;
    for (auto _ : state) {
        clock.run([&] {
            QStandardItemModel model;
            QList<QStandardItem*> items;
            items.reserve(qsizetype(kRows));
            for (SyntheticFileNode* file : tree.files())
                items.append(new QStandardItem(placeholder, QString::fromStdString(file->name_)));
            model.appendColumn(items);
        });
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kRows));
    clock.report(state);
}
BENCHMARK(BM_IconModelBuild)->Unit(benchmark::kMillisecond)->Iterations(2);

// How long the interface waits when the files change while a slow preview
// (50 ms) is being made: at most that one preview.
void BM_StopWhileAPreviewIsMade(benchmark::State& state) {
    BrowseRig rig;
    rig.facade.thumbnailDelayMs = 50;
    rig.window->segmentSelect(2);
    StallClock clock;
    for (auto _ : state) {
        state.PauseTiming();
        rig.window->selectedCoverFlow(int64_t(kRows / 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state.ResumeTiming();
        clock.run([&] { rig.window->stopAllImageLoadingAndWait(); });
    }
    clock.report(state);
}
BENCHMARK(BM_StopWhileAPreviewIsMade)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
