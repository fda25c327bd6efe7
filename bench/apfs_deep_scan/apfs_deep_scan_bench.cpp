// The APFS deep scan of a 2 GiB image holding one container, run by the
// complete-scan controller, against a plain sequential read of the same
// image. The image is made once by make_bench_image.sh (path in
// HARBEX_BENCH_APFS, else a file in /tmp). The plain read runs first and
// last, so each side sees the image in the page cache.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "APFS.h"
#include "FATBenchSupport.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "SearcherFactories.h"
#include "StorageDevice.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_APFS", "/tmp/harbex_apfs_deep_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_image.sh");
    return path;
}

void SequentialRead(benchmark::State& state) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    for (auto _ : state) {
        IStorageDevice* device = CreateDiskDevice(ImagePath().c_str());
        device->Open(nullptr);
        const int64_t block = 0x400000 / device->GetSectorSize();
        std::vector<uint8_t> buffer(0x400000);
        const int64_t total = device->GetTotalSectors();
        for (int64_t sector = 0; sector < total; sector += block)
            device->ReadSector(buffer.data(), sector, std::min(block, total - sector));
        benchmark::DoNotOptimize(buffer.data());
        state.SetBytesProcessed(state.bytes_processed() + total * device->GetSectorSize());
        device->Close();
        delete device;
    }
}

void DeepScan(benchmark::State& state) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    SearcherFactories only;
    only.complete.push_back({SEARCHER_APFS, [] { return CreateAPFSDeepSearcher(); }});
    ScopedSearcherFactories scoped(only);
    for (auto _ : state) {
        IStorageDevice* device = CreateDiskDevice(ImagePath().c_str());
        device->Open(nullptr);
        IRecoveryController* controller = CreateRecoveryController(RECOVERY_CONTROLLER_COMPLETE);
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        controller->Initialize(filter);
        QuietProgress progress;
        CountingTree tree;
        controller->StartDataRecovery(device, &progress, &tree);
        state.counters["nodes"] = static_cast<double>(tree.nodes);
        state.SetBytesProcessed(state.bytes_processed() +
                                device->GetTotalSectors() * device->GetSectorSize());
        controller->Release();
        device->Close();
        delete device;
    }
}

}  // namespace

BENCHMARK(SequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(DeepScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(SequentialRead)
    ->Name("SequentialReadAgain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK_MAIN();
