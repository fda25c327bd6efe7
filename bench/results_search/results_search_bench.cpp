// Searching a million found files by name in the results window, every name
// a hit: the time from the search field's action until the list holds every
// hit, and the longest time the GUI thread stayed away from its event loop
// meanwhile (the longest stall of the interface). The search itself is the
// scripted facade's, so what is timed is the window's share. The peer lists
// the same million files by choosing the folder that holds them.

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <memory>

#include "BenchSupport.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "StallClock.h"
#include "SyntheticTree.h"

namespace {

constexpr size_t kFiles = 1'000'000;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

struct SearchRig {
    SearchRig() {
        facade.tree = tree;
        window = std::make_unique<KvDeletailWindowController>();
        window->getData();
        facade.advanceScan(100);
        facade.finishScan();
        QCoreApplication::processEvents();
    }
    std::shared_ptr<SyntheticTree> tree = std::make_shared<SyntheticTree>(kFiles, 1000);
    FakeFacade facade;
    std::unique_ptr<KvDeletailWindowController> window;
};

// The longest busy stretch of the GUI thread between two waits for events.
class StallWatch {
public:
    StallWatch() {
        auto* dispatcher = QAbstractEventDispatcher::instance();
        awake_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake,
                                  [this] { since_ = Clock::now(); });
        block_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                  [this] { note(); });
    }
    ~StallWatch() {
        QObject::disconnect(awake_);
        QObject::disconnect(block_);
    }
    void restart() { since_ = Clock::now(); }
    void note() { longest_ = std::max(longest_, Millis(Clock::now() - since_).count()); }
    double longest() const { return longest_; }

private:
    Clock::time_point since_ = Clock::now();
    double longest_ = 0;
    QMetaObject::Connection awake_;
    QMetaObject::Connection block_;
};

void BM_SearchEveryNameHits(benchmark::State& state) {
    SearchRig rig;
    StallWatch stalls;
    int round = 0;
    for (auto _ : state) {
        // Two spellings of a word every name holds, so each round searches anew.
        rig.window->search->setText(round++ % 2 == 0 ? "File" : "file");
        rig.window->arrList.clear();
        stalls.restart();
        rig.window->doSearch();
        stalls.note();
        while (rig.window->arrList.size() < kFiles || rig.facade.KvGetIsSearching())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kFiles));
    state.counters["longest_stall_ms"] = stalls.longest();
}
BENCHMARK(BM_SearchEveryNameHits)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

// The peer: the same million files listed from the folder that holds them.
void BM_ListTheSameFilesFromTheirFolder(benchmark::State& state) {
    std::shared_ptr<SyntheticTree> tree = std::make_shared<SyntheticTree>(kFiles, kFiles);
    FakeFacade facade;
    facade.tree = tree;
    OpNodeRef folder = tree->folderRow(0);
    KvDeletailWindowController window;
    StallClock clock;
    for (auto _ : state)
        clock.run([&] { window.selectOutlineListWithOpNodeData(folder.get(), 1); });
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kFiles));
    clock.report(state);
}
BENCHMARK(BM_ListTheSameFilesFromTheirFolder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4)
    ->UseRealTime();

}  // namespace
