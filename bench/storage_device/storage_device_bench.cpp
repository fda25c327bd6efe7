// A complete scan's walk of a 1 GiB image file through the read-ahead cache,
// against a plain sequential pread loop of the same file.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DiskDevice.h"
#include "StorageDeviceWithCache.h"

namespace {

constexpr int64_t kImageBytes = int64_t{1} << 30;
constexpr int64_t kBlockBytes = 4 << 20;  // the complete scan's block

// Made once and kept between runs; written in full, so no part is sparse.
const std::string& ImagePath() {
    static const std::string path = [] {
        const char* dir = std::getenv("HARBEX_BENCH_DIR");
        const std::filesystem::path file =
            std::filesystem::path(dir != nullptr ? dir : "/tmp") / "harbex-bench-1g.img";
        std::error_code error;
        if (std::filesystem::file_size(file, error) != static_cast<uintmax_t>(kImageBytes)) {
            std::vector<uint64_t> block(kBlockBytes / sizeof(uint64_t));
            std::mt19937_64 random(1);
            const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            for (int64_t done = 0; fd >= 0 && done < kImageBytes; done += kBlockBytes) {
                for (auto& word : block)
                    word = random();
                if (write(fd, block.data(), kBlockBytes) != kBlockBytes)
                    std::abort();
            }
            if (fd < 0 || fsync(fd) != 0)
                std::abort();
            close(fd);
        }
        return file.string();
    }();
    return path;
}

// The caller's buffer, page-aligned in every loop: the kernel copies into a
// misaligned buffer about half as fast, which would skew the comparison.
struct PageAlignedBuffer {
    struct Free {
        void operator()(uint8_t* data) const { std::free(data); }
    };
    std::unique_ptr<uint8_t[], Free> bytes{
        static_cast<uint8_t*>(std::aligned_alloc(4096, kBlockBytes))};
    PageAlignedBuffer() { std::memset(data(), 0, kBlockBytes); }
    uint8_t* data() { return bytes.get(); }
};

void ReportPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(state.iterations() * kImageBytes);
}

void BM_PreadLoop(benchmark::State& state) {
    const int fd = open(ImagePath().c_str(), O_RDONLY | O_CLOEXEC);
    PageAlignedBuffer buffer;
    for (auto _ : state) {
        for (int64_t offset = 0; offset < kImageBytes; offset += kBlockBytes) {
            if (pread(fd, buffer.data(), kBlockBytes, offset) != kBlockBytes)
                std::abort();
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    close(fd);
    ReportPeakMemory(state);
}

// Each block made current, then read whole, as the block searchers see it.
void BM_CacheScan(benchmark::State& state) {
    CDiskDevice disk(ImagePath().c_str());
    if (!disk.Open(nullptr))
        std::abort();
    const uint32_t blockSectors = kBlockBytes / disk.GetSectorSize();
    const int64_t blocks = disk.GetTotalSectors() / blockSectors;
    PageAlignedBuffer buffer;
    for (auto _ : state) {
        CStorageDeviceWithCache cache(&disk);
        cache.SetBlockSize(blockSectors);
        cache.BeginCache();
        for (int64_t block = 0; block < blocks; ++block) {
            if (!cache.SetCurCacheBlock(block) ||
                !cache.ReadSector(buffer.data(), block * blockSectors, blockSectors)) {
                std::abort();
            }
            benchmark::DoNotOptimize(buffer.data());
        }
        cache.EndCache();
    }
    ReportPeakMemory(state);
}

// The device's own read path without the cache, to compare aio with pread.
void BM_DeviceReadLoop(benchmark::State& state) {
    CDiskDevice disk(ImagePath().c_str());
    if (!disk.Open(nullptr))
        std::abort();
    const uint32_t blockSectors = kBlockBytes / disk.GetSectorSize();
    const int64_t blocks = disk.GetTotalSectors() / blockSectors;
    PageAlignedBuffer buffer;
    for (auto _ : state) {
        for (int64_t block = 0; block < blocks; ++block) {
            if (!disk.ReadSector(buffer.data(), block * blockSectors, blockSectors))
                std::abort();
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    ReportPeakMemory(state);
}

// Two threads sharing one walk are hit harder by other load than a single
// loop: compare the fastest of several runs (and the medians), not one run.
void Configure(benchmark::internal::Benchmark* bench) {
    bench->Unit(benchmark::kMillisecond)
        ->MinTime(1)
        ->UseRealTime()
        ->Repetitions(5)
        ->ComputeStatistics("min",
                            [](const std::vector<double>& runs) {
                                return *std::min_element(runs.begin(), runs.end());
                            })
        ->ReportAggregatesOnly(true);
}

}  // namespace

BENCHMARK(BM_PreadLoop)->Apply(Configure);
BENCHMARK(BM_CacheScan)->Apply(Configure);
BENCHMARK(BM_DeviceReadLoop)->Apply(Configure);

BENCHMARK_MAIN();
