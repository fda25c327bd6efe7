#pragma once

// The HFS+ on-disk structures, laid out byte for byte as on disk. Everything
// but the journal header and block lists is big-endian on disk; the converters
// of HFSPlusEndian.h turn a copy into host order in place.

#include <cstdint>

#pragma pack(push, 1)

struct HFSPlusExtentDescriptor {
    uint32_t startBlock;
    uint32_t blockCount;
};
constexpr int kHFSPlusExtentDensity = 8;
typedef HFSPlusExtentDescriptor HFSPlusExtentRecord[kHFSPlusExtentDensity];

struct HFSPlusForkData {
    uint64_t logicalSize;
    uint32_t clumpSize;
    uint32_t totalBlocks;
    HFSPlusExtentRecord extents;
};

struct HFSPlusVolumeHeader {
    uint16_t signature;
    uint16_t version;
    uint32_t attributes;
    uint32_t lastMountedVersion;
    uint32_t journalInfoBlock;
    uint32_t createDate;
    uint32_t modifyDate;
    uint32_t backupDate;
    uint32_t checkedDate;
    uint32_t fileCount;
    uint32_t folderCount;
    uint32_t blockSize;
    uint32_t totalBlocks;
    uint32_t freeBlocks;
    uint32_t nextAllocation;
    uint32_t rsrcClumpSize;
    uint32_t dataClumpSize;
    uint32_t nextCatalogID;
    uint32_t writeCount;
    uint64_t encodingsBitmap;
    uint32_t finderInfo[8];
    HFSPlusForkData allocationFile;
    HFSPlusForkData extentsFile;
    HFSPlusForkData catalogFile;
    HFSPlusForkData attributesFile;
    HFSPlusForkData startupFile;
};

struct BTNodeDescriptor {
    uint32_t fLink;
    uint32_t bLink;
    int8_t kind;
    uint8_t height;
    uint16_t numRecords;
    uint16_t reserved;
};

struct BTHeaderRec {
    uint16_t treeDepth;
    uint32_t rootNode;
    uint32_t leafRecords;
    uint32_t firstLeafNode;
    uint32_t lastLeafNode;
    uint16_t nodeSize;
    uint16_t maxKeyLength;
    uint32_t totalNodes;
    uint32_t freeNodes;
    uint16_t reserved1;
    uint32_t clumpSize;
    uint8_t btreeType;
    uint8_t keyCompareType;
    uint32_t attributes;
    uint32_t reserved3[16];
};

constexpr int kHFSMaxNameLength = 255;

struct HFSUniStr255 {
    uint16_t length;
    uint16_t unicode[kHFSMaxNameLength];
};

struct HFSPlusCatalogKey {
    uint16_t keyLength;
    uint32_t parentID;
    HFSUniStr255 nodeName;
};

struct HFSPlusBSDInfo {
    uint32_t ownerID;
    uint32_t groupID;
    uint8_t adminFlags;
    uint8_t ownerFlags;
    uint16_t fileMode;
    uint32_t special;
};

struct HFSPoint {
    int16_t v;
    int16_t h;
};

struct HFSRect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct FileInfo {
    uint32_t fileType;
    uint32_t fileCreator;
    uint16_t finderFlags;
    HFSPoint location;
    uint16_t reservedField;
};

struct ExtendedFileInfo {
    int16_t reserved1[4];
    uint16_t extendedFinderFlags;
    int16_t reserved2;
    int32_t putAwayFolderID;
};

struct FolderInfo {
    HFSRect windowBounds;
    uint16_t finderFlags;
    HFSPoint location;
    uint16_t reservedField;
};

struct ExtendedFolderInfo {
    HFSPoint scrollPosition;
    int32_t reserved1;
    uint16_t extendedFinderFlags;
    int16_t reserved2;
    int32_t putAwayFolderID;
};

enum : int16_t {
    kHFSPlusFolderRecord = 1,
    kHFSPlusFileRecord = 2,
    kHFSPlusFolderThreadRecord = 3,
    kHFSPlusFileThreadRecord = 4,
};

struct HFSPlusCatalogFolder {
    int16_t recordType;
    uint16_t flags;
    uint32_t valence;
    uint32_t folderID;
    uint32_t createDate;
    uint32_t contentModDate;
    uint32_t attributeModDate;
    uint32_t accessDate;
    uint32_t backupDate;
    HFSPlusBSDInfo permissions;
    FolderInfo userInfo;
    ExtendedFolderInfo finderInfo;
    uint32_t textEncoding;
    uint32_t reserved;
};

struct HFSPlusCatalogFile {
    int16_t recordType;
    uint16_t flags;
    uint32_t reserved1;
    uint32_t fileID;
    uint32_t createDate;
    uint32_t contentModDate;
    uint32_t attributeModDate;
    uint32_t accessDate;
    uint32_t backupDate;
    HFSPlusBSDInfo permissions;
    FileInfo userInfo;
    ExtendedFileInfo finderInfo;
    uint32_t textEncoding;
    uint32_t reserved2;
    HFSPlusForkData dataFork;
    HFSPlusForkData resourceFork;
};

struct HFSPlusCatalogThread {
    int16_t recordType;
    int16_t reserved;
    uint32_t parentID;
    HFSUniStr255 nodeName;
};

// A catalog record of any type; copies are allocated at their own type's size.
union HFSPlusCatalogRecord {
    int16_t recordType;
    HFSPlusCatalogFolder folder;
    HFSPlusCatalogFile file;
    HFSPlusCatalogThread thread;
};

struct HFSPlusExtentKey {
    uint16_t keyLength;
    uint8_t forkType;
    uint8_t pad;
    uint32_t fileID;
    uint32_t startBlock;
};

struct HFSPlusAttrKey {
    uint16_t keyLength;
    uint16_t pad;
    uint32_t fileID;
    uint32_t startBlock;
    uint16_t nameLength;
    uint16_t name[kHFSMaxNameLength];
};

enum : uint32_t {
    kHFSPlusAttrInlineData = 0x10,
    kHFSPlusAttrForkData = 0x20,
    kHFSPlusAttrExtents = 0x30,
};

struct HFSPlusAttrData {
    uint32_t recordType;
    uint32_t reserved[2];
    uint32_t attrSize;
    uint8_t attrData[2];
};
constexpr uint32_t kHFSPlusAttrDataHead = 16;

struct HFSPlusAttrForkData {
    uint32_t recordType;
    uint32_t reserved;
    HFSPlusForkData theFork;
};

struct HFSPlusAttrExtents {
    uint32_t recordType;
    uint32_t reserved;
    HFSPlusExtentRecord extents;
};

union HFSPlusAttrRecord {
    uint32_t recordType;
    HFSPlusAttrData inlineData;
    HFSPlusAttrForkData forkData;
    HFSPlusAttrExtents overflowExtents;
};

// A key of any of the three trees; copies are allocated at their own kind's size.
union BTKey {
    uint16_t keyLength;
    HFSPlusCatalogKey catalog;
    HFSPlusExtentKey extent;
    HFSPlusAttrKey attribute;
};

struct JournalInfoBlock {
    uint32_t flags;
    uint32_t deviceSignature[8];
    uint64_t offset;
    uint64_t size;
    uint32_t reserved[32];
};

struct JournalHeader {
    uint32_t magic;
    uint32_t endian;
    uint64_t start;
    uint64_t end;
    uint64_t size;
    uint32_t blhdrSize;
    uint32_t checksum;
    uint32_t jhdrSize;
};

struct JournalBlockInfo {
    uint64_t bnum;
    uint32_t bsize;
    uint32_t next;
};

struct JournalBlockListHeader {
    uint16_t maxBlocks;
    uint16_t numBlocks;
    uint32_t bytesUsed;
    uint32_t checksum;
    uint32_t pad;
    JournalBlockInfo binfo[1];
};

#pragma pack(pop)

static_assert(sizeof(HFSPlusForkData) == 80);
static_assert(sizeof(HFSPlusVolumeHeader) == 512);
static_assert(sizeof(BTNodeDescriptor) == 14);
static_assert(sizeof(BTHeaderRec) == 106);
static_assert(sizeof(HFSPlusCatalogKey) == 518);
static_assert(sizeof(HFSPlusCatalogFolder) == 88);
static_assert(sizeof(HFSPlusCatalogFile) == 248);
static_assert(sizeof(HFSPlusCatalogThread) == 520);
static_assert(sizeof(HFSPlusExtentKey) == 12);
static_assert(sizeof(HFSPlusAttrKey) == 524);
static_assert(sizeof(HFSPlusAttrForkData) == 88);
static_assert(sizeof(HFSPlusAttrExtents) == 72);
static_assert(sizeof(JournalInfoBlock) == 180);
static_assert(sizeof(JournalHeader) == 44);

constexpr uint16_t kHFSPlusSigWord = 0x482B;  // "H+"
constexpr uint16_t kHFSXSigWord = 0x4858;     // "HX"
constexpr uint32_t kHFSVolumeJournaledMask = 0x2000;
constexpr uint32_t kJIJournalInFSMask = 0x1;
constexpr uint32_t kJournalMagic = 0x4A4E4C78;
constexpr uint32_t kJournalEndianMarker = 0x12345678;
constexpr uint8_t kHFSCaseFolding = 0xCF;
constexpr uint8_t kOwnerFlagCompressed = 0x20;

// Catalog node ids.
constexpr uint32_t kHFSRootParentID = 1;
constexpr uint32_t kHFSRootFolderID = 2;
constexpr uint32_t kHFSExtentsFileID = 3;
constexpr uint32_t kHFSCatalogFileID = 4;
constexpr uint32_t kHFSAllocationFileID = 6;
constexpr uint32_t kHFSStartupFileID = 7;
constexpr uint32_t kHFSAttributesFileID = 8;

// B-tree node kinds.
constexpr int8_t kBTLeafNode = -1;
constexpr int8_t kBTIndexNode = 0;
constexpr int8_t kBTHeaderNode = 1;
constexpr int8_t kBTMapNode = 2;

constexpr uint8_t kHFSDataForkType = 0x00;
constexpr uint8_t kHFSResourceForkType = 0xFF;
