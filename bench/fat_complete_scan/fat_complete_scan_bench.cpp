// A complete scan of a 2 GiB disk image (one FAT32 partition, mostly full)
// against a plain sequential read of the same image, and against TestDisk's
// partition search over it. The image is made once by make_bench_disk.sh
// (path in HARBEX_BENCH_DISK, else a file in /tmp). The plain read runs first
// and last, so each side sees the image in the page cache.

#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "FATCompleteSearcher.h"

namespace {

using namespace harbex::bench;

const std::string& DiskPath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_DISK", "/tmp/harbex_fat_complete_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_disk.sh");
    return path;
}

void DiskRead(benchmark::State& state) {
    SequentialRead(state, DiskPath());
}

void FatCompleteScan(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_FAT, [] { return CreateFATSearcher(); });
}

// The walk and the evidence, without listing the partitions found.
void CompleteScanWithoutTrees(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_FAT, [] { return CreateFATSearcher(); },
                 {.build = false});
}

void CacheWalkOnly(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_FAT, [] { return new ReadOnlySearcher(); });
}

void TestDiskSearch(benchmark::State& state) {
    if (DiskPath().empty() || std::system("command -v testdisk >/dev/null") != 0) {
        state.SkipWithError("no benchmark image or no testdisk");
        return;
    }
    RunCommand(state, "testdisk /cmd " + DiskPath() + " analyze,search >/dev/null 2>&1",
               "testdisk failed", DiskPath());
}

// The same read and scan with the image dropped from the page cache first.
void DiskReadCold(benchmark::State& state) {
    SequentialRead(state, DiskPath(), PageCache::kCold);
}

void FatCompleteScanCold(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_FAT, [] { return CreateFATSearcher(); },
                 {.cache = PageCache::kCold});
}

}  // namespace

BENCHMARK(DiskRead)
    ->Name("SequentialRead")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(CacheWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CompleteScanWithoutTrees)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(FatCompleteScan)
    ->Name("CompleteScan")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(TestDiskSearch)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(DiskRead)
    ->Name("SequentialReadAgain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK(DiskReadCold)
    ->Name("SequentialReadCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(FatCompleteScanCold)
    ->Name("CompleteScanCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK_MAIN();
