// The signature search over a 2 GiB image of mixed files with no file system,
// against a plain sequential read of the same image and against PhotoRec
// carving every type it knows from it (compare_carving.py compares what
// each carves with what the image holds). The image is made once by
// make_raw_bench_image.py (path in HARBEX_BENCH_RAW_IMAGE, else a file in
// /tmp). The plain read runs first and last, so each side sees the image in
// the page cache.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "RAWSearcher.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_RAW_IMAGE", "/tmp/harbex_raw_search_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_raw_bench_image.py");
    return path;
}

void ImageRead(benchmark::State& state) {
    SequentialRead(state, ImagePath());
}

void ScanWalkOnly(benchmark::State& state) {
    CompleteScan(state, ImagePath(), SEARCHER_RAW_BY_TYPE, [] { return new ReadOnlySearcher(); },
                 {.allTypes = true});
}

void RawSearch(benchmark::State& state) {
    CompleteScan(state, ImagePath(), SEARCHER_RAW_BY_TYPE, [] { return CreateRAWSearcher(); },
                 {.allTypes = true});
}

// PhotoRec over the whole image, all its types, paranoid checks on.
void PhotoRec(benchmark::State& state) {
    if (ImagePath().empty() || std::system("command -v photorec >/dev/null") != 0) {
        state.SkipWithError("no benchmark image or no photorec");
        return;
    }
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / "harbex_raw_bench_photorec";
    for (auto _ : state) {
        std::filesystem::remove_all(out);
        const std::string command =
            "photorec /log /d " + out.string() + " /cmd " + ImagePath() +
            " partition_none,options,paranoid,fileopt,everything,enable,search"
            " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("photorec failed");
        state.SetBytesProcessed(state.bytes_processed() +
                                static_cast<int64_t>(std::filesystem::file_size(ImagePath())));
    }
    std::filesystem::remove_all(out);
    std::filesystem::remove("photorec.log");
}

// The same read and scan with the image dropped from the page cache first.
void ImageReadCold(benchmark::State& state) {
    SequentialRead(state, ImagePath(), PageCache::kCold);
}

void RawSearchCold(benchmark::State& state) {
    CompleteScan(state, ImagePath(), SEARCHER_RAW_BY_TYPE, [] { return CreateRAWSearcher(); },
                 {.allTypes = true, .cache = PageCache::kCold});
}

// Every block searcher over the mixed image, as the program scans a disk.
void AllSearchers(benchmark::State& state) {
    CompleteScanAllSearchers(state, ImagePath(), {.allTypes = true});
}

void AllSearchersCold(benchmark::State& state) {
    CompleteScanAllSearchers(state, ImagePath(), {.allTypes = true, .cache = PageCache::kCold});
}

}  // namespace

BENCHMARK(ImageRead)
    ->Name("SequentialRead")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(ScanWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(RawSearch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(PhotoRec)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(ImageRead)
    ->Name("SequentialReadAgain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK(AllSearchers)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ImageReadCold)
    ->Name("SequentialReadCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(RawSearchCold)
    ->Name("RawSearchCold")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(AllSearchersCold)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

BENCHMARK_MAIN();
