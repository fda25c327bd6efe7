#include <gtest/gtest.h>

#include <QLabel>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "DiskVolumeNodeData.h"
#include "EventWait.h"
#include "FileNode.h"
#include "KvDeletailWindowController.h"
#include "KvRootWindowController.h"
#include "KvSelectTypeViewController.h"
#include "KvUIDeviceData.h"
#include "KvUIFacade.h"
#include "KvUIScan.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

namespace {

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
    bool deleted;
};

// The files of a fixture's manifest by path.
std::map<std::string, ManifestFile> ReadManifest(const fs::path& path) {
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
            files[name] = {std::stoull(size), state != "live"};
    }
    return files;
}

// Every found file below `row` by its path, with its size: the folders are
// the tree's rows, and the files those the window would list for them.
void CollectFiles(OpNodeData& row, const std::string& path,
                  std::multimap<std::string, uint64_t>& files) {
    std::vector<IFileNode*> listed;
    KvUIFacade::current().GetFileNodeToArray(&listed, &row);
    for (IFileNode* file : listed)
        files.emplace(path + "/" + OpNodeData::fileNodeName(file).toStdString(),
                      static_cast<uint64_t>(file->GetFileSize()));
    for (const OpNodeRef& child : row.childRows())
        CollectFiles(*child, path + "/" + child->name().toStdString(), files);
}

// A deleted short name loses its first letter on disk.
bool SameName(const std::string& found, const std::string& expected, bool deleted) {
    if (found == expected)
        return true;
    const size_t slash = expected.rfind('/');
    return deleted && found.size() == expected.size() &&
           found.compare(0, slash + 1, expected, 0, slash + 1) == 0 &&
           found.compare(slash + 2, std::string::npos, expected, slash + 2) == 0;
}

// The device model's row of the disk image at `path`.
DiskNodeRef ImageRow(const fs::path& path) {
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

TEST(ScanFromMainWindowTest, ChoosingADiskImageScansItIntoTheTrees) {
    harbex::test::TempDir dir;
    const fs::path image = dir / "card.dmg";
    if (!harbex::test::DecompressXz(harbex::test::FixturePath("dmg/fat16_udif.dmg.xz"), image))
        GTEST_SKIP() << "the disk-image fixture is missing";
    const std::map<std::string, ManifestFile> manifest =
        ReadManifest(harbex::test::FixturePath("fat/fat16_512.manifest"));
    ASSERT_FALSE(manifest.empty());

    BridgeFacade bridge;
    KvDeletailWindowController* results = nullptr;
    KvShellWindows windows;
    windows.makeResultsWindow = [&results] {
        auto window = std::make_unique<KvDeletailWindowController>();
        results = window.get();
        return window;
    };
    KvRootWindowController root(windows);
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
            return results->isDeepScan == 1 && !bridge.IsScanRunning() &&
                   !results->allDiskArr.empty();
        },
        120000));
    // The last notices of the scan.
    WaitFor([] { return false; }, 500);

    std::multimap<std::string, uint64_t> found;
    for (const OpNodeRef& volumeRow : results->allDiskArr)
        CollectFiles(*volumeRow, "", found);
    for (const auto& [path, expected] : manifest) {
        bool seen = false;
        for (const auto& [foundPath, size] : found)
            seen = seen || (SameName(foundPath, path, expected.deleted) && size == expected.size);
        EXPECT_TRUE(seen) << path;
    }
    EXPECT_TRUE(
        results->pathOutlineView->isExpanded(results->pathOutlineView->model()->index(0, 0)));
    EXPECT_FALSE(results->selectFilesLabel->text().isEmpty());
    // The found files go before the image they were read from.
    WaitFor([] { return false; }, 500);
    KvUIScan::instance()->ForgetResults();
}

}  // namespace
