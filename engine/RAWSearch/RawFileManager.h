#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "LabelRawTreeBuilder.h"
#include "RawFileAnalyser.h"

class CRAWFileNode;
class IDirecotryTreeBuilder;
struct RawScanContext;

// Files the carved files of one category: each becomes a node of the type
// tree (searcher type 34) under a folder named after its extension, or, when
// its content carries a tag, a node of the content-tag tree (type 36).
class CRAWFileManager {
public:
    static constexpr uint32_t kFirstFileId = 10000;

    CRAWFileManager(int64_t parentId, int category, IDirecotryTreeBuilder* builder,
                    RawScanContext& context);
    CRAWFileManager(const CRAWFileManager&) = delete;
    CRAWFileManager& operator=(const CRAWFileManager&) = delete;

    // Files one sized record (which stays the caller's); 1 when filed.
    int AddRawFileInfo(CRawFileInfo* record);
    int AddNode(CRawFileInfo* record, uint32_t attribute, int category, int64_t id);

private:
    // The extension of the node's name in lower case, or empty.
    static std::string GetExt(CRAWFileNode& node);
    CRAWFileNode* CreateParentNode(const std::string& extension);

    uint32_t nextFileId_ = kFirstFileId;
    int64_t parentId_;
    int category_;
    IDirecotryTreeBuilder* builder_;  // not owned
    std::map<std::string, int64_t> folderIds_;
    CLABELRAWTreeBuilder labels_;
    RawScanContext& context_;
};
