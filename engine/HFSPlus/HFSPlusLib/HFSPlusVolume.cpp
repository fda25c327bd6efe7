#include "HFSPlusVolume.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "DirectoryTreeBuilder.h"
#include "HFSPlusBTreeOptions.h"
#include "HFSPlusEndian.h"
#include "HFSPlusFileNode.h"
#include "HFSPlusJournal.h"
#include "HFSPlusProgress.h"
#include "HFSPlusRawfile.h"
#include "HFSPlusResult.h"
#include "HFSPlusVolumeHeader.h"
#include "StorageDevice.h"

namespace {

RESULT_CODE FindDeleted(HFSPlusDeletedRecords& records, const BTKey* key,
                        HFSPlusSearchResult& result, unsigned char** record,
                        int (*equal)(const BTKey*, const BTKey*, uint8_t), uint8_t compareType,
                        unsigned char* (*clone)(const unsigned char*)) {
    std::memset(&result, 0, sizeof(result));
    if (record != nullptr)
        *record = nullptr;
    if (key == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    for (const HFSPlusDeletedRecord& entry : records) {
        if (equal(entry.Key(), key, compareType) != 0)
            continue;
        if (record != nullptr)
            *record = clone(entry.record.get());
        result.found = 1;
        break;
    }
    return kResultSuccess;
}

int CompareExtentKeys(const BTKey* a, const BTKey* b, uint8_t) {
    return CHFSPlusExtents::CompareKey(a, b);
}
int CompareAttributeKeys(const BTKey* a, const BTKey* b, uint8_t) {
    return CHFSPlusAttribute::CompareKey(a, b);
}

}  // namespace

bool CHFSPlusVolume::IsValidVolumeHeader(const unsigned char* buffer, unsigned short length) {
    return IsValidHFSPlusVolumeHeader(buffer, length);
}

CHFSPlusVolume::CHFSPlusVolume(IStorageDevice* device, bool noCatalog, uint64_t headerOffset)
    : device_(device), result_(HFS_QUIET_FAILURE(kResultNotInitialised)) {
    if (device == nullptr) {
        result_ = HFS_FAILURE(kResultBadArgument);
        return;
    }
    sectorSize_ = device->GetSectorSize();
    if (sectorSize_ == 0)
        sectorSize_ = 512;
    try {
        bounce_.resize(sectorSize_);
    } catch (const std::bad_alloc&) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return;
    }

    auto header = std::make_unique<HFSPlusVolumeHeader>();
    if (Read(headerOffset, header.get(), sizeof(HFSPlusVolumeHeader)) !=
        sizeof(HFSPlusVolumeHeader)) {
        result_ = HFS_FAILURE(kResultShortRead);
        return;
    }
    flipVolumeHeader(header.get());
    // Every offset below is a block number times the block size.
    const uint32_t blockSize = header->blockSize;
    if (blockSize < 512 || (blockSize & (blockSize - 1)) != 0) {
        result_ = HFS_FAILURE(kResultMalformed);
        return;
    }
    header_ = std::move(header);

    journal_ = new (std::nothrow) CHFSPlusJournal(this);
    if (journal_ == nullptr) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return;
    }

    // A damaged extents or attributes tree costs only the files that need
    // it: their reads come back short or fail; the catalog is still read.
    if (!OpenExtentsTree() || !OpenAttributesTree())
        return;
    if (noCatalog) {
        result_ = HFS_QUIET_FAILURE(kResultMalformed);
        return;
    }
    catalogFile_ =
        new (std::nothrow) CHFSPlusFileCache(this, kHFSCatalogFileID, header_->catalogFile);
    if (catalogFile_ == nullptr || IsFailure(catalogFile_->GetLastError())) {
        result_ = catalogFile_ ? catalogFile_->GetLastError() : HFS_FAILURE(kResultOutOfMemory);
        return;
    }
    catalogTree_ = new (std::nothrow) CHFSPlusCatalog(this, catalogFile_);
    if (catalogTree_ == nullptr || IsFailure(catalogTree_->GetLastError()) ||
        catalogTree_->GetHeaderRec() == nullptr) {
        result_ = catalogTree_ && IsFailure(catalogTree_->GetLastError())
                      ? catalogTree_->GetLastError()
                      : HFS_FAILURE(catalogTree_ ? kResultMalformed : kResultOutOfMemory);
        delete catalogTree_;
        catalogTree_ = nullptr;
        return;
    }
    keyCompareType_ = catalogTree_->GetHeaderRec()->keyCompareType;
    result_ = kResultSuccess;
}

bool CHFSPlusVolume::OpenExtentsTree() {
    extentsFile_ =
        new (std::nothrow) CHFSPlusRawfile(this, kHFSExtentsFileID, header_->extentsFile);
    if (extentsFile_ == nullptr) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return false;
    }
    if (IsSuccess(extentsFile_->GetLastError()))
        extentsTree_ = new (std::nothrow) CHFSPlusExtents(this, extentsFile_);
    if (extentsTree_ == nullptr || IsFailure(extentsTree_->GetLastError())) {
        delete extentsTree_;
        extentsTree_ = nullptr;
        damagedTrees_ |= kExtentsTreeDamaged;
    }
    return true;
}

bool CHFSPlusVolume::OpenAttributesTree() {
    // Volumes without extended attributes have an empty attributes file.
    if (header_->attributesFile.totalBlocks == 0)
        return true;
    attributesFile_ =
        new (std::nothrow) CHFSPlusRawfile(this, kHFSAttributesFileID, header_->attributesFile);
    if (attributesFile_ == nullptr) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return false;
    }
    if (IsSuccess(attributesFile_->GetLastError()))
        attributesTree_ = new (std::nothrow) CHFSPlusAttribute(this, attributesFile_);
    if (attributesTree_ == nullptr || IsFailure(attributesTree_->GetLastError())) {
        delete attributesTree_;
        attributesTree_ = nullptr;
        damagedTrees_ |= kAttributesTreeDamaged;
    }
    return true;
}

CHFSPlusVolume::~CHFSPlusVolume() {
    delete journal_;
    delete catalogTree_;
    delete catalogFile_;
    delete attributesTree_;
    delete attributesFile_;
    delete extentsTree_;
    delete extentsFile_;
}

bool CHFSPlusVolume::ReadSectors(uint64_t firstSector, uint64_t count, unsigned char* into) {
    if (firstSector > INT64_MAX || count > INT64_MAX)
        return false;
    return device_->ReadSector(into, static_cast<int64_t>(firstSector),
                               static_cast<int64_t>(count));
}

uint64_t CHFSPlusVolume::Read(uint64_t offset, void* buffer, uint64_t length) {
    if (device_ == nullptr || buffer == nullptr || bounce_.empty()) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        return 0;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    uint64_t done = 0;
    bool failed = false;
    // A partial first sector, whole sectors straight into the buffer, a partial last one.
    const uint64_t head = offset % sectorSize_;
    if (length > 0 && head != 0) {
        const uint64_t piece = std::min<uint64_t>(length, sectorSize_ - head);
        if (ReadSectors(offset / sectorSize_, 1, bounce_.data())) {
            std::memcpy(out, bounce_.data() + head, piece);
            done = piece;
        } else {
            failed = true;
        }
    }
    const uint64_t whole = failed ? 0 : (length - done) / sectorSize_;
    if (whole > 0) {
        if (ReadSectors((offset + done) / sectorSize_, whole, out + done))
            done += whole * sectorSize_;
        else
            failed = true;
    }
    if (!failed && done < length) {
        if (ReadSectors((offset + done) / sectorSize_, 1, bounce_.data())) {
            std::memcpy(out + done, bounce_.data(), length - done);
            done = length;
        } else {
            failed = true;
        }
    }
    if (failed) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        std::printf("Location %" PRIu64 " Size: %" PRIu64 "\n", offset + done, length - done);
    }
    return done;
}

RESULT_CODE CHFSPlusVolume::Search(int tree, const BTKey* key, HFSPlusSearchResult& result,
                                   unsigned char** record) {
    std::memset(&result, 0, sizeof(result));
    if (record != nullptr)
        *record = nullptr;
    if (!header_)
        return HFS_QUIET_FAILURE(kResultBadArgument);
    CHFSPlusBTreeOptionBase* option = nullptr;
    switch (tree) {
        case kAttributesTree:
            option = attributesTree_;
            break;
        case kCatalogTree:
            option = catalogTree_;
            break;
        case kExtentsTree:
            option = extentsTree_;
            break;
        default:
            return HFS_FAILURE(kResultNotSupported);
    }
    if (option == nullptr)
        return HFS_QUIET_FAILURE(kResultMissingObject);
    return option->Search(key, result, record);
}

CHFSPlusVolume::CatalogAnswer CHFSPlusVolume::FindCatalogId(uint32_t id) {
    // Every live folder and file has a thread record keyed by its own id.
    HFSPlusCatalogKey key{};
    key.keyLength = 6;
    key.parentID = id;
    HFSPlusSearchResult found{};
    const RESULT_CODE code =
        Search(kCatalogTree, reinterpret_cast<const BTKey*>(&key), found, nullptr);
    if (IsFailure(code))
        return CatalogAnswer::kUnknown;
    return found.found == 1 ? CatalogAnswer::kLive : CatalogAnswer::kGone;
}

uint64_t CHFSPlusVolume::getAttribute(uint32_t fileId, const char* name, unsigned char** data) {
    if (data != nullptr)
        *data = nullptr;
    if (!header_ || name == nullptr || data == nullptr)
        return 0;
    HFSPlusAttrKey key{};
    const size_t length = std::min<size_t>(std::strlen(name), kHFSMaxNameLength);
    key.fileID = fileId;
    key.nameLength = static_cast<uint16_t>(length);
    key.keyLength = static_cast<uint16_t>(2 * length + 14);
    for (size_t i = 0; i < length; ++i)
        key.name[i] = static_cast<unsigned char>(name[i]);
    HFSPlusSearchResult found{};
    unsigned char* record = nullptr;
    const BTKey* asKey = reinterpret_cast<const BTKey*>(&key);
    const RESULT_CODE code = Search(kAttributesTree, asKey, found, &record);
    if (IsFailure(code) || !found.found) {
        delete[] record;
        FindDeleteAttribute(asKey, found, &record);
    }
    if (record == nullptr)
        return 0;
    uint64_t size = 0;
    const auto* attribute = reinterpret_cast<const HFSPlusAttrRecord*>(record);
    if (attribute->recordType != kHFSPlusAttrInlineData) {
        std::fprintf(stderr, "unsupported attribute node format\n");
    } else {
        size = attribute->inlineData.attrSize;
        *data = new (std::nothrow) unsigned char[size > 0 ? size : 1];
        if (*data == nullptr)
            size = 0;
        else
            std::memcpy(*data, record + kHFSPlusAttrDataHead, size);
    }
    delete[] record;
    return size;
}

RESULT_CODE CHFSPlusVolume::FindDeleteExtent(const BTKey* key, HFSPlusSearchResult& result,
                                             unsigned char** record) {
    return FindDeleted(deletedExtents_, key, result, record, CompareExtentKeys, 0,
                       CHFSPlusExtents::CloneRecord);
}

RESULT_CODE CHFSPlusVolume::FindDeleteAttribute(const BTKey* key, HFSPlusSearchResult& result,
                                                unsigned char** record) {
    return FindDeleted(deletedAttributes_, key, result, record, CompareAttributeKeys, 0,
                       CHFSPlusAttribute::CloneRecord);
}

RESULT_CODE CHFSPlusVolume::FindDeleteCatalog(const BTKey* key, HFSPlusSearchResult& result,
                                              unsigned char** record) {
    return FindDeleted(deletedCatalog_, key, result, record, CHFSPlusCatalog::CompareKey,
                       keyCompareType_, CHFSPlusCatalog::CloneRecord);
}

void CHFSPlusVolume::SetProgressTotal(CHFSPlusQuickFileSystemSearchProgress* progress) {
    if (progress == nullptr || progress->GetRecord() == nullptr || !header_)
        return;
    progress->GetRecord()->total =
        deletedCatalog_.size() + uint64_t{header_->fileCount} + header_->folderCount + 1;
}

RESULT_CODE CHFSPlusVolume::QuickSearchFiles(IDirecotryTreeBuilder* builder,
                                             CHFSPlusQuickFileSystemSearchProgress* progress) {
    if (journal_ == nullptr)
        return HFS_FAILURE(kResultNotInitialised);
    SetProgressTotal(progress);
    journal_->GetDeleteRecord(progress, deletedCatalog_, deletedExtents_, deletedAttributes_);
    SetProgressTotal(progress);
    int going = progress != nullptr ? progress->Continued() : 1;

    while (going != 0 && !deletedCatalog_.empty()) {
        going = progress != nullptr ? progress->Continued() : 1;
        HFSPlusDeletedRecord entry = std::move(deletedCatalog_.front());
        deletedCatalog_.pop_front();
        auto* node = new (std::nothrow)
            CHFSPlusFileNode(this, entry.Key(),
                             reinterpret_cast<const HFSPlusCatalogRecord*>(entry.record.get()), 1);
        if (node == nullptr)
            return HFS_FAILURE(kResultOutOfMemory);
        if (node->GetCurrentNodeID() == -1 || builder == nullptr ||
            !builder->AddNode(node, SEARCHER_HFSPLUS)) {
            delete node;
            continue;
        }
        if (progress != nullptr)
            progress->UpdateProgress();
    }
    deletedCatalog_.clear();
    if (going == 0)
        return HFS_FAILURE(kResultStopped);
    if (catalogTree_ == nullptr)
        return result_;
    return catalogTree_->Traverse(builder, progress);
}

int CHFSPlusVolume::GetNodeBelongToFile(uint64_t offset) {
    if (!header_) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return 0;
    }
    const struct {
        uint32_t id;
        const HFSPlusForkData* fork;
    } files[] = {{kHFSCatalogFileID, &header_->catalogFile},
                 {kHFSExtentsFileID, &header_->extentsFile},
                 {kHFSAttributesFileID, &header_->attributesFile},
                 {kHFSAllocationFileID, &header_->allocationFile},
                 {kHFSStartupFileID, &header_->startupFile}};
    for (const auto& file : files) {
        if (IsBelongToFile(file.id, *file.fork, offset) == 1)
            return static_cast<int>(file.id);
    }
    return 0;
}

int CHFSPlusVolume::IsBelongToFile(uint32_t fileId, const HFSPlusForkData& fork, uint64_t offset) {
    const uint64_t blockSize = GetBlockSize();
    if (blockSize == 0)
        return 0;
    auto covers = [&](const HFSPlusExtentDescriptor& extent) {
        const uint64_t start = extent.startBlock * blockSize;
        return start <= offset && offset < start + extent.blockCount * blockSize;
    };
    std::vector<HFSPlusExtentDescriptor> extents;
    uint64_t remaining = fork.totalBlocks;
    uint64_t walked = AppendForkExtents(fork.extents, remaining, extents);
    for (;;) {
        for (const HFSPlusExtentDescriptor& extent : extents) {
            if (covers(extent))
                return 1;
        }
        if (remaining == 0)
            return 0;
        if (fileId == kHFSExtentsFileID) {
            result_ = HFS_FAILURE(kResultMalformed);
            return 0;
        }
        HFSPlusExtentKey key{10, kHFSDataForkType, 0, fileId, static_cast<uint32_t>(walked)};
        HFSPlusSearchResult found{};
        unsigned char* record = nullptr;
        const RESULT_CODE code =
            Search(kExtentsTree, reinterpret_cast<const BTKey*>(&key), found, &record);
        extents.clear();
        const uint64_t added =
            IsSuccess(code) && found.found && record != nullptr
                ? AppendForkExtents(reinterpret_cast<const HFSPlusExtentDescriptor*>(record),
                                    remaining, extents)
                : 0;
        delete[] record;
        // Not found, or a record adding no blocks: the fork ends here.
        if (added == 0) {
            result_ = HFS_FAILURE(kResultMalformed);
            return 0;
        }
        walked += added;
    }
}
