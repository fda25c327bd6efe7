// A quick (deleted-file, deep) scan of an NTFS image holding 100,000 files,
// against The Sleuth Kit's `fls -r -d` over the same image. The image is made
// once by make_bench_image.sh (path in HARBEX_BENCH_NTFS_IMAGE, else a file in
// /tmp); both sides read it from the page cache after the first run.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "DirectoryTreeBuilder.h"
#include "FATBenchSupport.h"
#include "FileSystemSearcher.h"
#include "NTFSQuickSearch.h"
#include "NTFSVolumeAnalyze.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_NTFS_IMAGE", "/tmp/harbex_ntfs_quick_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_image.sh");
    return path;
}

void QuickScan(benchmark::State& state) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    uint64_t nodes = 0;
    for (auto _ : state) {
        std::unique_ptr<IStorageDevice> volume(CreateVolumeDevice(ImagePath().c_str()));
        volume->Open(nullptr);
        std::unique_ptr<IVolumeAnalyze> ntfs(CreateNTFSVolumeAnalyze(volume.get(), 0));
        if (!ntfs) {
            state.SkipWithError("not an NTFS image");
            return;
        }
        auto* record = new CCollectedVolumeDeviceInfoStruct{};
        record->fileSystemType = ntfs->GetFileSystemType();
        record->sectorSize = volume->GetSectorSize();
        record->sectorCount = volume->GetTotalSectors();
        volume->SetPrivateData(CreateVolumeDeviceData(record));

        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        IRecoveryController* controller = CreateRecoveryController(RECOVERY_CONTROLLER_DELETED);
        controller->Initialize(filter);
        QuietProgress progress;
        CountingTree tree;
        const RESULT_CODE code = controller->StartDataRecovery(volume.get(), &progress, &tree);
        if (IsFailure(code))
            state.SkipWithError("the quick scan failed");
        nodes = tree.nodes;
        controller->Release();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
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
        IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, std::chrono::milliseconds::zero());
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
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    const std::string command = "fls -r -d '" + ImagePath() + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("fls failed");
    }
}

}  // namespace

BENCHMARK(QuickScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(QuickSearcher)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(SleuthKitFls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
