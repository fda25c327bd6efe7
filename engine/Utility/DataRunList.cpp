#include "DataRunList.h"

#include <cstdint>

CDataRunList::CDataRunList() : cursor_(runs_.end()) {}

DataRun* CDataRunList::GetFirst() {
    cursor_ = runs_.begin();
    return cursor_ == runs_.end() ? nullptr : &*cursor_;
}

DataRun* CDataRunList::GetNext() {
    if (cursor_ == runs_.end())
        return nullptr;
    ++cursor_;
    return cursor_ == runs_.end() ? nullptr : &*cursor_;
}

bool CDataRunList::IsDone() {
    return cursor_ == runs_.end();
}

uint32_t CDataRunList::IsResident() {
    return resident_;
}

IDataRunList* CDataRunList::Clone() {
    auto* copy = new CDataRunList();
    for (const DataRun& run : runs_)
        copy->AddDataRun(&run);
    return copy;
}

void CDataRunList::AddDataRun(const DataRun* run) {
    if (!run)
        return;
    if (!runs_.empty()) {
        DataRun& last = runs_.back();
        // Holes (negative first clusters) never merge with what precedes them,
        // nor does an extent whose count from disk runs past the last cluster.
        if (last.firstCluster >= 0 &&
            last.clusterCount <= static_cast<uint64_t>(INT64_MAX - last.firstCluster) &&
            last.firstCluster + static_cast<int64_t>(last.clusterCount) == run->firstCluster) {
            last.clusterCount += run->clusterCount;
            return;
        }
    }
    runs_.push_back(*run);
}

int64_t CDataRunList::GetOffset() {
    return 0;
}

int CDataRunList::GetDataRunListType() {
    return kPlainListType;
}

void CDataRunList::Release() {
    delete this;
}

IDataRunList* CreateDataRunList() {
    return new CDataRunList();
}
