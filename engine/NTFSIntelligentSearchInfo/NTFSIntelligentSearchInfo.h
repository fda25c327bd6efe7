#pragma once

#include <list>

#include "FileRecordPositionInfo.h"

class CMFTInfo;
struct FindFileMFTAndLog;

// What the complete search hands its tree building: the $MFT records met, the
// runs of FILE records noted and the log finder of each table. Not owned.
class CNTFSIntelligentSearchInfo {
public:
    void Init(std::list<CMFTInfo*>* mft, std::list<CCommonFileRecordPositionInfo>* positions,
              std::list<FindFileMFTAndLog>* finders) {
        mft_ = mft;
        positions_ = positions;
        finders_ = finders;
    }
    std::list<CMFTInfo*>* GetMFTInfoContainer() const { return mft_; }
    std::list<CCommonFileRecordPositionInfo>* GetCommonFileRecordPositionInfoList() const {
        return positions_;
    }
    std::list<FindFileMFTAndLog>* GetFindFileContainer() const { return finders_; }

private:
    std::list<CMFTInfo*>* mft_ = nullptr;
    std::list<CCommonFileRecordPositionInfo>* positions_ = nullptr;
    std::list<FindFileMFTAndLog>* finders_ = nullptr;
};
