#pragma once

// Runs the NTFS quick search over a test device into a real tree builder and
// gives the found nodes by path.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "DataRecovery.h"
#include "DirectoryTree.h"
#include "DirectoryTreeBuilder.h"
#include "FileReader.h"
#include "NTFSFileNode.h"
#include "NTFSFileRecord.h"
#include "NTFSFixtures.h"
#include "NTFSQuickSearch.h"
#include "NTFSRunList.h"
#include "NTFSUpdateSequence.h"
#include "Progress.h"
#include "RecoveryFilter.h"
#include "SearchedPartitionInfo.h"

namespace harbex::test {

class NTFSRecordingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode** shown, unsigned int count, int) override {
        nodes.insert(nodes.end(), shown, shown + count);
    }
    void ShowFilesystemNode(IFilesystemNode* root) override { roots.push_back(root); }
    std::vector<IFileNode*> nodes;
    std::vector<IFilesystemNode*> roots;
};

class NTFSRecordingProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        records.push_back(*info);
        return 0;
    }
    int Continued() override { return continueAnswers-- > 0 ? 1 : 0; }
    int shouldBuild() override { return 1; }
    std::vector<_PROGRESS_INFO> records;
    long continueAnswers = 1L << 40;
};


inline std::string NTFSNodePath(IFileNode* node) {
    std::vector<std::string> upwards;
    for (IFileNode* n = node; n && !dynamic_cast<CFilesystemNode*>(n); n = n->GetParent())
        upwards.emplace_back(n->GetFileName() ? n->GetFileName() : "");
    std::string path;
    for (auto name = upwards.rbegin(); name != upwards.rend(); ++name)
        path.append("/").append(*name);
    return path;
}

// The file's bytes through the engine's file readers, as the copy-out reads them.
inline std::vector<uint8_t> ReadNode(IStorageDevice* device, CSearchedPartitionInfo* partition,
                                     CNTFSFileNode* node) {
    std::vector<uint8_t> data(static_cast<size_t>(node->GetFileSize()));
    if (data.empty())
        return data;
    // Data inside the record are copied the plain way, compressed or not.
    IDataRunList* extents = node->GetDataRunList();
    const bool compressed = node->IsCompressed() && extents && !extents->IsResident();
    std::unique_ptr<CFileReader> reader(compressed ? new CCompressFileReader() : new CFileReader());
    if (!reader->Open(device, node, partition))
        return {};
    int error = 0;
    uint32_t delivered = 0;
    if (auto* compressed = dynamic_cast<CCompressFileReader*>(reader.get()))
        delivered = compressed->ReadData(0, reinterpret_cast<char*>(data.data()),
                                         static_cast<uint32_t>(data.size()));
    else
        delivered = reader->ReadData(0, reinterpret_cast<char*>(data.data()),
                                     static_cast<uint32_t>(data.size()), &error);
    data.resize(delivered);
    return data;
}

// The first cluster of $LogFile (record 2 of a table of 1 KiB records).
inline int64_t LogFileFirstCluster(IStorageDevice& device) {
    std::vector<uint8_t> boot(device.GetSectorSize());
    device.ReadSector(boot.data(), 0, 1);
    const uint64_t clusterBytes = uint64_t{ReadLE16(boot.data() + 11)} * boot[13];
    const uint64_t byte = ReadLE64(boot.data() + 48) * clusterBytes + 2 * 1024;
    std::vector<uint8_t> record(1024 + device.GetSectorSize());
    device.ReadSector(record.data(), static_cast<int64_t>(byte / device.GetSectorSize()),
                      static_cast<int64_t>(record.size() / device.GetSectorSize()));
    uint8_t* at = record.data() + byte % device.GetSectorSize();
    NTFSUpdateSequence::Undo(at, 1024);
    const uint8_t* data = CNTFSFileRecord::FindAttibute(at, 1024, 0x80, 0);
    CNTFSDataRunList runs;
    if (!data || !runs.InitFromBuffer(data + ReadLE16(data + 32), 16))
        return -1;
    return runs.GetLCN(0);
}

struct NTFSQuickScan {
    RESULT_CODE code = 0;
    NTFSRecordingTree tree;
    NTFSRecordingProgress progress;
    IDirecotryTreeBuilder* builder = nullptr;
    IRecoveryFilter* filter = nullptr;
    std::unique_ptr<IQuickFileSystemSearchController> searcher;
    std::map<std::string, CNTFSFileNode*> byPath;

    NTFSQuickScan() = default;
    NTFSQuickScan(const NTFSQuickScan&) = delete;
    ~NTFSQuickScan() {
        if (builder)
            builder->Release();
        if (filter)
            filter->Release();
    }

    void Run(IStorageDevice* device) {
        filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        searcher.reset(CreateNTFSQuickSearcher());
        builder = CreateTreeBuilder(false, std::chrono::milliseconds::zero());
        builder->Initialize("volume", &tree, filter);
        searcher->SetDirecotryTreeBuilder(builder);
        code = searcher->QuickSearchFiles(device, &progress);
        for (IFileNode* node : tree.nodes) {
            if (auto* ntfs = dynamic_cast<CNTFSFileNode*>(node))
                byPath.emplace(NTFSNodePath(ntfs), ntfs);
        }
    }

    std::unique_ptr<CSearchedPartitionInfo> Partition() {
        CSearchedPartitionInfo* record = nullptr;
        if (searcher->GetSearchedPartitionInfo(&record, 1) != 1)
            return nullptr;
        return std::unique_ptr<CSearchedPartitionInfo>(record);
    }
};

}  // namespace harbex::test
