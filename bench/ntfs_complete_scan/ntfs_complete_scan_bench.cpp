// A complete scan of a 2 GiB disk image (two NTFS partitions, mostly full)
// with the NTFS block searcher alone, against a plain sequential read of the
// same image and against TestDisk's partition search. The image is made once
// by make_bench_disk.sh (path in HARBEX_BENCH_NTFS_DISK, else a file in /tmp).
// The plain read runs first, so each side sees the image in the page cache.

#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "NTFSCompleteSearch.h"

namespace {

using namespace harbex::bench;

const std::string& DiskPath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_NTFS_DISK", "/tmp/harbex_ntfs_complete_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_disk.sh");
    return path;
}

void DiskRead(benchmark::State& state) {
    SequentialRead(state, DiskPath());
}

// As harbex-scan runs it: no results window to wait for.
void NTFSCompleteScan(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_NTFS, [] { return CreateNTFSSearcher(); },
                 {.builderPause = std::chrono::milliseconds::zero()});
}

// TestDisk looks for lost partitions over the whole image (Debian package testdisk).
void TestDiskSearch(benchmark::State& state) {
    RunCommand(state,
               "cd /tmp && testdisk /log /cmd '" + DiskPath() + "' analyze,search >/dev/null 2>&1",
               "testdisk failed", DiskPath());
}

// The same read and scan with the image dropped from the page cache first.
void DiskReadCold(benchmark::State& state) {
    SequentialRead(state, DiskPath(), PageCache::kCold);
}

void NTFSCompleteScanCold(benchmark::State& state) {
    CompleteScan(state, DiskPath(), SEARCHER_NTFS, [] { return CreateNTFSSearcher(); },
                 {.cache = PageCache::kCold});
}

}  // namespace

BENCHMARK(DiskRead)
    ->Name("SequentialRead")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(NTFSCompleteScan)
    ->Name("CompleteScan")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(TestDiskSearch)
    ->Name("TestDiskAnalyzeSearch")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

BENCHMARK(DiskReadCold)
    ->Name("SequentialReadCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(NTFSCompleteScanCold)
    ->Name("CompleteScanCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK_MAIN();
