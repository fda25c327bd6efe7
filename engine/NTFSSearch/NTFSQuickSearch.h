#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FileSystemSearcher.h"
#include "FindFileFromLogFile.h"
#include "MFTInfo.h"
#include "NTFSGeometry.h"
#include "NTFSName.h"
#include "SearchedPartitionInfo.h"

class CNTFSFileProperties;

// The deleted-file search of one NTFS volume: reads the master file table from
// start to end and reports every user file and folder, in use or not, to the
// tree builder under searcher type 35.
class CNTFSQuickSearch : public IQuickFileSystemSearchController {
public:
    CNTFSQuickSearch();
    ~CNTFSQuickSearch() override;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // One record describing the searched volume; nothing is written with a
    // capacity below 1.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    RESULT_CODE QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

private:
    // One piece of the table read into the walk buffer.
    struct Buffered {
        std::vector<uint8_t> bytes;
        std::vector<int64_t> sectors;  // the device sector of each buffered sector
        std::vector<bool> readable;
        size_t count = 0;
    };

    bool GetMFTInfo();
    bool ReadMFTInfoFromFileRecord(int64_t sector, uint32_t sectorsPerRecord);
    RESULT_CODE BuildFileNodeFromMFTFileRecord();
    void ReadIntoBuffer(Buffered& buffer, int64_t sector, size_t count);
    void BuildFileNodeFromBuffer(Buffered& buffer, int64_t firstTableSector);
    void BuildFileNodeFromRecord(uint8_t* record, int64_t number, int64_t sector);
    int CreateFileNode(int64_t id, int64_t parent, CNTFSFileProperties* properties);
    void Report(uint32_t state, uint64_t total, uint64_t done, RESULT_CODE result);

    IDirecotryTreeBuilder* builder_ = nullptr;
    IStorageDevice* device_ = nullptr;
    IProgress* progress_ = nullptr;
    CSearchedPartitionInfo partition_;
    NTFSGeometry geometry_;
    CMFTInfo mft_;
    NTFSNameConverter names_;
    CFindFileFromLogFile log_;
};

// A new quick searcher; the caller deletes it.
IQuickFileSystemSearchController* CreateNTFSQuickSearcher();
