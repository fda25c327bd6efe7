#pragma once

#include <cstdint>

#include "NTFSRunList.h"

// A found $MFT record: where it lies and the runs of the master file table.
class CMFTInfo {
public:
    // The runs of the record's unnamed non-resident data attributes (`size`
    // bytes, the record size); false when there are none or VCN 0 is unmapped.
    bool InitFromBuffer(uint8_t* record, int size, int64_t sector);
    // Adds the data runs an extension record of $MFT holds.
    void AddDataRunsFromBuffer(uint8_t* record, int size);

    int64_t GetSectorAddress() const { return sector_; }
    int64_t GetFirstClusterNO() const { return runs_.GetLCN(0); }
    CNTFSDataRunList& GetDataRunList() { return runs_; }
    const CNTFSDataRunList& GetDataRunList() const { return runs_; }

private:
    int64_t sector_ = -1;
    CNTFSDataRunList runs_;
};

// One FILE record of a user file or folder, as the searches note it.
class CCommonFileRecordInfo {
public:
    // The directory flag, the own record number when the record carries it,
    // and the parent the file-name attributes name (the second one's when it is
    // 5 or more, else the first one's when it is, else -1).
    bool InitFromBuffer(uint8_t* record, int size, int64_t sector);

    bool IsDirectory() const { return directory_; }
    int64_t GetSectorAddress() const { return sector_; }
    int64_t GetFileRecordNumberofParentDirectory() const { return parent_; }
    void SetFileRecordNumberofParentDirectory(int64_t parent) { parent_ = parent; }
    int64_t GetMFTFileRecordNumber() const { return number_; }
    void SetMFTFileRecordNumber(int64_t number) { number_ = number; }

private:
    bool directory_ = false;
    int64_t sector_ = 0;
    int64_t parent_ = -1;
    int64_t number_ = -1;
};
