#include "NTFSLogFileAnalyzer.h"

#include <cstring>

#include "ByteOrder.h"
#include "NTFSIndexRecord.h"

bool CLogFileAnalyzer::IsValidRSTRRecord(const uint8_t* bytes, int available) {
    static constexpr uint8_t kClientName[] = {'N', 0, 'T', 0, 'F', 0, 'S', 0};
    if (available < kPageSectors * static_cast<int>(kNTFSUnitBytes) ||
        std::memcmp(bytes, "RSTR", 4) != 0 ||
        std::memcmp(bytes + 144, kClientName, sizeof kClientName) != 0) {
        return false;
    }
    const uint16_t number = ReadLE16(bytes + 30);
    for (int i = 0; i < kPageSectors; ++i) {
        if (ReadLE16(bytes + kNTFSUnitBytes * i + 510) != number) {
            return false;
        }
    }
    return true;
}

void CLogFileAnalyzer::BuildPartitionInfoAccordingtoFirstRSTR(int64_t sector, int64_t cluster,
                                                              uint32_t spc) {
    builder_.Offer(builder_.BuildPartitionInfoAccordingtoFileRecord(sector, cluster, spc, 64),
                   kNTFSEvidenceFirstRestartPage);
}

void CLogFileAnalyzer::BuildPartitionInfoAccordingtoSecondRSTR(int64_t sector, int64_t cluster,
                                                               uint32_t spc) {
    builder_.Offer(builder_.BuildPartitionInfoAccordingtoFileRecord(sector, cluster, spc, 128),
                   kNTFSEvidenceSecondRestartPage);
}

void CLogFileAnalyzer::BuildPartitionInfoAccordingtoPairRSTR(int64_t sector, int64_t cluster,
                                                             uint32_t spc) {
    constexpr uint32_t kPair = kNTFSEvidenceFirstRestartPage | kNTFSEvidenceSecondRestartPage;
    builder_.Offer(builder_.BuildPartitionInfoAccordingtoFileRecord(sector, cluster, spc, kPair),
                   kPair);
}

void CLogFileAnalyzer::AdjustPartitionInfoAccordingtoSecondRSTR(int64_t sector, int64_t cluster,
                                                                uint32_t spc) {
    if (NTFSCandidate first = builder_.BuildPartitionInfoAccordingtoFileRecord(
            sector - kPageSectors, cluster, spc, kNTFSEvidenceSecondRestartPage)) {
        builder_.AdjustPartitionBuildFromFlag(*first, kNTFSEvidenceSecondRestartPage, 0);
    }
    if (NTFSCandidate second = builder_.BuildPartitionInfoAccordingtoFileRecord(
            sector, cluster, spc, kNTFSEvidenceFirstRestartPage)) {
        builder_.AdjustPartitionBuildFromFlag(*second, 0, kNTFSEvidenceFirstRestartPage);
    }
}

void CLogFileAnalyzer::AnalyzeRSTRRecord(int64_t sector) {
    if (restartPages_.size() >= kNTFSMostEvidence) {
        return;
    }
    const bool second = !restartPages_.empty() && restartPages_.back() == sector - kPageSectors;
    for (const auto& log : logFiles_.Records()) {
        const int64_t cluster = log->GetFirstClusterNO();
        const uint32_t spc = log->GetSectorsPerCluster();
        if (cluster == -1 || spc == 0) {
            continue;
        }
        if (second) {
            AdjustPartitionInfoAccordingtoSecondRSTR(sector, cluster, spc);
        } else {
            BuildPartitionInfoAccordingtoFirstRSTR(sector, cluster, spc);
            if (sector - kPageSectors > 0) {
                BuildPartitionInfoAccordingtoSecondRSTR(sector - kPageSectors, cluster, spc);
            }
        }
    }
    restartPages_.push_back(sector);
}

void CLogFileAnalyzer::ApplyRestartRules(const CLogFileInfo& log) {
    const int64_t cluster = log.GetFirstClusterNO();
    const uint32_t spc = log.GetSectorsPerCluster();
    for (size_t i = 0; i < restartPages_.size(); ++i) {
        const int64_t page = restartPages_[i];
        if (i + 1 < restartPages_.size() && restartPages_[i + 1] == page + kPageSectors) {
            BuildPartitionInfoAccordingtoPairRSTR(page, cluster, spc);
            ++i;
            continue;
        }
        BuildPartitionInfoAccordingtoFirstRSTR(page, cluster, spc);
        if (page - kPageSectors != 0) {
            BuildPartitionInfoAccordingtoSecondRSTR(page - kPageSectors, cluster, spc);
        }
    }
}

void CLogFileAnalyzer::AnalyzeLogFileFileRecord(int64_t sector, uint8_t* record, int length) {
    const CLogFileInfo* log = logFiles_.Add(record, length, sector);
    if (log != nullptr && log->GetSectorsPerCluster() != 0) {
        ApplyRestartRules(*log);
    }
}

void CLogFileAnalyzer::AnalyzeRCRDRecord(int64_t sector, const uint8_t* page) {
    if (!CRCRDRecord::IsValid(page, CRCRDRecord::kPageSize)) {
        return;
    }
    for (int i = 0; i < kPageSectors; ++i) {
        pages_.CombineSectorOfRange(static_cast<uint64_t>(sector + i));
    }
}

uint64_t CLogFileAnalyzer::CalcLogFileMatch(CSearchedNTFSPartitionInfo& partition) const {
    const uint64_t count =
        logFiles_.MatchCount(pages_, partition, 2, partition.logFileRecordSector);
    partition.logMatchCount = static_cast<int64_t>(count);
    return count;
}
