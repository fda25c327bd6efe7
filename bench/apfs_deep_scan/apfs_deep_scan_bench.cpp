// The APFS deep scan of a 2 GiB image holding one container, run by the
// complete-scan controller, against a plain sequential read of the same
// image. The image is made once by make_bench_image.sh (path in
// HARBEX_BENCH_APFS, else a file in /tmp). The plain read runs first and
// last, so each side sees the image in the page cache.

#include <benchmark/benchmark.h>

#include <string>

#include "APFS.h"
#include "BenchSupport.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_APFS", "/tmp/harbex_apfs_deep_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_image.sh");
    return path;
}

void ImageRead(benchmark::State& state) {
    SequentialRead(state, ImagePath());
}

// As harbex-scan runs it: no results window to wait for.
void DeepScan(benchmark::State& state) {
    CompleteScan(state, ImagePath(), SEARCHER_APFS, [] { return CreateAPFSDeepSearcher(); },
                 {.builderPause = std::chrono::milliseconds::zero()});
}

void CacheWalkOnly(benchmark::State& state) {
    CompleteScan(state, ImagePath(), SEARCHER_APFS, [] { return new ReadOnlySearcher(); },
                 {.builderPause = std::chrono::milliseconds::zero()});
}

// The same read and scan with the image dropped from the page cache first.
void ImageReadCold(benchmark::State& state) {
    SequentialRead(state, ImagePath(), PageCache::kCold);
}

void DeepScanCold(benchmark::State& state) {
    CompleteScan(state, ImagePath(), SEARCHER_APFS, [] { return CreateAPFSDeepSearcher(); },
                 {.cache = PageCache::kCold});
}

}  // namespace

BENCHMARK(ImageRead)
    ->Name("SequentialRead")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(CacheWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(DeepScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ImageRead)
    ->Name("SequentialReadAgain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK(ImageReadCold)
    ->Name("SequentialReadCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(DeepScanCold)
    ->Name("DeepScanCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK_MAIN();
