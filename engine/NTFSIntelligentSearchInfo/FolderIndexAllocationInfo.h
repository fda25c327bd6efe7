#pragma once

#include <cstdint>

#include "NTFSRunList.h"

// A folder record whose index lies in index blocks: the runs of its index
// allocation place those blocks.
class CFolderIndexAllocationInfo {
public:
    // A base folder record with a valid non-resident index allocation whose
    // cluster size is known, and a folder number other than the root's.
    bool InitFromBuffer(uint8_t* record, int size, int64_t sector);

    int64_t GetSectorAddress() const { return sector_; }
    // The LCN of VCN 0, or -1.
    int64_t GetFirstClusterNO() const { return GetLCN(0); }
    int64_t GetLCN(int64_t vcn) const { return runs_.IsEmpty() ? -1 : runs_.GetLCN(vcn); }
    uint32_t GetSectorsPerCluster() const { return sectorsPerCluster_; }
    bool HasXPNumberOfthisMFTRecord() const { return hasOwnNumber_; }
    uint32_t GetXPNumberOfthisMFTRecord() const { return ownNumber_; }
    uint64_t GetLogFileSequenceNumber() const { return lsn_; }
    int64_t GetMFTFileRecordNumber() const { return number_; }
    void SetMFTFileRecordNumber(int64_t number) { number_ = number; }

private:
    int64_t sector_ = -1;
    CNTFSDataRunList runs_;
    uint64_t lsn_ = 0;
    int64_t number_ = -1;
    uint32_t ownNumber_ = 0;
    bool hasOwnNumber_ = false;
    uint32_t sectorsPerCluster_ = 0;
};
