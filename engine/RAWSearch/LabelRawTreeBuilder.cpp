#include "LabelRawTreeBuilder.h"

#include "DirectoryTreeBuilder.h"
#include "RawFileNode.h"
#include "RawScanContext.h"

namespace {

struct KeyFolder {
    int64_t id;
    const char* name;
};

// Key folders of tag kinds 0 to 5.
constexpr KeyFolder kKeyFolders[] = {
    {-14, "Artists"}, {-15, "Camera"}, {-13, "Office"}, {-8, "MOV"}, {-7, "PDF"}, {-6, "AI"},
};

struct OfficeApplication {
    RAW_FILE_TYPE first;
    RAW_FILE_TYPE second;
    int64_t id;
    const char* name;
};

constexpr OfficeApplication kOfficeApplications[] = {
    {23, 73, -12, "Word"},
    {71, 74, -11, "Excel"},
    {52, 75, -10, "PowerPoint"},
};

const OfficeApplication* OfficeApplicationOf(RAW_FILE_TYPE type) {
    for (const OfficeApplication& application : kOfficeApplications) {
        if (type == application.first || type == application.second)
            return &application;
    }
    return nullptr;
}

}  // namespace

bool CLABELRAWTreeBuilder::CanPlace(CRawFileInfo& record) {
    RAW_FILE_TAG tag = RAW_FILE_TAG_NONE;
    std::string value;
    record.GetRawFileTagAndValue(tag, value);
    if (tag < RAW_FILE_TAG_ARTIST || tag > RAW_FILE_TAG_AI)
        return false;
    return tag != RAW_FILE_TAG_OFFICE || OfficeApplicationOf(record.fileType) != nullptr;
}

std::string CLABELRAWTreeBuilder::GetKeyName(CRawFileInfo& record) {
    RAW_FILE_TAG tag = RAW_FILE_TAG_NONE;
    std::string value;
    record.GetRawFileTagAndValue(tag, value);
    switch (tag) {
        case RAW_FILE_TAG_ARTIST:
            return value + "_MP3";
        case RAW_FILE_TAG_CAMERA:
            return value + "_CAMERA";
        case RAW_FILE_TAG_OFFICE: {
            const OfficeApplication* application = OfficeApplicationOf(record.fileType);
            return application == nullptr ? value : value + "_" + application->name;
        }
        case RAW_FILE_TAG_MOVIE:
            return value + "_MOV";
        case RAW_FILE_TAG_PDF:
            return value + "_PDF";
        default:
            return value;
    }
}

CRAWFileNode* CLABELRAWTreeBuilder::MakeDirNode(int64_t parentId, int64_t nodeId,
                                                const std::string& name) {
    CRawFileInfo folder;
    folder.startSector = -1;
    folder.SetRawFileName(name);
    auto* node = new CRAWFileNode();
    if (!node->Initilaize(&folder, CRAWFileNode::kFolderAttribute, parentId, nodeId)) {
        node->Release();
        return nullptr;
    }
    return node;
}

int64_t CLABELRAWTreeBuilder::InsertTagKeyNodeToTree(RAW_FILE_TAG tag) {
    if (tag < RAW_FILE_TAG_ARTIST || tag > RAW_FILE_TAG_AI)
        return 0;
    const KeyFolder& key = kKeyFolders[tag];
    CRAWFileNode* node = MakeDirNode(kRootId, key.id, key.name);
    if (node == nullptr)
        return 0;
    newFolders_.insert(newFolders_.begin(), {node, std::string(), true, tag});
    keyFolders_[tag] = key.id;
    return key.id;
}

int64_t CLABELRAWTreeBuilder::InsertOfficeNode(int64_t keyFolderId, CRawFileInfo& record) {
    const OfficeApplication* application = OfficeApplicationOf(record.fileType);
    if (application == nullptr)
        return 0;
    const auto found = valueFolders_.find(application->name);
    if (found != valueFolders_.end())
        return found->second;
    CRAWFileNode* node = MakeDirNode(keyFolderId, application->id, application->name);
    if (node == nullptr)
        return 0;
    newFolders_.insert(newFolders_.begin(), {node, application->name, false, RAW_FILE_TAG_NONE});
    valueFolders_[application->name] = application->id;
    return application->id;
}

int64_t CLABELRAWTreeBuilder::InsertSubTagNodeToTree(int64_t parentId, CRawFileInfo& record) {
    RAW_FILE_TAG tag = RAW_FILE_TAG_NONE;
    std::string value;
    record.GetRawFileTagAndValue(tag, value);
    if (tag == RAW_FILE_TAG_OFFICE) {
        parentId = InsertOfficeNode(parentId, record);
        if (parentId == 0)
            return 0;
    }
    const int64_t id = context_.nextLabelId++;
    CRAWFileNode* node = MakeDirNode(parentId, id, value);
    if (node == nullptr)
        return 0;
    const std::string key = GetKeyName(record);
    newFolders_.insert(newFolders_.begin(), {node, key, false, RAW_FILE_TAG_NONE});
    valueFolders_[key] = id;
    return id;
}

void CLABELRAWTreeBuilder::ForgetNewFolders() {
    for (NewFolder& folder : newFolders_) {
        if (folder.isKey)
            keyFolders_.erase(folder.tag);
        else
            valueFolders_.erase(folder.key);
        folder.node->Release();
    }
    newFolders_.clear();
}

int CLABELRAWTreeBuilder::InsertNodeToTree(CRawFileInfo* record, IDirecotryTreeBuilder* builder) {
    if (record == nullptr || builder == nullptr)
        return 0;
    RAW_FILE_TAG tag = RAW_FILE_TAG_NONE;
    std::string value;
    record->GetRawFileTagAndValue(tag, value);
    if (tag == RAW_FILE_TAG_NONE)
        return 0;
    newFolders_.clear();

    int64_t parentId = 0;
    const auto key = keyFolders_.find(tag);
    const int64_t keyId = key != keyFolders_.end() ? key->second : InsertTagKeyNodeToTree(tag);
    if (keyId == 0)
        return 1;
    const auto folder = valueFolders_.find(GetKeyName(*record));
    parentId =
        folder != valueFolders_.end() ? folder->second : InsertSubTagNodeToTree(keyId, *record);
    if (parentId == 0) {
        ForgetNewFolders();
        return 1;
    }

    const int64_t id = context_.nextLabelId++;
    auto* file = new CRAWFileNode();
    const std::string name = CRAWFileNode::BuildFileName(record->fileType, record->GetRawFileName(),
                                                         context_.NextFileNumber(record->fileType));
    if (!file->Initilaize(record, CRAWFileNode::kFileAttribute, parentId, id, name) ||
        !builder->AddNode(file, SEARCHER_RAW_BY_TAG)) {
        // A file the scan does not want leaves no empty folders behind.
        file->Release();
        ForgetNewFolders();
        return 0;
    }
    int answer = 1;
    for (NewFolder& made : newFolders_) {
        answer = builder->AddNode(made.node, SEARCHER_RAW_BY_TAG) ? 1 : 0;
        if (answer == 0)
            made.node->Release();
    }
    newFolders_.clear();
    return answer;
}
