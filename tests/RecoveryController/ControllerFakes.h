#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DataRecovery.h"
#include "DirectoryTree.h"
#include "FileSystemSearcher.h"
#include "Progress.h"
#include "RecoveryController.h"
#include "RestoreScanSink.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace harbex::test {

// Owners that release what the engine hands out.
struct ControllerDeleter {
    void operator()(IRecoveryController* controller) const { controller->Release(); }
};
using ControllerPtr = std::unique_ptr<IRecoveryController, ControllerDeleter>;
struct RecoveryDeleter {
    void operator()(IDataRecovery* recovery) const { recovery->Release(); }
};
using RecoveryPtr = std::unique_ptr<IDataRecovery, RecoveryDeleter>;

struct ProgressRecord {
    uint32_t state;
    uint64_t total;
    uint64_t done;
    RESULT_CODE result;
    bool operator==(const ProgressRecord&) const = default;
};

// Keeps every record; Continued() answers 0 once `stopAfter` calls were made.
class RecordingProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        records.push_back({info->state, info->total, info->done, info->result});
        return 0;
    }
    int Continued() override { return ++continuedCalls > stopAfter ? 0 : 1; }
    int shouldBuild() override { return 1; }

    std::vector<uint32_t> States() const {
        std::vector<uint32_t> states;
        for (const ProgressRecord& record : records)
            states.push_back(record.state);
        return states;
    }

    std::vector<ProgressRecord> records;
    int continuedCalls = 0;
    int stopAfter = 1 << 30;
};

class NullTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode**, unsigned int, int) override {}
    void ShowFilesystemNode(IFilesystemNode*) override {}
};

// Sectors that read as a pattern of their own number; nothing is stored.
class PatternDevice : public IStorageDevice {
public:
    PatternDevice(uint32_t type, int64_t sectors, uint32_t sectorSize = 512)
        : type_(type), sectors_(sectors), sectorSize_(sectorSize) {}
    ~PatternDevice() override { delete data_; }

    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (first < 0 || first + count > sectors_)
            return false;
        std::memset(buffer, 0, size_t(count) * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return sectors_; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return data_; }
    void SetPrivateData(IStorageDeviceData* data) override {
        delete data_;
        data_ = data;
    }
    uint32_t GetType() override { return type_; }
    RESULT_CODE GetLastError() override { return 0; }

private:
    uint32_t type_;
    int64_t sectors_;
    uint32_t sectorSize_;
    IStorageDeviceData* data_ = nullptr;
};

// Attaches a volume record of that file system to a device.
inline void AttachVolumeRecord(IStorageDevice& device, uint32_t fileSystem, const char* name = "") {
    auto* record = new CCollectedVolumeDeviceInfoStruct{};
    record->fileSystemType = fileSystem;
    std::strncpy(record->volumeName, name, sizeof(record->volumeName) - 1);
    device.SetPrivateData(CreateVolumeDeviceData(record));
}

// Hands out `count` partition records like a searcher that found them.
inline int ReportPartitions(int count, CSearchedPartitionInfo** records, int capacity) {
    for (int i = 0; i < count && i < capacity; ++i) {
        records[i] = new CSearchedPartitionInfo(512);
        records[i]->partitionIndex = static_cast<uint16_t>(i);
        records[i]->sectorsPerCluster = 8;
    }
    return count;
}

class FakeQuickSearcher : public IQuickFileSystemSearchController {
public:
    struct Script {
        RESULT_CODE result = 0;
        bool reportsFinished = true;
        int partitions = 1;
        int* searches = nullptr;
        IDirecotryTreeBuilder** builder = nullptr;
    };
    explicit FakeQuickSearcher(Script script) : script_(script) {}

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override {
        if (script_.builder != nullptr)
            *script_.builder = builder;
    }
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override {
        return ReportPartitions(script_.partitions, records, capacity);
    }
    RESULT_CODE QuickSearchFiles(IStorageDevice*, IProgress* progress) override {
        if (script_.searches != nullptr)
            ++*script_.searches;
        if (script_.reportsFinished) {
            _PROGRESS_INFO info{};
            info.state = 3;
            info.total = info.done = 100;
            progress->UpdateProgress(&info);
        }
        return script_.result;
    }

private:
    Script script_;
};

// Writes every call it gets into a shared journal as "<type>:<call>".
class JournalingBlockSearcher : public ICompleteFileSystemSearchController {
public:
    JournalingBlockSearcher(int type, std::vector<std::string>& journal, int partitions = 1)
        : type_(std::to_string(type)), journal_(journal), partitions_(partitions) {}

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override { Note("builder"); }
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override {
        return ReportPartitions(partitions_, records, capacity);
    }
    void SetDevice(IStorageDevice* device) override {
        Note(device->GetType() == kStorageDeviceCache ? "device:cache" : "device:other");
    }
    void SetBlockSize(int sectors) override { Note("block:" + std::to_string(sectors)); }
    void PreparetoSearch() override { Note("prepare"); }
    void EndSearch(int build) override { Note("end:" + std::to_string(build)); }
    void AnalyzeBlock(long long first, long long count) override {
        Note("analyze:" + std::to_string(first) + "+" + std::to_string(count));
    }
    void SetIProgressSink(IProgress*) override { Note("sink"); }
    void SetBitmap(TBitmap* bitmap) override { Note(bitmap != nullptr ? "bitmap" : "no-bitmap"); }
    void SetFileSectorMap(std::map<long long, unsigned int>*) override { Note("map"); }
    void SetActivePartition(bool active) override { Note(active ? "active" : "inactive"); }

private:
    void Note(const std::string& call) { journal_.push_back(type_ + ":" + call); }

    std::string type_;
    std::vector<std::string>& journal_;
    int partitions_;
};

// A saved result that records what it was asked.
class FakeRestoreSource : public RestoreScanSink {
public:
    FakeRestoreSource() {
        saved_.push_back(new CSearchedPartitionInfo(512));
        saved_.back()->sectorsPerCluster = 4;
    }
    ~FakeRestoreSource() override {
        for (CSearchedPartitionInfo* partition : saved_)
            delete partition;
    }
    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress*,
                                 IStorageDevice*) override {
        replayedInto = builder;
    }
    std::vector<CSearchedPartitionInfo*>& GetSearchedPartition(int type) override {
        askedTypes.push_back(type);
        return type == savedType ? saved_ : empty_;
    }

    IDirecotryTreeBuilder* replayedInto = nullptr;
    std::vector<int> askedTypes;
    int savedType = 32;

private:
    std::vector<CSearchedPartitionInfo*> saved_;
    std::vector<CSearchedPartitionInfo*> empty_;
};

}  // namespace harbex::test
