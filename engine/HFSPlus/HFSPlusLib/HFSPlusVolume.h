#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "HFSPlusBTree.h"
#include "HFSPlusFormat.h"
#include "ResultCode.h"

class CHFSPlusAttribute;
class CHFSPlusCatalog;
class CHFSPlusExtents;
class CHFSPlusFileCache;
class CHFSPlusJournal;
class CHFSPlusQuickFileSystemSearchProgress;
class CHFSPlusRawfile;
class IDirecotryTreeBuilder;
class IStorageDevice;

// A record that the live tree no longer holds, with its key; both owned.
struct HFSPlusDeletedRecord {
    std::unique_ptr<unsigned char[]> key;
    std::unique_ptr<unsigned char[]> record;
    const BTKey* Key() const { return reinterpret_cast<const BTKey*>(key.get()); }
};
// Newest first: a later journal copy is put in front (or replaces an equal key).
using HFSPlusDeletedRecords = std::list<HFSPlusDeletedRecord>;

// One open HFS+ volume: its header, journal, the extents, attributes and
// catalog trees, and the records the journal still holds of deleted files.
// It must outlive every node and reader made from it.
class CHFSPlusVolume {
public:
    static constexpr int kCatalogTree = 4;
    static constexpr int kExtentsTree = 3;
    static constexpr int kAttributesTree = 8;

    static constexpr uint64_t kHeaderOffset = 1024;

    // `noCatalog`: header, journal, extents and attributes only (reading
    // compressed files of restored nodes); the result then stays a failure.
    // `headerOffset`: where the header is read, the alternate header's place
    // (1024 bytes before the volume's end) when the first one is damaged.
    CHFSPlusVolume(IStorageDevice* device, bool noCatalog, uint64_t headerOffset = kHeaderOffset);
    ~CHFSPlusVolume();
    CHFSPlusVolume(const CHFSPlusVolume&) = delete;
    CHFSPlusVolume& operator=(const CHFSPlusVolume&) = delete;

    static bool IsValidVolumeHeader(const unsigned char* buffer, unsigned short length);

    // Bytes read at `offset` of the volume; fewer on a failed device read.
    uint64_t Read(uint64_t offset, void* buffer, uint64_t length);
    // Tree 8 attributes, 4 catalog, 3 extents. With `record`, a found record's
    // data is copied there (array delete).
    RESULT_CODE Search(int tree, const BTKey* key, HFSPlusSearchResult& result,
                       unsigned char** record);
    // The inline data of attribute `name` of file `fileId` (new array in `data`);
    // answers its size, 0 when there is none.
    uint64_t getAttribute(uint32_t fileId, const char* name, unsigned char** data);
    RESULT_CODE FindDeleteExtent(const BTKey* key, HFSPlusSearchResult& result,
                                 unsigned char** record);
    RESULT_CODE FindDeleteAttribute(const BTKey* key, HFSPlusSearchResult& result,
                                    unsigned char** record);
    RESULT_CODE FindDeleteCatalog(const BTKey* key, HFSPlusSearchResult& result,
                                  unsigned char** record);
    // Journal-deleted files first, then the live catalog, into the builder.
    RESULT_CODE QuickSearchFiles(IDirecotryTreeBuilder* builder,
                                 CHFSPlusQuickFileSystemSearchProgress* progress);
    // Does the live catalog still hold a folder or file with this id? A
    // catalog that cannot be searched answers unknown: nothing is deleted on
    // its word.
    enum class CatalogAnswer { kLive, kGone, kUnknown };
    CatalogAnswer FindCatalogId(uint32_t id);

    // Which special file covers a byte of the volume: 4 catalog, 3 extents,
    // 8 attributes, 6 allocation, 7 startup, 0 none.
    int GetNodeBelongToFile(uint64_t offset);
    int IsBelongToFile(uint32_t fileId, const HFSPlusForkData& fork, uint64_t offset);

    RESULT_CODE GetLastError() const { return result_; }
    // Trees whose header could not be read: files needing them read short.
    static constexpr uint32_t kExtentsTreeDamaged = 1;
    static constexpr uint32_t kAttributesTreeDamaged = 2;
    uint32_t GetDamagedTrees() const { return damagedTrees_; }
    const HFSPlusVolumeHeader* GetHeader() const { return header_.get(); }
    uint32_t GetBlockSize() const { return header_ ? header_->blockSize : 0; }
    uint32_t GetSectorSize() const { return sectorSize_; }
    IStorageDevice* GetDevice() const { return device_; }
    uint8_t GetKeyCompareType() const { return keyCompareType_; }
    CHFSPlusExtents* GetExtentsTree() const { return extentsTree_; }
    CHFSPlusAttribute* GetAttributesTree() const { return attributesTree_; }
    CHFSPlusCatalog* GetCatalogTree() const { return catalogTree_; }
    CHFSPlusJournal* GetJournal() const { return journal_; }
    HFSPlusDeletedRecords& DeletedCatalog() { return deletedCatalog_; }
    HFSPlusDeletedRecords& DeletedExtents() { return deletedExtents_; }
    HFSPlusDeletedRecords& DeletedAttributes() { return deletedAttributes_; }

private:
    bool ReadSectors(uint64_t firstSector, uint64_t count, unsigned char* into);
    // False only when memory fails; a damaged tree is left out and noted.
    bool OpenExtentsTree();
    bool OpenAttributesTree();
    void SetProgressTotal(CHFSPlusQuickFileSystemSearchProgress* progress);

    uint32_t sectorSize_ = 512;
    IStorageDevice* device_ = nullptr;
    RESULT_CODE result_;
    std::unique_ptr<HFSPlusVolumeHeader> header_;
    CHFSPlusRawfile* extentsFile_ = nullptr;
    CHFSPlusExtents* extentsTree_ = nullptr;
    CHFSPlusRawfile* attributesFile_ = nullptr;
    CHFSPlusAttribute* attributesTree_ = nullptr;
    CHFSPlusFileCache* catalogFile_ = nullptr;
    CHFSPlusCatalog* catalogTree_ = nullptr;
    CHFSPlusJournal* journal_ = nullptr;
    HFSPlusDeletedRecords deletedCatalog_;
    HFSPlusDeletedRecords deletedExtents_;
    HFSPlusDeletedRecords deletedAttributes_;
    uint8_t keyCompareType_ = 0;
    uint32_t damagedTrees_ = 0;
    std::vector<unsigned char> bounce_;  // one device sector
};
