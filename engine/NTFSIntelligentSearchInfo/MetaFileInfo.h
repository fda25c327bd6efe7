#pragma once

#include <cstdint>
#include <list>

#include "NTFSRunList.h"

class CNTFSFileRecord;

// A found FILE record of one of the file system's own files: where it lies,
// the runs of its data and its log sequence number.
class CMetaFileInfo {
public:
    virtual ~CMetaFileInfo() = default;

    // A valid record whose unnamed non-resident data attributes hold runs.
    virtual bool InitFromBuffer(const CNTFSFileRecord& record, int64_t sector);
    // The same on `size` bytes, viewed in place.
    bool InitFromBuffer(uint8_t* record, int size, int64_t sector);

    int64_t GetSectorAddress() const { return sector_; }
    // The LCN of VCN 0, or -1.
    int64_t GetFirstClusterNO() const { return runs_.IsEmpty() ? -1 : runs_.GetLCN(0); }
    const CNTFSDataRunList& GetDataRunList() const { return runs_; }
    void GetDataRunList(std::list<CDataRun>& out) const;
    uint64_t GetLogFileSequenceNumber() const { return lsn_; }
    // Same sector, same log sequence number, equal runs.
    bool Equals(const CMetaFileInfo* other) const;

protected:
    int64_t sector_ = -1;
    CNTFSDataRunList runs_;
    uint64_t lsn_ = 0;
};

// A meta-file record whose cluster size its data attribute tells.
class CSizedMetaFileInfo : public CMetaFileInfo {
public:
    // The data attribute's runs must pass their count checks (the cluster
    // size they suggest, in 512-byte sectors, may still be 0); then the
    // meta-file fill.
    bool InitFromBuffer(const CNTFSFileRecord& record, int64_t sector) override;
    using CMetaFileInfo::InitFromBuffer;
    uint8_t GetSectorsPerCluster() const { return sectorsPerCluster_; }

private:
    uint8_t sectorsPerCluster_ = 0;
};

class CLogFileInfo : public CSizedMetaFileInfo {};

class CMFTMirrInfo : public CSizedMetaFileInfo {
public:
    // A new record, or null when the fill fails. The caller deletes it.
    static CMFTMirrInfo* Build(const CNTFSFileRecord& record, int64_t sector);
};

class CAttrDefFileInfo : public CMetaFileInfo {};
class CUpCaseFileInfo : public CMetaFileInfo {};

// A found $Bitmap record and the size of the volume bitmap.
class CBitmapFileInfo {
public:
    // Count-checked runs holding at least one cluster and a real size of at least 1.
    bool InitFromBuffer(const CNTFSFileRecord& record, int64_t sector);
    int64_t GetSectorAddress() const { return sector_; }
    int64_t GetFileSize() const { return size_; }

private:
    int64_t sector_ = -1;
    int64_t size_ = -1;
};
