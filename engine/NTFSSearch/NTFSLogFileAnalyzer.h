#pragma once

#include <cstdint>
#include <vector>

#include "MetaFileInfo.h"
#include "NTFSContentAnalyzers.h"
#include "NTFSPartitionCandidates.h"

class CNTFSFileRecord;

// $LogFile records, its restart pages ("RSTR") and its record pages ("RCRD").
// Restart pages at the start of a $LogFile place volumes; record pages inside
// a candidate's $LogFile confirm it.
class CLogFileAnalyzer {
public:
    static constexpr int kPageSectors = 8;

    explicit CLogFileAnalyzer(CNTFSPartitionInfoBuilder& builder) : builder_(builder) {}

    // At least 4096 bytes: "RSTR", the client name "NTFS" and intact sector ends.
    static bool IsValidRSTRRecord(const uint8_t* bytes, int available);
    void AnalyzeRSTRRecord(int64_t sector);
    void AnalyzeLogFileFileRecord(int64_t sector, uint8_t* record, int length);
    // Credits the record page at `sector` (4096 bytes) when it is valid.
    void AnalyzeRCRDRecord(int64_t sector, const uint8_t* page);
    bool IsaMetaFileRecordNotNeedtoCount() const { return logFiles_.IsFull(); }
    // The partition's $LogFile record sector and the record-page sectors inside its data.
    uint64_t CalcLogFileMatch(CSearchedNTFSPartitionInfo& partition) const;

    // Candidate rules of a restart page at `sector` of a $LogFile at `cluster`.
    void BuildPartitionInfoAccordingtoFirstRSTR(int64_t sector, int64_t cluster, uint32_t spc);
    void BuildPartitionInfoAccordingtoSecondRSTR(int64_t sector, int64_t cluster, uint32_t spc);
    void BuildPartitionInfoAccordingtoPairRSTR(int64_t sector, int64_t cluster, uint32_t spc);
    void AdjustPartitionInfoAccordingtoSecondRSTR(int64_t sector, int64_t cluster, uint32_t spc);

private:
    void ApplyRestartRules(const CLogFileInfo& log);

    CNTFSPartitionInfoBuilder& builder_;
    CMetaFileRecordList<CLogFileInfo> logFiles_;
    std::vector<int64_t> restartPages_;
    CMetaFileAnalyzer pages_;
};
