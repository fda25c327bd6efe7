#include "ZipRecords.h"

#include "ByteOrder.h"

namespace {

constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kEnd64Signature = 0x06064B50;
constexpr uint32_t kLocatorSignature = 0x07064B50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint64_t kLargestEnd64Record = 0x10000;
// Larger 64-bit member sizes describe no real device; taken as they are,
// they would wrap the record's length round to before its start.
constexpr uint64_t kLargestMember = uint64_t{1} << 48;

// The 64-bit compressed size of a local header from its ZIP64 extra field:
// the field holds the uncompressed size first when that one is escaped too.
bool Zip64CompressedSize(const uint8_t* extra, uint32_t extraLength, bool uncompressedEscaped,
                         uint64_t& size) {
    uint32_t at = 0;
    while (at + 4 <= extraLength) {
        const uint16_t id = ReadLE16(extra + at);
        const uint16_t length = ReadLE16(extra + at + 2);
        if (at + 4 + length > extraLength)
            return false;
        if (id == kZip64ExtraId) {
            const uint32_t skip = uncompressedEscaped ? 8 : 0;
            if (skip + 8 > length)
                return false;
            size = ReadLE64(extra + at + 4 + skip);
            return true;
        }
        at += 4 + length;
    }
    return false;
}

}  // namespace

bool IsValidZipHeader(const uint8_t* bytes, uint64_t available) {
    if (bytes == nullptr || available < 4 || !IsZipRecordSignature(bytes))
        return false;
    return ReadLE32(bytes) != kZipLocalSignature ||
           (available >= 30 && ReadLE16(bytes + 8) <= 10 && ReadLE16(bytes + 26) < 4097);
}

ZipMeasure MeasureZipRecord(const uint8_t* bytes, uint64_t available, uint32_t longestName,
                            ZipRecord& record) {
    record = ZipRecord();
    if (bytes == nullptr || available < 4)
        return ZipMeasure::kShort;
    switch (ReadLE32(bytes)) {
        case kZipLocalSignature: {
            if (available < 30)
                return ZipMeasure::kShort;
            const uint32_t nameLength = ReadLE16(bytes + 26);
            const uint32_t extraLength = ReadLE16(bytes + 28);
            if (ReadLE16(bytes + 8) > 10 || nameLength >= 4097 || nameLength > longestName)
                return ZipMeasure::kBad;
            const uint64_t header = 30 + uint64_t{nameLength} + extraLength;
            if (available < header)
                return ZipMeasure::kShort;
            uint64_t compressed = ReadLE32(bytes + 18);
            if ((compressed == 0xFFFFFFFF &&
                 !Zip64CompressedSize(bytes + 30 + nameLength, extraLength,
                                      ReadLE32(bytes + 22) == 0xFFFFFFFF, compressed)) ||
                compressed > kLargestMember) {
                return ZipMeasure::kBad;
            }
            record.kind = ZipRecord::kLocal;
            record.flags = ReadLE16(bytes + 6);
            record.name.assign(reinterpret_cast<const char*>(bytes + 30), nameLength);
            record.dataOffset = header;
            record.length = header + compressed;
            record.sizesAfterData = (record.flags & 0x0008) != 0 && compressed == 0;
            return ZipMeasure::kOk;
        }
        case kCentralSignature: {
            if (available < 46)
                return ZipMeasure::kShort;
            const uint32_t nameLength = ReadLE16(bytes + 28);
            if (nameLength > longestName)
                return ZipMeasure::kBad;
            if (available < 46 + uint64_t{nameLength})
                return ZipMeasure::kShort;
            record.kind = ZipRecord::kCentral;
            record.name.assign(reinterpret_cast<const char*>(bytes + 46), nameLength);
            record.length = 46 + uint64_t{nameLength} + ReadLE16(bytes + 30) + ReadLE16(bytes + 32);
            return ZipMeasure::kOk;
        }
        case kEndSignature:
            if (available < kZipEndFixedBytes)
                return ZipMeasure::kShort;
            record.kind = ZipRecord::kEnd;
            record.length = kZipEndFixedBytes + uint64_t{ReadLE16(bytes + 20)};
            return ZipMeasure::kOk;
        case kEnd64Signature: {
            if (available < 12)
                return ZipMeasure::kShort;
            const uint64_t rest = ReadLE64(bytes + 4);
            if (rest < 44 || rest > kLargestEnd64Record)
                return ZipMeasure::kBad;
            record.kind = ZipRecord::kEnd64;
            record.length = 12 + rest;
            return ZipMeasure::kOk;
        }
        case kLocatorSignature:
            record.kind = ZipRecord::kLocator;
            record.length = 20;
            return ZipMeasure::kOk;
        default:
            return ZipMeasure::kBad;
    }
}

bool IsZipRecordSignature(const uint8_t* bytes) {
    switch (ReadLE32(bytes)) {
        case kZipLocalSignature:
        case kCentralSignature:
        case kEndSignature:
        case kEnd64Signature:
        case kLocatorSignature:
            return true;
        default:
            return false;
    }
}

bool IsZipEndOfFile(const uint8_t* bytes, uint64_t position, uint64_t before) {
    if (bytes == nullptr || ReadLE32(bytes) != kEndSignature)
        return false;
    const uint64_t directoryEnd = uint64_t{ReadLE32(bytes + 16)} + ReadLE32(bytes + 12);
    if (directoryEnd == position)
        return true;
    // A 64-bit archive: its locator comes right before and points back to
    // the 64-bit end record, which follows the central directory.
    if (before < 20 || position < 20)
        return false;
    const uint8_t* locator = bytes - 20;
    return ReadLE32(locator) == kLocatorSignature && ReadLE64(locator + 8) + 56 <= position - 20;
}
