#pragma once

#include <map>

#include "FileTypeManager.h"
#include "RecoveryFilter.h"

// The filter behind CreateFilter().
class CRecoveryFilter : public IRecoveryFilter {
public:
    CRecoveryFilter();

    bool ShowNormalFiles() const override;
    void SetScanType(_SCAN_TYPE type) override;
    bool IsFileNodeValid(IFileNode* node) override;
    void SetFilterTypes(unsigned int mask) override;
    unsigned int GetNodeFileType(IFileNode* node) override;
    void Release() override;

    // The category of a node by the extension after the last "." of its name.
    FILE_TYPE_ID GetNodeCategory(IFileNode* node) const;

private:
    _SCAN_TYPE scanType_ = SCAN_TYPE_DELETED_ONLY;
    unsigned int mask_ = 0;
    CFileTypeManager fileTypes_;
    std::map<FILE_TYPE_ID, int> enabled_;  // empty: every category passes
};
