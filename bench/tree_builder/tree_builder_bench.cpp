// Builds one result tree of a million nodes, ten levels deep, offered in
// shuffled order, and reports nodes linked per second and the builder's own
// peak memory per node (beyond the nodes themselves).

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "FileNode.h"
#include "RecoveryFilter.h"
#include "TreeBuilderClock.h"

namespace {

std::atomic<long long> g_heapBytes{0};
std::atomic<long long> g_heapPeak{0};

void CountAllocation(void* p) {
    const long long now = g_heapBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) {
        throw std::bad_alloc();
    }
    CountAllocation(p);
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* p = std::malloc(size ? size : 1);
    if (p) {
        CountAllocation(p);
    }
    return p;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
// The builder keeps its large tables in huge-page-aligned blocks.
void* operator new(std::size_t size, std::align_val_t alignment) {
    void* p = std::aligned_alloc(static_cast<std::size_t>(alignment), size ? size : 1);
    if (!p) {
        throw std::bad_alloc();
    }
    CountAllocation(p);
    return p;
}
void operator delete(void* p, std::align_val_t) noexcept {
    operator delete(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    operator delete(p);
}
void operator delete(void* p) noexcept {
    if (p) {
        g_heapBytes -= static_cast<long long>(malloc_usable_size(p));
        std::free(p);
    }
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr long long kNodes = 1'000'000;
constexpr int kLevels = 10;
constexpr long long kTop = 1;

class BenchNode : public CFileNode {
public:
    BenchNode(long long id, long long parentId, bool folder) : folder_(folder) {
        nodeId_ = id;
        parentNodeId_ = parentId;
        SetBelongedPartition(0);
    }
    const char* GetFileName() override { return folder_ ? "folder" : "file.dat"; }
    int64_t GetFileSize() override { return folder_ ? 0 : 4096; }
    uint32_t GetAttribute() override { return folder_ ? 0x10 : 0x20; }
    _FILETIME GetCreationTime() override { return 0; }
    _FILETIME GetModificationTime() override { return 0; }
    _FILETIME GetLastAccessTime() override { return 0; }
    int IsDirectory() override { return folder_; }
    int IsDeleted() override { return deleted_; }
    CFileNode* Clone() override { return new BenchNode(*this); }
    void MarkDeleted() override { deleted_ = true; }
    void FilterFileNameByDot() override {}

private:
    bool folder_;
    bool deleted_ = true;
};

class CountingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode**, unsigned int count, int) override { shown += count; }
    void ShowFilesystemNode(IFilesystemNode*) override {}
    long long shown = 0;
};

class PassAllFilter : public IRecoveryFilter {
public:
    bool ShowNormalFiles() const override { return true; }
    void SetScanType(_SCAN_TYPE) override {}
    bool IsFileNodeValid(IFileNode*) override { return true; }
    void SetFilterTypes(unsigned int) override {}
    unsigned int GetNodeFileType(IFileNode*) override { return FILE_MASK_OTHER; }
    void Release() override {}
};

class StillClock : public ITreeBuilderClock {
public:
    TimePoint Now() override { return {}; }
    void Wait(std::chrono::milliseconds) override {}
};

struct Shape {
    long long id;
    long long parentId;
    bool folder;
};

// Folders on levels 1 to 9 (three times as many on each level), files below
// folders of every level, so the deepest files sit ten levels down.
std::vector<Shape> MakeVolume(std::mt19937_64& random) {
    std::vector<Shape> shapes;
    shapes.reserve(kNodes);
    std::vector<long long> previous = {kTop};
    std::vector<long long> folders;
    long long nextId = kTop + 1;
    for (int level = 1; level < kLevels; ++level) {
        std::vector<long long> current;
        for (size_t i = 0; i < previous.size() * 3; ++i) {
            const long long parent = previous[i % previous.size()];
            shapes.push_back({nextId, parent, true});
            current.push_back(nextId++);
        }
        folders.insert(folders.end(), current.begin(), current.end());
        previous = std::move(current);
    }
    std::uniform_int_distribution<size_t> pick(0, folders.size() - 1);
    while (static_cast<long long>(shapes.size()) < kNodes) {
        shapes.push_back({nextId++, folders[pick(random)], false});
    }
    std::shuffle(shapes.begin(), shapes.end(), random);
    return shapes;
}

void BM_BuildShuffledTree(benchmark::State& state) {
    std::mt19937_64 random(42);
    const std::vector<Shape> shapes = MakeVolume(random);
    PassAllFilter filter;
    StillClock clock;
    double overheadPerNode = 0;
    double nodeBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long long before = g_heapBytes.load();
        std::vector<BenchNode*> nodes;
        nodes.reserve(shapes.size());
        for (const Shape& shape : shapes) {
            nodes.push_back(new BenchNode(shape.id, shape.parentId, shape.folder));
        }
        const long long baseline = g_heapBytes.load();
        nodeBytes = static_cast<double>(baseline - before) / kNodes;
        CountingTree sink;
        g_heapPeak = baseline;
        state.ResumeTiming();

        IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, &clock);
        builder->Initialize("Bench", &sink, &filter);
        builder->AddSearcherInfo(SEARCHER_FAT, kTop);
        for (BenchNode* node : nodes) {
            if (!builder->AddNode(node, SEARCHER_FAT)) {
                state.SkipWithError("a node was refused");
            }
        }
        builder->FlashBuild(SEARCHER_FAT);

        state.PauseTiming();
        if (sink.shown != kNodes) {
            state.SkipWithError("not every node reached the tree");
        }
        overheadPerNode = static_cast<double>(g_heapPeak.load() - baseline) / kNodes;
        builder->Release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
    state.counters["builder_peak_bytes_per_node"] = overheadPerNode;
    state.counters["node_bytes"] = nodeBytes;
}

BENCHMARK(BM_BuildShuffledTree)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
