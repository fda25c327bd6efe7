#include "RawFileManager.h"

#include <cctype>

#include "DirectoryTreeBuilder.h"
#include "RawFileNode.h"
#include "RawScanContext.h"

CRAWFileManager::CRAWFileManager(int64_t parentId, int category, IDirecotryTreeBuilder* builder,
                                 RawScanContext& context)
    : parentId_(parentId),
      category_(category),
      builder_(builder),
      labels_(context),
      context_(context) {}

int CRAWFileManager::AddRawFileInfo(CRawFileInfo* record) {
    if (record == nullptr)
        return 0;
    return AddNode(record, CRAWFileNode::kFileAttribute, category_, nextFileId_++);
}

std::string CRAWFileManager::GetExt(CRAWFileNode& node) {
    const std::string name = node.GetFileName();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    std::string extension = name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

CRAWFileNode* CRAWFileManager::CreateParentNode(const std::string& extension) {
    CRawFileInfo folder;
    folder.startSector = -1;
    folder.SetRawFileName(extension);
    auto* node = new CRAWFileNode();
    const int64_t id = context_.nextTypeFolderId++;
    if (!node->Initilaize(&folder, CRAWFileNode::kFolderAttribute, parentId_, id)) {
        node->Release();
        return nullptr;
    }
    folderIds_[extension] = id;
    return node;
}

int CRAWFileManager::AddNode(CRawFileInfo* record, uint32_t attribute, int category, int64_t id) {
    if (record == nullptr)
        return 0;
    RAW_FILE_TAG tag = RAW_FILE_TAG_NONE;
    std::string value;
    record->GetRawFileTagAndValue(tag, value);
    // A tag the content-tag tree has no place for leaves the file in the type
    // tree rather than in neither.
    if ((tag != RAW_FILE_TAG_NONE || !value.empty()) && CLABELRAWTreeBuilder::CanPlace(*record))
        return labels_.InsertNodeToTree(record, builder_);
    if (builder_ == nullptr)
        return 0;

    auto* node = new CRAWFileNode();
    const std::string name = CRAWFileNode::BuildFileName(record->fileType, record->GetRawFileName(),
                                                         context_.NextFileNumber(record->fileType));
    if (!node->Initilaize(record, attribute, category, id, name)) {
        node->Release();
        return 0;
    }
    const std::string extension = GetExt(*node);
    CRAWFileNode* folder = nullptr;
    const auto known = folderIds_.find(extension);
    if (known != folderIds_.end()) {
        node->SetParentNodeID(known->second);
    } else {
        folder = CreateParentNode(extension);
        if (folder == nullptr) {
            node->Release();
            return 0;
        }
        node->SetParentNodeID(folder->GetCurrentNodeID());
    }
    if (!builder_->AddNode(node, SEARCHER_RAW_BY_TYPE)) {
        // A file the scan does not want: its new folder stays out of the tree.
        node->Release();
        if (folder != nullptr) {
            folderIds_.erase(extension);
            folder->Release();
        }
        return 0;
    }
    if (folder != nullptr && !builder_->AddNode(folder, SEARCHER_RAW_BY_TYPE)) {
        folder->Release();
        return 0;
    }
    return 1;
}
