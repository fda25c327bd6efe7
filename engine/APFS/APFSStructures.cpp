#include "APFSStructures.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ByteOrder.h"

namespace apfs {

namespace {

constexpr size_t kInodeMinValue = 100;
constexpr size_t kInodeXFieldCount = 92;
constexpr size_t kInodeXFields = 96;
constexpr size_t kInodeMode = 80;
constexpr uint8_t kXFieldName = 4;
constexpr uint8_t kXFieldDataStream = 8;
constexpr uint8_t kXFieldSparseBytes = 13;
constexpr uint32_t kMostXFields = 1024;
constexpr size_t kDirRecordMinValue = 18;
constexpr size_t kFileExtentMinValue = 16;
constexpr uint64_t kFileTimeOf1970 = 116444736000000000ull;
// The value of an object-map entry that maps one 4096-byte block (flags 0).
constexpr uint64_t kOmapValueOfOneBlock = 0x0000100000000000ull;
constexpr int kUnknownOmapNodeNotice = 225;

uint64_t RoundUp8(uint64_t n) {
    return (n + 7) & ~uint64_t{7};
}

}  // namespace

uint64_t Read64(const uint8_t* p) {
    return ReadLE64(p);
}
uint32_t Read32(const uint8_t* p) {
    return ReadLE32(p);
}
uint16_t Read16(const uint8_t* p) {
    return ReadLE16(p);
}

ObjectHeader ObjectHeader::Of(const uint8_t* block) {
    ObjectHeader header;
    header.oid = Read64(block + kObjectOid);
    header.xid = Read64(block + kObjectXid);
    const uint32_t type = Read32(block + kObjectType);
    header.type = static_cast<uint16_t>(type);
    header.typeFlags = static_cast<uint16_t>(type >> 16);
    header.subtype = static_cast<uint16_t>(Read32(block + kObjectSubtype));
    return header;
}

bool IsPlausibleAPFSObject(const uint8_t* block) {
    const ObjectHeader header = ObjectHeader::Of(block);
    return header.type < 32 && header.subtype < 32 && header.oid != 0;
}

uint64_t Fletcher64(const uint8_t* block, size_t size) {
    constexpr uint64_t kModulus = 0xFFFFFFFF;
    uint64_t sum1 = 0;
    uint64_t sum2 = 0;
    for (size_t i = 8; i + 4 <= size; i += 4) {
        sum1 = (sum1 + Read32(block + i)) % kModulus;
        sum2 = (sum2 + sum1) % kModulus;
    }
    const uint64_t check1 = kModulus - ((sum1 + sum2) % kModulus);
    const uint64_t check2 = kModulus - ((sum1 + check1) % kModulus);
    return (check2 << 32) | check1;
}

bool HasValidChecksum(const uint8_t* block, size_t size) {
    return Fletcher64(block, size) == Read64(block);
}

bool IsRecognisedContainerStart(const uint8_t* sector) {
    const ObjectHeader header = ObjectHeader::Of(sector);
    return header.type >= 1 && header.type <= 31 && header.subtype <= 31 &&
           Read64(sector + kNxMagic) == (uint64_t{kBlockSize} << 32 | kContainerMagic);
}

bool IsContainerSuperblock(const uint8_t* block) {
    const ObjectHeader header = ObjectHeader::Of(block);
    return IsPlausibleAPFSObject(block) && header.oid == 1 &&
           header.type == kTypeContainerSuperblock && Read32(block + kNxMagic) == kContainerMagic &&
           Read32(block + kNxBlockSize) == kBlockSize;
}

bool IsVolumeSuperblock(const uint8_t* block) {
    return Read32(block + kNxMagic) == kVolumeMagic;
}

ContainerInfo ContainerInfo::Of(const uint8_t* block) {
    ContainerInfo info;
    info.blockSize = Read32(block + kNxBlockSize);
    info.blockCount = Read64(block + kNxBlockCount);
    std::memcpy(info.uuid, block + kNxUuid, sizeof(info.uuid));
    info.omapOid = Read64(block + kNxOmapOid);
    info.xid = Read64(block + kObjectXid);
    info.descBase = Read64(block + kNxDescBase);
    const uint32_t descBlocks = Read32(block + kNxDescBlocks);
    info.descBlocks = descBlocks & 0x7FFFFFFF;
    info.descContiguous = (descBlocks & 0x80000000) == 0;
    info.descIndex = Read32(block + kNxDescIndex);
    info.descLength = Read32(block + kNxDescLength);
    return info;
}

bool ContainerInfo::CopyBlock(uint64_t& block) const {
    if (!descContiguous || descBase == 0 || descBlocks == 0 || descLength == 0 ||
        descLength > descBlocks || descIndex >= descBlocks) {
        return false;
    }
    const uint64_t last = (uint64_t{descIndex} + descLength - 1) % descBlocks;
    return !__builtin_add_overflow(descBase, last, &block);
}

bool IsObjectMapAt(const uint8_t* data, uint64_t block) {
    const ObjectHeader header = ObjectHeader::Of(data);
    return header.oid == block && header.type == kTypeObjectMap && header.IsPhysical() &&
           HasValidChecksum(data, kBlockSize);
}

std::string VolumeName(const uint8_t* block) {
    return StoredName(block + kVolumeName, kVolumeNameSize);
}

std::string StoredName(const uint8_t* bytes, size_t length) {
    const void* nul = std::memchr(bytes, 0, length);
    const size_t used =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : length;
    return std::string(reinterpret_cast<const char*>(bytes), used);
}

_FILETIME ToFileTime(uint64_t nanoseconds) {
    return kFileTimeOf1970 + (nanoseconds / 1000000000) * 10000000;
}

bool IsPlausibleTime(uint64_t nanoseconds) {
    return nanoseconds >= 500000000000000000ull && nanoseconds <= 0x1A00000000000000ull;
}

NodeView NodeView::Of(const uint8_t* block) {
    NodeView node;
    node.flags = Read16(block + kNodeFlags);
    node.keyCount = Read32(block + kNodeKeyCount);
    node.tableLength = Read16(block + kNodeTableLength);
    return node;
}

std::vector<NodeEntry> VariableEntries(const uint8_t* block) {
    const NodeView node = NodeView::Of(block);
    const size_t keyStart = kNodeTable + node.tableLength;
    const size_t valueEnd = kBlockSize - (node.IsRoot() ? kNodeInfoSize : 0);
    const uint32_t count = std::min(node.keyCount, kMostNodeEntries);
    std::vector<NodeEntry> entries;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = kNodeTable + size_t{i} * 8;
        if (at + 8 > kBlockSize)
            break;
        const size_t key = keyStart + Read16(block + at);
        const uint16_t valueOffset = Read16(block + at + 4);
        if (key >= kBlockSize || valueOffset == 0 || valueOffset > valueEnd)
            continue;
        const size_t value = valueEnd - valueOffset;
        NodeEntry entry;
        entry.keyOffset = key;
        entry.keyLength = std::min<size_t>(Read16(block + at + 2), kBlockSize - key);
        entry.valueOffset = value;
        entry.valueLength = std::min<size_t>(Read16(block + at + 6), kBlockSize - value);
        entries.push_back(entry);
    }
    return entries;
}

std::vector<uint64_t> ObjectMapAddresses(const uint8_t* block) {
    const NodeView node = NodeView::Of(block);
    const size_t keyStart = kNodeTable + node.tableLength;
    const uint32_t count = std::min(node.keyCount, kMostNodeEntries);
    std::vector<uint64_t> addresses;
    auto tableEntry = [&](uint32_t i, uint16_t& keyOffset, uint16_t& valueOffset) {
        const size_t at = kNodeTable + size_t{i} * 4;
        if (at + 4 > kBlockSize)
            return false;
        keyOffset = Read16(block + at);
        valueOffset = Read16(block + at + 2);
        return true;
    };
    switch (node.flags) {
        case kNodeFixedEntries:
        case kNodeFixedEntries | kNodeRoot: {
            // Index node: each value is a child node's address.
            const size_t valueEnd = kBlockSize - (node.IsRoot() ? kNodeInfoSize : 0);
            for (uint32_t i = 0; i < count; ++i) {
                uint16_t keyOffset = 0;
                uint16_t valueOffset = 0;
                if (!tableEntry(i, keyOffset, valueOffset))
                    break;
                if (valueOffset > valueEnd || keyStart + keyOffset >= kBlockSize)
                    continue;
                const size_t value = valueEnd - valueOffset;
                if (value + 8 <= kBlockSize)
                    addresses.push_back(Read64(block + value));
            }
            break;
        }
        case kNodeFixedEntries | kNodeLeaf: {
            // Leaf: the value area is read slot by slot, so that mappings the
            // table no longer lists are found as well.
            uint16_t firstKey = 0;
            uint16_t ignored = 0;
            if (count > 0)
                tableEntry(0, firstKey, ignored);
            const size_t floor = keyStart + firstKey;
            for (size_t slot = kBlockSize - 16; slot > floor; slot -= 16) {
                if (Read64(block + slot) == kOmapValueOfOneBlock)
                    addresses.push_back(Read64(block + slot + 8));
            }
            break;
        }
        case kNodeFixedEntries | kNodeLeaf | kNodeRoot: {
            for (uint32_t i = 0; i < count; ++i) {
                uint16_t keyOffset = 0;
                uint16_t valueOffset = 0;
                if (!tableEntry(i, keyOffset, valueOffset))
                    break;
                // The value lies below the 40 bytes of B-tree info; its
                // address field is 8 bytes into it.
                if (static_cast<uint32_t>(kBlockSize - valueOffset - 41) >= 4095)
                    break;
                addresses.push_back(Read64(block + kBlockSize - valueOffset - 32));
            }
            break;
        }
        default:
            std::printf("!!!!Please notify to Watch this%d.!!!!\n", kUnknownOmapNodeNotice);
            break;
    }
    return addresses;
}

RecordType RecordTypeOf(const uint8_t* block, const NodeEntry& entry) {
    if (entry.keyLength < 8)
        return RecordType::kOther;
    switch (block[entry.keyOffset + 7]) {
        case 0x30:
            return RecordType::kInode;
        case 0x80:
            return RecordType::kFileExtent;
        case 0x90:
            return RecordType::kDirRecord;
        default:
            return RecordType::kOther;
    }
}

bool ParseInode(const uint8_t* block, const NodeEntry& entry, Inode& out) {
    if (RecordTypeOf(block, entry) != RecordType::kInode || entry.valueLength < kInodeMinValue)
        return false;
    const uint8_t* v = block + entry.valueOffset;
    const size_t end = entry.valueLength;
    out = Inode{};
    out.objectId = Read64(block + entry.keyOffset) & kObjectIdMask;
    out.parentId = Read64(v);
    out.privateId = Read64(v + 8);
    out.createTime = Read64(v + 16);
    out.modTime = Read64(v + 24);
    out.changeTime = Read64(v + 32);
    out.accessTime = Read64(v + 40);
    out.directory = (Read16(v + kInodeMode) & 0xF000) == kModeDirectory;

    const uint32_t fields = std::min<uint32_t>(Read16(v + kInodeXFieldCount), kMostXFields);
    uint64_t data = kInodeXFields + uint64_t{fields} * 4;
    for (uint32_t i = 0; i < fields; ++i) {
        const size_t at = kInodeXFields + size_t{i} * 4;
        if (at + 4 > end || data >= end)
            break;
        const uint8_t type = v[at];
        const uint16_t size = Read16(v + at + 2);
        const size_t available = end - static_cast<size_t>(data);
        if (type == kXFieldName) {
            const size_t length = std::min<size_t>(size & kNameLengthMask, available);
            out.name = StoredName(v + data, length);
            out.hasName = true;
        } else if (type == kXFieldDataStream && available >= 8) {
            out.size = Read64(v + data);
        } else if (type == kXFieldSparseBytes && available >= 8) {
            out.sparse = true;
            out.sparseBytes = Read64(v + data);
        }
        data += RoundUp8(size);
    }
    return true;
}

bool ParseFileExtent(const uint8_t* block, const NodeEntry& entry, FileExtent& out) {
    if (RecordTypeOf(block, entry) != RecordType::kFileExtent ||
        entry.valueLength < kFileExtentMinValue || entry.keyLength < 16) {
        return false;
    }
    const uint8_t* key = block + entry.keyOffset;
    const uint8_t* v = block + entry.valueOffset;
    out.objectId = Read64(key) & kObjectIdMask;
    out.logicalOffset = Read64(key + 8);
    out.length = Read64(v) & kExtentLengthMask;
    out.physicalBlock = Read64(v + 8);
    return true;
}

bool ParseDirRecord(const uint8_t* block, const NodeEntry& entry, DirRecord& out) {
    if (RecordTypeOf(block, entry) != RecordType::kDirRecord ||
        entry.valueLength < kDirRecordMinValue || entry.keyLength < 12) {
        return false;
    }
    const uint8_t* key = block + entry.keyOffset;
    const uint8_t* v = block + entry.valueOffset;
    out = DirRecord{};
    out.parentId = Read64(key) & kObjectIdMask;
    const size_t length = std::min<size_t>(Read32(key + 8) & kNameLengthMask, entry.keyLength - 12);
    out.name = StoredName(key + 12, length);
    out.fileId = Read64(v);
    out.dateAdded = Read64(v + 8);
    out.directory = (Read16(v + 16) & 0xF) == kDirRecordFolder;
    return true;
}

}  // namespace apfs
