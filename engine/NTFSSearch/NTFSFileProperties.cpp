#include "NTFSFileProperties.h"

void CNTFSFileProperties::Init(CNTFSFilePropertiesStruct&& record) {
    name_ = std::move(record.name);
    size_ = record.size;
    attribute_ = record.attribute;
    creationTime_ = record.creationTime;
    modificationTime_ = record.modificationTime;
    lastAccessTime_ = record.lastAccessTime;
    state_ = record.state;
    recordSector_ = record.recordSector;
    extents_ = std::move(record.extents);
    recordIndex_ = record.recordIndex;
}

void CNTFSFileProperties::SetFileName(const char* name) {
    if (name != nullptr) {
        name_ = name;
    }
}

IDataRunList* CNTFSFileProperties::GetDataRunList() {
    return extents_ ? extents_->Decompress() : nullptr;
}

void CNTFSFileProperties::SetDataRunList(IDataRunList* list) {
    if (list != nullptr) {
        extents_.reset(CCompressedDataRunList::Compress(list));
    }
}

IFileProperties* CNTFSFileProperties::Clone() {
    auto* copy = new CNTFSFileProperties();
    copy->name_ = name_;
    copy->size_ = size_;
    copy->attribute_ = attribute_;
    copy->creationTime_ = creationTime_;
    copy->modificationTime_ = modificationTime_;
    copy->lastAccessTime_ = lastAccessTime_;
    copy->state_ = state_;
    copy->recordSector_ = recordSector_;
    copy->extents_.reset(extents_ ? extents_->Clone() : nullptr);
    copy->extensions_ = extensions_;
    copy->recordIndex_ = recordIndex_;
    return copy;
}
