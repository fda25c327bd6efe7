// Recovering 10,000 found files of the FAT quick-scan benchmark image through
// the bridge's recovery operation, against `cp -r` of the same files (the
// bridge's own first copy) on the same file system. The image is made once by
// fat_quick_scan/make_bench_image.sh (path in HARBEX_BENCH_FAT_IMAGE, else a
// file in /tmp); the copies go to a folder in /tmp.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "FileNode.h"
#include "FileTypeLists.h"
#include "KvUIFilter.h"
#include "KvUIRecovery.h"
#include "KvUIScan.h"
#include "ScanOptions.h"
#include "ScanSource.h"

namespace {

namespace fs = std::filesystem;
using namespace harbex::bench;

constexpr uint64_t kFiles = 10000;

const fs::path& WorkFolder() {
    static const fs::path folder = fs::temp_directory_path() / "harbex_bridge_recovery_bench";
    return folder;
}

// The quick scan of the benchmark image with its first 10,000 files checked;
// false when there is no image.
bool ScanAndCheck() {
    static std::unique_ptr<ScanSource> source;
    static bool ready = false;
    if (source)
        return ready;
    ScanOptions options;
    options.source = BenchImage("HARBEX_BENCH_FAT_IMAGE", "/tmp/harbex_fat_quick_bench.img",
                                HARBEX_BENCH_QUICK_SCRIPT);
    options.controller = RECOVERY_CONTROLLER_DELETED;
    std::string error;
    source = OpenScanSource(options, error);
    if (!source)
        return false;
    KvUIScan* scan = KvUIScan::instance();
    KvUIFilter::instance()->ResetFilter(127);
    scan->SetDeepScan(0);
    scan->SetStatus(KV_STATUS_RUNNING);
    scan->DoScan(source->device(), nullptr);
    scan->UnselectAllNodes();
    uint64_t checked = 0;
    for (const auto& [category, files] : scan->GetTypeMap()) {
        for (auto file = files.begin(); file != files.end() && checked < kFiles; ++file, ++checked)
            (*file)->SetCheck(CHECK_STATUS_CHECKED);
    }
    ready = checked == kFiles;
    return ready;
}

// Runs `work` with standard output (the per-file lines) sent nowhere.
template <typename Work>
void Quietly(Work work) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(null, STDOUT_FILENO);
    work();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(null);
    close(saved);
}

// One recovery of the checked files into a fresh `folder`, as the facade's worker runs it.
KvUIRecovery::Counts RecoverInto(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    KvUIRecovery* recovery = KvUIRecovery::instance();
    recovery->SetRecoveryPath((folder.string() + "/").c_str());
    recovery->ClearCreateDirIndex();
    recovery->SetStatus(KV_STATUS_RUNNING);
    Quietly([recovery] { recovery->DoRecovery(); });
    return recovery->GetRecoveryCounts();
}

void BridgeRecovery(benchmark::State& state) {
    if (!ScanAndCheck()) {
        state.SkipWithError("no benchmark image");
        return;
    }
    KvUIRecovery::Counts counts;
    for (auto _ : state) {
        counts = RecoverInto(WorkFolder() / "bridge");
        if (counts.recovered != kFiles) {
            state.SkipWithError("not every file was recovered");
            return;
        }
    }
    state.counters["files"] = static_cast<double>(counts.recovered);
}

void CopyWithCp(benchmark::State& state) {
    const fs::path source = WorkFolder() / "source";
    if (!fs::exists(source)) {
        if (!ScanAndCheck() || RecoverInto(source).recovered != kFiles) {
            state.SkipWithError("no files to copy");
            return;
        }
    }
    const fs::path target = WorkFolder() / "cp";
    const std::string command = "rm -rf '" + target.string() + "' && cp -r '" + source.string() +
                                "' '" + target.string() + "'";
    RunCommand(state, command, "cp failed");
}

}  // namespace

BENCHMARK(CopyWithCp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BridgeRecovery)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The filter is made once, from the lists set before it.
    SetFileTypeLists();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(WorkFolder());
    return 0;
}
