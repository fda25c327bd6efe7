#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "EngineTypes.h"

class IFileNode;
class OpNodeData;

using OpNodeRef = std::shared_ptr<OpNodeData>;
using OpNodeArray = std::vector<OpNodeRef>;

// What a tree builder makes a row from.
struct TreeNodeData {
    int32_t isDirectory = 0;  // 1 for a synthetic row
    int32_t isDeleted = 0;    // 1 for a synthetic row
    int32_t isFileSystem = 0;
    IFileNode* fileNode = nullptr;
};

// One row of the result trees: a found file or folder (its file node belongs
// to the engine), or a synthetic row of the interface (a category, an
// extension, a date root, a year or a month). A row's children are rows, or
// found files (under extension, "other" and month rows); rows come first.
// Rows are made with std::make_shared; a row reaches its parent without
// keeping it alive. Rows that the windows see belong to the main thread.
class OpNodeData : public std::enable_shared_from_this<OpNodeData> {
public:
    enum TreeType : int32_t { kPathTree = 0, kTypeTree = 1, kCreatedTree = 2, kModifiedTree = 3 };

    explicit OpNodeData(const TreeNodeData& data);
    // A row around one found file, as the file list makes them.
    explicit OpNodeData(IFileNode* file);

    // Tree links.
    const OpNodeArray& childRows() const { return rows_; }
    const std::vector<IFileNode*>& childFiles() const { return files_; }
    size_t childCount() const { return rows_.size() + files_.size(); }
    // Takes the rows as the children and becomes their parent.
    void setSubNode(OpNodeArray rows);
    // Appends without touching the row's parent link.
    void addChildObject(OpNodeRef row);
    void addChildObject(IFileNode* file);
    void addChildObjects(const std::vector<IFileNode*>& files);
    void insertChildObject(size_t index, OpNodeRef row);
    void clearChildren();
    OpNodeData* parent() const { return parent_.lock().get(); }
    void setParent(OpNodeData* parent);
    IFileNode* fileNode() const { return fileNode_; }
    int32_t isFileSystem() const { return isFileSystem_; }
    void setType(int32_t type) { type_ = type; }
    int32_t type() const { return type_; }
    void setFadeName(const QString& name) { fadeName_ = name; }
    int32_t isExpandAble() const { return isExpandAble_; }
    void setExpandAble(int32_t expandable) { isExpandAble_ = expandable; }
    int32_t isExpand() const { return isExpand_; }
    void setExpand(int32_t expand) { isExpand_ = expand; }
    // Key times of year and month rows, seconds since 1970.
    int64_t createtime() const { return createTime_; }
    void setCreateTime(int64_t seconds) { createTime_ = seconds; }
    int64_t modifytime() const { return modifyTime_; }
    void setModifyTime(int64_t seconds) { modifyTime_ = seconds; }

    // Derived properties.
    bool isFadeNode() const { return type_ != kPathTree && fileNode_ == nullptr; }
    bool isDirect() const;
    uint64_t size() const;
    QString name() const;
    QString path() const;
    QString createTime() const;
    QString modifyTime() const;
    QString lastAccessTime() const;
    _FILETIME createTimeValue() const;
    _FILETIME modifyTimeValue() const;
    bool isDeleted() const;
    bool IsShow() const;
    void SetShow(int show);
    bool isHasFolderChildren() const;
    int32_t state() const;
    // Icon class: 0 file-system root, 1 other found node, 2 to 8 the
    // categories, 9 a date root, 10 a year or month, 11 any other row.
    int nodeType() const;
    // A category bit's icon class: 2 for documents (1) up to 8 for other (64).
    static int categoryIconClass(unsigned int category);

    // Check marks: a click or a refresh, and the passes up and down.
    void setNodeState(int32_t state);
    void setParentNodeState(int32_t state);
    void SetChildrenNodeState(int32_t state);

    // The same for the found files of file lists.
    static bool isFileNodeDirect(IFileNode* file);
    static bool isFileNodeDeleted(IFileNode* file);
    static int32_t fileNodeState(IFileNode* file);
    // Only 0, 1 and 2 are passed on.
    static void setFileNode(IFileNode* file, int32_t state);
    static QString fileNodeName(IFileNode* file);

private:
    int32_t type_ = kPathTree;
    int32_t isFileSystem_ = 0;
    OpNodeArray rows_;
    std::vector<IFileNode*> files_;
    IFileNode* fileNode_ = nullptr;
    int32_t state_ = 0;
    int32_t isExpandAble_ = 0;
    int32_t isExpand_ = 0;
    int64_t createTime_ = 0;
    int64_t modifyTime_ = 0;
    QString fadeName_;
    std::weak_ptr<OpNodeData> parent_;
};
