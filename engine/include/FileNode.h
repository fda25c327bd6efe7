#pragma once

#include <cstdint>
#include <string>

#include "DataRunList.h"
#include "EngineTypes.h"

class IFileReader;

// A found file or folder as every searcher reports it.
class IFileNode {
public:
    IFileNode() = default;
    IFileNode(const IFileNode&) = default;
    IFileNode& operator=(const IFileNode&) = default;
    virtual ~IFileNode() = default;

    virtual int IsNodeShow() const = 0;
    virtual void ShowNode(int show) = 0;
    virtual int64_t GetCurrentNodeID() const = 0;
    virtual int64_t GetParentNodeID() const = 0;
    virtual IFileNode* GetParent() const = 0;
    virtual IFileNode* GetFirstChild() = 0;
    virtual IFileNode* GetNextNode() = 0;
    virtual const char* GetFileName() = 0;
    virtual int64_t GetFileSize() = 0;
    virtual uint32_t GetAttribute() = 0;
    virtual _FILETIME GetCreationTime() = 0;
    virtual _FILETIME GetModificationTime() = 0;
    virtual _FILETIME GetLastAccessTime() = 0;
    virtual int IsDirectory() = 0;
    virtual int IsDeleted() = 0;
    virtual _tagCheckedStatus GetCheckedStatus() = 0;
    virtual void SetCheck(_tagCheckedStatus status) = 0;
    virtual _tagSearcherType GetSearcheType() const = 0;
    virtual const char* GetVolumeName() const = 0;
    virtual bool AddChild(IFileNode* child) = 0;
    virtual bool AddNext(IFileNode* node) = 0;
    virtual void SetParentNodeID(int64_t id) = 0;
    virtual IFileNode* Clone() = 0;
    virtual void Release() = 0;
    virtual void MarkDeleted() = 0;
    virtual IFileReader* CreateCompressFileReader(void* context) = 0;
    virtual uint32_t IsCompressed() const = 0;
    virtual void SetMetaDataSector(int64_t sector) = 0;
    virtual void FilterFileNameByDot() = 0;
    virtual void UpdateFileSize(int64_t size) = 0;
    virtual void UpdateNodeInfo() = 0;
    virtual void SetFileName(const char* name) = 0;
};

// Root folders of result trees are handed out under this type.
class IFilesystemNode : public IFileNode {
public:
    IFilesystemNode() = default;
    IFilesystemNode(const IFilesystemNode&) = default;
    // Holds no data: copies nothing and answers its target.
    IFilesystemNode& operator=(const IFilesystemNode&) { return *this; }
    ~IFilesystemNode() override = default;
};

// Base of every searcher's node: tree links, ids, the packed state word
// (check mark, shown flag, partition index, metadata sector) and the extents.
class CFileNode : public IFilesystemNode {
public:
    // Check 0, shown 1, partition 0xFFFF (none), metadata sector -1 (none).
    static constexpr uint64_t kDefaultStateWord = 0xFFFFFFFFFFFFFF10ull;
    static constexpr uint16_t kNoPartition = 0xFFFF;

    CFileNode();
    // Copies take their own clone of the extent list, so each node releases only what it owns.
    CFileNode(const CFileNode& other);
    CFileNode& operator=(const CFileNode& other);
    ~CFileNode() override;

    int IsNodeShow() const override;
    void ShowNode(int show) override;
    // Ids and links are final so the tree builder's hot loops call them directly.
    int64_t GetCurrentNodeID() const final;
    int64_t GetParentNodeID() const final;
    CFileNode* GetParent() const final;
    CFileNode* GetFirstChild() final;
    CFileNode* GetNextNode() final;
    _tagCheckedStatus GetCheckedStatus() override;
    void SetCheck(_tagCheckedStatus status) override;
    _tagSearcherType GetSearcheType() const override;
    const char* GetVolumeName() const override;
    bool AddChild(IFileNode* child) override;
    bool AddNext(IFileNode* node) override;
    void SetParentNodeID(int64_t id) override;
    CFileNode* Clone() override = 0;
    void Release() override;
    IFileReader* CreateCompressFileReader(void* context) override;
    uint32_t IsCompressed() const override;
    void SetMetaDataSector(int64_t sector) override;
    void FilterFileNameByDot() override = 0;
    void UpdateFileSize(int64_t size) override;
    void UpdateNodeInfo() override;
    void SetFileName(const char* name) override;

    void SetParent(CFileNode* parent);
    IDataRunList* GetDataRunList() const;
    void SetBelongedPartition(uint16_t index);
    uint16_t GetBelongedPartition() const;
    int64_t GetMetadataStartPosition() const;
    uint64_t GetStateWord() const { return state_; }
    uint32_t GetCheckedSum() const { return checkedSum_; }
    uint32_t GetShownChildCount() const { return shownChildren_; }

    bool RemoveChild(CFileNode* child);
    static bool IsLoopedToSelf(CFileNode* node, CFileNode* candidate);
    // The same record reported twice? For FAT folders, a newer folder's
    // properties may be handed to this node on the way.
    bool operator==(const CFileNode& other) const;
    // Takes over the other node's extents and size.
    void MergeNode(CFileNode* other);

    void SetParentStatus(int delta);
    void SetChildStatus(_tagCheckedStatus status, int walkSiblings);
    void ShowParent(int delta);

    // The name without its leading blanks and dots.
    static std::string FilterFileNameByDot(const std::string& name);

protected:
    // FAT nodes override this to copy a newer folder record's properties
    // (name, state, attribute, clusters, times, size) from `newer`.
    virtual void AdoptNewerFolderProperties(CFileNode& newer);

    void SetCheckState(int status);
    void SetShownFlag(int shown);

    CFileNode* firstChild_ = nullptr;
    CFileNode* nextSibling_ = nullptr;
    uint32_t shownChildren_ = 0;
    IDataRunList* dataRunList_ = nullptr;  // owned
    int64_t nodeId_ = -1;
    int64_t parentNodeId_ = -1;
    uint64_t state_ = kDefaultStateWord;
    CFileNode* parent_ = nullptr;
    uint32_t checkedSum_ = 0;
    uint32_t compressed_ = 0;
};

// A folder the tree builder makes: top folders of searchers and missing parents.
class CFilesystemNode : public CFileNode {
public:
    CFilesystemNode(const char* name, const char* volumeName, _tagSearcherType type,
                    int64_t nodeId);

    const char* GetFileName() override;
    int64_t GetFileSize() override;
    uint32_t GetAttribute() override;
    _FILETIME GetCreationTime() override;
    _FILETIME GetModificationTime() override;
    _FILETIME GetLastAccessTime() override;
    int IsDirectory() override;
    int IsDeleted() override;
    _tagSearcherType GetSearcheType() const override;
    const char* GetVolumeName() const override;
    CFilesystemNode* Clone() override;
    void MarkDeleted() override;
    void FilterFileNameByDot() override;
    using CFileNode::FilterFileNameByDot;

private:
    _tagSearcherType searcherType_;
    std::string name_;
    std::string volumeName_;
};
