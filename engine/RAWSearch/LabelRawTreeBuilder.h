#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "RawFileAnalyser.h"

class CRAWFileNode;
class IDirecotryTreeBuilder;
struct RawScanContext;

// The content-tag tree (searcher type 36): carved files grouped by what their
// content names, under one key folder per tag kind ("Artists", "Camera" ...),
// for Office documents one more level by application, then one folder per
// tag value.
class CLABELRAWTreeBuilder {
public:
    static constexpr int64_t kRootId = 1000;

    explicit CLABELRAWTreeBuilder(RawScanContext& context) : context_(context) {}

    // True when this tree has a place for the record's tag: a kind from 0 to
    // 5, and for Office documents one of the six Office types.
    static bool CanPlace(CRawFileInfo& record);
    // Files the record under its tag; answers the builder's answer for the
    // file (1 taken, 0 refused), or 1 without filing when there is no place.
    int InsertNodeToTree(CRawFileInfo* record, IDirecotryTreeBuilder* builder);

    // The value folder's key: the tag value and a suffix by tag kind.
    static std::string GetKeyName(CRawFileInfo& record);

private:
    struct NewFolder {
        CRAWFileNode* node;
        std::string key;  // where it is entered in the value folders
        bool isKey;
        RAW_FILE_TAG tag;  // of a key folder
    };

    int64_t InsertTagKeyNodeToTree(RAW_FILE_TAG tag);
    int64_t InsertSubTagNodeToTree(int64_t parentId, CRawFileInfo& record);
    int64_t InsertOfficeNode(int64_t keyFolderId, CRawFileInfo& record);
    CRAWFileNode* MakeDirNode(int64_t parentId, int64_t nodeId, const std::string& name);
    void ForgetNewFolders();

    RawScanContext& context_;
    std::map<int32_t, int64_t> keyFolders_;        // tag kind -> folder id
    std::map<std::string, int64_t> valueFolders_;  // key name -> folder id
    std::vector<NewFolder> newFolders_;            // made for the current record, newest first
};
