// A million found files through the bridge: delivered to the scan operation,
// indexed into the path, type and date trees, then one search by name over
// them. Runs in bench_bridge_scan, beside the scans.

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FileNode.h"
#include "KvNotificationNames.h"
#include "KvResultTrees.h"
#include "KvScanUpdates.h"
#include "KvUIController.h"
#include "KvUIScan.h"

namespace {

constexpr int kTopFolders = 100;
constexpr int kFoldersPerTop = 100;
constexpr int kFiles = 1000000;
constexpr int64_t kYear2000 = 946684800;

class FoundNode : public CFileNode {
public:
    FoundNode(std::string name, bool folder, _FILETIME created, _FILETIME modified)
        : name_(std::move(name)), folder_(folder), created_(created), modified_(modified) {}
    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return folder_ ? 0 : 4096; }
    uint32_t GetAttribute() override { return 0; }
    _FILETIME GetCreationTime() override { return created_; }
    _FILETIME GetModificationTime() override { return modified_; }
    _FILETIME GetLastAccessTime() override { return 0; }
    int IsDirectory() override { return folder_; }
    int IsDeleted() override { return 1; }
    FoundNode* Clone() override { return new FoundNode(*this); }
    void MarkDeleted() override {}
    void FilterFileNameByDot() override {}

private:
    std::string name_;
    int folder_;
    _FILETIME created_;
    _FILETIME modified_;
};

_FILETIME MonthsAfter2000(int months) {
    return static_cast<_FILETIME>(kYear2000 + months * 2629800LL + 11644473600LL) * 10000000ull;
}

// A volume of 10,100 folders in two levels and a million files below them,
// in the order a tree builder hands them over.
struct FoundVolume {
    FoundVolume() {
        static const char* const kExtensions[] = {"jpg", "doc", "mp3", "mov", "zip",
                                                  "eml", "xyz", "txt", "png", "pdf"};
        root = std::make_unique<FoundNode>("Volume", true, 0, 0);
        std::vector<FoundNode*> leaves;
        for (int top = 0; top < kTopFolders; ++top) {
            FoundNode* upper = Add(root.get(), "top" + std::to_string(top), true, top);
            for (int sub = 0; sub < kFoldersPerTop; ++sub)
                leaves.push_back(Add(upper, "folder" + std::to_string(sub), true, sub));
        }
        for (int i = 0; i < kFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "file%07d.%s", i, kExtensions[i % 10]);
            Add(leaves[static_cast<size_t>(i) % leaves.size()], name, false, i);
        }
    }
    FoundNode* Add(FoundNode* parent, std::string name, bool folder, int seed) {
        nodes.push_back(std::make_unique<FoundNode>(std::move(name), folder,
                                                    MonthsAfter2000(seed % 240),
                                                    MonthsAfter2000(seed % 180 + 30)));
        parent->AddChild(nodes.back().get());
        return nodes.back().get();
    }

    std::unique_ptr<FoundNode> root;
    std::vector<std::unique_ptr<FoundNode>> nodes;
};

size_t HeapInUse() {
    return mallinfo2().uordblks;
}

void BridgeTreesAndSearch(benchmark::State& state) {
    KvUIScan* scan = KvUIScan::instance();
    OpNodeArray path, type, created, modified;
    KvTreeRoots roots{&path, &type, &created, &modified};
    KvUIController::KvSetTreeNodeData(&roots);
    double indexSeconds = 0;
    double searchSeconds = 0;
    double bytesPerFile = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto volume = std::make_unique<FoundVolume>();
        std::vector<IFileNode*> delivered{volume->root.get()};
        for (const auto& node : volume->nodes)
            delivered.push_back(node.get());
        scan->ClearData();
        KvUIController::KvResetTreeNodeData();
        const size_t heapBefore = HeapInUse();
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        constexpr size_t kBatch = 10000;
        for (size_t at = 0; at < delivered.size(); at += kBatch) {
            const size_t count = std::min(kBatch, delivered.size() - at);
            scan->ShowNodes(delivered.data() + at, static_cast<unsigned>(count), 0);
        }
        KvNotifyUIUpdateData(1);
        const auto indexed = std::chrono::steady_clock::now();
        const size_t heapAfter = HeapInUse();
        scan->SetSearchKey("12345");
        KvUIController::DoSearchFn(kvnote::kDoSearchValue);
        const auto searched = std::chrono::steady_clock::now();

        state.PauseTiming();
        indexSeconds += std::chrono::duration<double>(indexed - start).count();
        searchSeconds += std::chrono::duration<double>(searched - indexed).count();
        bytesPerFile += static_cast<double>(heapAfter - heapBefore) / kFiles;
        if (type.size() != 7 || path.size() != 1)
            state.SkipWithError("the trees were not built");
        QCoreApplication::processEvents();
        scan->SetSearchKey("");
        KvUIController::KvResetTreeNodeData();
        scan->ClearData();
        volume.reset();
        state.ResumeTiming();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["index_s"] = indexSeconds / runs;
    state.counters["search_s"] = searchSeconds / runs;
    state.counters["bytes_per_file"] = bytesPerFile / runs;
    KvTreeRoots none;
    KvUIController::KvSetTreeNodeData(&none);
}

}  // namespace

BENCHMARK(BridgeTreesAndSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
