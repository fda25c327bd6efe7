// The thumbnail grid over a million files: a scroll step of one cell with
// its repaint, a whole pass from top to bottom, a jump to the end and a
// reload, with the number of cell widgets alive. The peer is Qt's own list
// view in icon mode over a model of the same size.

#include <QAbstractListModel>
#include <QCoreApplication>
#include <QListView>
#include <QScrollBar>

#include <algorithm>
#include <cstdint>

#include "BenchSupport.h"
#include "CNGridView.h"
#include "CNGridViewItem.h"

namespace {

constexpr int64_t kMillion = 1'000'000;
constexpr int kStep = CNGridCellSize;

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Files as the results window gives them: a reused item with a title.
class Files : public CNGridViewDataSource {
public:
    explicit Files(int64_t count) : count_(count) {}
    uint64_t gridViewNumberOfItemsInSection(CNGridView*, int64_t) override {
        return uint64_t(count_);
    }
    CNGridViewItem* gridViewItemAtIndex(CNGridView* grid, int64_t index, int64_t) override {
        CNGridViewItem* item = grid->dequeueReusableItemWithIdentifier(kCNDefaultItemIdentifier);
        if (!item)
            item = new CNGridViewItem;
        item->setItemTitle(QString("IMG_%1.JPG").arg(index));
        item->setItemButtonImage("pf_checkbox_no");
        return item;
    }

private:
    int64_t count_;
};

struct GridRig {
    explicit GridRig(int64_t count) : files(count) {
        grid.resize(800, 600);
        grid.setDataSource(&files);
        grid.show();
        Settle();
        grid.reloadData();
        Settle();
    }
    int liveCells() const { return int(grid.viewport()->findChildren<CNGridViewItem*>().size()); }
    Files files;
    CNGridView grid;
};

void ReportCells(benchmark::State& state, const GridRig& rig, int mostLive) {
    state.counters["live_cells"] = mostLive;
    state.counters["shown_cells"] = double(rig.grid.numberOfVisibleItems());
}

// One cell's step down and its repaint, wrapping round at the end.
void BM_GridScrollStep(benchmark::State& state) {
    GridRig rig(kMillion);
    QScrollBar* bar = rig.grid.verticalScrollBar();
    int mostLive = 0;
    for (auto _ : state) {
        const int next = bar->value() + kStep;
        bar->setValue(next > bar->maximum() ? 0 : next);
        Settle();
        mostLive = std::max(mostLive, rig.liveCells());
    }
    ReportCells(state, rig, mostLive);
}
BENCHMARK(BM_GridScrollStep)->Unit(benchmark::kMicrosecond);

// Top to bottom in cell steps, repainted every 64 steps: mostly the grid's own work.
void BM_GridScrollWholePass(benchmark::State& state) {
    GridRig rig(kMillion);
    QScrollBar* bar = rig.grid.verticalScrollBar();
    int mostLive = 0;
    int64_t steps = 0;
    for (auto _ : state) {
        for (int y = 0; y <= bar->maximum(); y += kStep) {
            bar->setValue(y);
            ++steps;
            if (steps % 64 == 0) {
                Settle();
                mostLive = std::max(mostLive, rig.liveCells());
            }
        }
        bar->setValue(0);
    }
    state.counters["steps"] = double(steps);
    state.counters["per_step"] = benchmark::Counter(
        double(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    ReportCells(state, rig, mostLive);
}
BENCHMARK(BM_GridScrollWholePass)->Unit(benchmark::kMillisecond)->Iterations(1);

// From the top to the last row and back, repainted.
void BM_GridJumpToEnd(benchmark::State& state) {
    GridRig rig(kMillion);
    QScrollBar* bar = rig.grid.verticalScrollBar();
    int mostLive = 0;
    for (auto _ : state) {
        bar->setValue(bar->value() == 0 ? bar->maximum() : 0);
        Settle();
        mostLive = std::max(mostLive, rig.liveCells());
    }
    ReportCells(state, rig, mostLive);
}
BENCHMARK(BM_GridJumpToEnd)->Unit(benchmark::kMicrosecond);

// A reload with its item pass: the same for a thousand and a million files.
void BM_GridReloadData(benchmark::State& state) {
    GridRig rig(state.range(0));
    for (auto _ : state) {
        rig.grid.reloadData();
        Settle();
    }
    ReportCells(state, rig, rig.liveCells());
}
BENCHMARK(BM_GridReloadData)->Arg(1000)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

// The peer: a list view in icon mode with 150-point cells.
class Names : public QAbstractListModel {
public:
    explicit Names(int count) : count_(count) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : count_; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole)
            return QString("IMG_%1.JPG").arg(index.row());
        return {};
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }

private:
    int count_;
};

struct ListRig {
    explicit ListRig(int count) : names(count) {
        list.setViewMode(QListView::IconMode);
        list.setUniformItemSizes(true);
        list.setGridSize(QSize(kStep, kStep));
        list.setMovement(QListView::Static);
        list.setResizeMode(QListView::Adjust);
        list.setModel(&names);
        list.resize(800, 600);
        list.show();
        Settle();
    }
    Names names;
    QListView list;
};

void BM_ListViewScrollStep(benchmark::State& state) {
    ListRig rig{int(kMillion)};
    QScrollBar* bar = rig.list.verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + kStep;
        bar->setValue(next > bar->maximum() ? 0 : next);
        Settle();
    }
}
BENCHMARK(BM_ListViewScrollStep)->Unit(benchmark::kMicrosecond);

void BM_ListViewReload(benchmark::State& state) {
    ListRig rig(int(state.range(0)));
    for (auto _ : state) {
        rig.names.reset();
        rig.list.doItemsLayout();
        Settle();
    }
}
BENCHMARK(BM_ListViewReload)->Arg(1000)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

}  // namespace
