#pragma once

// A committed disk image scanned through the real bridge, from the main
// window into the results window it opens, and the manifest of its files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "DiskVolumeNodeData.h"
#include "EventWait.h"
#include "KvDeletailWindowController.h"
#include "KvRootWindowController.h"
#include "KvSelectTypeViewController.h"
#include "KvUIDeviceData.h"
#include "KvUIFacade.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace imagescan {

namespace fs = std::filesystem;

// The bridge itself, but never "already running": the test process is not
// the only one of the program on the machine.
class BridgeFacade : public KvUIFacade {
public:
    BridgeFacade() { KvUIFacade::install(this); }
    ~BridgeFacade() override { KvUIFacade::reset(); }
    bool IsAppRunning() override { return false; }
};

struct ManifestFile {
    uint64_t size;
    // The content's SHA-256, lower-case hex, as the maker scripts write it.
    std::string sha256;
    bool deleted;
};

// The files of a fixture's manifest by path.
inline std::map<std::string, ManifestFile> ReadManifest(const fs::path& path) {
    std::map<std::string, ManifestFile> files;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string kind, name, size, hash, time, state;
        std::getline(fields, kind, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, size, '\t');
        std::getline(fields, hash, '\t');
        std::getline(fields, time, '\t');
        std::getline(fields, state, '\t');
        if (kind == "file")
            files[name] = {std::stoull(size), hash, state != "live"};
    }
    return files;
}

// The device model's row of the disk image at `path`.
inline DiskNodeRef ImageRow(const fs::path& path) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    for (int index = 0;; ++index) {
        IStorageDevice* device = model->GetDiskStorageByIndex(index);
        if (device == nullptr)
            return nullptr;
        const CDMGDeviceInfoStruct* info = DmgRecordOf(device->GetPrivateData());
        _DiskVolumeData record;
        if (info != nullptr && path == info->imagePath &&
            model->GetDiskDataByStorage(device, record))
            return std::make_shared<DiskVolumeNodeData>(record);
    }
}

// Opens the disk image at `image` from `root`'s device step and scans it
// with every file type; `results` is the results window `root` made (the
// test's makeResultsWindow records it). Returns once the scan has ended.
inline void ScanImage(KvRootWindowController& root, const fs::path& image,
                      KvDeletailWindowController*& results) {
    root.windowDidLoad();
    root.nextButtonActionWithAllTypeArr(KvSelectTypeViewController::allCategories());
    ASSERT_TRUE(WaitFor([&] { return root.whichPage() == 3; }, 30000));
    // The device page lists removable disks only: the image opened from it
    // is chosen as the page would hand it over.
    root.loadOztWithPath(QString::fromStdString(image.string()));
    const DiskNodeRef device = ImageRow(image);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->isAppleDmg(), 1);
    root.changeSelectDiskViewContinueButtonEnabled(device);
    root.selectTypesContinouButtonClick();
    ASSERT_NE(results, nullptr);
    ASSERT_TRUE(WaitFor(
        [&] {
            return results->isDeepScan == 1 && !KvUIFacade::current().IsScanRunning() &&
                   !results->allDiskArr.empty();
        },
        120000));
    // The last notices of the scan.
    WaitFor([] { return false; }, 500);
}

}  // namespace imagescan
