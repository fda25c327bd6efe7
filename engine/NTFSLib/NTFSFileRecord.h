#pragma once

#include <cstdint>
#include <vector>

// A FILE record of the master file table. The buffer functions work on `size`
// bytes: the record size the boot sector gives (1024 or 4096 in practice);
// every attribute walk stays inside them.
class CNTFSFileRecord {
public:
    static constexpr int kMinimumSize = 1024;
    static constexpr uint32_t kNoAttribute = 0xFFFFFFFF;

    // A view of `size` bytes: a private copy when `copy` is set, else the
    // caller's buffer, whose update sequence is undone for the view's lifetime.
    // A buffer that fails IsValid leaves the view invalid.
    CNTFSFileRecord(uint8_t* buffer, int size, bool copy);
    ~CNTFSFileRecord();
    CNTFSFileRecord(const CNTFSFileRecord&) = delete;
    CNTFSFileRecord& operator=(const CNTFSFileRecord&) = delete;

    bool IsValid() const { return record_ != nullptr; }
    uint8_t* GetBuffer() const { return record_; }
    int GetSize() const { return size_; }
    const uint8_t* FindAttibute(uint32_t type, uint32_t index) const;

    // Header test, update sequence, attribute check; the buffer leaves as it came.
    static bool IsValid(uint8_t* buffer, int size);
    static bool IsValidUpdateSequence(const uint8_t* buffer, int size);
    static void UnfixupFileRecord(uint8_t* buffer, int size);
    static void FixupFileRecord(uint8_t* buffer, int size);
    static bool CheckAttibutes(const uint8_t* buffer, int size);

    // Attribute walk (on an undone record): the index-th (0-based) attribute
    // of the type, or null.
    static const uint8_t* FindAttibute(const uint8_t* buffer, int size, uint32_t type,
                                       uint32_t index);
    static uint32_t GetAttributeOffset(const uint8_t* buffer, int size, uint32_t type,
                                       uint32_t index);
    static uint32_t GetAttibuteCountofSpecifiedType(const uint8_t* buffer, int size, uint32_t type);
    static bool HasAttributeList(const uint8_t* buffer, int size);

    static bool IsFolder(const uint8_t* buffer);
    static bool IsinUse(const uint8_t* buffer);
    static bool IsExtendFileRecord(const uint8_t* buffer);
    static int64_t GetBaseFileRecordNumber(const uint8_t* buffer);
    static uint16_t GetFirstAttibuteOffset(const uint8_t* buffer);
    static uint32_t GetLength(const uint8_t* buffer);
    static uint32_t GetAllocatedSize(const uint8_t* buffer);
    static uint64_t GetLogFileSequenceNumber(const uint8_t* buffer);
    // Records written by newer systems carry their own number at 44.
    static bool HasXPNumberOfthisMFTRecord(const uint8_t* buffer);
    static uint32_t GetXPNumberOfthisMFTRecord(const uint8_t* buffer);

private:
    uint8_t* record_ = nullptr;
    std::vector<uint8_t> copy_;
    int size_ = 0;
    bool undone_ = false;
};

// The header of a FILE record: the bytes before its first attribute.
class CNTFSFileRecordHeader {
public:
    // Keeps a copy of the header when it passes IsValid; answers the verdict.
    bool InitFromBuffer(const uint8_t* buffer, int size);
    const std::vector<uint8_t>& GetHeader() const { return header_; }

    // Magic, update-sequence geometry and allocated size (at most 4096, whole KiB).
    static bool IsValid(const uint8_t* buffer, int size);

private:
    std::vector<uint8_t> header_;
};
