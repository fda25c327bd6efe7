// Saving and loading the result of a complete scan of the 100,000-file HFS+
// volume of the quick-scan benchmark, and imaging the 2 GiB disk of the HFS+
// complete-scan benchmark against dd with 4 MiB blocks. Both images are
// wrapped as ozt images and opened into the device list, as a user's would be,
// so that a saved result finds its device again when it is loaded.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "CRSData.h"
#include "DirectoryTreeBuilder.h"
#include "FileTypeLists.h"
#include "KvMakeDMG.h"
#include "KvSaveAndRestoreNodeOperate.h"
#include "KvUIDeviceData.h"
#include "KvUIFilter.h"
#include "KvUIScan.h"
#include "SaveRestoreResult.h"
#include "ScanResultSink.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

using namespace harbex::bench;
namespace fs = std::filesystem;

constexpr const char* kResultPath = "/tmp/harbex_scan_result_bench.rsf";

// `raw` behind an ozt header at `ozt` (made once); empty when it cannot be made.
std::string OztOf(const std::string& raw, const std::string& ozt, const char* name) {
    if (raw.empty())
        return std::string();
    if (!fs::exists(ozt)) {
        COZTDeviceInfoStruct info{};
        info.sectorSize = 512;
        info.sectorCount = static_cast<int64_t>(fs::file_size(raw) / 512);
        info.dataOffset = 1536;
        info.imageFileLength = info.dataOffset + info.sectorCount * 512;
        std::snprintf(info.deviceName, sizeof info.deviceName, "%s", name);
        std::ofstream(ozt, std::ios::binary) << KvMakeDMG::OztHeader(info);
        if (std::system(("cat '" + raw + "' >> '" + ozt + "'").c_str()) != 0)
            return std::string();
    }
    return ozt;
}

// The disk index of the ozt image at `ozt` once opened into the device list; -1 if none.
int OpenedImageIndex(const std::string& ozt) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (ozt.empty() || !model->KvOpenOztFileImp(ozt.c_str()))
        return -1;
    for (int index = 0; IStorageDevice* device = model->GetDiskStorageByIndex(index); ++index) {
        const COZTDeviceInfoStruct* info = OztRecordOf(device->GetPrivateData());
        if (info != nullptr && ozt == info->imagePath)
            return index;
    }
    return -1;
}

IStorageDevice* VolumeDevice() {
    static IStorageDevice* device = [] {
        const std::string raw =
            BenchImage("HARBEX_BENCH_HFSPLUS_IMAGE", "/tmp/harbex_hfsplus_quick_bench.img",
                       HARBEX_BENCH_QUICK_SCRIPT);
        const int index =
            OpenedImageIndex(OztOf(raw, "/tmp/harbex_scan_result_bench_volume.ozt", "HFS+ bench"));
        return index < 0 ? nullptr : KvUIDeviceData::instance()->GetDiskStorageByIndex(index);
    }();
    return device;
}

// A complete scan of the image through the bridge, so that the trees hold
// every file.
void ScanVolumeImage() {
    KvUIScan* scan = KvUIScan::instance();
    KvUIFilter::instance()->ResetFilter(127);
    scan->SetDeepScan(1);
    scan->SetStatus(KV_STATUS_RUNNING);
    scan->DoScan(VolumeDevice(), nullptr);
}

void SaveResult(benchmark::State& state) {
    if (VolumeDevice() == nullptr) {
        state.SkipWithError("no benchmark image");
        return;
    }
    KvUIScan* scan = KvUIScan::instance();
    ScanVolumeImage();
    KvSaveAndRestoreNodeOperate* saver = KvSaveAndRestoreNodeOperate::instance();
    for (auto _ : state) {
        if (!scan->AcquireResults()) {
            state.SkipWithError("the scan holds its results");
            return;
        }
        saver->SetStatus(KV_STATUS_RUNNING);
        if (SaveRestoreResult::SaveScanResult(kResultPath, saver) != 0) {
            state.SkipWithError("the save failed");
            return;
        }
    }
    state.counters["files"] = static_cast<double>(scan->GetScanFileCnt());
    state.counters["bytes"] = static_cast<double>(fs::file_size(kResultPath));
}

// Reading the saved trees and replaying them into a tree builder: the part
// of a load that is the file's; the rest is the scan object's indexing,
// which a scan pays alike.
void LoadResult(benchmark::State& state) {
    if (!fs::exists(kResultPath)) {
        state.SkipWithError("run SaveResult first");
        return;
    }
    QuietProgress progress;
    CountingTree tree;
    for (auto _ : state) {
        CRSData archive(RS_MODE_READ);
        archive.StartRS(kResultPath, 0);
        SaveRestoreResult::CRestoreScanSink sink(&archive, [](IStorageDevice*) {
            return SaveRestoreResult::ScannedDevice{"", true, false};
        });
        IDirecotryTreeBuilder* builder = CreateTreeBuilder(true, std::chrono::milliseconds(0));
        builder->Initialize("Disk", &tree, KvUIFilter::instance()->GetFilter());
        sink.SetDirecotryTreeBuilder(builder, &progress, nullptr);
        if (sink.GetError() != 0)
            state.SkipWithError("the load failed");
        builder->Release();
    }
    state.counters["nodes"] = static_cast<double>(tree.nodes) / state.iterations();
}

// The whole load as the application runs it: the file read and checked,
// the device found again, the trees replayed and indexed by the bridge.
void LoadThroughBridge(benchmark::State& state) {
    if (!fs::exists(kResultPath)) {
        state.SkipWithError("run SaveResult first");
        return;
    }
    KvUIScan* scan = KvUIScan::instance();
    for (auto _ : state) {
        scan->ClearData();
        if (!scan->BeginScanRequest()) {
            state.SkipWithError("a scan holds the results");
            return;
        }
        scan->SetShouldBuildTree(1);
        if (SaveRestoreResult::RestoreScanResult(kResultPath, scan, nullptr) != 0) {
            state.SkipWithError("the load failed");
            return;
        }
    }
    state.counters["files"] = static_cast<double>(scan->GetScanFileCnt());
}

// The scan the saved result stands in for.
void ScanForComparison(benchmark::State& state) {
    if (VolumeDevice() == nullptr) {
        state.SkipWithError("no benchmark image");
        return;
    }
    for (auto _ : state)
        ScanVolumeImage();
}

// The 2 GiB disk wrapped as an ozt image, so that it is a device of the list.
const std::string& DiskImage() {
    static const std::string path =
        OztOf(BenchImage("HARBEX_BENCH_HFSPLUS_DISK", "/tmp/harbex_hfsplus_complete_bench.img",
                         HARBEX_BENCH_DISK_SCRIPT),
              "/tmp/harbex_scan_result_bench_disk.ozt", "HFS+ bench disk");
    return path;
}

void MakeImage(benchmark::State& state) {
    const int disk = OpenedImageIndex(DiskImage());
    if (disk < 0) {
        state.SkipWithError("no benchmark disk");
        return;
    }
    KvMakeDMG* maker = KvMakeDMG::KvShareInstance();
    const std::string target = "/tmp/harbex_scan_result_bench_copy.img";
    for (auto _ : state) {
        if (maker->KvStart(target.c_str(), disk, -1, true) != KvMakeDMG::kOk) {
            state.SkipWithError("the copy did not start");
            return;
        }
        maker->Wait();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(target)));
    ::unlink(target.c_str());
}

void DdImage(benchmark::State& state) {
    if (DiskImage().empty()) {
        state.SkipWithError("no benchmark disk");
        return;
    }
    const std::string target = "/tmp/harbex_scan_result_bench_dd.img";
    RunCommand(state, "dd if='" + DiskImage() + "' of='" + target + "' bs=4M status=none", "dd",
               DiskImage());
    ::unlink(target.c_str());
}

}  // namespace

BENCHMARK(ScanForComparison)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(SaveResult)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(LoadResult)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(LoadThroughBridge)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(DdImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(MakeImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The filter is made once, from the lists set before it.
    SetFileTypeLists();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
