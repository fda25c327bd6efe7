#include "NTFSMetaFileGroupAnalyzer.h"

#include "NTFSFileRecord.h"
#include "NTFSMetaFile.h"

namespace {
// Records 0 to 8 of a table form a group.
constexpr int64_t kGroupRecords = 9;
}  // namespace

bool CMetaFileRecordGroupinMFTAnalyzer::IsGroupEnd(int64_t sector, const CNTFSFileRecord& record,
                                                   uint32_t stride) const {
    if (!record.IsValid() || groupStart_ == -1) {
        return true;
    }
    const uint32_t index = CMetaFileRecordTypeAnalyzer::GetMetaFileRecordIndex(record);
    const int64_t offset = sector - groupStart_;
    return index == CMetaFileRecordTypeAnalyzer::kNotMeta || stride != groupStride_ ||
           offset > (kGroupRecords - 1) * int64_t{stride} || offset % stride != 0 ||
           offset / stride != index;
}

void CMetaFileRecordGroupinMFTAnalyzer::CloseGroup() {
    AnalyzeMetaFileRecordGroup();
    groupMFT_ = nullptr;
    groupMirr_ = nullptr;
    groupStart_ = -1;
    bitmapClusters_ = -1;
}

bool CMetaFileRecordGroupinMFTAnalyzer::IsaMetaFileRecordNotNeedtoCount(
    const CNTFSFileRecord& record) const {
    return (mftRecords_.size() >= kNTFSMostEvidence &&
            CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record)) ||
           (mirrRecords_.size() >= kNTFSMostEvidence &&
            CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(record));
}

bool CMetaFileRecordGroupinMFTAnalyzer::AnalyzeNTFSMetaFileRecord(int64_t sector,
                                                                  const CNTFSFileRecord& record,
                                                                  uint32_t stride) {
    // The later sectors of a group's records.
    if (!record.IsValid() && groupStart_ != -1 && (sector - groupStart_) % groupStride_ != 0 &&
        sector - groupStart_ < kGroupRecords * int64_t{groupStride_}) {
        return true;
    }
    if (IsGroupEnd(sector, record, stride)) {
        CloseGroup();
    }
    if (!record.IsValid()) {
        return true;
    }
    if (CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record)) {
        groupStart_ = sector;
        groupStride_ = stride;
        if (mftRecords_.size() >= kNTFSMostEvidence) {
            return false;
        }
        std::unique_ptr<CMFTInfo> mft(CMFTInfo::Build(record, sector));
        if (mft == nullptr) {
            CloseGroup();
            return false;
        }
        mft->SetSectorsPerFileRecord(static_cast<uint8_t>(stride));
        groupMFT_ = mft.get();
        mftRecords_.push_back(std::move(mft));
        FindFileMFTAndLog finder;
        finder.mft = groupMFT_;
        finder.finder = std::make_unique<CFindFileFromLogFile>();
        finders_.push_back(std::move(finder));
        return true;
    }
    if (CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(record)) {
        if (mirrRecords_.size() >= kNTFSMostEvidence) {
            return false;
        }
        std::unique_ptr<CMFTMirrInfo> mirr(CMFTMirrInfo::Build(record, sector));
        if (mirr == nullptr) {
            CloseGroup();
            return false;
        }
        groupMirr_ = mirr.get();
        mirrRecords_.push_back(std::move(mirr));
        return true;
    }
    if (CMetaFileRecordTypeAnalyzer::IsValidBitmapFileRecord(record)) {
        CBitmapFileInfo bitmap;
        if (bitmap.InitFromBuffer(record, sector) && bitmap.GetFileSize() <= INT64_MAX / 8) {
            bitmapClusters_ = bitmap.GetFileSize() * 8;
        }
    }
    return true;
}

void CMetaFileRecordGroupinMFTAnalyzer::AnalyzeMetaFileRecordGroup() {
    if (groupMFT_ == nullptr) {
        return;
    }
    if (groupMirr_ == nullptr) {
        AnalyzeSingleMFT(*groupMFT_);
        return;
    }
    // A table in many pieces keeps only its first runs in record 0, too few
    // for its size to tell the cluster size; its mirror's one piece tells it.
    if (groupMFT_->RunsMayContinue() && groupMirr_->GetSectorsPerCluster() != 0) {
        groupMFT_->SetSectorsPerCluster(groupMirr_->GetSectorsPerCluster());
    }
    const CMFTFilesPair pair{groupMFT_, groupMirr_};
    AnalyzeMFTFilesPair(pair);
    if (pairTables_.size() < kNTFSMostEvidence) {
        pairTables_.insert(pair.mft->GetSectorAddress());
    }
}

void CMetaFileRecordGroupinMFTAnalyzer::AdjustPartitionSizeandMFTSector(
    CSearchedNTFSPartitionInfo& partition) const {
    if (partition.mftSector == -1) {
        partition.mftSector = groupStart_;
        partition.SetSectorsperFileRecord(groupStride_);
    }
    const int64_t spc = partition.sectorsPerCluster;
    if (!(partition.GetPartitionBuildFromFlags() & kNTFSEvidenceBootSector) &&
        bitmapClusters_ >= 1) {
        partition.totalClusters = std::min(bitmapClusters_, partition.totalClusters);
        partition.totalSectors = static_cast<uint64_t>(partition.totalClusters * spc);
    }
    partition.bitmapSectors = bitmapClusters_ * spc;
}

void CMetaFileRecordGroupinMFTAnalyzer::AdjustPartitionSizeandMFTSectorinContainer(
    const CSearchedNTFSPartitionInfo& candidate) {
    builder_.ForEachEqual(candidate, [this](CSearchedNTFSPartitionInfo& partition) {
        AdjustPartitionSizeandMFTSector(partition);
    });
}

void CMetaFileRecordGroupinMFTAnalyzer::AnalyzeSingleMFT(const CMFTInfo& mft) {
    NTFSCandidate candidate = builder_.BuildPartitionInfoAccordingtoFileRecord(
        mft.GetSectorAddress(), mft.GetFirstClusterNO(), mft.GetSectorsPerCluster(),
        kNTFSEvidenceMFTGroup);
    if (candidate == nullptr) {
        return;
    }
    AdjustPartitionSizeandMFTSector(*candidate);
    const CSearchedNTFSPartitionInfo key = *candidate;
    if (builder_.Offer(std::move(candidate), kNTFSEvidenceMFTGroup)) {
        AdjustPartitionSizeandMFTSectorinContainer(key);
    }
}

void CMetaFileRecordGroupinMFTAnalyzer::AnalyzeMFTFilesPair(const CMFTFilesPair& pair) {
    const CMFTInfo& mft = *pair.mft;
    NTFSCandidate candidate;
    if (pair.mirr->GetFirstClusterNO() != -1 && mft.GetSectorsPerCluster() != 0) {
        candidate = builder_.BuildPartitionInfoAccordingtoFileRecord(
            mft.GetSectorAddress(), pair.mirr->GetFirstClusterNO(), mft.GetSectorsPerCluster(),
            kNTFSEvidenceMFTMirrGroup);
    }
    if (candidate == nullptr) {
        AnalyzeSingleMFT(mft);
        return;
    }
    AdjustPartitionSizeandMFTSector(*candidate);
    // Where this group's table would lie if the group were the mirror copy.
    const int64_t table = mft.GetFirstClusterNO() == -1
                              ? -1
                              : static_cast<int64_t>(candidate->firstDataSector) +
                                    mft.GetFirstClusterNO() * candidate->sectorsPerCluster;
    const bool mirrorOfEarlierTable = table != -1 && pairTables_.count(table) != 0;
    if (mirrorOfEarlierTable) {
        builder_.ForEachEqual(*candidate, [](CSearchedNTFSPartitionInfo& partition) {
            uint32_t flags = partition.GetPartitionBuildFromFlags();
            if (flags & kNTFSEvidenceMFTGroup) {
                flags &= ~(kNTFSEvidenceMFTGroup | kNTFSEvidenceMFTConfirmedByMirror);
            }
            partition.SetPartitionBuildFromFlag(flags | kNTFSEvidenceMFTConfirmedByMirror);
        });
        return;
    }
    const bool merged =
        builder_.AdjustPartitionBuildFromFlag(*candidate, kNTFSEvidenceMFTMirrGroup, 0);
    AdjustPartitionSizeandMFTSectorinContainer(*candidate);
    if (!merged) {
        AnalyzeSingleMFT(mft);
    }
}
