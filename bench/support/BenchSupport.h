#pragma once

// Pieces the scan benchmarks share: where their images come from, the sinks a
// scan reports into, and the runs most of them compare (a sequential read, a
// quick scan of a volume, a complete scan with one block searcher, a command).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "FileSystemSearcher.h"
#include "Progress.h"
#include "SearcherFactories.h"

class IStorageDevice;
class IVolumeAnalyze;

namespace harbex::bench {

// The image named by the environment variable `variable`, else `defaultPath`;
// made by running `script` with the path when it is missing. Empty when it
// cannot be made.
std::string BenchImage(const char* variable, const char* defaultPath, const std::string& script);

class QuietProgress : public IProgress {
public:
    explicit QuietProgress(bool build = true) : build_(build) {}
    int UpdateProgress(_PROGRESS_INFO*) override { return 0; }
    int Continued() override { return 1; }
    int shouldBuild() override { return build_ ? 1 : 0; }

private:
    bool build_;
};

class CountingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode**, unsigned int count, int) override { nodes += count; }
    void ShowFilesystemNode(IFilesystemNode*) override {}
    uint64_t nodes = 0;
};

// A block searcher that reads each block and looks at nothing: the cost of the
// complete scan's walk through its read-ahead cache alone.
class ReadOnlySearcher : public ICompleteFileSystemSearchController {
public:
    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
    int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
    void SetDevice(IStorageDevice* device) override { device_ = device; }
    void SetBlockSize(int sectors) override { buffer_.resize(size_t(sectors) * 512 * 8); }
    void PreparetoSearch() override {}
    void AnalyzeBlock(long long first, long long count) override;

private:
    IStorageDevice* device_ = nullptr;
    std::vector<uint8_t> buffer_;
};

// Whether a run finds the image in the page cache (warm) or reads it from the
// disk (cold: the image's pages are dropped before each iteration, untimed).
enum class PageCache { kWarm, kCold };

// Reads the whole image in 4 MiB pieces.
void SequentialRead(benchmark::State& state, const std::string& image,
                    PageCache cache = PageCache::kWarm);

using VolumeAnalyzeFactory = std::function<IVolumeAnalyze*(IStorageDevice*)>;

// A quick (deleted-file, deep) scan of a volume image through the controller,
// as harbex-scan runs it: no results window waits, so the builder does not pause.
void QuickScan(benchmark::State& state, const std::string& image,
               const VolumeAnalyzeFactory& analyze);

struct CompleteScanOptions {
    bool build = true;      // list the partitions found
    bool allTypes = false;  // enable every file type in the filter
    // The pause after a tree is announced lets a results window set up its
    // trees; it is the window's time, not the scan's, so it is left out.
    std::chrono::milliseconds builderPause = std::chrono::milliseconds::zero();
    PageCache cache = PageCache::kWarm;
};

// A complete scan of a disk image with one block searcher.
void CompleteScan(benchmark::State& state, const std::string& image, _tagSearcherType searcherType,
                  const CompleteSearcherFactory& factory, const CompleteScanOptions& options = {});

// A complete scan of a disk image with every block searcher, as the program runs it.
void CompleteScanAllSearchers(benchmark::State& state, const std::string& image,
                              const CompleteScanOptions& options = {});

// Runs a shell command once per iteration; a failure ends the benchmark with
// `what`. `image`, when given, counts as the bytes processed.
void RunCommand(benchmark::State& state, const std::string& command, const char* what,
                const std::string& image = {});

}  // namespace harbex::bench
