#include "NTFSAttribute.h"

#include <cwchar>

#include "ByteOrder.h"
#include "NTFSRunList.h"

uint32_t CNTFSFileRecordAttribute::GetType(const uint8_t* a) {
    return ReadLE32(a);
}
uint32_t CNTFSFileRecordAttribute::GetLength(const uint8_t* a) {
    return ReadLE32(a + 4);
}
uint16_t CNTFSFileRecordAttribute::GetOffsetToName(const uint8_t* a) {
    return ReadLE16(a + 10);
}
uint16_t CNTFSFileRecordAttribute::GetFlags(const uint8_t* a) {
    return ReadLE16(a + 12);
}
uint16_t CNTFSFileRecordAttribute::GetID(const uint8_t* a) {
    return ReadLE16(a + 14);
}
uint16_t CNTFSFileRecordAttribute::GetOffsetToAttribute(const uint8_t* a) {
    return ReadLE16(a + 20);
}
uint32_t CNTFSFileRecordAttribute::GetLengthOfAttribute(const uint8_t* a) {
    return ReadLE32(a + 16);
}
int64_t CNTFSFileRecordAttribute::GetStartVCN(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(a + 16));
}
int64_t CNTFSFileRecordAttribute::GetLastVCN(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(a + 24));
}
uint16_t CNTFSFileRecordAttribute::GetDataRunsOffset(const uint8_t* a) {
    return ReadLE16(a + 32);
}
uint16_t CNTFSFileRecordAttribute::GetCompressionUnitSize(const uint8_t* a) {
    return ReadLE16(a + 34);
}
int64_t CNTFSFileRecordAttribute::GetAllocSizeofAttribute(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(a + 40));
}
int64_t CNTFSFileRecordAttribute::GetRealSizeOfAttribute(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(a + 48));
}
int64_t CNTFSFileRecordAttribute::GetInitializedDataSize(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(a + 56));
}

bool CNTFSFileRecordAttribute::IsValid(const uint8_t* a, int remaining) {
    if (a == nullptr || remaining < 16) {
        return false;
    }
    const uint32_t length = GetLength(a);
    if (length < 16 || length > static_cast<uint32_t>(remaining)) {
        return false;
    }
    if (IsNamed(a) && uint32_t{GetOffsetToName(a)} + 2u * GetNameLength(a) > length) {
        return false;
    }
    if (IsResident(a)) {
        return length >= kResidentHeader &&
               uint64_t{GetOffsetToAttribute(a)} + GetLengthOfAttribute(a) <= length;
    }
    const uint32_t runs = GetDataRunsOffset(a);
    if (length < kNonResidentHeader || runs > length) {
        return false;
    }
    if (GetType(a) == kNTFSData) {
        return runs < length && NTFSRunBytes::IsValid(a + runs, static_cast<int>(length - runs));
    }
    return true;
}

// File name.

bool CNTFSFileRecordFileNameAttribute::IsValid(const uint8_t* a, int remaining) {
    using A = CNTFSFileRecordAttribute;
    if (!A::IsValid(a, remaining) || A::GetType(a) != kNTFSFileName || !A::IsResident(a)) {
        return false;
    }
    const uint32_t valueLength = A::GetLengthOfAttribute(a);
    if (valueLength < kNameOffset) {
        return false;
    }
    const uint8_t count = GetFileNameLength(a);
    if (kNameOffset + 2u * count > valueLength) {
        return false;
    }
    uint16_t units[255];
    for (int i = 0; i < count; ++i) {
        units[i] = ReadLE16(GetFileName(a) + 2 * i);
    }
    return count == 0 || units[0] == 0 || IsValidFileName(units, count);
}

uint32_t CNTFSFileRecordFileNameAttribute::NameOffset(const uint8_t* a) {
    return CNTFSFileRecordAttribute::GetOffsetToAttribute(a) + kNameOffset;
}

int64_t CNTFSFileRecordFileNameAttribute::GetFileRecordNumberofParentDirectory(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(CNTFSFileRecordAttribute::GetValue(a)) &
                                0xFFFFFFFFFFFFull);
}
_FILETIME CNTFSFileRecordFileNameAttribute::GetCreationTime(const uint8_t* a) {
    return ReadLE64(CNTFSFileRecordAttribute::GetValue(a) + 8);
}
_FILETIME CNTFSFileRecordFileNameAttribute::GetModificationTime(const uint8_t* a) {
    return ReadLE64(CNTFSFileRecordAttribute::GetValue(a) + 16);
}
_FILETIME CNTFSFileRecordFileNameAttribute::GetLastAccessTime(const uint8_t* a) {
    return ReadLE64(CNTFSFileRecordAttribute::GetValue(a) + 32);
}
int64_t CNTFSFileRecordFileNameAttribute::GetFileRealSize(const uint8_t* a) {
    return static_cast<int64_t>(ReadLE64(CNTFSFileRecordAttribute::GetValue(a) + 48));
}
uint32_t CNTFSFileRecordFileNameAttribute::GetFlags(const uint8_t* a) {
    return ReadLE32(CNTFSFileRecordAttribute::GetValue(a) + 56);
}
uint8_t CNTFSFileRecordFileNameAttribute::GetFileNameLength(const uint8_t* a) {
    return CNTFSFileRecordAttribute::GetValue(a)[64];
}
uint8_t CNTFSFileRecordFileNameAttribute::GetFileNameNamespaceType(const uint8_t* a) {
    const uint8_t space = CNTFSFileRecordAttribute::GetValue(a)[65];
    return space > 3 ? 4 : space;
}

bool CNTFSFileRecordFileNameAttribute::IsFileNameEqual(const uint8_t* a, const wchar_t* name) {
    const size_t length = std::wcslen(name);
    if (length != GetFileNameLength(a)) {
        return false;
    }
    const uint8_t* units = GetFileName(a);
    for (size_t i = 0; i < length; ++i) {
        if (ReadLE16(units + 2 * i) != static_cast<uint16_t>(name[i])) {
            return false;
        }
    }
    return true;
}

bool IsValidFileName(const uint16_t* units, int count) {
    for (int i = 0; i < count && units[i] != 0; ++i) {
        switch (units[i]) {
            case '"':
            case '*':
            case '/':
            case ':':
            case '<':
            case '>':
            case '?':
            case '\\':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

void WCH2U16(const wchar_t* text, uint32_t count, uint16_t* out) {
    for (uint32_t i = 0; i < count; ++i) {
        out[i] = static_cast<uint16_t>(text[i]);
    }
}

// Standard information.

bool CNTFSFileRecordStandardInformationAttribute::IsValid(const uint8_t* a, int remaining) {
    using A = CNTFSFileRecordAttribute;
    return A::IsValid(a, remaining) && A::GetType(a) == kNTFSStandardInformation &&
           A::IsResident(a) && A::GetLengthOfAttribute(a) >= kMinimumValue;
}
_FILETIME CNTFSFileRecordStandardInformationAttribute::GetCreationTime(const uint8_t* a) {
    return ReadLE64(CNTFSFileRecordAttribute::GetValue(a));
}
_FILETIME CNTFSFileRecordStandardInformationAttribute::GetModificationTime(const uint8_t* a) {
    return ReadLE64(CNTFSFileRecordAttribute::GetValue(a) + 8);
}
_FILETIME CNTFSFileRecordStandardInformationAttribute::GetLastAccessTime(const uint8_t* a) {
    return ReadLE64(CNTFSFileRecordAttribute::GetValue(a) + 24);
}
uint32_t CNTFSFileRecordStandardInformationAttribute::GetDosFilePermission(const uint8_t* a) {
    return ReadLE32(CNTFSFileRecordAttribute::GetValue(a) + 32);
}

// Index root.

bool CNTFSFileRecordIndexRootAttribute::IsValid(const uint8_t* a, int remaining) {
    using A = CNTFSFileRecordAttribute;
    if (!A::IsValid(a, remaining) || !A::IsResident(a) || A::GetLengthOfAttribute(a) < 32) {
        return false;
    }
    return uint64_t{ReadLE32(A::GetValue(a) + 20)} + 16 <= A::GetLengthOfAttribute(a);
}

int64_t CNTFSFileRecordIndexRootAttribute::GetMFTFileRecordNumberfrom0x90(const uint8_t* a,
                                                                          int remaining) {
    if (!IsValid(a, remaining)) {
        return -1;
    }
    const uint8_t* value = CNTFSFileRecordAttribute::GetValue(a);
    const uint32_t valueLength = CNTFSFileRecordAttribute::GetLengthOfAttribute(a);
    const uint32_t used = ReadLE32(value + 20);
    if (used <= 16) {
        return -1;
    }
    uint64_t position = 16 + uint64_t{ReadLE32(value + 16)};
    const uint64_t end = 16 + uint64_t{used};
    int64_t parent = -1;
    // An entry's key is a file-name value: parent at 16, sizes at 56 and 64, name length at 80.
    while (position + 82 <= end && end <= valueLength) {
        const uint8_t* entry = value + position;
        const uint16_t length = ReadLE16(entry + 8);
        const uint16_t flags = ReadLE16(entry + 12);
        if (length == 0) {
            break;
        }
        if (flags != 1) {
            if (flags == 2 || entry[80] == 0 ||
                static_cast<int64_t>(ReadLE64(entry + 64)) >
                    static_cast<int64_t>(ReadLE64(entry + 56))) {
                break;
            }
        }
        const int64_t named = static_cast<int64_t>(ReadLE64(entry + 16) & 0xFFFFFFFFFFFFull);
        if (parent == -1) {
            parent = named;
        } else if (named != parent) {
            return -1;
        }
        position += length;
    }
    return parent;
}
