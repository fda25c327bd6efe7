#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "FATBuildChildren.h"
#include "FATDirEntry.h"
#include "FATTable.h"
#include "StorageDevice.h"

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kFolderCluster = 5;

// A large blank volume whose one folder sector (cluster 5, first data sector
// 0) holds only its "." and ".." entries; it counts the sectors read.
class BlankVolume : public IStorageDevice {
public:
    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (first < 0 || count <= 0 || first + count > GetTotalSectors())
            return false;
        sectorsRead += static_cast<uint64_t>(count);
        auto* bytes = static_cast<uint8_t*>(buffer);
        std::memset(bytes, 0, static_cast<size_t>(count) * kSectorSize);
        const int64_t folder = kFolderCluster - 2;
        if (folder >= first && folder < first + count) {
            uint8_t* sector = bytes + (folder - first) * kSectorSize;
            std::memcpy(sector, ".          ", 11);
            sector[11] = kFATAttributeDirectory;
            sector[26] = kFolderCluster;
            std::memcpy(sector + 32, "..         ", 11);
            sector[32 + 11] = kFATAttributeDirectory;
        }
        return true;
    }
    uint32_t GetSectorSize() override { return kSectorSize; }
    int64_t GetTotalSectors() override { return int64_t{1} << 20; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return kStorageDeviceVolume; }
    RESULT_CODE GetLastError() override { return 0; }

    uint64_t sectorsRead = 0;
};

// A damaged FAT in which every cluster links to the next one, across the
// whole volume.
class EndlessChain : public IFATTable {
public:
    uint32_t GetNextCluster(uint32_t cluster) override {
        return cluster < (1u << 20) ? cluster + 1 : kFATEndOfChain;
    }
};

TEST(FATFolderChain, FolderChainStopsAtTheLargestFolder) {
    BlankVolume device;
    EndlessChain table;
    FATVolumeLayout layout;
    layout.device = &device;
    layout.type = FILE_SYSTEM_FAT16;
    layout.sectorsPerCluster = 1;
    layout.firstDataSector = 0;
    layout.totalSectors = device.GetTotalSectors();
    layout.sectorSize = kSectorSize;
    std::set<uint32_t> read;
    std::map<uint32_t, CFATFileNode*> folders;
    CFATBuildChildren children(layout, nullptr, nullptr, nullptr, &table, read, folders);
    FATFolderQueue queue;
    EXPECT_EQ(children.BuildChildren(nullptr, kFolderCluster, queue, 0, 1), 1);
    // 65536 entries of 32 bytes, read in runs of up to 128 sectors.
    EXPECT_LE(device.sectorsRead, 65536u * 32 / kSectorSize + 128);
    EXPECT_LE(read.size(), 65536u * 32 / kSectorSize + 128);
}

}  // namespace
