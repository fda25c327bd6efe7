#pragma once

#include <cstdint>
#include <string>

#include "EngineTypes.h"
#include "FileSystemSearcher.h"

struct tagFATDIRENTRY;

// State bits of a FAT property record.
constexpr uint16_t kFATStateDeleted = 0x01;
constexpr uint16_t kFATStateMadeUpFolder = 0x08;

// The file-system facts of one FAT directory entry.
struct CFATFilePropertiesStruct {
    char* name = nullptr;  // owned, UTF-8
    uint16_t nameLength = 0;
    int64_t size = 0;
    uint16_t attribute = 0;
    _FILETIME creationTime = 0;
    _FILETIME modificationTime = 0;
    _FILETIME lastAccessTime = 0;
    uint8_t state = 0;
    int64_t firstCluster = 0;
    int64_t parentFirstCluster = 0;
    int64_t metadataSector = 0;
    IDataRunList* dataRunList = nullptr;  // owned
};

class CFATFileProperties : public IFileProperties {
public:
    CFATFileProperties() = default;
    CFATFileProperties(const CFATFileProperties&) = delete;
    ~CFATFileProperties() override;

    uint16_t GetFileNameLength() override { return record_.nameLength; }
    // Stores a copy of the name; null only frees the old one.
    void SetFileName(const char* name) override;
    const char* GetFileName() override { return record_.name; }
    int64_t GetFileSize() override { return record_.size; }
    uint32_t GetAttribute() override { return record_.attribute; }
    std::string GetRawFileCreateTime() override { return std::string(); }
    _FILETIME GetCreationTime() override { return record_.creationTime; }
    _FILETIME GetModificationTime() override { return record_.modificationTime; }
    _FILETIME GetLastAccessTime() override { return record_.lastAccessTime; }
    uint16_t GetState() override { return record_.state; }
    void SetState(uint16_t state) override { record_.state = static_cast<uint8_t>(state); }
    IDataRunList* GetDataRunList() override { return record_.dataRunList; }
    // A copy with its own name; the copy carries no extent list.
    IFileProperties* Clone() override;

    void SetFileSize(int64_t size) { record_.size = size; }
    void SetAttribute(uint16_t attribute) { record_.attribute = attribute; }
    void SetCreationTime(_FILETIME time) { record_.creationTime = time; }
    void SetCreationTime(uint16_t date, uint16_t time);
    void SetCreationTime() { record_.creationTime = 0; }
    void SetModificationTime(_FILETIME time) { record_.modificationTime = time; }
    void SetModificationTime(uint16_t date, uint16_t time);
    void SetModificationTime() { record_.modificationTime = 0; }
    void SetLastAccessTime(_FILETIME time) { record_.lastAccessTime = time; }
    void SetLastAccessTime(uint16_t date);
    void SetLastAccessTime() { record_.lastAccessTime = 0; }
    void SetDataRunList(IDataRunList* list);
    int64_t GetFirstClusterNum() const { return record_.firstCluster; }
    void SetFirstClusterNum(int64_t cluster) { record_.firstCluster = cluster; }
    int64_t GetParentFirstClusterNum() const { return record_.parentFirstCluster; }
    void SetParentFirstClusterNum(int64_t cluster) { record_.parentFirstCluster = cluster; }
    int64_t GetMetaDataSector() const { return record_.metadataSector; }
    void SetMetaDataSector(int64_t sector) { record_.metadataSector = sector; }

    static CFATFileProperties* Create() { return new CFATFileProperties(); }
    static void Destory(CFATFileProperties* properties) { delete properties; }

    // Name, state, attribute, clusters, times and size (not the metadata sector
    // nor the extents).
    CFATFileProperties& operator=(const CFATFileProperties& other);

private:
    CFATFilePropertiesStruct record_;
};

// Property records from the 32-byte entries of one file.
class CFATFilePropertiesBuilder {
public:
    // The long-name pieces and the short entry of one file; null without a short
    // entry or when the gathered long name reaches 2047 bytes.
    static CFATFileProperties* BuildFATFilePropertyFromDirEntryBuffer(const uint8_t* entries,
                                                                      uint32_t length);
    static CFATFileProperties* BuildFATFilePropertyFromDirEntry(const char* name,
                                                                const tagFATDIRENTRY* entry);
};
