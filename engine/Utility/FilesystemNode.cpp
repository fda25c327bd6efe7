#include "FileNode.h"

CFilesystemNode::CFilesystemNode(const char* name, const char* volumeName, _tagSearcherType type,
                                 int64_t nodeId)
    : searcherType_(type), name_(name ? name : ""), volumeName_(volumeName ? volumeName : "") {
    nodeId_ = nodeId;
}

const char* CFilesystemNode::GetFileName() {
    return name_.c_str();
}
int64_t CFilesystemNode::GetFileSize() {
    return 0;
}
uint32_t CFilesystemNode::GetAttribute() {
    return 0;
}
_FILETIME CFilesystemNode::GetCreationTime() {
    return GetModificationTime();
}
_FILETIME CFilesystemNode::GetModificationTime() {
    return 0;
}
_FILETIME CFilesystemNode::GetLastAccessTime() {
    return GetModificationTime();
}
int CFilesystemNode::IsDirectory() {
    return 1;
}
int CFilesystemNode::IsDeleted() {
    return 0;
}
_tagSearcherType CFilesystemNode::GetSearcheType() const {
    return searcherType_;
}
const char* CFilesystemNode::GetVolumeName() const {
    return volumeName_.c_str();
}

CFilesystemNode* CFilesystemNode::Clone() {
    return new CFilesystemNode(name_.c_str(), volumeName_.c_str(), searcherType_, nodeId_);
}

void CFilesystemNode::MarkDeleted() {}
void CFilesystemNode::FilterFileNameByDot() {}
