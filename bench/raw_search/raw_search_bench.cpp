// The signature search over a 2 GiB image of mixed files with no file system,
// against a plain sequential read of the same image and against PhotoRec
// carving the same type (PNG) from it. The image is made once by
// make_raw_bench_image.py (path in HARBEX_BENCH_RAW_IMAGE, else a file in
// /tmp). The plain read runs first and last, so each side sees the image in
// the page cache.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FATBenchSupport.h"
#include "FileSystemSearcher.h"
#include "RAWSearcher.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "SearcherFactories.h"
#include "StorageDevice.h"

namespace {

using namespace harbex::bench;

const std::string& ImagePath() {
    static const std::string path =
        BenchImage("HARBEX_BENCH_RAW_IMAGE", "/tmp/harbex_raw_search_bench.img",
                   std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_raw_bench_image.py");
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

// A block searcher that reads each block and looks at nothing: the cost of
// the complete scan's walk through its read-ahead cache alone.
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

// A complete scan with one block searcher.
void RunComplete(benchmark::State& state, const CompleteSearcherFactory& factory) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    SearcherFactories only;
    only.complete.push_back({SEARCHER_RAW_BY_TYPE, factory});
    ScopedSearcherFactories scoped(only);
    for (auto _ : state) {
        IStorageDevice* device = CreateDiskDevice(ImagePath().c_str());
        device->Open(nullptr);
        IRecoveryController* controller = CreateRecoveryController(RECOVERY_CONTROLLER_COMPLETE);
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        filter->SetFilterTypes(FILE_MASK_ALL);
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

void ScanWalkOnly(benchmark::State& state) {
    RunComplete(state, [] { return new ReadOnlySearcher(); });
}

void RawSearch(benchmark::State& state) {
    RunComplete(state, [] { return CreateRAWSearcher(); });
}

// PhotoRec over the whole image, PNG only, paranoid checks on.
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
            " partition_none,options,paranoid,fileopt,everything,disable,png,enable,search"
            " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("photorec failed");
        state.SetBytesProcessed(state.bytes_processed() +
                                static_cast<int64_t>(std::filesystem::file_size(ImagePath())));
    }
    std::filesystem::remove_all(out);
    std::filesystem::remove("photorec.log");
}

}  // namespace

BENCHMARK(SequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ScanWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(RawSearch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(PhotoRec)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(SequentialRead)
    ->Name("SequentialReadAgain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK_MAIN();
