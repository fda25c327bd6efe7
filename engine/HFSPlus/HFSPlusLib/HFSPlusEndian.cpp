#include "HFSPlusEndian.h"

#include <algorithm>
#include <cstring>

#include "HFSPlusResult.h"

namespace {

inline uint16_t Swap(uint16_t v) {
    return __builtin_bswap16(v);
}
inline int16_t Swap(int16_t v) {
    return static_cast<int16_t>(__builtin_bswap16(static_cast<uint16_t>(v)));
}
inline uint32_t Swap(uint32_t v) {
    return __builtin_bswap32(v);
}
inline int32_t Swap(int32_t v) {
    return static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(v)));
}
inline uint64_t Swap(uint64_t v) {
    return __builtin_bswap64(v);
}

#define FLIP(field) (field) = Swap(field)

// Arrays inside packed records may be unaligned: each element is copied out and back.
template <typename T>
void FlipArray(void* first, size_t count) {
    auto* bytes = static_cast<unsigned char*>(first);
    for (size_t i = 0; i < count; ++i) {
        T value;
        std::memcpy(&value, bytes + i * sizeof(T), sizeof(T));
        value = Swap(value);
        std::memcpy(bytes + i * sizeof(T), &value, sizeof(T));
    }
}

// The name length first, then at most 255 units, each '/' turned into ':'.
void FlipName(uint16_t& lengthField, uint16_t* units) {
    FLIP(lengthField);
    const uint16_t length = CappedNameLength(lengthField);
    for (uint16_t i = 0; i < length; ++i) {
        uint16_t unit;
        std::copy_n(reinterpret_cast<unsigned char*>(units + i), 2,
                    reinterpret_cast<unsigned char*>(&unit));
        unit = Swap(unit);
        if (unit == '/')
            unit = ':';
        std::copy_n(reinterpret_cast<unsigned char*>(&unit), 2,
                    reinterpret_cast<unsigned char*>(units + i));
    }
}

}  // namespace

void flipEndian(unsigned char* bytes, size_t length) {
    if (bytes != nullptr)
        std::reverse(bytes, bytes + length);
}

void flipExtentDescriptor(HFSPlusExtentDescriptor* extent) {
    FLIP(extent->startBlock);
    FLIP(extent->blockCount);
}

void flipExtentRecord(HFSPlusExtentDescriptor* record) {
    for (int i = 0; i < kHFSPlusExtentDensity; ++i)
        flipExtentDescriptor(record + i);
}

void flipForkData(HFSPlusForkData* fork) {
    FLIP(fork->logicalSize);
    FLIP(fork->clumpSize);
    FLIP(fork->totalBlocks);
    flipExtentRecord(fork->extents);
}

void flipBSDInfo(HFSPlusBSDInfo* info) {
    FLIP(info->ownerID);
    FLIP(info->groupID);
    FLIP(info->fileMode);
    FLIP(info->special);
}

void flipPoint(HFSPoint* point) {
    FLIP(point->v);
    FLIP(point->h);
}

void flipRect(HFSRect* rect) {
    FLIP(rect->top);
    FLIP(rect->left);
    FLIP(rect->bottom);
    FLIP(rect->right);
}

void flipFileInfo(FileInfo* info) {
    FLIP(info->fileType);
    FLIP(info->fileCreator);
    FLIP(info->finderFlags);
    flipPoint(&info->location);
    FLIP(info->reservedField);
}

void flipExtendedFileInfo(ExtendedFileInfo* info) {
    FlipArray<int16_t>(info->reserved1, 4);
    FLIP(info->extendedFinderFlags);
    FLIP(info->reserved2);
    FLIP(info->putAwayFolderID);
}

void flipFolderInfo(FolderInfo* info) {
    flipRect(&info->windowBounds);
    FLIP(info->finderFlags);
    flipPoint(&info->location);
    FLIP(info->reservedField);
}

void flipExtendedFolderInfo(ExtendedFolderInfo* info) {
    flipPoint(&info->scrollPosition);
    FLIP(info->reserved1);
    FLIP(info->extendedFinderFlags);
    FLIP(info->reserved2);
    FLIP(info->putAwayFolderID);
}

void flipRsrcBlockHead(uint32_t* dataLength) {
    *dataLength = Swap(*dataLength);
}

RESULT_CODE flipVolumeHeader(HFSPlusVolumeHeader* h) {
    if (h == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(h->signature);
    FLIP(h->version);
    FLIP(h->attributes);
    FLIP(h->lastMountedVersion);
    FLIP(h->journalInfoBlock);
    FLIP(h->createDate);
    FLIP(h->modifyDate);
    FLIP(h->backupDate);
    FLIP(h->checkedDate);
    FLIP(h->fileCount);
    FLIP(h->folderCount);
    FLIP(h->blockSize);
    FLIP(h->totalBlocks);
    FLIP(h->freeBlocks);
    FLIP(h->nextAllocation);
    FLIP(h->rsrcClumpSize);
    FLIP(h->dataClumpSize);
    FLIP(h->nextCatalogID);
    FLIP(h->writeCount);
    FLIP(h->encodingsBitmap);
    flipForkData(&h->allocationFile);
    flipForkData(&h->extentsFile);
    flipForkData(&h->catalogFile);
    flipForkData(&h->attributesFile);
    flipForkData(&h->startupFile);
    return kResultSuccess;
}

RESULT_CODE flipNodeDescriptor(BTNodeDescriptor* d) {
    if (d == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(d->fLink);
    FLIP(d->bLink);
    FLIP(d->numRecords);
    return kResultSuccess;
}

RESULT_CODE flipBTHeaderRec(BTHeaderRec* h) {
    if (h == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(h->treeDepth);
    FLIP(h->rootNode);
    FLIP(h->leafRecords);
    FLIP(h->firstLeafNode);
    FLIP(h->lastLeafNode);
    FLIP(h->nodeSize);
    FLIP(h->maxKeyLength);
    FLIP(h->totalNodes);
    FLIP(h->freeNodes);
    FLIP(h->reserved1);
    FLIP(h->clumpSize);
    FLIP(h->attributes);
    FlipArray<uint32_t>(h->reserved3, 16);
    return kResultSuccess;
}

RESULT_CODE filpExtentKey(HFSPlusExtentKey* key) {
    if (key == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(key->keyLength);
    FLIP(key->fileID);
    FLIP(key->startBlock);
    return kResultSuccess;
}

RESULT_CODE filpCatalogKey(HFSPlusCatalogKey* key) {
    if (key == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(key->keyLength);
    FLIP(key->parentID);
    FlipName(key->nodeName.length, key->nodeName.unicode);
    return kResultSuccess;
}

RESULT_CODE filpAttributeKey(HFSPlusAttrKey* key) {
    if (key == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(key->keyLength);
    FLIP(key->fileID);
    FLIP(key->startBlock);
    FlipName(key->nameLength, key->name);
    return kResultSuccess;
}

RESULT_CODE flipCatalogFolder(HFSPlusCatalogFolder* f) {
    if (f == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(f->recordType);
    FLIP(f->flags);
    FLIP(f->valence);
    FLIP(f->folderID);
    FLIP(f->createDate);
    FLIP(f->contentModDate);
    FLIP(f->attributeModDate);
    FLIP(f->accessDate);
    FLIP(f->backupDate);
    flipBSDInfo(&f->permissions);
    flipFolderInfo(&f->userInfo);
    flipExtendedFolderInfo(&f->finderInfo);
    FLIP(f->textEncoding);
    FLIP(f->reserved);
    return kResultSuccess;
}

RESULT_CODE flipCatalogFile(HFSPlusCatalogFile* f) {
    if (f == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(f->recordType);
    FLIP(f->flags);
    FLIP(f->reserved1);
    FLIP(f->fileID);
    FLIP(f->createDate);
    FLIP(f->contentModDate);
    FLIP(f->attributeModDate);
    FLIP(f->accessDate);
    FLIP(f->backupDate);
    flipBSDInfo(&f->permissions);
    flipFileInfo(&f->userInfo);
    flipExtendedFileInfo(&f->finderInfo);
    FLIP(f->textEncoding);
    FLIP(f->reserved2);
    flipForkData(&f->dataFork);
    flipForkData(&f->resourceFork);
    return kResultSuccess;
}

RESULT_CODE flipCatalogThread(HFSPlusCatalogThread* t) {
    if (t == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(t->recordType);
    FLIP(t->reserved);
    FLIP(t->parentID);
    FlipName(t->nodeName.length, t->nodeName.unicode);
    return kResultSuccess;
}

RESULT_CODE flipAttrData(HFSPlusAttrData* d) {
    if (d == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(d->recordType);
    FLIP(d->attrSize);
    return kResultSuccess;
}

RESULT_CODE flipAttrForkData(HFSPlusAttrForkData* d) {
    if (d == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(d->recordType);
    FLIP(d->reserved);
    flipForkData(&d->theFork);
    return kResultSuccess;
}

RESULT_CODE flipAttrExtents(HFSPlusAttrExtents* d) {
    if (d == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(d->recordType);
    FLIP(d->reserved);
    flipExtentRecord(d->extents);
    return kResultSuccess;
}

RESULT_CODE flipJournalInfoBlock(JournalInfoBlock* b) {
    if (b == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    FLIP(b->flags);
    FLIP(b->offset);
    FLIP(b->size);
    return kResultSuccess;
}
