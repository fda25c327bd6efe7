#include <atomic>
#include <cstring>
#include <typeinfo>

#include "FileNode.h"

namespace {

// State word layout.
constexpr uint64_t kCheckMask = 0xFull;
constexpr uint64_t kShownMask = 0xF0ull;
constexpr int kShownShift = 4;
constexpr uint64_t kPartitionMask = 0xFFFF00ull;
constexpr int kPartitionShift = 8;
constexpr uint64_t kLowFieldsMask = 0xFFFFFFull;
constexpr int kMetadataShift = 24;

// Bounds walks over in-memory links so a corrupted tree cannot hang a scan.
constexpr uint64_t kMaxLinkWalk = 100'000'000;

int SignedNibble(uint64_t value) {
    const int nibble = static_cast<int>(value & 0xF);
    return (nibble & 0x8) ? nibble - 16 : nibble;
}

int StateForSum(uint32_t checkedSum, uint32_t shownChildren) {
    if (checkedSum == 0)
        return CHECK_STATUS_UNCHECKED;
    if (checkedSum == 2 * shownChildren)
        return CHECK_STATUS_CHECKED;
    return CHECK_STATUS_PARTLY;
}

// Linking a scan's millions of nodes casts each one, and they come from a
// handful of classes: the class that last passed dynamic_cast is recognised
// by its type_info alone. Another class, or a copy of the same type_info from
// another library, only takes the slower dynamic_cast.
CFileNode* AsFileNode(IFileNode* node) {
    static std::atomic<const std::type_info*> lastFileNodeType{nullptr};
    if (!node)
        return nullptr;
    const std::type_info* type = &typeid(*node);
    if (type == lastFileNodeType.load(std::memory_order_relaxed))
        return static_cast<CFileNode*>(node);
    auto* fileNode = dynamic_cast<CFileNode*>(node);
    if (fileNode)
        lastFileNodeType.store(type, std::memory_order_relaxed);
    return fileNode;
}

}  // namespace

CFileNode::CFileNode() = default;

CFileNode::CFileNode(const CFileNode& other) : IFilesystemNode(other) {
    *this = other;
}

CFileNode& CFileNode::operator=(const CFileNode& other) {
    if (this == &other)
        return *this;
    IFilesystemNode::operator=(other);
    firstChild_ = other.firstChild_;
    nextSibling_ = other.nextSibling_;
    shownChildren_ = other.shownChildren_;
    IDataRunList* copy = other.dataRunList_ ? other.dataRunList_->Clone() : nullptr;
    if (dataRunList_)
        dataRunList_->Release();
    dataRunList_ = copy;
    nodeId_ = other.nodeId_;
    parentNodeId_ = other.parentNodeId_;
    state_ = other.state_;
    parent_ = other.parent_;
    checkedSum_ = other.checkedSum_;
    compressed_ = other.compressed_;
    return *this;
}

CFileNode::~CFileNode() {
    firstChild_ = nullptr;
    nextSibling_ = nullptr;
    parent_ = nullptr;
    if (dataRunList_)
        dataRunList_->Release();
    dataRunList_ = nullptr;
}

int CFileNode::IsNodeShow() const {
    return SignedNibble(state_ >> kShownShift);
}

void CFileNode::SetShownFlag(int shown) {
    state_ = (state_ & ~kShownMask) | ((static_cast<uint64_t>(shown) & 0xF) << kShownShift);
}

void CFileNode::SetCheckState(int status) {
    state_ = (state_ & ~kCheckMask) | (static_cast<uint64_t>(status) & 0xF);
}

void CFileNode::ShowNode(int show) {
    const int shown = show != 0 ? 1 : 0;
    const int current = IsNodeShow() != 0 ? 1 : 0;
    if (parent_ && shown != current)
        parent_->ShowParent(shown ? 1 : -1);
    SetShownFlag(shown);
}

void CFileNode::ShowParent(int delta) {
    CFileNode* node = this;
    for (uint64_t steps = 0; node && delta != 0 && steps < kMaxLinkWalk; ++steps) {
        node->shownChildren_ += static_cast<uint32_t>(delta);
        const int before = node->IsNodeShow() != 0 ? 1 : 0;
        const int after = node->shownChildren_ != 0 ? 1 : 0;
        node->SetShownFlag(after);
        if (before == after)
            break;
        delta = after ? 1 : -1;
        node = node->parent_;
    }
}

int64_t CFileNode::GetCurrentNodeID() const {
    return nodeId_;
}
int64_t CFileNode::GetParentNodeID() const {
    return parentNodeId_;
}
CFileNode* CFileNode::GetParent() const {
    return parent_;
}
CFileNode* CFileNode::GetFirstChild() {
    return firstChild_;
}
CFileNode* CFileNode::GetNextNode() {
    return nextSibling_;
}

_tagCheckedStatus CFileNode::GetCheckedStatus() {
    return static_cast<_tagCheckedStatus>(SignedNibble(state_));
}

void CFileNode::SetCheck(_tagCheckedStatus status) {
    // "Partly" only ever arises from the children.
    if (status != CHECK_STATUS_UNCHECKED && status != CHECK_STATUS_CHECKED)
        return;
    if (IsNodeShow() == 0)
        return;
    if (parent_)
        parent_->SetParentStatus(status - GetCheckedStatus());
    if (firstChild_)
        firstChild_->SetChildStatus(status, 1);
    SetCheckState(status);
    checkedSum_ = shownChildren_ * static_cast<uint32_t>(status);
}

void CFileNode::SetParentStatus(int delta) {
    CFileNode* node = this;
    for (uint64_t steps = 0; node && delta != 0 && steps < kMaxLinkWalk; ++steps) {
        node->checkedSum_ += static_cast<uint32_t>(delta);
        const int before = node->GetCheckedStatus();
        const int after = StateForSum(node->checkedSum_, node->shownChildren_);
        node->SetCheckState(after);
        delta = after - before;
        node = node->parent_;
    }
}

void CFileNode::SetChildStatus(_tagCheckedStatus status, int walkSiblings) {
    if (IsNodeShow())
        SetCheckState(status);
    if (status == CHECK_STATUS_PARTLY)
        return;
    checkedSum_ = shownChildren_ * static_cast<uint32_t>(status);
    if (walkSiblings) {
        uint64_t steps = 0;
        for (CFileNode* sibling = nextSibling_; sibling && steps < kMaxLinkWalk;
             sibling = sibling->nextSibling_, ++steps) {
            if (sibling->IsNodeShow())
                sibling->SetChildStatus(status, 0);
        }
    }
    if (firstChild_)
        firstChild_->SetChildStatus(status, 1);
}

_tagSearcherType CFileNode::GetSearcheType() const {
    return SEARCHER_NONE;
}
const char* CFileNode::GetVolumeName() const {
    return nullptr;
}

bool CFileNode::AddChild(IFileNode* child) {
    CFileNode* node = AsFileNode(child);
    if (!node || node == this || IsLoopedToSelf(this, node))
        return false;
    ++shownChildren_;
    node->parent_ = this;
    node->nextSibling_ = firstChild_;
    firstChild_ = node;
    return true;
}

bool CFileNode::AddNext(IFileNode* next) {
    CFileNode* node = AsFileNode(next);
    if (!node || node == this)
        return false;
    // An existing chain behind this node goes behind the new one.
    CFileNode* at = this;
    for (uint64_t steps = 0; node && node != at && steps < kMaxLinkWalk; ++steps) {
        CFileNode* displaced = at->nextSibling_;
        at->nextSibling_ = node;
        at = node;
        node = displaced;
    }
    return true;
}

void CFileNode::SetParentNodeID(int64_t id) {
    parentNodeId_ = id;
}

void CFileNode::Release() {
    delete this;
}

IFileReader* CFileNode::CreateCompressFileReader(void* /*context*/) {
    return nullptr;
}

uint32_t CFileNode::IsCompressed() const {
    return compressed_;
}

void CFileNode::SetMetaDataSector(int64_t sector) {
    state_ = (state_ & kLowFieldsMask) | (static_cast<uint64_t>(sector) << kMetadataShift);
}

int64_t CFileNode::GetMetadataStartPosition() const {
    return static_cast<int64_t>(state_) >> kMetadataShift;
}

void CFileNode::SetBelongedPartition(uint16_t index) {
    state_ = (state_ & ~kPartitionMask) | (static_cast<uint64_t>(index) << kPartitionShift);
}

uint16_t CFileNode::GetBelongedPartition() const {
    return static_cast<uint16_t>((state_ & kPartitionMask) >> kPartitionShift);
}

void CFileNode::UpdateFileSize(int64_t /*size*/) {}
void CFileNode::UpdateNodeInfo() {}
void CFileNode::SetFileName(const char* /*name*/) {}

void CFileNode::SetParent(CFileNode* parent) {
    parent_ = parent;
}

IDataRunList* CFileNode::GetDataRunList() const {
    return dataRunList_;
}

bool CFileNode::IsLoopedToSelf(CFileNode* node, CFileNode* candidate) {
    if (!node || !candidate)
        return false;
    uint64_t steps = 0;
    for (CFileNode* up = node->parent_; up; up = up->parent_) {
        // A parent chain that cycles or never ends counts as a loop.
        if (up == candidate || up == node || ++steps >= kMaxLinkWalk)
            return true;
    }
    return false;
}

bool CFileNode::RemoveChild(CFileNode* child) {
    if (!child || !firstChild_)
        return false;
    if (child == firstChild_) {
        firstChild_ = child->nextSibling_;
    } else {
        CFileNode* before = firstChild_;
        uint64_t steps = 0;
        while (before->nextSibling_ != child) {
            before = before->nextSibling_;
            if (!before || ++steps >= kMaxLinkWalk)
                return false;
        }
        before->nextSibling_ = child->nextSibling_;
    }
    child->parent_ = nullptr;
    child->nextSibling_ = nullptr;
    child->firstChild_ = nullptr;
    // Only the count changes here: the remaining (possibly hidden) children stay linked.
    if (shownChildren_ > 0)
        --shownChildren_;
    return true;
}

bool CFileNode::operator==(const CFileNode& constOther) const {
    // The node accessors are not const; comparing reads through them.
    auto& self = const_cast<CFileNode&>(*this);
    auto& other = const_cast<CFileNode&>(constOther);
    if (nodeId_ != other.nodeId_ || self.IsDirectory() != other.IsDirectory() ||
        self.GetParentNodeID() != other.GetParentNodeID()) {
        return false;
    }
    const char* name = self.GetFileName();
    const char* otherName = other.GetFileName();
    if (std::strcmp(name ? name : "", otherName ? otherName : "") != 0) {
        if (self.GetSearcheType() == SEARCHER_FAT && other.IsDirectory() &&
            other.GetCreationTime() >= self.GetCreationTime()) {
            self.AdoptNewerFolderProperties(other);
        }
        return false;
    }
    if (other.IsDirectory())
        return true;
    if (self.GetSearcheType() == SEARCHER_HFSPLUS &&
        self.GetCreationTime() == other.GetCreationTime() &&
        self.GetFileSize() == other.GetFileSize()) {
        return true;
    }
    return GetBelongedPartition() == other.GetBelongedPartition();
}

void CFileNode::AdoptNewerFolderProperties(CFileNode& /*newer*/) {}

void CFileNode::MergeNode(CFileNode* other) {
    if (!other || other == this)
        return;
    if (dataRunList_)
        dataRunList_->Release();
    dataRunList_ = other->dataRunList_;
    other->dataRunList_ = nullptr;
    UpdateFileSize(other->GetFileSize());
}

std::string CFileNode::FilterFileNameByDot(const std::string& name) {
    const size_t first = name.find_first_not_of(" .");
    return first == std::string::npos ? std::string() : name.substr(first);
}
