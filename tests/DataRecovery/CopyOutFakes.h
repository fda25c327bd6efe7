#pragma once

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "DataRecovery.h"
#include "DataRunList.h"
#include "FileNode.h"
#include "FileReader.h"
#include "FileSystemSearcher.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"

namespace harbex::test {

// Owns a copy-out object the engine handed out.
struct RecoveryDeleter {
    void operator()(IDataRecovery* recovery) const { recovery->Release(); }
};
using RecoveryPtr = std::unique_ptr<IDataRecovery, RecoveryDeleter>;

// A device over bytes in memory that logs its reads and can fail chosen sectors.
class MemoryDevice : public IStorageDevice {
public:
    explicit MemoryDevice(std::vector<uint8_t> bytes, uint32_t sectorSize = 512)
        : bytes_(std::move(bytes)), sectorSize_(sectorSize) {}

    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        reads.emplace_back(first, count);
        if (first < 0 || count <= 0 || (first + count) * sectorSize_ > int64_t(bytes_.size()))
            return false;
        for (int64_t s = first; s < first + count; ++s) {
            if (badSectors.count(s) != 0)
                return false;
        }
        std::memcpy(buffer, bytes_.data() + first * sectorSize_, size_t(count) * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return int64_t(bytes_.size()) / sectorSize_; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return kStorageDeviceVolume; }
    RESULT_CODE GetLastError() override { return 0; }

    std::vector<uint8_t>& bytes() { return bytes_; }

    std::vector<std::pair<int64_t, int64_t>> reads;
    std::set<int64_t> badSectors;

private:
    std::vector<uint8_t> bytes_;
    uint32_t sectorSize_;
};

// A found file or folder with hand-set facts.
class TestNode : public CFileNode {
public:
    TestNode(std::string name, int64_t size, std::vector<DataRun> runs = {}, bool folder = false)
        : name_(std::move(name)), size_(size), folder_(folder) {
        if (!runs.empty() || !folder) {
            dataRunList_ = CreateDataRunList();
            for (const DataRun& run : runs)
                dataRunList_->AddDataRun(&run);
        }
    }

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return folder_ ? 0x10 : 0; }
    _FILETIME GetCreationTime() override { return creation; }
    _FILETIME GetModificationTime() override { return modification; }
    _FILETIME GetLastAccessTime() override { return access; }
    int IsDirectory() override { return folder_ ? 1 : 0; }
    int IsDeleted() override { return 1; }
    CFileNode* Clone() override { return new TestNode(*this); }
    void MarkDeleted() override {}
    void FilterFileNameByDot() override {}
    uint32_t IsCompressed() const override { return compressed; }
    IFileReader* CreateCompressFileReader(void*) override {
        return compressed ? new CCompressFileReader() : nullptr;
    }

    _FILETIME creation = 0;
    _FILETIME modification = 0;
    _FILETIME access = 0;
    uint32_t compressed = 0;

private:
    std::string name_;
    int64_t size_;
    bool folder_;
};

// A searcher that found the given partitions.
class FixedPartitionsSearcher : public IFileSystemSearchController {
public:
    explicit FixedPartitionsSearcher(std::vector<CSearchedPartitionInfo> partitions)
        : partitions_(std::move(partitions)) {}

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override {
        ++asked;
        const int count = int(partitions_.size());
        if (records == nullptr && !countsForNullArray)
            return 0;
        if (capacity < count)
            return records != nullptr && shortArrayAnswersZero ? 0 : count;
        for (int i = 0; i < count; ++i)
            records[i] = new CSearchedPartitionInfo(partitions_[i]);
        return count;
    }

    int asked = 0;
    // Searchers differ on arrays too short for all records: some answer the
    // count, some answer 0; and some cannot count with a null array.
    bool shortArrayAnswersZero = false;
    bool countsForNullArray = true;

private:
    std::vector<CSearchedPartitionInfo> partitions_;
};

// Bytes that tell their own position apart.
inline std::vector<uint8_t> Numbered(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251);
    return bytes;
}

// A partition of 512-byte sectors whose clusters start at `firstDataSector`.
inline CSearchedPartitionInfo Partition(uint32_t sectorsPerCluster, uint64_t firstDataSector = 0,
                                        uint32_t fileSystem = FILE_SYSTEM_FAT32) {
    CSearchedPartitionInfo partition(512);
    partition.sectorsPerCluster = sectorsPerCluster;
    partition.firstDataSector = firstDataSector;
    partition.fileSystemType = fileSystem;
    partition.totalSectors = 1 << 30;
    return partition;
}

}  // namespace harbex::test
