#include "RecycleBin.h"

#include <strings.h>

#include <string_view>

#include "FileNode.h"

namespace {

// Deeper than any real folder path; parent links are acyclic, this only
// guards against a searcher that linked its nodes badly.
constexpr int kMaxAncestors = 1 << 16;

// "$" or "#", then `kind`. Every node of a scan is asked, so the name is not
// measured first.
bool HasRecycledPrefix(const char* name, char kind) {
    return name && (name[0] == '$' || name[0] == '#') && name[1] == kind;
}

}  // namespace

bool CRecyclerFilter::IsRecycleBinSigleNode(CFileNode* node) {
    if (!node || !(node->GetAttribute() & 0x10)) {
        return false;
    }
    const char* name = node->GetFileName();
    if (!name) {
        return false;
    }
    for (const char* bin : {"Recycler", "Recycled", "$Recycle.Bin", "$RECYCLE.BI0"}) {
        if (strcasecmp(name, bin) == 0) {
            return true;
        }
    }
    return false;
}

bool CRecyclerFilter::IsRecycleBin(CFileNode* node) {
    int steps = 0;
    for (CFileNode* at = node; at && steps < kMaxAncestors; at = at->GetParent(), ++steps) {
        if (IsRecycleBinSigleNode(at)) {
            return true;
        }
    }
    return false;
}

bool CRecyclerFilter::IsRecoverNode(CFileNode* node) {
    if (!node) {
        return false;
    }
    return HasRecycledPrefix(node->GetFileName(), 'I');
}

bool CRecyclerFilter::IsRecoverNodeEx(CFileNode* node) {
    if (!node) {
        return false;
    }
    const char* name = node->GetFileName();
    // NTFS metadata files ("$Repair", "$Reparse", "$RmMetadata") also start with "$R".
    constexpr std::string_view kMetadataNames = "$RmMetadata$Reparse$Repair";
    return HasRecycledPrefix(name, 'R') &&
           kMetadataNames.find(std::string_view(name)) == std::string_view::npos;
}
