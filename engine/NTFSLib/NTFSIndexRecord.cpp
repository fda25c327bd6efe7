#include "NTFSIndexRecord.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "NTFSUpdateSequence.h"

namespace {
// Offsets in an index entry: flags, then the key (a file-name value).
constexpr uint32_t kEntryLength = 8;
constexpr uint32_t kEntryFlags = 12;
constexpr uint32_t kEntryParent = 16;
constexpr uint32_t kEntryAllocated = 56;
constexpr uint32_t kEntryReal = 64;
constexpr uint32_t kEntryMinimum = 72;
}  // namespace

bool CIndexRecord::IsValidMagicNumber(const uint8_t* buffer) {
    return buffer != nullptr && std::memcmp(buffer, "INDX", 4) == 0;
}

bool CIndexRecord::IsValidHeader(const uint8_t* buffer, int size) {
    if (!IsValidMagicNumber(buffer) || size < 512) {
        return false;
    }
    const uint32_t usaOffset = ReadLE16(buffer + 4);
    const uint32_t usaCount = ReadLE16(buffer + 6);
    const uint32_t first = ReadLE32(buffer + 24);
    const uint32_t used = ReadLE32(buffer + 28);
    const uint32_t allocated = ReadLE32(buffer + 32);
    if (allocated > static_cast<uint32_t>(size) || used > allocated || usaCount == 0 ||
        usaCount > 16 || usaCount - 1 > static_cast<uint32_t>(size) / 512) {
        return false;
    }
    if (static_cast<uint16_t>(usaCount - 1) != static_cast<uint16_t>((first + allocated) / 512)) {
        return false;
    }
    return usaOffset >= 40 && usaOffset <= 256;
}

bool CIndexRecord::CheckIndexEntries(const uint8_t* buffer, int size) {
    uint64_t position = 24 + uint64_t{ReadLE32(buffer + 24)};
    const uint64_t end =
        std::min<uint64_t>(24 + uint64_t{ReadLE32(buffer + 28)}, static_cast<uint64_t>(size));
    if (position + kEntryMinimum > end) {
        return true;
    }
    const uint64_t parent = ReadLE64(buffer + position + kEntryParent);
    while (position + kEntryMinimum <= end) {
        const uint8_t* entry = buffer + position;
        const uint16_t length = ReadLE16(entry + kEntryLength);
        const uint16_t flags = ReadLE16(entry + kEntryFlags);
        if ((flags & 2) != 0 || length == 0) {
            return true;
        }
        if (flags != 1 && (static_cast<int64_t>(ReadLE64(entry + kEntryReal)) >
                               static_cast<int64_t>(ReadLE64(entry + kEntryAllocated)) ||
                           ReadLE64(entry + kEntryParent) != parent)) {
            return false;
        }
        position += length;
    }
    return true;
}

bool CIndexRecord::IsValid(uint8_t* buffer, int size) {
    if (!IsValidHeader(buffer, size) || !NTFSUpdateSequence::IsValid(buffer, size)) {
        return false;
    }
    NTFSUpdateSequence::Undo(buffer, size);
    const bool valid = CheckIndexEntries(buffer, size);
    NTFSUpdateSequence::Redo(buffer, size);
    return valid;
}

int64_t CIndexRecord::GetVCN(const uint8_t* buffer) {
    return static_cast<int64_t>(ReadLE64(buffer + 16));
}
uint64_t CIndexRecord::GetLogFileSequenceNumber(const uint8_t* buffer) {
    return ReadLE64(buffer + 8);
}
uint32_t CIndexRecord::GetOffsetofIndexEntries(const uint8_t* buffer) {
    return ReadLE32(buffer + 24) + 24;
}
uint32_t CIndexRecord::GetSizeofIndexEntries(const uint8_t* buffer) {
    return ReadLE32(buffer + 28);
}

int64_t CIndexRecord::GetParentFileReference(uint8_t* buffer, int size) {
    if (!IsValid(buffer, size)) {
        return -1;
    }
    const uint64_t first = GetOffsetofIndexEntries(buffer);
    if (first + kEntryParent + 8 > static_cast<uint64_t>(size)) {
        return -1;
    }
    NTFSUpdateSequence::Undo(buffer, size);
    const uint32_t parent = ReadLE32(buffer + first + kEntryParent);
    NTFSUpdateSequence::Redo(buffer, size);
    return parent;
}

bool CRCRDRecord::IsValidMagicNumber(const uint8_t* buffer) {
    return buffer != nullptr && std::memcmp(buffer, "RCRD", 4) == 0;
}

bool CRCRDRecord::IsValidRCRDRecordFirstSector(const uint8_t* buffer, int size) {
    return size >= 512 && IsValidMagicNumber(buffer);
}

bool CRCRDRecord::IsValid(const uint8_t* buffer, int size) {
    return size >= kPageSize && IsValidMagicNumber(buffer) && ReadLE16(buffer + 4) == 40 &&
           ReadLE16(buffer + 6) == 9 && NTFSUpdateSequence::IsValid(buffer, kPageSize);
}

void CRCRDRecord::Unfixup(uint8_t* buffer, int size) {
    if (IsValid(buffer, size)) {
        NTFSUpdateSequence::Undo(buffer, kPageSize);
    }
}
