// A complete scan of a 2 GiB disk image (one FAT32 partition, mostly full)
// against a plain sequential read of the same image, and against TestDisk's
// partition search over it. The image is made once by make_bench_disk.sh
// (path in HARBEX_BENCH_DISK, else a file in /tmp). The plain read runs first
// and last, so each side sees the image in the page cache.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FATBenchSupport.h"
#include "FATCompleteSearcher.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "SearcherFactories.h"
#include "StorageDevice.h"

namespace {

using namespace harbex::bench;

const std::string& DiskPath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_DISK", "/tmp/harbex_fat_complete_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_disk.sh");
    return path;
}

void SequentialRead(benchmark::State& state) {
    if (DiskPath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    for (auto _ : state) {
        IStorageDevice* device = CreateDiskDevice(DiskPath().c_str());
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

// A block searcher that reads each block and looks at nothing: the cost of
// the controller's walk through the read-ahead cache alone.
class ReadOnlySearcher : public ICompleteFileSystemSearchController {
public:
    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
    int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
    void SetDevice(IStorageDevice* device) override { device_ = device; }
    void SetBlockSize(int sectors) override { buffer_.resize(size_t(sectors) * 512 * 8); }
    void PreparetoSearch() override {}
    void AnalyzeBlock(long long first, long long count) override {
        device_->ReadSector(buffer_.data(), first, count);
        benchmark::DoNotOptimize(buffer_.data());
    }

private:
    IStorageDevice* device_ = nullptr;
    std::vector<uint8_t> buffer_;
};

void RunComplete(benchmark::State& state, const CompleteSearcherFactory& factory, bool build) {
    if (DiskPath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    SearcherFactories only;
    only.complete.push_back({SEARCHER_FAT, factory});
    ScopedSearcherFactories scoped(only);
    for (auto _ : state) {
        IStorageDevice* device = CreateDiskDevice(DiskPath().c_str());
        device->Open(nullptr);
        IRecoveryController* controller = CreateRecoveryController(RECOVERY_CONTROLLER_COMPLETE);
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        controller->Initialize(filter);
        QuietProgress progress(build);
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

void CompleteScan(benchmark::State& state) {
    RunComplete(
        state, [] { return CreateFATSearcher(); }, true);
}

// The walk and the evidence, without listing the partitions found.
void CompleteScanWithoutTrees(benchmark::State& state) {
    RunComplete(
        state, [] { return CreateFATSearcher(); }, false);
}

void CacheWalkOnly(benchmark::State& state) {
    RunComplete(
        state, [] { return new ReadOnlySearcher(); }, true);
}

void TestDiskSearch(benchmark::State& state) {
    if (DiskPath().empty() || std::system("command -v testdisk >/dev/null") != 0) {
        state.SkipWithError("no benchmark image or no testdisk");
        return;
    }
    const std::string command = "testdisk /cmd " + DiskPath() + " analyze,search >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("testdisk failed");
        state.SetBytesProcessed(state.bytes_processed() +
                                static_cast<int64_t>(std::filesystem::file_size(DiskPath())));
    }
}

}  // namespace

BENCHMARK(SequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CacheWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CompleteScanWithoutTrees)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CompleteScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(TestDiskSearch)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(SequentialRead)
    ->Name("SequentialReadAgain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK_MAIN();
