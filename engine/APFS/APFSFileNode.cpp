#include "APFSFileNode.h"

#include <strings.h>

#include <algorithm>
#include <vector>

#include "APFSStructures.h"

namespace {

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0 && a.size() == std::char_traits<char>::length(b);
}

uint64_t RoundUpToBlock(uint64_t bytes) {
    return (bytes + apfs::kBlockSize - 1) / apfs::kBlockSize * apfs::kBlockSize;
}

}  // namespace

bool IsWantedName(const std::string& raw) {
    return !EqualsIgnoringCase(raw, ".DS_Store");
}

std::string MakeDisplayName(const std::string& raw) {
    if (!IsWantedName(raw))
        return {};
    if (!raw.empty() && raw[0] == '.')
        return raw.substr(1);
    return raw;
}

APFSFileNode::~APFSFileNode() = default;

_FILETIME APFSFileNode::GetCreationTime() {
    return apfs::ToFileTime(creationTime);
}
_FILETIME APFSFileNode::GetModificationTime() {
    return apfs::ToFileTime(modificationTime);
}
_FILETIME APFSFileNode::GetLastAccessTime() {
    return apfs::ToFileTime(accessTime);
}

void APFSFileNode::SetParentNodeID(int64_t id) {
    if (Has(kReported))
        return;
    flags_ |= kParentSet;
    // The parent of a volume's root folder becomes the top of its container.
    if ((static_cast<uint64_t>(id) & 0xFFFFFFFF) == 1)
        id = static_cast<int64_t>(static_cast<uint64_t>(PartitionIndex()) << 32 | 2);
    CFileNode::SetParentNodeID(id);
}

APFSFileNode* APFSFileNode::Clone() {
    auto* copy = new APFSFileNode(*this);
    copy->flags_ &= static_cast<uint8_t>(~kReported);
    copy->firstChild_ = nullptr;
    copy->nextSibling_ = nullptr;
    copy->parent_ = nullptr;
    // The copy stands alone: the parser's links stay with this node.
    copy->parentNode = nullptr;
    copy->firstChildNode = nullptr;
    copy->nextSiblingNode = nullptr;
    copy->twin = nullptr;
    copy->ownedByParser_ = false;
    return copy;
}

void APFSFileNode::Release() {
    if (!ownedByParser_)
        delete this;
}

void APFSFileNode::SetDisplayName(const std::string& displayName) {
    name_ = MakeDisplayName(displayName);
    if (EqualsIgnoringCase(name_, "Trashes"))
        flags_ |= kFolder | kDeleted | kFolderFixed;
}

void APFSFileNode::SetIsDirectory(bool folder) {
    if (Has(kFolderFixed))
        return;
    if (folder)
        flags_ |= kFolder;
    else
        flags_ &= static_cast<uint8_t>(~kFolder);
    flags_ |= kFolderFixed;
}

void APFSFileNode::SetSize(uint64_t size) {
    if (size_ != 0 && !Has(kDeleted))
        return;
    size_ = size;
    flags_ &= static_cast<uint8_t>(~kCovered);
}

uint64_t APFSFileNode::CoveredBytes(uint32_t sectorSize) const {
    uint64_t sectors = 0;
    for (const auto& [offset, run] : extents_)
        sectors += run.clusterCount;
    return sectors * sectorSize;
}

bool APFSFileNode::AddExtent(int64_t firstSector, uint64_t count, uint32_t sectorSize,
                             uint64_t offset) {
    auto settle = [&](uint64_t covered) {
        if (covered > RoundUpToBlock(size_))
            size_ = covered;
        const bool done = covered >= size_;
        if (done)
            flags_ |= kCovered;
        else
            flags_ &= static_cast<uint8_t>(~kCovered);
        return done;
    };
    if (size_ != 0 && settle(CoveredBytes(sectorSize)))
        return false;
    // A new first extent starts the file again.
    if (offset == 0 && !extents_.empty())
        extents_.clear();
    auto found = extents_.find(offset);
    if (found == extents_.end()) {
        extents_.emplace(offset, DataRun(firstSector, count));
        RebuildExtentList(sectorSize);
    } else if (found->second.firstCluster == firstSector && found->second.clusterCount < count) {
        found->second.clusterCount = count;
        RebuildExtentList(sectorSize);
    }
    if (size_ == 0)
        return false;
    return settle(CoveredBytes(sectorSize));
}

void APFSFileNode::RebuildExtentList(uint32_t sectorSize) {
    // A sparse file keeps no extent for some of its ranges; as many bytes as
    // its inode counts sparse, less its explicit holes, read as zeros. Any
    // other uncovered range lost its extent record and is unknown.
    uint64_t allowance = sparseBytes_;
    for (const auto& [offset, run] : extents_) {
        if (run.firstCluster == kHoleDataRun)
            allowance -= std::min(allowance, run.clusterCount * sectorSize);
    }
    auto sectorsOf = [sectorSize](uint64_t bytes) { return (bytes + sectorSize - 1) / sectorSize; };
    auto uncovered = [&](uint64_t bytes) {
        const bool hole = bytes <= allowance;
        if (hole)
            allowance -= bytes;
        return DataRun(hole ? kHoleDataRun : kUnknownDataRun, sectorsOf(bytes));
    };

    std::vector<DataRun> runs;
    uint64_t lastOffset = 0;
    uint64_t next = 0;
    for (const auto& [offset, run] : extents_) {
        if (offset < next) {
            // Extents that overlap contradict each other: from here on
            // nothing says which bytes belong where.
            runs.back().clusterCount = (offset - lastOffset) / sectorSize;
            runs.emplace_back(kUnknownDataRun, sectorsOf(std::max(size_, next) - offset));
            next = UINT64_MAX;
            break;
        }
        if (offset > next)
            runs.push_back(uncovered(offset - next));
        runs.push_back(run);
        lastOffset = offset;
        next = offset + run.clusterCount * sectorSize;
    }
    if (next < size_) {
        const DataRun tail = uncovered(size_ - next);
        // An unknown tail needs no run: the list ending short says as much.
        if (tail.firstCluster == kHoleDataRun)
            runs.push_back(tail);
    }
    IDataRunList* list = CreateDataRunList();
    for (const DataRun& run : runs) {
        if (run.clusterCount != 0)
            list->AddDataRun(&run);
    }
    if (dataRunList_)
        dataRunList_->Release();
    dataRunList_ = list;
}

bool APFSFileNode::TakeExtentVersion(uint64_t rank) {
    if (rank < extentRank_)
        return false;
    if (rank > extentRank_) {
        extents_.clear();
        if (dataRunList_)
            dataRunList_->Release();
        dataRunList_ = nullptr;
        extentRank_ = rank;
    }
    return true;
}

void APFSFileNode::CopyExtentsFrom(const APFSFileNode& other) {
    extents_ = other.extents_;
    extentRank_ = 0;
    if (dataRunList_)
        dataRunList_->Release();
    dataRunList_ = other.dataRunList_ ? other.dataRunList_->Clone() : nullptr;
}

void APFSFileNode::SetSparseBytes(uint64_t bytes, uint32_t sectorSize) {
    sparseBytes_ = bytes;
    if (!extents_.empty())
        RebuildExtentList(sectorSize);
}

void APFSFileNode::AddChildNode(APFSFileNode* child) {
    APFSFileNode* folder = this;
    if (folder->Has(kMerged) && folder->twin)
        folder = folder->twin;
    child->parentNode = folder;
    child->SetParentNodeID(folder->GetCurrentNodeID());
    if (child->IsFolder()) {
        for (APFSFileNode* sibling = folder->firstChildNode; sibling;
             sibling = sibling->nextSiblingNode) {
            if (sibling != child && sibling->IsFolder() && sibling->name_ == child->name_) {
                child->twin = sibling;
                child->flags_ |= kMerged;
                return;
            }
        }
    }
    child->nextSiblingNode = folder->firstChildNode;
    folder->firstChildNode = child;
}

bool APFSFileNode::IsReady(bool force) {
    if (Has(kReported) || Has(kMerged) || name_.empty() || (!IsFolder() && creationTime == 0))
        return false;
    const int64_t parent = GetParentNodeID();
    if (force) {
        if (parent == -1)
            SetParentNodeID(
                static_cast<int64_t>(static_cast<uint64_t>(PartitionIndex()) << 32 | 3));
        return true;
    }
    return parent == 1 || parent == 2 || parentNode != nullptr;
}
