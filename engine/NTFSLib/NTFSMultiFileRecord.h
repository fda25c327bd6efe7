#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "NTFSGeometry.h"

class CNTFSDataRunList;
class IStorageDevice;

// One extension record an attribute list names.
struct CAttributeListExtendFileRecordInfo {
    int64_t startSector = -1;  // -1 until located, and when it cannot be
    int64_t recordNumber = 0;
};
using ExtendFileRecordInfoList = std::vector<CAttributeListExtendFileRecordInfo>;

// Where the master file table lies: what locating a record by its number needs.
struct NTFSMFTLocation {
    IStorageDevice* device = nullptr;
    NTFSGeometry geometry;
    const CNTFSDataRunList* runs = nullptr;

    // The device sector where record `number` starts, or -1.
    int64_t GetFileRecordStartSectorfromMFTNumber(int64_t number) const;
};

// An attribute found in a base record or one of its extension records.
struct CFoundAttribute {
    const uint8_t* attribute = nullptr;
    int remaining = 0;    // bytes of its record from the attribute on
    uint32_t offset = 0;  // from the start of its record
    int64_t sector = -1;  // the start sector of its record
};

// A base FILE record and the extension records its attribute list names,
// searched as one record. Extension records are read when first needed.
class CNTFSMultiFileRecord {
public:
    // The largest attribute list read (NTFS keeps them far below this).
    static constexpr int64_t kMaxAttributeListBytes = 256 * 1024;

    // `record` is `size` bytes at device sector `sector`; `extensions` may be empty.
    CNTFSMultiFileRecord(const uint8_t* record, int size, int64_t sector, IStorageDevice* device,
                         const ExtendFileRecordInfoList& extensions);
    ~CNTFSMultiFileRecord();
    CNTFSMultiFileRecord(const CNTFSMultiFileRecord&) = delete;
    CNTFSMultiFileRecord& operator=(const CNTFSMultiFileRecord&) = delete;

    // Records are at most this long (the header test allows no more).
    static constexpr int kMaxRecordBytes = 4096;

    bool IsValid() const { return valid_; }
    bool IsinUse() const;
    int64_t GetMainFileRecordIndex() const;
    const uint8_t* GetMainFileRecord() const { return base_.data(); }
    int GetRecordSize() const { return size_; }
    int64_t GetMainFileRecordSector() const { return sector_; }

    // The index-th (0-based) attribute of the type, counting the base record's
    // first, then each extension record's in list order.
    CFoundAttribute FindAttibute(uint32_t type, uint32_t index);

    // The extension records of a base record, located on the device; records
    // that cannot be located and the base record itself are left out.
    static ExtendFileRecordInfoList InitExtendFileRecord(const uint8_t* record, int size,
                                                         int64_t sector,
                                                         const NTFSMFTLocation& mft);
    // The records the attribute list names, not located; empty without a list,
    // with a list that cannot be read whole, or one larger than the cap.
    static ExtendFileRecordInfoList GetExtendFileRecordInfoList(const uint8_t* record, int size,
                                                                const NTFSMFTLocation& mft);
    // Reads a non-resident attribute's clusters; false when a run reaches past
    // `bytes` or a read fails.
    static bool GetAttributeDatafromNonResidentAttributeBuffer(const uint8_t* runs, int length,
                                                               uint8_t* out, size_t bytes,
                                                               const NTFSMFTLocation& mft);

private:
    struct Extension {
        CAttributeListExtendFileRecordInfo info;
        std::vector<uint8_t> buffer;  // undone; empty until read or when unusable
        bool read = false;
    };
    const uint8_t* ExtensionBuffer(Extension& extension);
    bool IsExtensionOfBase(const uint8_t* record) const;

    std::array<uint8_t, kMaxRecordBytes> base_;  // undone; no heap copy per record
    bool valid_ = false;
    int size_ = 0;
    int64_t sector_ = -1;
    IStorageDevice* device_ = nullptr;
    std::vector<Extension> extensions_;
};
