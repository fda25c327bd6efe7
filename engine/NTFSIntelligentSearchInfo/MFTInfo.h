#pragma once

#include <cstdint>
#include <memory>

#include "NTFSGeometry.h"
#include "NTFSRunList.h"

class CNTFSFileRecord;
class IFileProperties;
class IRSData;
class IStorageDevice;

// A found $MFT record: where it lies and the runs of the master file table.
class CMFTInfo {
public:
    // A new record from a valid $MFT record whose data attribute suggests a
    // cluster size and maps VCN 0; null otherwise. The caller deletes it.
    static CMFTInfo* Build(const CNTFSFileRecord& record, int64_t sector);

    // The runs of the record's unnamed non-resident data attributes and the
    // cluster size (in 512-byte sectors) they suggest, 0 when none fits;
    // false when there are no runs or VCN 0 is unmapped.
    bool InitFromBuffer(const CNTFSFileRecord& record, int64_t sector);
    // The same on `size` bytes (the record size), viewed in place.
    bool InitFromBuffer(uint8_t* record, int size, int64_t sector);
    // Adds the data runs an extension record of $MFT holds.
    void AddDataRunsFromBuffer(uint8_t* record, int size);
    // A large table keeps the rest of its runs in the extension records its
    // attribute list names; `record` is the $MFT record as read, of the
    // geometry's record size. Each extension is found through the runs known
    // so far and taken only when it names record 0 as its base.
    void AddDataRunsFromExtensionRecords(const uint8_t* record, IStorageDevice& device,
                                         const NTFSGeometry& geometry);

    int64_t GetSectorAddress() const { return sector_; }
    int64_t GetFirstClusterNO() const { return runs_.IsEmpty() ? -1 : runs_.GetLCN(0); }
    CNTFSDataRunList& GetDataRunList() { return runs_; }
    const CNTFSDataRunList& GetDataRunList() const { return runs_; }
    uint8_t GetSectorsPerCluster() const { return sectorsPerCluster_; }
    void SetSectorsPerCluster(uint8_t sectors) { sectorsPerCluster_ = sectors; }
    // Whether the record keeps an attribute list: its data runs may continue in
    // extension records, and then the cluster size its own runs suggest is too large.
    bool RunsMayContinue() const { return runsMayContinue_; }
    // Whether the table's data, as far as it was written, holds record `number`:
    // a table extended in whole clusters may reach past its last written record
    // into an older volume's records.
    bool HoldsRecord(int64_t number) const;
    uint8_t GetSectorsPerFileRecord() const { return sectorsPerRecord_; }
    void SetSectorsPerFileRecord(uint8_t sectors) { sectorsPerRecord_ = sectors; }

    // Sector, sectors per record, sectors per cluster, then the runs.
    bool Save(IRSData& archive) const;
    bool Restore(IRSData& archive);

private:
    int64_t sector_ = -1;
    CNTFSDataRunList runs_;
    uint8_t sectorsPerRecord_ = 2;
    uint8_t sectorsPerCluster_ = 0;
    int64_t initializedBytes_ = -1;  // of the data, -1 when unknown
    bool runsMayContinue_ = false;
};

// One FILE record of a user file or folder, as the searches note it.
class CCommonFileRecordInfo {
public:
    CCommonFileRecordInfo();
    ~CCommonFileRecordInfo();
    CCommonFileRecordInfo(const CCommonFileRecordInfo&) = delete;
    CCommonFileRecordInfo& operator=(const CCommonFileRecordInfo&) = delete;

    // The directory flag, the own record number when the record carries it,
    // and the parent the file-name attributes name (the second one's when it is
    // 5 or more, else the first one's when it is, else -1).
    bool InitFromBuffer(const CNTFSFileRecord& record, int64_t sector);
    bool InitFromBuffer(uint8_t* record, int size, int64_t sector);

    bool IsDirectory() const { return directory_; }
    int64_t GetSectorAddress() const { return sector_; }
    int64_t GetFileRecordNumberofParentDirectory() const { return parent_; }
    void SetFileRecordNumberofParentDirectory(int64_t parent) { parent_ = parent; }
    int64_t GetMFTFileRecordNumber() const { return number_; }
    void SetMFTFileRecordNumber(int64_t number) { number_ = number; }

    // The file's properties, owned until taken by the node made for it.
    IFileProperties* GetNTFSFileProperties() const { return properties_.get(); }
    void SetNTFSFileProperties(IFileProperties* properties);
    IFileProperties* TakeNTFSFileProperties() { return properties_.release(); }

private:
    bool directory_ = false;
    int64_t sector_ = 0;
    int64_t parent_ = -1;
    std::unique_ptr<IFileProperties> properties_;
    int64_t number_ = -1;
};
