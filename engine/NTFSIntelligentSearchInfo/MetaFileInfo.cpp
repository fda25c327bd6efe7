#include "MetaFileInfo.h"

#include <memory>

#include "NTFSFileRecord.h"
#include "NTFSRecordAnalyzer.h"

bool CMetaFileInfo::InitFromBuffer(const CNTFSFileRecord& record, int64_t sector) {
    if (!record.IsValid()) {
        return false;
    }
    runs_.ClearDataRunList();
    CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(record, runs_, false, nullptr);
    if (runs_.IsEmpty()) {
        return false;
    }
    sector_ = sector;
    lsn_ = CNTFSFileRecord::GetLogFileSequenceNumber(record.GetBuffer());
    return true;
}

bool CMetaFileInfo::InitFromBuffer(uint8_t* record, int size, int64_t sector) {
    const CNTFSFileRecord view(record, size, false);
    return InitFromBuffer(view, sector);
}

void CMetaFileInfo::GetDataRunList(std::list<CDataRun>& out) const {
    out.insert(out.end(), runs_.Runs().begin(), runs_.Runs().end());
}

bool CMetaFileInfo::Equals(const CMetaFileInfo* other) const {
    return other != nullptr && sector_ == other->sector_ && lsn_ == other->lsn_ &&
           runs_.IsEqual(other->runs_);
}

bool CSizedMetaFileInfo::InitFromBuffer(const CNTFSFileRecord& record, int64_t sector) {
    if (!CNTFSFileRecordAnalyzer::GetSectorsPerClusterfrom0x80(record, sectorsPerCluster_)) {
        return false;
    }
    return CMetaFileInfo::InitFromBuffer(record, sector);
}

CMFTMirrInfo* CMFTMirrInfo::Build(const CNTFSFileRecord& record, int64_t sector) {
    auto info = std::make_unique<CMFTMirrInfo>();
    return info->InitFromBuffer(record, sector) ? info.release() : nullptr;
}

bool CBitmapFileInfo::InitFromBuffer(const CNTFSFileRecord& record, int64_t sector) {
    CNTFSDataRunList runs;
    int64_t realSize = 0;
    if (!CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(record, runs, true,
                                                                     &realSize) ||
        realSize < 1 || runs.GetTotalClusters() < 1) {
        return false;
    }
    size_ = realSize;
    sector_ = sector;
    return true;
}
