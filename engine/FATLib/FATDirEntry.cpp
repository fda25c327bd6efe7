#include "FATDirEntry.h"

#include <iconv.h>

#include <cassert>
#include <cstring>

#include "LittleEndian.h"

namespace {

uint16_t Word(const uint8_t* entry, int offset) {
    return ReadLE16(entry + offset);
}

// Copies `count` name bytes without trailing blanks; high-bit bytes become '_'.
int CopyNamePart(const uint8_t* bytes, int count, char* out) {
    while (count > 0 && bytes[count - 1] == ' ') {
        --count;
    }
    for (int i = 0; i < count; ++i) {
        out[i] = (bytes[i] & 0x80) ? '_' : static_cast<char>(bytes[i]);
    }
    return count;
}

void LowerCaseIf(bool lower, char* part) {
    for (; lower && *part != '\0'; ++part) {
        if (*part >= 'A' && *part <= 'Z') {
            *part = static_cast<char>(*part - 'A' + 'a');
        }
    }
}

// One UCS-2LE to UTF-8 converter per thread: opening one costs file-system
// look-ups, and a tree walk decodes a piece for every long name.
class LongNameConverter {
public:
    LongNameConverter() : handle_(iconv_open("UTF-8", "UCS-2LE")) {}
    ~LongNameConverter() {
        if (IsOpen())
            iconv_close(handle_);
    }
    LongNameConverter(const LongNameConverter&) = delete;
    LongNameConverter& operator=(const LongNameConverter&) = delete;

    bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    // Converts in one go from the initial state; what does not fit is dropped.
    void Convert(char* in, size_t inLength, char*& out, size_t outLeft) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        iconv(handle_, &in, &inLength, &out, &outLeft);
    }

private:
    iconv_t handle_;
};

LongNameConverter& ThreadConverter() {
    thread_local LongNameConverter converter;
    return converter;
}

}  // namespace

CTempFATDirEntry::CTempFATDirEntry(uint8_t* entry) : entry_(entry) {
    assert(entry != nullptr && "m_pDirEntry != NULL");
}

bool CTempFATDirEntry::InitFromBuffer(uint8_t* entry) {
    assert(entry != nullptr && "pBuffer != NULL");
    entry_ = entry;
    return IsValidFATDirEntry(0);
}

bool CTempFATDirEntry::IsValidDate(uint16_t date) {
    const int month = (date >> 5) & 15;
    return date == 0 || (month >= 1 && month <= 12 && (date & 31) != 0);
}

bool CTempFATDirEntry::IsValidTime(uint16_t time) {
    return time == 0 || ((time & 31) < 30 && ((time >> 5) & 63) < 60 && (time >> 11) < 24);
}

bool CTempFATDirEntry::IsValidFATDirEntry(int lenient) const {
    const uint8_t attribute = Attribute();
    if (attribute == kFATAttributeLongName) {
        return true;
    }
    if (attribute > 0x3F) {
        return false;
    }
    if (!lenient) {
        const bool hasCluster = GetFirstClusterNO() != 0;
        const bool hasSize = GetSize() != 0;
        if (!IsDirectory() && hasCluster != hasSize) {
            return false;
        }
        if (IsDirectory() && GetSize() != 0 && Word(entry_, 20) != 0) {
            return false;
        }
    }
    if (!IsValidDate(Word(entry_, 16)) || !IsValidDate(Word(entry_, 24)) ||
        !IsValidDate(Word(entry_, 18))) {
        return false;
    }
    if (!IsValidTime(Word(entry_, 14)) || !IsValidTime(Word(entry_, 22))) {
        return false;
    }
    if (attribute & 0x40) {
        return false;
    }
    if (attribute & kFATAttributeVolumeLabel) {
        return true;
    }
    return IsValidFileName(entry_);
}

bool CTempFATDirEntry::IsValidFileName(const uint8_t* name11) {
    assert(name11 != nullptr && "pszFileName != NULL");
    if (name11[0] == 0x20) {
        return false;
    }
    for (int i = 0; i < 11; ++i) {
        const uint8_t byte = name11[i];
        if (byte & 0x80) {
            ++i;  // a double-byte character: its second byte is not checked
            continue;
        }
        if (byte < 0x1A || std::strchr("\"*/:<>?\\|", byte) != nullptr) {
            return false;
        }
    }
    return true;
}

bool CTempFATDirEntry::IsValidLongFileName(const char* name) {
    return name != nullptr && name[0] != '\0' && std::strpbrk(name, "?*|\\/:\"<>") == nullptr;
}

bool CTempFATDirEntry::GetLongFileName(char* out, int outSize) const {
    if (outSize <= 0) {
        return true;
    }
    // 13 UCS-2 characters at 1-10, 14-25 and 28-31, then a terminating zero.
    uint8_t ucs2[28] = {};
    std::memcpy(ucs2, entry_ + 1, 10);
    std::memcpy(ucs2 + 10, entry_ + 14, 12);
    std::memcpy(ucs2 + 22, entry_ + 28, 4);
    size_t inLength = 0;
    while (inLength < 26 && (ucs2[inLength] | ucs2[inLength + 1]) != 0) {
        inLength += 2;
    }
    out[0] = '\0';
    LongNameConverter& converter = ThreadConverter();
    if (converter.IsOpen()) {
        char* target = out;
        converter.Convert(reinterpret_cast<char*>(ucs2), inLength, target,
                          static_cast<size_t>(outSize) - 1);
        *target = '\0';
    }
    if (out[0] == '\0' && outSize >= 2) {
        std::strcpy(out, "_");
    }
    return true;
}

void CTempFATDirEntry::GetShortName(char* out, int noDot) const {
    char name[9] = {};
    char extension[4] = {};
    CopyNamePart(entry_, 8, name);
    if (entry_[0] == kFATErasedMark) {
        name[0] = '#';
    }
    CopyNamePart(entry_ + 8, 3, extension);
    // A name written in lower case without a long name keeps its case in two
    // bits of the reserved byte; a volume label has no such bits.
    if (!IsVolumeLabel()) {
        LowerCaseIf(entry_[12] & kFATLowerCaseName, name);
        LowerCaseIf(entry_[12] & kFATLowerCaseExtension, extension);
    }
    if (extension[0] == '\0') {
        std::strcpy(out, name);
    } else {
        std::strcpy(out, name);
        if (!noDot) {
            std::strcat(out, ".");
        }
        std::strcat(out, extension);
    }
}

uint64_t CTempFATDirEntry::GetFirstClusterNO() const {
    return (uint64_t{Word(entry_, 20)} << 16) | Word(entry_, 26);
}

void CTempFATDirEntry::SetFirstClusterNO(uint64_t cluster) {
    WriteLE16(entry_ + 20, static_cast<uint16_t>(cluster >> 16));
    WriteLE16(entry_ + 26, static_cast<uint16_t>(cluster));
}

uint32_t CTempFATDirEntry::GetSize() const {
    return ReadLE32(entry_ + 28);
}

bool CTempFATDirEntry::IsFilenameEqual(const uint8_t* name8, const uint8_t* extension3) const {
    return std::memcmp(entry_, name8, 8) == 0 && std::memcmp(entry_ + 8, extension3, 3) == 0;
}

bool CTempFATDirEntry::IsNamedFolder(const char* name11) const {
    return IsDirectory() && std::memcmp(entry_, name11, 11) == 0;
}

bool CTempFATDirEntry::StartsWithDotEntries(const uint8_t* sector) {
    // The views only read through their pointers.
    auto* bytes = const_cast<uint8_t*>(sector);
    return CTempFATDirEntry(bytes).IsSelfEntry() &&
           CTempFATDirEntry(bytes + kFATDirEntrySize).IsParentEntry();
}
