#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_set>
#include <vector>

#include "FindFileFromLogFile.h"
#include "MFTInfo.h"
#include "MetaFileInfo.h"
#include "NTFSPartitionCandidates.h"

class CNTFSFileRecord;

// A master file table and the $MFTMirr record of the same group of records.
struct CMFTFilesPair {
    const CMFTInfo* mft = nullptr;
    const CMFTMirrInfo* mirr = nullptr;
};

// A table met during the search and the reader of its volume's $LogFile,
// which reads the log only when a partition keeps the table.
struct FindFileMFTAndLog {
    const CMFTInfo* mft = nullptr;
    std::unique_ptr<CFindFileFromLogFile> finder;
    bool analysed = false;
};

// Follows the first records of master file tables (records 0 to 8, $MFT to
// $BadClus) as they lie on the disk and turns each group into candidates.
class CMetaFileRecordGroupinMFTAnalyzer {
public:
    CMetaFileRecordGroupinMFTAnalyzer(std::list<std::unique_ptr<CMFTInfo>>& mftRecords,
                                      CNTFSPartitionInfoBuilder& builder,
                                      std::list<FindFileMFTAndLog>& finders)
        : mftRecords_(mftRecords), builder_(builder), finders_(finders) {}

    // Every sector's record, valid or not; `stride` is the sectors one record takes.
    bool AnalyzeNTFSMetaFileRecord(int64_t sector, const CNTFSFileRecord& record, uint32_t stride);
    bool IsGroupEnd(int64_t sector, const CNTFSFileRecord& record, uint32_t stride) const;
    void AnalyzeMetaFileRecordGroup();
    // Analyses and closes the open group, if any.
    void EndGroup() { CloseGroup(); }
    // A $MFT or $MFTMirr record while its list is full.
    bool IsaMetaFileRecordNotNeedtoCount(const CNTFSFileRecord& record) const;

    void AnalyzeSingleMFT(const CMFTInfo& mft);
    void AnalyzeMFTFilesPair(const CMFTFilesPair& pair);

private:
    void CloseGroup();
    void AdjustPartitionSizeandMFTSector(CSearchedNTFSPartitionInfo& partition) const;
    void AdjustPartitionSizeandMFTSectorinContainer(const CSearchedNTFSPartitionInfo& candidate);

    CMFTInfo* groupMFT_ = nullptr;
    const CMFTMirrInfo* groupMirr_ = nullptr;
    int64_t groupStart_ = -1;
    uint32_t groupStride_ = 2;
    int64_t bitmapClusters_ = -1;
    std::list<std::unique_ptr<CMFTInfo>>& mftRecords_;
    std::vector<std::unique_ptr<CMFTMirrInfo>> mirrRecords_;
    CNTFSPartitionInfoBuilder& builder_;
    // The $MFT records of the pairs met, by sector.
    std::unordered_set<int64_t> pairTables_;
    std::list<FindFileMFTAndLog>& finders_;
};
