#include "NTFSFileNode.h"

#include <new>

#include "FileReader.h"

CNTFSFileNode::~CNTFSFileNode() {
    CNTFSFileProperties::Destory(properties_);
}

const char* CNTFSFileNode::GetFileName() {
    return properties_ ? properties_->GetFileName() : nullptr;
}
int64_t CNTFSFileNode::GetFileSize() {
    return properties_ ? properties_->GetFileSize() : 0;
}
uint32_t CNTFSFileNode::GetAttribute() {
    return properties_ ? properties_->GetAttribute() : 0;
}
_FILETIME CNTFSFileNode::GetCreationTime() {
    return properties_ ? properties_->GetCreationTime() : 0;
}
_FILETIME CNTFSFileNode::GetModificationTime() {
    return properties_ ? properties_->GetModificationTime() : 0;
}
_FILETIME CNTFSFileNode::GetLastAccessTime() {
    return properties_ ? properties_->GetLastAccessTime() : 0;
}
int CNTFSFileNode::IsDirectory() {
    return (GetAttribute() & kNTFSAttributeDirectory) != 0;
}
int CNTFSFileNode::IsDeleted() {
    return properties_ && (properties_->GetState() & kNTFSStateDeleted) != 0;
}
uint32_t CNTFSFileNode::IsCompressed() const {
    return properties_ && (properties_->GetAttribute() & kNTFSAttributeCompressed) != 0;
}

void CNTFSFileNode::MarkDeleted() {
    if (properties_) {
        properties_->SetState(properties_->GetState() | kNTFSStateDeleted);
    }
}

IFileReader* CNTFSFileNode::CreateCompressFileReader(void* /*context*/) {
    return new (std::nothrow) CCompressFileReader();
}

void CNTFSFileNode::FilterFileNameByDot() {
    if (properties_) {
        properties_->SetFileName(
            CFileNode::FilterFileNameByDot(properties_->GetFileName()).c_str());
    }
}

void CNTFSFileNode::SetFileName(const char* name) {
    if (properties_) {
        properties_->SetFileName(name);
    }
}

void CNTFSFileNode::SetFileProperties(CNTFSFileProperties* properties) {
    if (properties_ != properties) {
        CNTFSFileProperties::Destory(properties_);
    }
    properties_ = properties;
    nodeId_ = 0;
    parentNodeId_ = kRootRecord;
    if (properties_) {
        CFileNode::SetMetaDataSector(properties_->GetFileRecordStartSector());
        SetDataRunList(properties_->GetDataRunList());
    }
}

void CNTFSFileNode::SetDataRunList(IDataRunList* list) {
    if (dataRunList_ && dataRunList_ != list) {
        dataRunList_->Release();
    }
    dataRunList_ = list;
}

CNTFSFileNode* CNTFSFileNode::Clone() {
    auto* copy = new CNTFSFileNode();
    if (properties_) {
        copy->properties_ = static_cast<CNTFSFileProperties*>(properties_->Clone());
        copy->CFileNode::SetMetaDataSector(properties_->GetFileRecordStartSector());
    }
    copy->nodeId_ = 0;
    copy->parentNodeId_ = kRootRecord;
    copy->SetBelongedPartition(GetBelongedPartition());
    if (dataRunList_) {
        copy->dataRunList_ = dataRunList_->Clone();
    }
    return copy;
}
