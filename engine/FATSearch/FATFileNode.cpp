#include "FATFileNode.h"

#include <cstdio>

CFATFileNode::~CFATFileNode() {
    CFATFileProperties::Destory(properties_);
}

const char* CFATFileNode::GetFileName() {
    return properties_ ? properties_->GetFileName() : nullptr;
}

int64_t CFATFileNode::GetFileSize() {
    return properties_ ? properties_->GetFileSize() : 0;
}

uint32_t CFATFileNode::GetAttribute() {
    return properties_ ? (properties_->GetAttribute() & 0xFFFF) : 0;
}

_FILETIME CFATFileNode::GetCreationTime() {
    return properties_ ? properties_->GetCreationTime() : 0;
}

_FILETIME CFATFileNode::GetModificationTime() {
    return properties_ ? properties_->GetModificationTime() : 0;
}

_FILETIME CFATFileNode::GetLastAccessTime() {
    return properties_ ? properties_->GetLastAccessTime() : 0;
}

int CFATFileNode::IsDirectory() {
    return (GetAttribute() & 0x10) != 0;
}

int CFATFileNode::IsDeleted() {
    return properties_ && (properties_->GetState() & kFATStateDeleted) != 0;
}

void CFATFileNode::SetParentNodeID(int64_t id) {
    CFileNode::SetParentNodeID(id);
    if (properties_) {
        properties_->SetParentFirstClusterNum(id);
    }
}

CFATFileNode* CFATFileNode::Clone() {
    auto* copy = new CFATFileNode();
    IFileProperties* properties = properties_ ? properties_->Clone() : nullptr;
    if (properties_ && !properties) {
        copy->Release();
        return nullptr;
    }
    if (properties) {
        copy->properties_ = static_cast<CFATFileProperties*>(properties);
        copy->nodeId_ = copy->properties_->GetFirstClusterNum();
        copy->parentNodeId_ = copy->properties_->GetParentFirstClusterNum();
        copy->CFileNode::SetMetaDataSector(copy->properties_->GetMetaDataSector());
    }
    copy->SetBelongedPartition(GetBelongedPartition());
    if (dataRunList_) {
        copy->dataRunList_ = dataRunList_->Clone();
    }
    return copy;
}

void CFATFileNode::MarkDeleted() {
    if (properties_) {
        properties_->SetState(properties_->GetState() | kFATStateDeleted);
    }
}

void CFATFileNode::FilterFileNameByDot() {
    if (!properties_ || !properties_->GetFileName()) {
        return;
    }
    properties_->SetFileName(CFileNode::FilterFileNameByDot(properties_->GetFileName()).c_str());
}

void CFATFileNode::SetFileName(const char* name) {
    if (properties_) {
        properties_->SetFileName(name);
    }
}

void CFATFileNode::SetFileProperties(IFileProperties* properties) {
    if (properties_ && properties_ != properties) {
        CFATFileProperties::Destory(properties_);
    }
    properties_ = static_cast<CFATFileProperties*>(properties);
    if (!properties_) {
        return;
    }
    nodeId_ = properties_->GetFirstClusterNum();
    parentNodeId_ = properties_->GetParentFirstClusterNum();
    CFileNode::SetMetaDataSector(properties_->GetMetaDataSector());
}

void CFATFileNode::SetDataRunList(IDataRunList* list) {
    if (dataRunList_ && dataRunList_ != list) {
        dataRunList_->Release();
    }
    dataRunList_ = list;
}

void CFATFileNode::DelDataRunList() {
    if (dataRunList_) {
        dataRunList_->Release();
        dataRunList_ = nullptr;
    }
}

void CFATFileNode::AdoptNewerFolderProperties(CFileNode& newer) {
    auto* other = dynamic_cast<CFATFileNode*>(&newer);
    if (other && properties_ && other->properties_) {
        *properties_ = *other->properties_;
    }
}
