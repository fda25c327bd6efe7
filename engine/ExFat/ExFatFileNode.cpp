#include "ExFatFileNode.h"

CExFatFileNode* CExFatFileNode::Clone() {
    auto* copy = new CExFatFileNode();
    copy->flags_ = flags_ & (kAttributeMask | kDeleted);
    copy->creationTime_ = creationTime_;
    copy->modificationTime_ = modificationTime_;
    copy->accessTime_ = accessTime_;
    copy->name_ = name_;
    copy->dataLength_ = dataLength_;
    // Copy-out picks the partition by these.
    copy->SetBelongedPartition(GetBelongedPartition());
    copy->SetMetaDataSector(GetMetadataStartPosition());
    if (dataRunList_)
        copy->dataRunList_ = dataRunList_->Clone();
    return copy;
}

void CExFatFileNode::FilterFileNameByDot() {
    name_ = CFileNode::FilterFileNameByDot(name_);
}

void CExFatFileNode::SetFileName(const char* name) {
    if (name)
        name_ = name;
}

void CExFatFileNode::SetFileTime(_FILETIME creation, _FILETIME modification, _FILETIME access) {
    creationTime_ = creation;
    modificationTime_ = modification;
    accessTime_ = access;
}

void CExFatFileNode::SetDataRunList(IDataRunList* list) {
    if (dataRunList_ && dataRunList_ != list)
        dataRunList_->Release();
    dataRunList_ = list;
}
