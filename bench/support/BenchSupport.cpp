#include "BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "VolumeAnalyze.h"

namespace harbex::bench {

std::string BenchImage(const char* variable, const char* defaultPath, const std::string& script) {
    const char* given = std::getenv(variable);
    std::string image = given ? given : defaultPath;
    if (!std::filesystem::exists(image) && std::system((script + " " + image).c_str()) != 0)
        image.clear();
    return image;
}

namespace {

// Drops the image's pages from the page cache, outside the timing.
void EvictImage(benchmark::State& state, const std::string& image) {
    state.PauseTiming();
    const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fdatasync(fd) != 0 || posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
        state.SkipWithError("the image could not be dropped from the page cache");
    if (fd >= 0)
        close(fd);
    state.ResumeTiming();
}

// One complete scan through the controller, with the searchers registered.
void RunCompleteScan(benchmark::State& state, const std::string& image,
                     const CompleteScanOptions& options) {
    for (auto _ : state) {
        if (options.cache == PageCache::kCold)
            EvictImage(state, image);
        std::unique_ptr<IStorageDevice> device(CreateDiskDevice(image.c_str()));
        device->Open(nullptr);
        IRecoveryController* controller =
            CreateRecoveryController(RECOVERY_CONTROLLER_COMPLETE, options.builderPause);
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        if (options.allTypes)
            filter->SetFilterTypes(FILE_MASK_ALL);
        controller->Initialize(filter);
        QuietProgress progress(options.build);
        CountingTree tree;
        controller->StartDataRecovery(device.get(), &progress, &tree);
        state.counters["nodes"] = static_cast<double>(tree.nodes);
        state.SetBytesProcessed(state.bytes_processed() +
                                device->GetTotalSectors() * device->GetSectorSize());
        controller->Release();
        device->Close();
    }
}

}  // namespace

void ReadOnlySearcher::AnalyzeBlock(long long first, long long count) {
    device_->ReadSector(buffer_.data(), first, count);
    benchmark::DoNotOptimize(buffer_.data());
}

void SequentialRead(benchmark::State& state, const std::string& image, PageCache cache) {
    if (image.empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    for (auto _ : state) {
        if (cache == PageCache::kCold)
            EvictImage(state, image);
        std::unique_ptr<IStorageDevice> device(CreateDiskDevice(image.c_str()));
        device->Open(nullptr);
        const int64_t block = 0x400000 / device->GetSectorSize();
        std::vector<uint8_t> buffer(0x400000);
        const int64_t total = device->GetTotalSectors();
        for (int64_t sector = 0; sector < total; sector += block)
            device->ReadSector(buffer.data(), sector, std::min(block, total - sector));
        benchmark::DoNotOptimize(buffer.data());
        state.SetBytesProcessed(state.bytes_processed() + total * device->GetSectorSize());
        device->Close();
    }
}

void QuickScan(benchmark::State& state, const std::string& image,
               const VolumeAnalyzeFactory& analyze) {
    if (image.empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    uint64_t nodes = 0;
    for (auto _ : state) {
        std::unique_ptr<IStorageDevice> volume(CreateVolumeDevice(image.c_str()));
        volume->Open(nullptr);
        std::unique_ptr<IVolumeAnalyze> analyzer(analyze(volume.get()));
        if (!analyzer) {
            state.SkipWithError("the image holds no volume of this kind");
            return;
        }
        auto* record = new CCollectedVolumeDeviceInfoStruct{};
        record->fileSystemType = analyzer->GetFileSystemType();
        record->sectorSize = volume->GetSectorSize();
        record->sectorCount = volume->GetTotalSectors();
        volume->SetPrivateData(CreateVolumeDeviceData(record));

        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        IRecoveryController* controller = CreateRecoveryController(
            RECOVERY_CONTROLLER_DELETED, std::chrono::milliseconds::zero());
        controller->Initialize(filter);
        QuietProgress progress;
        CountingTree tree;
        if (IsFailure(controller->StartDataRecovery(volume.get(), &progress, &tree)))
            state.SkipWithError("the quick scan failed");
        nodes = tree.nodes;
        controller->Release();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}

void CompleteScan(benchmark::State& state, const std::string& image, _tagSearcherType searcherType,
                  const CompleteSearcherFactory& factory, const CompleteScanOptions& options) {
    if (image.empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    SearcherFactories only;
    only.complete.push_back({searcherType, factory});
    ScopedSearcherFactories scoped(only);
    RunCompleteScan(state, image, options);
}

void CompleteScanAllSearchers(benchmark::State& state, const std::string& image,
                              const CompleteScanOptions& options) {
    if (image.empty()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    RunCompleteScan(state, image, options);
}

void RunCommand(benchmark::State& state, const std::string& command, const char* what,
                const std::string& image) {
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError(what);
            return;
        }
        if (!image.empty())
            state.SetBytesProcessed(state.bytes_processed() +
                                    static_cast<int64_t>(std::filesystem::file_size(image)));
    }
}

}  // namespace harbex::bench
