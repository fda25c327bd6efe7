#pragma once

#include <bitset>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "BufferStorageDevice.h"
#include "FileSystemSearcher.h"
#include "FileTypeManager.h"
#include "RawFileAnalyser.h"
#include "RawFileManager.h"
#include "RawScanContext.h"

class IRawFileAnalyser;

// The raw signature search of a complete scan: every sector that no known
// file covers is looked up in the analyser registry; each file found becomes
// a carving record that is sized from its header, while the scan streams past
// it, or by its analyser's walk (over the look-back ring or, at the end, the
// device), and is then filed into the type tree or the content-tag tree.
class CRAWSearchController : public ICompleteFileSystemSearchController {
public:
    static constexpr int kMostGuessing = 32;
    static constexpr uint32_t kRingBlocks = 20;

    CRAWSearchController() = default;
    ~CRAWSearchController() override;
    CRAWSearchController(const CRAWSearchController&) = delete;
    CRAWSearchController& operator=(const CRAWSearchController&) = delete;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    void SetDevice(IStorageDevice* device) override;
    void SetBlockSize(int sectorsPerBlock) override;
    void PreparetoSearch() override;
    void EndSearch(int build) override;
    void AnalyzeBlock(long long firstSector, long long sectorCount) override;
    void SetIProgressSink(IProgress* progress) override { context_.progress = progress; }
    void SetBitmap(TBitmap* bitmap) override { bitmap_ = bitmap; }
    void SetFileSectorMap(std::map<long long, unsigned int>* map) override { fileSectorMap_ = map; }
    TBitmap* GetBitmap() override { return bitmap_; }
    void SetLaterListing(ILaterListing* listing) override { laterListing_ = listing; }

private:
    // The first analyser that accepts the sector: map, then multimap, then
    // list; the two keyed sets only when some key starts as the sector does.
    IRawFileAnalyser* FindAnalyser(unsigned char* sector, CRawFileInfo& probe, long long number,
                                   const CRawFileInfo::SearchContext& context);
    CRawFileInfo* CreateRawFileInfo(const CRawFileInfo& probe, long long number,
                                    IRawFileAnalyser* analyser);
    void AddRawFileInfoToList(CRawFileInfo* record, unsigned char* sector, long long number);
    void CalcRawFileSize(unsigned char* sector, CRawFileInfo* created, long long number,
                         CRawFileInfo::SearchContext& context);
    CRAWFileManager* GetFileManager(RAW_FILE_TYPE type);
    // Files a sized record at once, or keeps it to be filed at the end when
    // a file system may still list it then; drops it when its size runs past
    // the device's end. False (the record stays the caller's) when its type
    // has no category.
    bool Keep(CRawFileInfo* record);
    // A file that starts in a sector of a file some file system already lists.
    bool IsKnownFile(int64_t startSector) const;
    // Files the record unless it is a known file's, and deletes it.
    void File(CRawFileInfo* record);
    // Files the kept records in the order they were sized.
    void FileSizedRecords();
    void SizeFromRing();
    void RemoveFromOpen(CRawFileInfo* record);
    void AnalyzeSectors(unsigned char* block, long long first, long long count);
    void FreeRecords();

    CFileTypeManager fileTypes_;
    std::map<int, std::unique_ptr<CRAWFileManager>> managers_;
    IStorageDevice* device_ = nullptr;  // not owned
    int sectorsPerBlock_ = 0;
    IDirecotryTreeBuilder* builder_ = nullptr;  // not owned
    CBufferStorageDevice ring_;
    std::list<CRawFileInfo*> open_;     // owned
    std::list<CRawFileInfo*> pending_;  // owned
    // Sized records that a file system may still list, filed at the end once
    // the file systems have said which files they list; owned.
    std::vector<CRawFileInfo*> sized_;
    ILaterListing* laterListing_ = nullptr;  // not owned
    bool ending_ = false;                    // the file systems have listed their files
    std::map<long long, unsigned int>* fileSectorMap_ = nullptr;  // not owned
    TBitmap* bitmap_ = nullptr;                                   // not owned
    uint32_t sectorSize_ = 512;
    std::vector<CRawFileInfo*> guessing_;  // streaming records, oldest first; in open_
    RawScanContext context_;
    // The first two bytes (little-endian) of every analyser key.
    std::bitset<65536> keyedStarts_;
};
