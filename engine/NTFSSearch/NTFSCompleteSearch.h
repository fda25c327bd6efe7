#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "FileRecordPositionInfo.h"
#include "FileSystemSearcher.h"
#include "FolderIndexAllocationInfo.h"
#include "MFTInfo.h"
#include "NTFSContentAnalyzers.h"
#include "NTFSLogFileAnalyzer.h"
#include "NTFSMetaFileGroupAnalyzer.h"
#include "NTFSPartitionCandidates.h"

class CNTFSDBR;

// One index block met: where it lies, its VCN and the folder it indexes.
struct CIndexRecordInfo {
    int64_t sector = 0;
    int64_t vcn = 0;
    uint64_t lsn = 0;
    int64_t parent = -1;
};

// The whole-device NTFS search: finds NTFS volumes no partition table
// describes any more from boot sectors, $LogFile pages, index blocks, FILE
// records and the standard $AttrDef and $UpCase contents; scores the
// candidates, and lists the files of those it keeps under searcher type 35.
class CNTFSSearchController : public ICompleteFileSystemSearchController {
public:
    CNTFSSearchController();
    ~CNTFSSearchController() override;
    CNTFSSearchController(const CNTFSSearchController&) = delete;
    CNTFSSearchController& operator=(const CNTFSSearchController&) = delete;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // Copies of the partitions kept, in device sectors (the caller owns them);
    // nothing is copied when `capacity` is below their number.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    void SetDevice(IStorageDevice* device) override;
    void SetBlockSize(int sectorsPerBlock) override;
    void PreparetoSearch() override;
    void EndSearch(int build) override;
    void AnalyzeBlock(long long firstSector, long long sectorCount) override;

    // The reliability score of a candidate from its evidence and match counts.
    static uint64_t CalcFileSystemReliabilityScore(const CSearchedNTFSPartitionInfo& partition);

private:
    // Everything found during one search.
    struct Evidence;

    // The units from `start` to the end of the block at `firstSector`, in
    // the read-ahead cache's memory; null when it does not hold them all.
    const uint8_t* HeldUnits(int64_t start, long long firstSector, long long sectorCount);
    // The block's bytes are read only: a record's update sequence is undone
    // in a copy of it.
    void AnalyzeSectors(const uint8_t* bytes, int64_t first, int64_t count, bool complete);
    void AnalyzeSector(const uint8_t* bytes, int64_t sector, int available);
    void AnalyzeFileRecord(const uint8_t* bytes, int64_t sector, int available);
    void AnalyzeIndexRecord(const uint8_t* bytes, int64_t sector, int available);
    void AnalyzeFolder(uint8_t* record, int length, int64_t sector);
    void NoteFileRecord(int64_t sector, uint32_t stride);
    void PairIndexRecordWithFolder(const CIndexRecordInfo& index,
                                   const CFolderIndexAllocationInfo& folder);

    void AnalyzeNTFSDBRSector(int64_t sector, const uint8_t* bytes);
    NTFSCandidate BuildPartitionInfoFromDBR(const CNTFSDBR& dbr, int64_t start,
                                            uint32_t flag) const;
    void ScoreAndWinnow();
    void CompleteTableRuns();
    void SetSearchedNTFSPartitionBelongCtrl();
    CSearchedNTFSPartitionInfo* HandOut(const CSearchedNTFSPartitionInfo& partition) const;

    IDirecotryTreeBuilder* builder_ = nullptr;
    IStorageDevice* device_ = nullptr;
    int sectorsPerBlock_ = 0;
    uint32_t unitsPerSector_ = 1;
    int64_t totalUnits_ = 0;
    // A copy of the block when the device cannot hand it out in place.
    std::vector<uint8_t> block_;
    // The record whose update sequence is undone (the largest is 4096 bytes).
    std::vector<uint8_t> record_;
    // The last sectors of the previous block, whose structures may reach into
    // the next one: analysed once that block is joined to them.
    int64_t heldFirst_ = -1;
    int64_t heldCount_ = 0;
    // Record pages and index blocks are not looked for inside the page or
    // block that began before this sector.
    int64_t pageEnd_ = 0;

    NTFSPartitionSet partitions_;
    std::vector<std::unique_ptr<CSearchedNTFSPartitionInfo>> kept_;
    std::list<std::unique_ptr<CMFTInfo>> mftRecords_;
    std::vector<CCommonFileRecordPositionInfo> positions_;
    std::list<FindFileMFTAndLog> finders_;
    std::unique_ptr<Evidence> evidence_;
};

// A new complete NTFS searcher; the caller deletes it.
ICompleteFileSystemSearchController* CreateNTFSSearcher();
