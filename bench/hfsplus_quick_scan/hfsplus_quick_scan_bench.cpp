// A quick (deleted-file, deep) scan of an HFS+ volume holding 100,000 files,
// against The Sleuth Kit's `fls -r` over the same image. The image is made
// once by make_bench_image.sh (path in HARBEX_BENCH_HFSPLUS_IMAGE, else a file
// in /tmp); both sides read it from the page cache after the first run.

#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "HFSPlusVolumeAnalyze.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_HFSPLUS_IMAGE", "/tmp/harbex_hfsplus_quick_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_image.sh");
    return path;
}

void HFSPlusQuickScan(benchmark::State& state) {
    QuickScan(state, ImagePath(),
              [](IStorageDevice* volume) { return CreateHFSPlusVolumeAnalyze(volume, 0); });
}

void SleuthKitFls(benchmark::State& state) {
    RunCommand(state, "fls -r '" + ImagePath() + "' >/dev/null 2>&1", "fls failed");
}

}  // namespace

BENCHMARK(HFSPlusQuickScan)
    ->Name("QuickScan")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(SleuthKitFls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
