#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "EngineTypes.h"
#include "ResultCode.h"

class CSearchedPartitionInfo;
class IDataRunList;
class IDirecotryTreeBuilder;
class IProgress;
class IStorageDevice;
class TBitmap;

// What every file-system searcher offers: the partitions it found and the
// tree builder it reports its nodes to. Searchers are destroyed through the
// quick or complete interfaces, never through this one.
class IFileSystemSearchController {
public:
    virtual void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) = 0;
    // Fills `records` with new copies (the caller owns them), one per partition
    // found, and answers their number. Behaviour when `capacity` is too small is
    // the searcher's own.
    virtual int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) = 0;

protected:
    ~IFileSystemSearchController() = default;
};

// Walks the directory structures of one volume.
// Order of calls: SetDirecotryTreeBuilder, QuickSearchFiles once, then
// GetSearchedPartitionInfo.
class IQuickFileSystemSearchController : public IFileSystemSearchController {
public:
    virtual ~IQuickFileSystemSearchController() = default;
    virtual RESULT_CODE QuickSearchFiles(IStorageDevice* volume, IProgress* progress) = 0;
};

// Asked by the raw search of a complete scan about each file it has sized:
// may a file system still list, when it ends, a file that covers `sector`?
class ILaterListing {
public:
    virtual bool MayBeListedLater(long long sector) = 0;

protected:
    ~ILaterListing() = default;
};

// Is fed the blocks of a whole device in ascending order and rebuilds what it
// recognises. Order of calls: SetIProgressSink, SetFileSectorMap and
// SetActivePartition as needed; SetDevice, SetBlockSize, SetDirecotryTreeBuilder,
// SetBitmap, PreparetoSearch (left out when a saved result is replayed);
// AnalyzeBlock per block; EndSearch once; GetSearchedPartitionInfo.
class ICompleteFileSystemSearchController : public IFileSystemSearchController {
public:
    virtual ~ICompleteFileSystemSearchController() = default;
    virtual void SetDevice(IStorageDevice* device) = 0;
    virtual void SetBlockSize(int sectorsPerBlock) = 0;
    virtual void PreparetoSearch() = 0;
    // `build` is the progress sink's shouldBuild() answer.
    virtual void EndSearch(int build) { (void)build; }
    virtual void AnalyzeBlock(long long firstSector, long long sectorCount) = 0;
    virtual void SetIProgressSink(IProgress* progress) { (void)progress; }
    // The sector bit map shared by the block searchers of a scan.
    virtual void SetBitmap(TBitmap* bitmap) { (void)bitmap; }
    // First sector of each recognised file mapped to its raw file type.
    virtual void SetFileSectorMap(std::map<long long, unsigned int>* map) { (void)map; }
    virtual TBitmap* GetBitmap() { return nullptr; }
    virtual void SetActivePartition(bool active) { (void)active; }
    // Whether the files this searcher lists when it ends, and has the scan
    // mark as known, may cover `sector`, going by what it has met so far.
    virtual bool MayListAtEnd(long long sector) {
        (void)sector;
        return false;
    }
    // Where the raw search asks whether a file it sized may still be listed
    // by a file system; without it every file may be.
    virtual void SetLaterListing(ILaterListing* listing) { (void)listing; }
};

// The property record of one found file, shared by the file systems.
class IFileProperties {
public:
    virtual ~IFileProperties() = default;
    virtual uint16_t GetFileNameLength() = 0;
    virtual void SetFileName(const char* name) = 0;
    virtual const char* GetFileName() = 0;
    virtual int64_t GetFileSize() = 0;
    // 0x10 marks a directory.
    virtual uint32_t GetAttribute() = 0;
    virtual std::string GetRawFileCreateTime() = 0;
    virtual _FILETIME GetCreationTime() = 0;
    virtual _FILETIME GetModificationTime() = 0;
    virtual _FILETIME GetLastAccessTime() = 0;
    virtual uint16_t GetState() = 0;
    virtual void SetState(uint16_t state) = 0;
    virtual IDataRunList* GetDataRunList() = 0;
    virtual IFileProperties* Clone() = 0;
};
