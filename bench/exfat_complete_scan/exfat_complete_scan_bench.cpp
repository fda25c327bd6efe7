// A complete scan of a 2 GiB disk image (one exFAT partition, mostly full)
// with the exFAT block searcher alone, against a plain sequential read of the
// same image. The image is made once by make_bench_disk.sh (path in
// HARBEX_BENCH_EXFAT_DISK, else a file in /tmp). The plain read runs first,
// so each side sees the image in the page cache.

#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "ExFatCompleteSearch.h"

namespace {

using namespace harbex::bench;

const std::string& DiskPath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_EXFAT_DISK", "/tmp/harbex_exfat_complete_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_disk.sh");
    return path;
}

void DiskRead(benchmark::State& state) {
    SequentialRead(state, DiskPath());
}

// As harbex-scan runs it: no results window to wait for.
void ExFatCompleteScan(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_EXFAT, [] { return CreateEXFatSearcher(); },
                 {.builderPause = std::chrono::milliseconds::zero()});
}

// The same read and scan with the image dropped from the page cache first.
void DiskReadCold(benchmark::State& state) {
    SequentialRead(state, DiskPath(), PageCache::kCold);
}

void ExFatCompleteScanCold(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_EXFAT, [] { return CreateEXFatSearcher(); },
                 {.cache = PageCache::kCold});
}

}  // namespace

BENCHMARK(DiskRead)
    ->Name("SequentialRead")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(ExFatCompleteScan)
    ->Name("CompleteScan")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

BENCHMARK(DiskReadCold)
    ->Name("SequentialReadCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(ExFatCompleteScanCold)
    ->Name("CompleteScanCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK_MAIN();
