// The results window while a quick scan grows its tree to a million files:
// each "NormalScranValue" post reloads the window's trees and status area.
// Reports the time of one DataInitFinished while the scan runs, of the last
// one (the end of the scan), and the longest stall of the GUI thread as a
// 10 ms probe timer sees it while the posts come every 50 ms. The peer is the
// path tree alone, a CommOutlineView reloaded on the same posts.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "BenchSupport.h"
#include "CommOutlineView.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvResultTrees.h"

namespace {

constexpr size_t kMillion = 1'000'000;
constexpr int kPosts = 100;
constexpr int kPostEveryMs = 50;
constexpr int kProbeMs = 10;

const std::shared_ptr<SyntheticTree>& MillionFiles() {
    static const auto tree = std::make_shared<SyntheticTree>(kMillion, 100);
    return tree;
}

// Times the observers of "NormalScranValue" between two of its own: one
// registered before them and one after.
class HandlerTimer {
public:
    void before() {
        KvNotificationCenter::defaultCenter()->observe(kvnote::kNormalScanValue, &context_,
                                                       [this](const QVariant&) { clock_.start(); });
    }
    void after() {
        KvNotificationCenter::defaultCenter()->observe(
            kvnote::kNormalScanValue, &context_,
            [this](const QVariant&) { times_.push_back(clock_.nsecsElapsed() / 1e6); });
    }
    const std::vector<double>& times() const { return times_; }

private:
    QObject context_;
    QElapsedTimer clock_;
    std::vector<double> times_;
};

// The longest gap between ticks of a 10 ms timer, less the 10 ms.
class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kProbeMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double now = clock_.nsecsElapsed() / 1e6;
            longest_ = std::max(longest_, now - last_ - kProbeMs);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    double longestMs() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    double longest_ = 0;
};

// Feeds the scan from 0 to 100 % in kPosts posts, one every 50 ms, the
// trees growing before each post as the bridge grows them, then ends it.
void Feed(FakeFacade& facade) {
    QEventLoop loop;
    int post = 0;
    QTimer feed;
    feed.setInterval(kPostEveryMs);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        if (post == kPosts) {
            facade.finishScan();
            facade.KvGetTreeNodeData(1);
            feed.stop();
            QTimer::singleShot(200, &loop, &QEventLoop::quit);
            return;
        }
        ++post;
        facade.advanceScan(100.0 * post / (kPosts + 1));
        facade.KvGetTreeNodeData(0);
    });
    feed.start();
    loop.exec();
}

void Report(benchmark::State& state, const std::vector<double>& times, double stall) {
    double running = 0;
    double longest = 0;
    for (size_t i = 0; i + 1 < times.size(); ++i) {
        running += times[i];
        longest = std::max(longest, times[i]);
    }
    const size_t runningPosts = times.empty() ? 0 : times.size() - 1;
    state.counters["posts"] = double(times.size());
    state.counters["per_post_ms"] = runningPosts ? running / double(runningPosts) : 0;
    state.counters["longest_post_ms"] = longest;
    state.counters["end_post_ms"] = times.empty() ? 0 : times.back();
    state.counters["longest_stall_ms"] = stall;
}

void BM_ResultsWindowScanFeed(benchmark::State& state) {
    for (auto _ : state) {
        FakeFacade facade;
        facade.tree = MillionFiles();
        HandlerTimer timer;
        timer.before();
        KvDeletailWindowController window;
        window.setSelectDiskVolumeData(
            FakeFacade::MakeDevice("Untitled", uint64_t(1) << 40, 0, 0, 7));
        window.setScanTypeNum(1);
        window.show();
        window.getData();
        timer.after();
        StallProbe probe;
        Feed(facade);
        state.PauseTiming();
        Report(state, timer.times(), probe.longestMs());
        window.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ResultsWindowScanFeed)->Unit(benchmark::kMillisecond)->Iterations(1);

// The peer: the path tree alone, reloaded on the same posts.
void BM_PathTreeScanFeed(benchmark::State& state) {
    for (auto _ : state) {
        FakeFacade facade;
        facade.tree = MillionFiles();
        OpNodeArray roots;
        KvTreeRoots trees;
        trees.path = &roots;
        facade.KvSetTreeNodeData(&trees);
        facade.DoScanWithDiskIndex(0, 0);
        CommOutlineView tree;
        tree.resize(240, 600);
        tree.show();
        HandlerTimer timer;
        timer.before();
        QObject context;
        KvNotificationCenter::defaultCenter()->observe(
            kvnote::kNormalScanValue, &context,
            [&](const QVariant&) { tree.loadDataFormDetail(&roots, OpNodeData::kPathTree); });
        timer.after();
        StallProbe probe;
        Feed(facade);
        state.PauseTiming();
        Report(state, timer.times(), probe.longestMs());
        const KvTreeRoots none;
        facade.KvSetTreeNodeData(&none);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PathTreeScanFeed)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
