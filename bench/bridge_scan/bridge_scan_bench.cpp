// Quick and complete scans of the FAT benchmark images through the bridge's
// scan operation (every node indexed, updates posted) against harbex-scan over
// the same images. The images are the FAT scan benchmarks' own (paths in
// HARBEX_BENCH_FAT_IMAGE and HARBEX_BENCH_DISK, else files in /tmp).

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdlib>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "FileTypeLists.h"
#include "KvUIFilter.h"
#include "KvUIScan.h"
#include "ScanOptions.h"
#include "ScanSource.h"

namespace {

using namespace harbex::bench;

const std::string& QuickImage() {
    static const std::string path = BenchImage(
        "HARBEX_BENCH_FAT_IMAGE", "/tmp/harbex_fat_quick_bench.img", HARBEX_BENCH_QUICK_SCRIPT);
    return path;
}

const std::string& CompleteDisk() {
    static const std::string path = BenchImage(
        "HARBEX_BENCH_DISK", "/tmp/harbex_fat_complete_bench.img", HARBEX_BENCH_DISK_SCRIPT);
    return path;
}

// One scan through the bridge: the device is opened as harbex-scan opens it.
void BridgeScan(benchmark::State& state, const std::string& image, bool deep) {
    if (image.empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    ScanOptions options;
    options.source = image;
    options.controller = deep ? RECOVERY_CONTROLLER_COMPLETE : RECOVERY_CONTROLLER_DELETED;
    std::string error;
    std::unique_ptr<ScanSource> source = OpenScanSource(options, error);
    if (!source) {
        state.SkipWithError(error.c_str());
        return;
    }
    KvUIScan* scan = KvUIScan::instance();
    KvUIFilter::instance()->ResetFilter(127);
    for (auto _ : state) {
        scan->SetDeepScan(deep ? 1 : 0);
        scan->SetStatus(KV_STATUS_RUNNING);
        scan->DoScan(source->device(), nullptr);
        scan->ReCalTotalSize();
        QCoreApplication::processEvents();
    }
    state.counters["files"] = static_cast<double>(scan->GetScanFileCnt());
    scan->ClearData();
}

void HarbexScanTool(benchmark::State& state, const std::string& image, const char* kind) {
    if (image.empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    const std::string command =
        std::string(HARBEX_SCAN_TOOL) + " " + kind + " '" + image + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("harbex-scan failed");
    }
}

void BridgeQuickScan(benchmark::State& state) {
    BridgeScan(state, QuickImage(), false);
}
void HarbexScanQuick(benchmark::State& state) {
    HarbexScanTool(state, QuickImage(), "--quick");
}
void BridgeCompleteScan(benchmark::State& state) {
    BridgeScan(state, CompleteDisk(), true);
}
void HarbexScanComplete(benchmark::State& state) {
    HarbexScanTool(state, CompleteDisk(), "--complete --deep");
}

}  // namespace

BENCHMARK(HarbexScanQuick)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BridgeQuickScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(HarbexScanComplete)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BridgeCompleteScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The filter is made once, from the lists set before it.
    SetFileTypeLists();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
