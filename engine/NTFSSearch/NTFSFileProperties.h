#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "EngineTypes.h"
#include "FileSystemSearcher.h"
#include "NTFSExtentLists.h"
#include "NTFSMultiFileRecord.h"
#include "NTFSName.h"

// Attribute word bits of a found NTFS file.
enum : uint16_t {
    kNTFSAttributeReadOnly = 0x01,
    kNTFSAttributeHidden = 0x02,
    kNTFSAttributeSystem = 0x04,
    kNTFSAttributeDirectory = 0x10,
    kNTFSAttributeArchive = 0x20,
    kNTFSAttributeEncrypted = 0x40,
    kNTFSAttributeCompressed = 0x800,
};
// State bit 0: the record is not in use.
constexpr uint16_t kNTFSStateDeleted = 0x01;

// What the builder fills from one FILE record.
struct CNTFSFilePropertiesStruct {
    std::string name;  // UTF-8
    int64_t size = 0;
    uint16_t attribute = 0;
    _FILETIME creationTime = 0;
    _FILETIME modificationTime = 0;
    _FILETIME lastAccessTime = 0;
    uint8_t state = 0;
    int64_t recordSector = 0;
    std::unique_ptr<CCompressedDataRunList> extents;
    int64_t recordIndex = 0;
};

// The facts of one found NTFS file; its extents are kept packed.
class CNTFSFileProperties : public IFileProperties {
public:
    static CNTFSFileProperties* Create() { return new CNTFSFileProperties(); }
    static void Destory(CNTFSFileProperties* properties) { delete properties; }

    // Takes the name and the extents; the extension list is left as it is.
    void Init(CNTFSFilePropertiesStruct&& record);

    uint16_t GetFileNameLength() override { return static_cast<uint16_t>(name_.size()); }
    void SetFileName(const char* name) override;
    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return attribute_; }
    std::string GetRawFileCreateTime() override { return std::string(); }
    _FILETIME GetCreationTime() override { return creationTime_; }
    _FILETIME GetModificationTime() override { return modificationTime_; }
    _FILETIME GetLastAccessTime() override { return lastAccessTime_; }
    uint16_t GetState() override { return state_ & 0xFF; }
    void SetState(uint16_t state) override { state_ = state; }
    // A new unpacked list the caller releases, or null.
    IDataRunList* GetDataRunList() override;
    IFileProperties* Clone() override;

    // Replaces the packed extents (the caller keeps `list`); null is ignored.
    void SetDataRunList(IDataRunList* list);
    void SetFileSize(int64_t size) { size_ = size; }
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }
    int64_t GetFileRecordStartSector() const { return recordSector_; }
    void SetFileRecordStartSector(int64_t sector) { recordSector_ = sector; }
    const ExtendFileRecordInfoList& GetExtendFileRecordInfoList() const { return extensions_; }
    void SetExtendFileRecordInfoList(ExtendFileRecordInfoList list) {
        extensions_ = std::move(list);
    }
    int64_t GetFileRecordIndex() const { return recordIndex_; }
    bool IsResidentData() const { return extents_ && extents_->GetDataOffset() != 0; }

private:
    std::string name_;
    int64_t size_ = 0;
    uint16_t attribute_ = 0;
    _FILETIME creationTime_ = 0;
    _FILETIME modificationTime_ = 0;
    _FILETIME lastAccessTime_ = 0;
    uint16_t state_ = 0;
    int64_t recordSector_ = 0;
    std::unique_ptr<CCompressedDataRunList> extents_;
    ExtendFileRecordInfoList extensions_;
    int64_t recordIndex_ = 0;
};

// Builds the properties of a file from its FILE record and extension records.
class CNTFSFilePropertiesBuilder {
public:
    // Null without a usable file name. `parent` gets the parent folder's record
    // number; `names` (optional) is the scan's name converter.
    static CNTFSFileProperties* BuildFileProperties(int64_t recordSector,
                                                    CNTFSMultiFileRecord& record,
                                                    int64_t bytesPerCluster, int64_t* parent,
                                                    NTFSNameConverter* names = nullptr);
    static bool BuildFilePropertiesFrom0x30(CNTFSMultiFileRecord& record,
                                            CNTFSFilePropertiesStruct& out, int64_t* parent,
                                            NTFSNameConverter* names = nullptr);
    static void BuildFilePropertiesFrom0x10(CNTFSMultiFileRecord& record,
                                            CNTFSFilePropertiesStruct& out);
    static void BuildFilePropertiesFrom0x80(CNTFSMultiFileRecord& record,
                                            CNTFSFilePropertiesStruct& out,
                                            int64_t bytesPerCluster);
    // A negative size becomes the clusters' bytes for non-resident extents.
    static void AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(
        CNTFSFileProperties* properties, uint32_t bytesPerCluster);
};
