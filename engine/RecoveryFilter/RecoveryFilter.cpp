#include <cstring>

#include "CRecoveryFilter.h"

namespace {

struct CategoryMask {
    FILE_TYPE_ID id;
    unsigned int mask;
};

constexpr CategoryMask kCategoryMasks[] = {
    {FILE_TYPE_DOCUMENT, FILE_MASK_DOCUMENT}, {FILE_TYPE_PICTURE, FILE_MASK_PICTURE},
    {FILE_TYPE_MUSIC, FILE_MASK_MUSIC},       {FILE_TYPE_MOVIE, FILE_MASK_MOVIE},
    {FILE_TYPE_ARCHIVE, FILE_MASK_ARCHIVE},   {FILE_TYPE_EMAIL, FILE_MASK_EMAIL},
    {FILE_TYPE_OTHER, FILE_MASK_OTHER},
};

}  // namespace

CRecoveryFilter::CRecoveryFilter() {
    fileTypes_.Initialize();
}

bool CRecoveryFilter::ShowNormalFiles() const {
    return scanType_ != SCAN_TYPE_DELETED_ONLY;
}

void CRecoveryFilter::SetScanType(_SCAN_TYPE type) {
    scanType_ = type;
}

void CRecoveryFilter::SetFilterTypes(unsigned int mask) {
    mask_ = mask;
    enabled_.clear();
    if (mask == FILE_MASK_ALL)
        return;
    for (const CategoryMask& category : kCategoryMasks) {
        if (mask & category.mask)
            enabled_[category.id] = 1;
    }
}

FILE_TYPE_ID CRecoveryFilter::GetNodeCategory(IFileNode* node) const {
    const char* name = node ? node->GetFileName() : nullptr;
    const char* dot = name ? std::strrchr(name, '.') : nullptr;
    if (!dot)
        return FILE_TYPE_OTHER;
    return fileTypes_.GetFileTypeID(dot + 1);
}

bool CRecoveryFilter::IsFileNodeValid(IFileNode* node) {
    if (!node)
        return false;
    if (enabled_.empty() || node->IsDirectory())
        return true;
    return enabled_.count(GetNodeCategory(node)) != 0;
}

unsigned int CRecoveryFilter::GetNodeFileType(IFileNode* node) {
    const FILE_TYPE_ID category = GetNodeCategory(node);
    for (const CategoryMask& entry : kCategoryMasks) {
        if (entry.id == category)
            return entry.mask;
    }
    return FILE_MASK_OTHER;
}

void CRecoveryFilter::Release() {}

IRecoveryFilter* CreateFilter() {
    static CRecoveryFilter filter;
    return &filter;
}
