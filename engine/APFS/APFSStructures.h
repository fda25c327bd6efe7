#pragma once

// The part of the APFS layout this module reads. Every integer is
// little-endian; every address is a block number counted in 4096-byte blocks
// from the container's first block.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "EngineTypes.h"

namespace apfs {

constexpr uint32_t kBlockSize = 4096;

// Object header (32 bytes at the start of every object).
constexpr size_t kObjectOid = 8;
constexpr size_t kObjectXid = 16;
constexpr size_t kObjectType = 24;
constexpr size_t kObjectSubtype = 28;
constexpr uint32_t kPhysicalFlag = 0x4000;  // in the high half of o_type
constexpr uint16_t kTypeContainerSuperblock = 1;
constexpr uint16_t kTypeBTreeNode = 3;
constexpr uint16_t kTypeObjectMap = 11;
constexpr uint16_t kSubtypeObjectMap = 11;
constexpr uint16_t kSubtypeFileSystemTree = 14;

// Container superblock.
constexpr uint32_t kContainerMagic = 0x4253584E;  // "NXSB"
constexpr size_t kNxMagic = 32;
constexpr size_t kNxBlockSize = 36;
constexpr size_t kNxBlockCount = 40;
constexpr size_t kNxUuid = 72;
constexpr size_t kNxDescBlocks = 104;
constexpr size_t kNxDescBase = 112;
constexpr size_t kNxDescIndex = 136;
constexpr size_t kNxDescLength = 140;
constexpr size_t kNxOmapOid = 160;

// Object map and volume superblock.
constexpr size_t kOmapTreeOid = 48;
constexpr uint32_t kVolumeMagic = 0x42535041;  // "APSB"
constexpr size_t kVolumeOmapOid = 128;
constexpr size_t kVolumeName = 704;
constexpr size_t kVolumeNameSize = 256;

// B-tree nodes.
constexpr size_t kNodeFlags = 32;
constexpr size_t kNodeKeyCount = 36;
constexpr size_t kNodeTableLength = 42;
constexpr size_t kNodeTable = 56;
constexpr size_t kNodeInfoSize = 40;  // B-tree info at the end of a root node
constexpr uint16_t kNodeRoot = 1;
constexpr uint16_t kNodeLeaf = 2;
constexpr uint16_t kNodeFixedEntries = 4;
constexpr uint32_t kMostNodeEntries = 1024;
// The checkpoint-descriptor area is a small ring; a damaged count is not
// followed further.
constexpr uint32_t kMostDescriptorBlocks = 4096;

uint64_t Read64(const uint8_t* p);
uint32_t Read32(const uint8_t* p);
uint16_t Read16(const uint8_t* p);

// The header fields every test looks at.
struct ObjectHeader {
    uint64_t oid = 0;
    uint64_t xid = 0;
    uint16_t type = 0;
    uint16_t typeFlags = 0;
    uint16_t subtype = 0;

    static ObjectHeader Of(const uint8_t* block);
    bool IsPhysical() const { return (typeFlags & kPhysicalFlag) != 0; }
};

// Type and subtype below 32 and a non-zero object id: the only integrity test
// applied to blocks read during a scan (stale blocks are wanted too).
bool IsPlausibleAPFSObject(const uint8_t* block);

// The object checksum over bytes 8.. of a block, as stored at offset 0.
uint64_t Fletcher64(const uint8_t* block, size_t size);
bool HasValidChecksum(const uint8_t* block, size_t size);

// What volume recognition accepts as the first sector of an APFS volume.
bool IsRecognisedContainerStart(const uint8_t* sector);
// A container superblock met anywhere on a device: object id 1, type 1,
// magic and 4096-byte blocks.
bool IsContainerSuperblock(const uint8_t* block);
bool IsVolumeSuperblock(const uint8_t* block);

// The container superblock's fields the parser takes.
struct ContainerInfo {
    uint32_t blockSize = 0;
    uint64_t blockCount = 0;
    uint8_t uuid[16] = {};
    uint64_t omapOid = 0;
    uint64_t xid = 0;
    uint64_t descBase = 0;
    uint32_t descBlocks = 0;     // without the flag bit
    bool descContiguous = true;  // false: the base names a tree, not blocks
    uint32_t descIndex = 0;      // first block of this checkpoint in the area
    uint32_t descLength = 0;     // its blocks, the superblock copy last
    static ContainerInfo Of(const uint8_t* block);
    // Where this superblock's own copy lies in the checkpoint-descriptor
    // area; false when the area is not a plain run of blocks.
    bool CopyBlock(uint64_t& block) const;
};

// A physical object map stored at its own address `block`.
bool IsObjectMapAt(const uint8_t* data, uint64_t block);

// The volume name of a volume superblock, bounded by its field.
std::string VolumeName(const uint8_t* block);

// Nanoseconds since 1970 as a file time; whole seconds only.
_FILETIME ToFileTime(uint64_t nanoseconds);
// Between 1985-11-05 and 2029-05-14.
bool IsPlausibleTime(uint64_t nanoseconds);

// One table-of-contents entry of a node, resolved to positions in the block.
// Only entries whose key and value start inside the block are produced; the
// lengths are clamped so that key and value never reach past its end.
struct NodeEntry {
    size_t keyOffset = 0;
    size_t keyLength = 0;
    size_t valueOffset = 0;
    size_t valueLength = 0;
};

struct NodeView {
    uint16_t flags = 0;
    uint32_t keyCount = 0;
    uint16_t tableLength = 0;
    static NodeView Of(const uint8_t* block);
    bool IsRoot() const { return (flags & kNodeRoot) != 0; }
    bool IsLeaf() const { return (flags & kNodeLeaf) != 0; }
    bool HasFixedEntries() const { return (flags & kNodeFixedEntries) != 0; }
};

// Entries of a node with variable-size (8-byte) table entries, at most 1024.
std::vector<NodeEntry> VariableEntries(const uint8_t* block);

// Addresses an object-map node yields: child node addresses of an index
// node, mapped physical addresses of a leaf. Every version of every object
// is taken, whatever its transaction.
std::vector<uint64_t> ObjectMapAddresses(const uint8_t* block);

// File-system records.
enum class RecordType : uint8_t { kOther, kInode, kFileExtent, kDirRecord };

constexpr uint64_t kObjectIdMask = 0x00FFFFFFFFFFFFFFull;
constexpr uint64_t kExtentLengthMask = 0x00FFFFFFFFFFFFFFull;
constexpr uint16_t kModeDirectory = 0x4000;
constexpr uint16_t kDirRecordFolder = 4;
constexpr uint32_t kNameLengthMask = 0x3FF;

struct Inode {
    uint64_t objectId = 0;
    uint64_t parentId = 0;
    uint64_t privateId = 0;
    uint64_t createTime = 0;
    uint64_t modTime = 0;
    uint64_t changeTime = 0;
    uint64_t accessTime = 0;
    bool directory = false;
    std::string name;  // raw bytes, without the terminating NUL
    bool hasName = false;
    uint64_t size = 0;
    // Bytes of the data stream that the file system keeps no blocks for, as
    // the inode records them; absent when the file is not sparse.
    bool sparse = false;
    uint64_t sparseBytes = 0;
};

struct FileExtent {
    uint64_t objectId = 0;
    uint64_t logicalOffset = 0;
    uint64_t length = 0;         // bytes, flags masked off
    uint64_t physicalBlock = 0;  // 0: a sparse hole
};

struct DirRecord {
    uint64_t parentId = 0;
    std::string name;  // raw bytes, without the terminating NUL
    uint64_t fileId = 0;
    uint64_t dateAdded = 0;
    bool directory = false;
};

RecordType RecordTypeOf(const uint8_t* block, const NodeEntry& entry);
bool ParseInode(const uint8_t* block, const NodeEntry& entry, Inode& out);
bool ParseFileExtent(const uint8_t* block, const NodeEntry& entry, FileExtent& out);
bool ParseDirRecord(const uint8_t* block, const NodeEntry& entry, DirRecord& out);

// A name as stored: bytes up to the first NUL within `length` bytes.
std::string StoredName(const uint8_t* bytes, size_t length);

}  // namespace apfs
