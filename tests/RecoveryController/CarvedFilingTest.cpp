// A complete scan with its own searchers hands carved files on while it
// walks, when no file system may list them at its end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ControllerFakes.h"
#include "DiskDevice.h"
#include "FileNode.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;

constexpr int64_t kBlockSectors = 8192;  // the complete scan's 4 MiB block
constexpr int kBlocks = 3;
// More than the tree builder gathers before it hands nodes on.
constexpr int kPictures = 1100;
constexpr int64_t kFirstPicture = 100;

// One-sector bitmap pictures: "BM", the file size, two zero words, the
// offset of the pixels and a 40-byte information header.
std::vector<uint8_t> Pictures() {
    std::vector<uint8_t> image(size_t(kBlocks * kBlockSectors) * 512);
    for (int i = 0; i < kPictures; ++i) {
        uint8_t* bmp = image.data() + size_t(kFirstPicture + i) * 512;
        const uint32_t size = 512;
        const uint32_t offset = 54;
        const uint32_t header = 40;
        bmp[0] = 'B';
        bmp[1] = 'M';
        std::memcpy(bmp + 2, &size, 4);
        std::memcpy(bmp + 10, &offset, 4);
        std::memcpy(bmp + 14, &header, 4);
        bmp[100] = uint8_t(i);
    }
    return image;
}

// Counts the blocks walked; stops after `stopAfter` of them and then, like a
// stop by the user, asks for no trees to be built.
class BlockProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        if (info->state == PROGRESS_STATE_RUNNING && info->total > 1)
            ++blocksWalked;
        return 0;
    }
    int Continued() override { return blocksWalked < stopAfter ? 1 : 0; }
    int shouldBuild() override { return Continued(); }

    int blocksWalked = 0;
    int stopAfter = kBlocks + 1;
};

// The carved pictures handed on, each with the blocks walked by then.
class PictureTree : public IDrirectoryTree {
public:
    explicit PictureTree(const BlockProgress& progress) : progress_(progress) {}
    void ShowNodes(IFileNode** nodes, unsigned int count, int) override {
        for (unsigned int i = 0; i < count; ++i) {
            const std::string name = nodes[i]->GetFileName();
            if (!nodes[i]->IsDirectory() && name.size() > 4 &&
                name.substr(name.size() - 4) == ".BMP")
                shownAfterBlocks.push_back(progress_.blocksWalked);
        }
    }
    void ShowFilesystemNode(IFilesystemNode*) override {}

    std::vector<int> shownAfterBlocks;

private:
    const BlockProgress& progress_;
};

// The blocks walked when each carved picture was handed on.
std::vector<int> ScanPictures(int stopAfter) {
    TempDir dir;
    const auto path = dir / "pictures.img";
    WriteFile(path, Pictures());
    std::unique_ptr<IStorageDevice> device(CreateDiskDevice(path.c_str()));
    EXPECT_TRUE(device->Open(nullptr));
    ControllerPtr controller(CreateRecoveryController(RECOVERY_CONTROLLER_COMPLETE));
    // Carved files are existing files: only a deep scan shows them.
    IRecoveryFilter* filter = CreateFilter();
    filter->SetScanType(SCAN_TYPE_DEEP);
    EXPECT_TRUE(controller->Initialize(filter));
    BlockProgress progress;
    progress.stopAfter = stopAfter;
    PictureTree tree(progress);
    EXPECT_EQ(controller->StartDataRecovery(device.get(), &progress, &tree), kResultSuccess);
    filter->SetScanType(SCAN_TYPE_DELETED_ONLY);
    return tree.shownAfterBlocks;
}

TEST(CarvedFiling, FilesNoFileSystemListsAppearWhileTheScanWalks) {
    const std::vector<int> shown = ScanPictures(kBlocks + 1);
    ASSERT_EQ(shown.size(), size_t(kPictures));
    // Pictures reached the results before the first block was done.
    EXPECT_GT(std::count(shown.begin(), shown.end(), 0), 0);
}

TEST(CarvedFiling, AStoppedScanKeepsWhatItHandedOnBeforeTheStop) {
    // Stopped after the first block, with no trees built at the end.
    const std::vector<int> shown = ScanPictures(1);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown, std::vector<int>(shown.size(), 0));
}

}  // namespace
