// A quick (deleted-file, deep) scan of an NTFS image holding 100,000 files,
// against The Sleuth Kit's `fls -r -d` over the same image. The image is made
// once by make_bench_image.sh (path in HARBEX_BENCH_NTFS_IMAGE, else a file
// in /tmp); both sides read it from the page cache after the first run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "DirectoryTreeBuilder.h"
#include "NTFSQuickSearch.h"
#include "NTFSVolumeAnalyze.h"
#include "RecoveryFilter.h"
#include "StorageDevice.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_NTFS_IMAGE", "/tmp/harbex_ntfs_quick_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_image.sh");
    return path;
}

void NTFSQuickScan(benchmark::State& state) {
    QuickScan(state, ImagePath(),
              [](IStorageDevice* volume) { return CreateNTFSVolumeAnalyze(volume, 0); });
}

// The searcher alone into a tree builder: the controller's flush of every
// file system before a scan (sync) is left out, so the figure does not depend
// on what else the machine writes.
void QuickSearcher(benchmark::State& state) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    uint64_t nodes = 0;
    for (auto _ : state) {
        std::unique_ptr<IStorageDevice> volume(CreateVolumeDevice(ImagePath().c_str()));
        volume->Open(nullptr);
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        CountingTree tree;
        IDirecotryTreeBuilder* builder =
            CreateTreeBuilder(false, std::chrono::milliseconds::zero());
        builder->Initialize("volume", &tree, filter);
        std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateNTFSQuickSearcher());
        searcher->SetDirecotryTreeBuilder(builder);
        QuietProgress progress;
        if (IsFailure(searcher->QuickSearchFiles(volume.get(), &progress)))
            state.SkipWithError("the quick search failed");
        nodes = tree.nodes;
        builder->Release();
        filter->Release();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}

void SleuthKitFls(benchmark::State& state) {
    RunCommand(state, "fls -r -d '" + ImagePath() + "' >/dev/null 2>&1", "fls failed");
}

}  // namespace

BENCHMARK(NTFSQuickScan)
    ->Name("QuickScan")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(QuickSearcher)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(SleuthKitFls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
