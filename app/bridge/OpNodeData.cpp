#include "OpNodeData.h"

#include <ctime>

#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvUIPublic.h"

OpNodeData::OpNodeData(const TreeNodeData& data)
    : isFileSystem_(data.isFileSystem),
      fileNode_(data.fileNode),
      createTime_(time(nullptr)),
      modifyTime_(createTime_) {}

OpNodeData::OpNodeData(IFileNode* file) : OpNodeData(TreeNodeData{0, 0, 0, file}) {}

void OpNodeData::setSubNode(OpNodeArray rows) {
    rows_ = std::move(rows);
    for (const OpNodeRef& row : rows_)
        row->setParent(this);
}

void OpNodeData::addChildObject(OpNodeRef row) {
    rows_.push_back(std::move(row));
}

void OpNodeData::addChildObject(IFileNode* file) {
    files_.push_back(file);
}

void OpNodeData::addChildObjects(const std::vector<IFileNode*>& files) {
    files_.insert(files_.end(), files.begin(), files.end());
}

void OpNodeData::insertChildObject(size_t index, OpNodeRef row) {
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(std::min(index, rows_.size())),
                 std::move(row));
}

void OpNodeData::clearChildren() {
    rows_.clear();
    files_.clear();
}

void OpNodeData::setParent(OpNodeData* parent) {
    parent_ = parent != nullptr ? parent->weak_from_this() : std::weak_ptr<OpNodeData>();
}

bool OpNodeData::isDirect() const {
    if (isFadeNode())
        return true;
    return fileNode_ != nullptr && fileNode_->IsDirectory() != 0;
}

uint64_t OpNodeData::size() const {
    if (fileNode_ == nullptr || fileNode_->IsDirectory())
        return 0;
    return static_cast<uint64_t>(fileNode_->GetFileSize());
}

QString OpNodeData::name() const {
    if (isFadeNode())
        return fadeName_.isNull() ? QStringLiteral("Unknown") : fadeName_;
    if (fileNode_ == nullptr)
        return QStringLiteral("");
    const char* text = fileNode_->GetFileName();
    return text != nullptr ? KvUIPublic::Utf8OrUnknown(text) : QStringLiteral("");
}

QString OpNodeData::path() const {
    return isFadeNode() ? QString() : KvUIPublic::GetPathByFileNode(fileNode_);
}

QString OpNodeData::createTime() const {
    return fileNode_ != nullptr ? KvUIPublic::FormatFileTimeToString(fileNode_->GetCreationTime())
                                : QString();
}

QString OpNodeData::modifyTime() const {
    return fileNode_ != nullptr
               ? KvUIPublic::FormatFileTimeToString(fileNode_->GetModificationTime())
               : QString();
}

QString OpNodeData::lastAccessTime() const {
    return fileNode_ != nullptr ? KvUIPublic::FormatFileTimeToString(fileNode_->GetLastAccessTime())
                                : QString();
}

_FILETIME OpNodeData::createTimeValue() const {
    return fileNode_ != nullptr ? fileNode_->GetCreationTime() : 0;
}

_FILETIME OpNodeData::modifyTimeValue() const {
    return fileNode_ != nullptr ? fileNode_->GetModificationTime() : 0;
}

bool OpNodeData::isDeleted() const {
    return fileNode_ != nullptr && fileNode_->IsDeleted() != 0;
}

bool OpNodeData::IsShow() const {
    if (isFadeNode())
        return true;
    return fileNode_ != nullptr && fileNode_->IsNodeShow() != 0;
}

void OpNodeData::SetShow(int show) {
    if (fileNode_ != nullptr)
        fileNode_->ShowNode(show);
}

bool OpNodeData::isHasFolderChildren() const {
    if (isFadeNode())
        return isExpandAble_ != 0;
    if (fileNode_ == nullptr)
        return false;
    int steps = 0;
    for (IFileNode* child = fileNode_->GetFirstChild(); child != nullptr && steps < (1 << 24);
         child = child->GetNextNode(), ++steps) {
        if (child->IsDirectory())
            return true;
    }
    return false;
}

int32_t OpNodeData::state() const {
    return fileNode_ != nullptr ? fileNode_->GetCheckedStatus() : state_;
}

int OpNodeData::nodeType() const {
    if (!isFadeNode())
        return isFileSystem_ ? 0 : 1;
    if (type_ == kTypeTree)
        return categoryIconClass(KvCPPPublic::instance().StringToFilterType(name()));
    if (type_ == kCreatedTree || type_ == kModifiedTree)
        return parent() == nullptr ? 9 : 10;
    return 11;
}

int OpNodeData::categoryIconClass(unsigned int category) {
    int icon = 2;
    for (unsigned int bit = category; bit > 1; bit >>= 1)
        ++icon;
    return icon;
}

void OpNodeData::setNodeState(int32_t state) {
    if (!isFadeNode() && fileNode_ != nullptr)
        fileNode_->SetCheck(static_cast<_tagCheckedStatus>(state));
    else
        state_ = state;
    OpNodeData* up = parent();
    if (up != nullptr && up->isFadeNode())
        setParentNodeState(state);
    SetChildrenNodeState(state);
}

void OpNodeData::setParentNodeState(int32_t state) {
    OpNodeData* row = this;
    for (int level = 0; level < KvCPPPublic::kMostLevels; ++level) {
        row->state_ = state;
        OpNodeData* up = row->parent();
        if (up == nullptr || !up->isFadeNode())
            return;
        if (state != 1) {
            int64_t sum = 0;
            for (const OpNodeRef& sibling : up->rows_)
                sum += sibling->state();
            const int64_t all = 2 * static_cast<int64_t>(up->rows_.size());
            state = sum == 0 ? 0 : sum == all ? 2 : 1;
        }
        row = up;
    }
}

void OpNodeData::SetChildrenNodeState(int32_t state) {
    if (!isFadeNode() && fileNode_ != nullptr) {
        OpNodeData* up = parent();
        if (up != nullptr && up->isFadeNode())
            fileNode_->SetCheck(static_cast<_tagCheckedStatus>(state));
        return;
    }
    state_ = state;
    if (state == 1)
        return;
    for (IFileNode* file : files_) {
        if (file != nullptr)
            file->SetCheck(static_cast<_tagCheckedStatus>(state));
    }
    for (const OpNodeRef& row : rows_)
        row->SetChildrenNodeState(state);
}

bool OpNodeData::isFileNodeDirect(IFileNode* file) {
    return file != nullptr && file->IsDirectory() != 0;
}

bool OpNodeData::isFileNodeDeleted(IFileNode* file) {
    return file != nullptr && file->IsDeleted() != 0;
}

int32_t OpNodeData::fileNodeState(IFileNode* file) {
    return file != nullptr ? file->GetCheckedStatus() : 0;
}

void OpNodeData::setFileNode(IFileNode* file, int32_t state) {
    if (file != nullptr && state >= 0 && state <= 2)
        file->SetCheck(static_cast<_tagCheckedStatus>(state));
}

QString OpNodeData::fileNodeName(IFileNode* file) {
    const char* text = file != nullptr ? file->GetFileName() : nullptr;
    return text != nullptr ? QString::fromUtf8(text) : QString();
}
