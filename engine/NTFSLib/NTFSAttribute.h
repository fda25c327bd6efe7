#pragma once

#include <cstdint>

#include "EngineTypes.h"

// Attribute types the searchers read.
enum : uint32_t {
    kNTFSStandardInformation = 0x10,
    kNTFSAttributeList = 0x20,
    kNTFSFileName = 0x30,
    kNTFSVolumeName = 0x60,
    kNTFSData = 0x80,
    kNTFSIndexRoot = 0x90,
    kNTFSIndexAllocation = 0xA0,
    kNTFSAttributeEnd = 0xFFFFFFFF,
};

// One attribute inside a FILE record. Every accessor past the type and length
// assumes the attribute passed IsValid against the bytes left in its record,
// which bounds each field it reads by the attribute.
class CNTFSFileRecordAttribute {
public:
    static uint32_t GetType(const uint8_t* a);
    static uint32_t GetLength(const uint8_t* a);
    static bool IsResident(const uint8_t* a) { return a[8] == 0; }
    static bool IsNamed(const uint8_t* a) { return a[9] != 0; }
    static uint16_t GetOffsetToName(const uint8_t* a);
    static uint8_t GetNameLength(const uint8_t* a) { return a[9]; }
    static uint16_t GetFlags(const uint8_t* a);
    static uint16_t GetID(const uint8_t* a);
    static bool IsCompressed(const uint8_t* a) { return (GetFlags(a) & 0x0001) != 0; }
    static bool IsEncrypted(const uint8_t* a) { return (GetFlags(a) & 0x4000) != 0; }
    // Resident attributes: where the value starts and how long it is.
    static uint16_t GetOffsetToAttribute(const uint8_t* a);
    static uint32_t GetLengthOfAttribute(const uint8_t* a);
    static const uint8_t* GetValue(const uint8_t* a) { return a + GetOffsetToAttribute(a); }
    // Non-resident attributes.
    static int64_t GetStartVCN(const uint8_t* a);
    static int64_t GetLastVCN(const uint8_t* a);
    static uint16_t GetDataRunsOffset(const uint8_t* a);
    static uint16_t GetCompressionUnitSize(const uint8_t* a);
    static int64_t GetAllocSizeofAttribute(const uint8_t* a);
    static int64_t GetRealSizeOfAttribute(const uint8_t* a);
    static int64_t GetInitializedDataSize(const uint8_t* a);

    static constexpr uint32_t kResidentHeader = 24;
    static constexpr uint32_t kNonResidentHeader = 64;

    // The attribute and `remaining` bytes of its record: the header and every
    // part it points at (name, value, run list) lie inside its length, which
    // lies inside the record; a data attribute's run list must also be valid.
    static bool IsValid(const uint8_t* a, int remaining);
};

// File name (0x30). Fields are read from the value, bounded by its length.
class CNTFSFileRecordFileNameAttribute {
public:
    static constexpr uint32_t kNameOffset = 66;

    static bool IsValid(const uint8_t* a, int remaining);
    static int64_t GetFileRecordNumberofParentDirectory(const uint8_t* a);
    static _FILETIME GetCreationTime(const uint8_t* a);
    static _FILETIME GetModificationTime(const uint8_t* a);
    static _FILETIME GetLastAccessTime(const uint8_t* a);
    static int64_t GetFileRealSize(const uint8_t* a);
    static uint32_t GetFlags(const uint8_t* a);
    static bool IsDirectory(const uint8_t* a) { return (GetFlags(a) & 0x10000000) != 0; }
    static uint8_t GetFileNameLength(const uint8_t* a);
    // 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS, 4 anything else.
    static uint8_t GetFileNameNamespaceType(const uint8_t* a);
    static const uint8_t* GetFileName(const uint8_t* a) { return a + NameOffset(a); }
    static bool IsFileNameEqual(const uint8_t* a, const wchar_t* name);

private:
    static uint32_t NameOffset(const uint8_t* a);
};

// Characters no NTFS name holds: " * / : < > ? \ |; a 0 unit ends the name.
bool IsValidFileName(const uint16_t* units, int count);
void WCH2U16(const wchar_t* text, uint32_t count, uint16_t* out);

// Standard information (0x10).
class CNTFSFileRecordStandardInformationAttribute {
public:
    static constexpr uint32_t kMinimumValue = 36;

    static bool IsValid(const uint8_t* a, int remaining);
    static _FILETIME GetCreationTime(const uint8_t* a);
    static _FILETIME GetModificationTime(const uint8_t* a);
    static _FILETIME GetLastAccessTime(const uint8_t* a);
    static uint32_t GetDosFilePermission(const uint8_t* a);
};

// Index root (0x90).
class CNTFSFileRecordIndexRootAttribute {
public:
    static bool IsValid(const uint8_t* a, int remaining);
    // The record number all entries name as their parent, or -1.
    static int64_t GetMFTFileRecordNumberfrom0x90(const uint8_t* a, int remaining);
};
