#pragma once

#include <list>
#include <memory>
#include <vector>

#include "FileRecordPositionInfo.h"
#include "MFTInfo.h"

struct FindFileMFTAndLog;

// What the complete search hands its tree building: the $MFT records met, the
// runs of FILE records noted and the log finder of each table. Not owned.
class CNTFSIntelligentSearchInfo {
public:
    using MFTList = std::list<std::unique_ptr<CMFTInfo>>;
    using PositionList = std::vector<CCommonFileRecordPositionInfo>;
    using FinderList = std::list<FindFileMFTAndLog>;

    void Init(MFTList* mft, PositionList* positions, FinderList* finders) {
        mft_ = mft;
        positions_ = positions;
        finders_ = finders;
    }
    MFTList* GetMFTInfoContainer() const { return mft_; }
    PositionList* GetCommonFileRecordPositionInfoList() const { return positions_; }
    FinderList* GetFindFileContainer() const { return finders_; }

private:
    MFTList* mft_ = nullptr;
    PositionList* positions_ = nullptr;
    FinderList* finders_ = nullptr;
};
