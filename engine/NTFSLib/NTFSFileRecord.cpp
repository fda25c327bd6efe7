#include "NTFSFileRecord.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "NTFSAttribute.h"
#include "NTFSUpdateSequence.h"

bool CNTFSFileRecordHeader::IsValid(const uint8_t* buffer, int size) {
    assert(buffer != nullptr && "pBuffer != NULL");
    assert(size % 512 == 0 && "iBufferSize % 512 == 0");
    if (size < 512 || std::memcmp(buffer, "FILE", 4) != 0) {
        return false;
    }
    const uint32_t usaOffset = ReadLE16(buffer + 4);
    const uint32_t usaCount = ReadLE16(buffer + 6);
    const uint32_t allocated = ReadLE32(buffer + 28);
    if (usaCount == 0 || usaCount > 16 || allocated > 4096 || allocated == 0 ||
        allocated % 1024 != 0 || usaCount - 1 > allocated / 512) {
        return false;
    }
    return usaOffset >= 42 && usaOffset <= 256;
}

bool CNTFSFileRecordHeader::InitFromBuffer(const uint8_t* buffer, int size) {
    header_.clear();
    if (!IsValid(buffer, size)) {
        return false;
    }
    const uint32_t end = std::min<uint32_t>(CNTFSFileRecord::GetFirstAttibuteOffset(buffer), size);
    header_.assign(buffer, buffer + end);
    return true;
}

bool CNTFSFileRecord::IsValidUpdateSequence(const uint8_t* buffer, int size) {
    return NTFSUpdateSequence::IsValid(buffer, size);
}

void CNTFSFileRecord::UnfixupFileRecord(uint8_t* buffer, int size) {
    NTFSUpdateSequence::Undo(buffer, size);
}

void CNTFSFileRecord::FixupFileRecord(uint8_t* buffer, int size) {
    NTFSUpdateSequence::Redo(buffer, size);
}

namespace {

// Attributes end where the record's allocation or the buffer ends.
uint32_t RecordEnd(const uint8_t* buffer, int size) {
    const uint32_t allocated = ReadLE32(buffer + 28);
    const uint32_t bytes = static_cast<uint32_t>(size);
    return allocated != 0 && allocated < bytes ? allocated : bytes;
}

// Walks the attributes of an undone record: calls `visit` (offset) for each
// one whose header lies inside the record; stops at the end marker, a zero
// length or a length running past the record, or when `visit` answers false.
template <typename Visit>
void WalkAttributes(const uint8_t* buffer, int size, Visit visit) {
    uint32_t offset = ReadLE16(buffer + 20);
    const uint32_t end = RecordEnd(buffer, size);
    while (offset + 8 <= end) {
        const uint32_t type = ReadLE32(buffer + offset);
        const uint32_t length = ReadLE32(buffer + offset + 4);
        if (type == kNTFSAttributeEnd || length == 0 || length > end - offset) {
            return;
        }
        if (!visit(offset)) {
            return;
        }
        offset += length;
    }
}

}  // namespace

bool CNTFSFileRecord::CheckAttibutes(const uint8_t* buffer, int size) {
    bool valid = true;
    uint32_t offset = ReadLE16(buffer + 20);
    const uint32_t end = RecordEnd(buffer, size);
    while (offset + 8 <= end) {
        const uint8_t* attribute = buffer + offset;
        const uint32_t type = ReadLE32(attribute);
        if (type == kNTFSAttributeEnd || ReadLE32(attribute + 4) == 0) {
            break;
        }
        const int remaining = static_cast<int>(end - offset);
        if (!CNTFSFileRecordAttribute::IsValid(attribute, remaining) ||
            (type == kNTFSFileName &&
             !CNTFSFileRecordFileNameAttribute::IsValid(attribute, remaining))) {
            valid = false;
            break;
        }
        offset += ReadLE32(attribute + 4);
    }
    return valid;
}

bool CNTFSFileRecord::IsValid(uint8_t* buffer, int size) {
    assert(buffer != nullptr && "pBuffer != NULL");
    if (size < kMinimumSize || size % 512 != 0 || !CNTFSFileRecordHeader::IsValid(buffer, size)) {
        return false;
    }
    // A torn record (a sector end that does not carry the sequence number)
    // mixes two versions of the record: it is not trusted.
    if (!IsValidUpdateSequence(buffer, size)) {
        return false;
    }
    UnfixupFileRecord(buffer, size);
    const bool valid = CheckAttibutes(buffer, size);
    FixupFileRecord(buffer, size);
    return valid;
}

CNTFSFileRecord::CNTFSFileRecord(uint8_t* buffer, int size, bool copy) {
    if (buffer == nullptr || !IsValid(buffer, size)) {
        return;
    }
    if (copy) {
        copy_.assign(buffer, buffer + size);
        record_ = copy_.data();
    } else {
        record_ = buffer;
    }
    size_ = size;
    UnfixupFileRecord(record_, size_);
    undone_ = true;
}

CNTFSFileRecord::~CNTFSFileRecord() {
    if (undone_ && copy_.empty()) {
        FixupFileRecord(record_, size_);
    }
}

const uint8_t* CNTFSFileRecord::FindAttibute(uint32_t type, uint32_t index) const {
    return record_ ? FindAttibute(record_, size_, type, index) : nullptr;
}

const uint8_t* CNTFSFileRecord::FindAttibute(const uint8_t* buffer, int size, uint32_t type,
                                             uint32_t index) {
    const uint32_t offset = GetAttributeOffset(buffer, size, type, index);
    return offset == kNoAttribute ? nullptr : buffer + offset;
}

uint32_t CNTFSFileRecord::GetAttributeOffset(const uint8_t* buffer, int size, uint32_t type,
                                             uint32_t index) {
    uint32_t found = kNoAttribute;
    uint32_t seen = 0;
    WalkAttributes(buffer, size, [&](uint32_t offset) {
        if (ReadLE32(buffer + offset) != type) {
            return true;
        }
        if (seen++ == index) {
            found = offset;
            return false;
        }
        return true;
    });
    return found;
}

uint32_t CNTFSFileRecord::GetAttibuteCountofSpecifiedType(const uint8_t* buffer, int size,
                                                          uint32_t type) {
    uint32_t count = 0;
    WalkAttributes(buffer, size, [&](uint32_t offset) {
        count += ReadLE32(buffer + offset) == type;
        return true;
    });
    return count;
}

bool CNTFSFileRecord::HasAttributeList(const uint8_t* buffer, int size) {
    return GetAttributeOffset(buffer, size, kNTFSAttributeList, 0) != kNoAttribute;
}

bool CNTFSFileRecord::IsFolder(const uint8_t* buffer) {
    return (ReadLE16(buffer + 22) & 0x02) != 0;
}
bool CNTFSFileRecord::IsinUse(const uint8_t* buffer) {
    return (ReadLE16(buffer + 22) & 0x01) != 0;
}
bool CNTFSFileRecord::IsExtendFileRecord(const uint8_t* buffer) {
    return ReadLE64(buffer + 32) != 0;
}
int64_t CNTFSFileRecord::GetBaseFileRecordNumber(const uint8_t* buffer) {
    return static_cast<int64_t>(ReadLE64(buffer + 32) & 0xFFFFFFFFFFFFull);
}
uint16_t CNTFSFileRecord::GetFirstAttibuteOffset(const uint8_t* buffer) {
    return ReadLE16(buffer + 20);
}
uint32_t CNTFSFileRecord::GetLength(const uint8_t* buffer) {
    return ReadLE32(buffer + 24);
}
uint32_t CNTFSFileRecord::GetAllocatedSize(const uint8_t* buffer) {
    return ReadLE32(buffer + 28);
}
uint64_t CNTFSFileRecord::GetLogFileSequenceNumber(const uint8_t* buffer) {
    return ReadLE64(buffer + 8);
}
bool CNTFSFileRecord::HasXPNumberOfthisMFTRecord(const uint8_t* buffer) {
    return ReadLE16(buffer + 4) >= 48 && ReadLE16(buffer + 42) == 0;
}
uint32_t CNTFSFileRecord::GetXPNumberOfthisMFTRecord(const uint8_t* buffer) {
    return ReadLE32(buffer + 44);
}
