// A quick (deleted-file, deep) scan of an HFS+ volume holding 100,000 files,
// against The Sleuth Kit's `fls -r` over the same image. The image is made
// once by make_bench_image.sh (path in HARBEX_BENCH_HFSPLUS_IMAGE, else a file
// in /tmp); both sides read it from the page cache after the first run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "DirectoryTree.h"
#include "HFSPlusVolumeAnalyze.h"
#include "Progress.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

const std::string& ImagePath() {
    static const std::string path = [] {
        const char* given = std::getenv("HARBEX_BENCH_HFSPLUS_IMAGE");
        std::string image = given ? given : "/tmp/harbex_hfsplus_quick_bench.img";
        const std::string script = std::string(HARBEX_BENCH_SOURCE_DIR) + "/make_bench_image.sh";
        if (!std::filesystem::exists(image) && std::system((script + " " + image).c_str()) != 0)
            image.clear();
        return image;
    }();
    return path;
}

class QuietProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO*) override { return 0; }
    int Continued() override { return 1; }
    int shouldBuild() override { return 1; }
};

class CountingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode**, unsigned int count, int) override { nodes += count; }
    void ShowFilesystemNode(IFilesystemNode*) override {}
    uint64_t nodes = 0;
};

void QuickScan(benchmark::State& state) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    uint64_t nodes = 0;
    for (auto _ : state) {
        std::unique_ptr<IStorageDevice> volume(CreateVolumeDevice(ImagePath().c_str()));
        volume->Open(nullptr);
        std::unique_ptr<IVolumeAnalyze> hfs(CreateHFSPlusVolumeAnalyze(volume.get(), 0));
        auto* record = new CCollectedVolumeDeviceInfoStruct{};
        record->fileSystemType = hfs->GetFileSystemType();
        record->sectorSize = volume->GetSectorSize();
        record->sectorCount = volume->GetTotalSectors();
        volume->SetPrivateData(CreateVolumeDeviceData(record));

        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        // No results window waits for the trees: the builder does not pause.
        IRecoveryController* controller = CreateRecoveryController(
            RECOVERY_CONTROLLER_DELETED, std::chrono::milliseconds::zero());
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

void SleuthKitFls(benchmark::State& state) {
    if (ImagePath().empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    const std::string command = "fls -r '" + ImagePath() + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("fls failed");
    }
}

}  // namespace

BENCHMARK(QuickScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(SleuthKitFls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
