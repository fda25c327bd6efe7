#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "DataRecovery.h"
#include "DataRunList.h"
#include "FileNode.h"
#include "FileSystemSearcher.h"
#include "FoundFiles.h"
#include "RecoveryController.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;
namespace fs = std::filesystem;

constexpr _FILETIME At(int64_t unixSeconds) {
    return _FILETIME(116444736000000000LL + unixSeconds * 10000000LL);
}

class Node : public CFileNode {
public:
    Node(const char* name, int64_t size, bool folder, int64_t firstCluster = 0)
        : name_(name), size_(size), folder_(folder) {
        if (!folder) {
            dataRunList_ = CreateDataRunList();
            const DataRun run(firstCluster, 1);
            dataRunList_->AddDataRun(&run);
        }
    }
    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return 0; }
    _FILETIME GetCreationTime() override { return At(1000000000); }
    _FILETIME GetModificationTime() override { return At(1234567890); }
    _FILETIME GetLastAccessTime() override { return 0; }
    int IsDirectory() override { return folder_; }
    int IsDeleted() override { return deleted; }
    CFileNode* Clone() override { return nullptr; }
    void MarkDeleted() override {}
    void FilterFileNameByDot() override {}

    int deleted = 0;

private:
    std::string name_;
    int64_t size_;
    bool folder_;
};

// Clusters of one 512-byte sector, each filled with its own number.
class ClusterDevice : public IStorageDevice {
public:
    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        for (int64_t s = 0; s < count; ++s) {
            std::memset(static_cast<char*>(buffer) + s * 512, int(first + s), 512);
        }
        return true;
    }
    uint32_t GetSectorSize() override { return 512; }
    int64_t GetTotalSectors() override { return 100; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return kStorageDeviceVolume; }
    RESULT_CODE GetLastError() override { return 0; }
};

class OnePartition : public IFileSystemSearchController {
public:
    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int) override {
        if (records == nullptr)
            return 1;
        records[0] = new CSearchedPartitionInfo(512);
        records[0]->sectorsPerCluster = 1;
        return 1;
    }
};

// Hands out copy-out objects over the cluster device for FAT only.
class FatOnlyController : public IRecoveryController {
public:
    _RECOVERY_CONTROLLER_TYPE thisType() override { return RECOVERY_CONTROLLER_DELETED; }
    bool Initialize(IRecoveryFilter*) override { return true; }
    RESULT_CODE StartDataRecovery(IStorageDevice*, IProgress*, IDrirectoryTree*) override {
        return 0;
    }
    IDataRecovery* GetDataRecovery(_tagSearcherType type) const override {
        if (type != SEARCHER_FAT)
            return nullptr;
        IDataRecovery* recovery = CreateDataRecoveryObj();
        OnePartition searcher;
        EXPECT_EQ(recovery->Initialize(&searcher, &device_), kResultSuccess);
        return recovery;
    }
    void Release() override {}
    void SetRestoreScanSink(RestoreScanSink*) override {}

private:
    mutable ClusterDevice device_;
};

// FAT: Disk > docs > {a.txt, b.txt}, Disk > empty.txt; NTFS: Vol > c.txt.
struct FoundTree {
    FoundTree() {
        fat.AddChild(&docs);
        docs.AddChild(&a);
        docs.AddChild(&b);
        fat.AddChild(&empty);
        ntfs.AddChild(&c);
        b.deleted = 1;
    }
    ~FoundTree() {
        for (auto [parent, child] : std::initializer_list<std::pair<CFileNode*, CFileNode*>>{
                 {&docs, &a}, {&docs, &b}, {&fat, &docs}, {&fat, &empty}, {&ntfs, &c}}) {
            parent->RemoveChild(child);
        }
    }
    std::vector<IFileNode*> Reported() { return {&c, &b, &a, &docs, &empty, &a, &ntfs}; }

    CFilesystemNode fat{"Disk", "", SEARCHER_FAT, 2};
    CFilesystemNode ntfs{"Vol", "", SEARCHER_NTFS, 5};
    Node docs{"docs", 0, true};
    Node a{"a.txt", 512, false, 7};
    Node b{"b/..", 1000, false, 12};  // its one cluster holds only 512 bytes
    Node empty{"empty.txt", 0, false};
    Node c{"c.txt", 10, false, 3};
};

TEST(FoundFiles, ListsEachShownNodeOnceByTypeAndPath) {
    FoundTree tree;
    tree.empty.ShowNode(0);
    std::vector<std::string> lines;
    for (const FoundEntry& entry : ListFound(tree.Reported()))
        lines.push_back(FormatFound(entry));
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "32\tDisk/docs\t0\t0\t1\t2009-02-13T23:31:30Z\t2001-09-09T01:46:40Z",
                  "32\tDisk/docs/a.txt\t512\t0\t0\t2009-02-13T23:31:30Z\t2001-09-09T01:46:40Z",
                  "32\tDisk/docs/b_..\t1000\t1\t0\t2009-02-13T23:31:30Z\t2001-09-09T01:46:40Z",
                  "35\tVol/c.txt\t10\t0\t0\t2009-02-13T23:31:30Z\t2001-09-09T01:46:40Z",
              }));
}

TEST(FoundFiles, TimesAreIsoUtcOrADash) {
    ScopedTimeZone tz("Asia/Kolkata");
    EXPECT_EQ(FormatFileTime(At(0)), "1970-01-01T00:00:00Z");
    EXPECT_EQ(FormatFileTime(At(-86400)), "1969-12-31T00:00:00Z");
    EXPECT_EQ(FormatFileTime(0), "-");
}

TEST(FoundFiles, RecoversUnderTheTreePathAndCountsTheOutcome) {
    FoundTree tree;
    TempDir dir;
    FatOnlyController controller;
    const std::vector<FoundEntry> found = ListFound(tree.Reported());
    const RecoveryCounts counts = RecoverFound(controller, found, dir.path().string());
    EXPECT_EQ(counts.whole, 2);   // a.txt and the empty file
    EXPECT_EQ(counts.partly, 1);  // b: its extents end before its size
    EXPECT_EQ(counts.failed, 1);  // c.txt: no copy-out for NTFS here

    EXPECT_EQ(ReadFile(dir / "Disk/docs/a.txt"), std::vector<uint8_t>(512, 7));
    std::vector<uint8_t> holed(1000, 12);
    std::fill(holed.begin() + 512, holed.end(), 0);
    EXPECT_EQ(ReadFile(dir / "Disk/docs/b_.."), holed);
    EXPECT_TRUE(fs::exists(dir / "Disk/empty.txt"));
    EXPECT_EQ(fs::file_size(dir / "Disk/empty.txt"), 0u);
    struct stat st {};
    ASSERT_EQ(stat((dir / "Disk/empty.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);

    // A second run beside the first keeps both copies.
    RecoverFound(controller, found, dir.path().string());
    EXPECT_EQ(ReadFile(dir / "Disk/docs/a_0001.txt"), std::vector<uint8_t>(512, 7));
}

}  // namespace
