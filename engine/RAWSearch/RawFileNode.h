#pragma once

#include <cstdint>
#include <string>

#include "FileNode.h"
#include "FileSystemSearcher.h"
#include "RawFileAnalyser.h"

// The property record of one carved file or raw-tree folder.
class CRAWFileProperties : public IFileProperties {
public:
    static constexpr uint32_t kMaskFlag = 0x1CF;
    static constexpr uint32_t kPropertiesType = 3;

    static CRAWFileProperties* Create();
    static void Destory(CRAWFileProperties* properties);
    ~CRAWFileProperties() override;

    uint16_t GetFileNameLength() override { return static_cast<uint16_t>(name_.size() + 1); }
    void SetFileName(const char*) override {}
    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return static_cast<int64_t>(size_); }
    uint32_t GetAttribute() override { return attribute_; }
    std::string GetRawFileCreateTime() override { return timeText_; }
    _FILETIME GetCreationTime() override { return 0; }
    _FILETIME GetModificationTime() override { return 0; }
    _FILETIME GetLastAccessTime() override { return 0; }
    uint16_t GetState() override { return state_; }
    void SetState(uint16_t state) override { state_ = static_cast<uint8_t>(state); }
    IDataRunList* GetDataRunList() override { return dataRuns_; }
    IFileProperties* Clone() override { return this; }
    uint8_t GetCheckState() const { return checkState_; }
    void SetCheckState(uint8_t state) { checkState_ = state; }
    uint32_t GetMaskFlag() const { return kMaskFlag; }
    uint8_t GetMatchState() const { return matchState_; }
    int SetMatchState(int state) {
        matchState_ = static_cast<uint8_t>(state);
        return 1;
    }

    // Size, time text and the one extent {start sector, size in 512-byte units}.
    bool InitRawFileProperties(CRawFileInfo& record);
    void SetRawFileName(const char* name);
    void SetRawFileTime(std::string timeText) { timeText_ = std::move(timeText); }
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }
    uint32_t GetFilePropertyiesType() const { return kPropertiesType; }

private:
    CRAWFileProperties() = default;

    std::string name_;
    uint64_t size_ = 0;
    uint16_t attribute_ = 0;
    uint8_t checkState_ = 0;
    uint8_t matchState_ = 0;
    uint8_t state_ = 0;
    std::string timeText_;
    IDataRunList* dataRuns_ = nullptr;  // owned
};

// A carved file or a folder of the raw result trees.
class CRAWFileNode : public CFileNode {
public:
    static constexpr uint32_t kFileAttribute = 32;
    static constexpr uint32_t kFolderAttribute = 16;
    // Longest node name: the properties count names in 8 bits with their NUL.
    static constexpr size_t kMostNameBytes = 254;

    CRAWFileNode() = default;
    ~CRAWFileNode() override;
    CRAWFileNode(const CRAWFileNode&) = delete;
    CRAWFileNode& operator=(const CRAWFileNode&) = delete;

    // Fills the node from the record: a folder takes the record's name, a
    // file the name `fileName` made for it (BuildFileName).
    bool Initilaize(CRawFileInfo* record, uint32_t attribute, int64_t parentId, int64_t nodeId,
                    const std::string& fileName = std::string());

    // "<prefix><NNN>.<EXT>", or "FILE<NNN>.<EXT>" without a usable prefix.
    static std::string BuildFileName(RAW_FILE_TYPE type, const std::string& prefix, int32_t number);
    // The local time a time text of six numbers stands for; 0 when it has fewer.
    static _FILETIME ParseTimeText(const std::string& text);

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override;
    uint32_t GetAttribute() override;
    _FILETIME GetCreationTime() override { return GetLastAccessTime(); }
    _FILETIME GetModificationTime() override { return GetLastAccessTime(); }
    _FILETIME GetLastAccessTime() override;
    int IsDirectory() override;
    int IsDeleted() override { return 0; }
    // Raw nodes are never copied: the node stands for itself.
    CRAWFileNode* Clone() override { return this; }
    void MarkDeleted() override {}
    void FilterFileNameByDot() override {}
    using CFileNode::FilterFileNameByDot;

    CRAWFileProperties* GetProperties() const { return properties_; }

private:
    CRAWFileProperties* properties_ = nullptr;  // owned
    std::string name_;
};
