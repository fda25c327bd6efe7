#include "MFTInfo.h"

#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"

namespace {

void AddUnnamedDataRuns(const CNTFSFileRecord& view, CNTFSDataRunList& runs) {
    using A = CNTFSFileRecordAttribute;
    for (uint32_t index = 0;; ++index) {
        const uint8_t* data = view.FindAttibute(kNTFSData, index);
        if (data == nullptr) {
            return;
        }
        const int remaining = view.GetSize() - static_cast<int>(data - view.GetBuffer());
        if (!A::IsValid(data, remaining) || A::IsNamed(data) || A::IsResident(data)) {
            continue;
        }
        const uint32_t offset = A::GetDataRunsOffset(data);
        runs.AddDataRunsfromBuffer(data + offset, static_cast<int>(A::GetLength(data) - offset),
                                   A::GetStartVCN(data));
    }
}

}  // namespace

bool CMFTInfo::InitFromBuffer(uint8_t* record, int size, int64_t sector) {
    const CNTFSFileRecord view(record, size, false);
    if (!view.IsValid()) {
        return false;
    }
    runs_.ClearDataRunList();
    AddUnnamedDataRuns(view, runs_);
    sector_ = sector;
    return !runs_.IsEmpty() && runs_.GetLCN(0) >= 0;
}

void CMFTInfo::AddDataRunsFromBuffer(uint8_t* record, int size) {
    const CNTFSFileRecord view(record, size, false);
    if (view.IsValid()) {
        AddUnnamedDataRuns(view, runs_);
        runs_.Sort();
    }
}

bool CCommonFileRecordInfo::InitFromBuffer(uint8_t* record, int size, int64_t sector) {
    const CNTFSFileRecord view(record, size, false);
    if (!view.IsValid()) {
        return false;
    }
    const uint8_t* buffer = view.GetBuffer();
    directory_ = CNTFSFileRecord::IsFolder(buffer);
    if (CNTFSFileRecord::HasXPNumberOfthisMFTRecord(buffer)) {
        number_ = CNTFSFileRecord::GetXPNumberOfthisMFTRecord(buffer);
    }
    using FN = CNTFSFileRecordFileNameAttribute;
    const uint8_t* first = view.FindAttibute(kNTFSFileName, 0);
    const uint8_t* second = view.FindAttibute(kNTFSFileName, 1);
    parent_ = -1;
    if (second && FN::GetFileRecordNumberofParentDirectory(second) >= 5) {
        parent_ = FN::GetFileRecordNumberofParentDirectory(second);
    } else if (first && FN::GetFileRecordNumberofParentDirectory(first) >= 5) {
        parent_ = FN::GetFileRecordNumberofParentDirectory(first);
    }
    sector_ = sector;
    return true;
}
