#include <gtest/gtest.h>

#include <QLabel>

#include <map>
#include <memory>
#include <string>

#include "EventWait.h"
#include "FileNode.h"
#include "ImageScan.h"
#include "KvDeletailWindowController.h"
#include "KvRootWindowController.h"
#include "KvUIFacade.h"
#include "KvUIScan.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

using imagescan::BridgeFacade;
using imagescan::ManifestFile;

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

TEST(ScanFromMainWindowTest, ChoosingADiskImageScansItIntoTheTrees) {
    harbex::test::TempDir dir;
    const fs::path image = dir / "card.dmg";
    if (!harbex::test::DecompressXz(harbex::test::FixturePath("dmg/fat16_udif.dmg.xz"), image))
        GTEST_SKIP() << "the disk-image fixture is missing";
    const std::map<std::string, ManifestFile> manifest =
        imagescan::ReadManifest(harbex::test::FixturePath("fat/fat16_512.manifest"));
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
    imagescan::ScanImage(root, image, results);
    if (HasFatalFailure())
        return;

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
