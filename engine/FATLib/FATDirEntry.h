#pragma once

#include <cstdint>

// One 32-byte FAT directory entry as it lies on disk.
#pragma pack(push, 1)
struct tagFATDIRENTRY {
    uint8_t name[8];
    uint8_t extension[3];
    uint8_t attribute;
    uint8_t reserved;
    uint8_t creationTenths;
    uint16_t creationTime;
    uint16_t creationDate;
    uint16_t lastAccessDate;
    uint16_t firstClusterHigh;
    uint16_t writeTime;
    uint16_t writeDate;
    uint16_t firstClusterLow;
    uint32_t size;
};
#pragma pack(pop)
static_assert(sizeof(tagFATDIRENTRY) == 32);

constexpr uint32_t kFATDirEntrySize = 32;
// A FAT folder holds at most this many entries; a chain that runs on past
// them is a damaged FAT.
constexpr uint32_t kFATMaxFolderEntries = 65536;
constexpr uint8_t kFATErasedMark = 0xE5;
constexpr uint8_t kFATAttributeVolumeLabel = 0x08;
constexpr uint8_t kFATAttributeDirectory = 0x10;
constexpr uint8_t kFATAttributeLongName = 0x0F;
// Bits of the reserved byte: the short name's base or extension is in lower case.
constexpr uint8_t kFATLowerCaseName = 0x08;
constexpr uint8_t kFATLowerCaseExtension = 0x10;

// A view of one directory entry in the caller's buffer. Reads go through the
// entry bytes, so the view works on any buffer alignment.
class CTempFATDirEntry {
public:
    explicit CTempFATDirEntry(uint8_t* entry);

    // Moves to another entry; answers its strict validity.
    bool InitFromBuffer(uint8_t* entry);
    // lenient != 0 skips the first-cluster/size agreement test.
    bool IsValidFATDirEntry(int lenient) const;

    bool IsErased() const { return entry_[0] == kFATErasedMark; }
    bool IsNeverUsed() const { return entry_[0] == 0; }
    bool IsDirectory() const { return (Attribute() & kFATAttributeDirectory) != 0; }
    bool IsVolumeLabel() const { return (Attribute() & kFATAttributeVolumeLabel) != 0; }
    bool IsLongFileNameEntry() const { return Attribute() == kFATAttributeLongName; }
    // The "." (the folder itself) and ".." (its parent) entries that open
    // every sub-folder.
    bool IsSelfEntry() const { return IsNamedFolder(".          "); }
    bool IsParentEntry() const { return IsNamedFolder("..         "); }
    uint8_t Attribute() const { return entry_[11]; }
    const uint8_t* GetBytes() const { return entry_; }
    tagFATDIRENTRY* GetEntry() const { return reinterpret_cast<tagFATDIRENTRY*>(entry_); }

    // The entry when it is a long-name piece, else null.
    uint8_t* GetLongFileNameIndex() const { return IsLongFileNameEntry() ? entry_ : nullptr; }
    // The piece's characters as UTF-8 ("_" when empty); always true.
    bool GetLongFileName(char* out, int outSize) const;
    // The 8.3 name: "#" for an erased first byte, "_" for bytes with the high bit set.
    void GetShortName(char* out, int noDot) const;

    uint64_t GetFirstClusterNO() const;
    // Writes the cluster into the entry bytes themselves (both words).
    void SetFirstClusterNO(uint64_t cluster);
    uint32_t GetSize() const;
    bool IsFilenameEqual(const uint8_t* name8, const uint8_t* extension3) const;

    // The first two entries of `sector` are "." and "..".
    static bool StartsWithDotEntries(const uint8_t* sector);

    static bool IsValidFileName(const uint8_t* name11);
    static bool IsValidLongFileName(const char* name);
    static bool IsValidDate(uint16_t date);
    static bool IsValidTime(uint16_t time);

private:
    bool IsNamedFolder(const char* name11) const;

    uint8_t* entry_;
};

// Short-name buffers need 8 + 1 + 3 + 1 bytes.
constexpr int kFATShortNameBufferSize = 13;
