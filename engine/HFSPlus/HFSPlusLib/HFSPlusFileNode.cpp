#include "HFSPlusFileNode.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "DataRunList.h"
#include "HFSPlusBTreeOptions.h"
#include "HFSPlusCompressFileReader.h"
#include "HFSPlusDecmpfs.h"
#include "HFSPlusRawfile.h"
#include "HFSPlusText.h"
#include "HFSPlusVolume.h"

namespace {

constexpr uint32_t kSymlinkFileType = 0x686C6E6B;  // "hlnk"
constexpr uint32_t kSymlinkCreator = 0x6866732B;   // "hfs+"
constexpr uint32_t kFolderAliasType = 0x66647270;  // "fdrp"
constexpr int64_t kHugeNamelessFile = 1073741824;

}  // namespace

CHFSPlusFileNode::CHFSPlusFileNode(CHFSPlusVolume* volume, const BTKey* key,
                                   const HFSPlusCatalogRecord* record, int deleted)
    : volume_(volume) {
    CreateFileNode(0, 0, key, record, deleted);
}

CHFSPlusFileNode::CHFSPlusFileNode(CHFSPlusVolume* volume, long long metadataSector,
                                   unsigned short partition, const BTKey* key,
                                   const HFSPlusCatalogRecord* record)
    : volume_(volume) {
    CreateFileNode(metadataSector, partition, key, record, 0);
}

_FILETIME CHFSPlusFileNode::GetCreationTime() {
    return HFSPlusDateToFileTime(createDate_);
}

_FILETIME CHFSPlusFileNode::GetModificationTime() {
    return HFSPlusDateToFileTime(modifyDate_);
}

_FILETIME CHFSPlusFileNode::GetLastAccessTime() {
    return HFSPlusDateToFileTime(accessDate_);
}

void CHFSPlusFileNode::TakeDatesAndPlace(uint32_t create, uint32_t modify, uint32_t access,
                                         long long metadataSector, unsigned short partition) {
    createDate_ = create;
    modifyDate_ = modify;
    accessDate_ = access;
    state_ = (state_ & 0xFF) | (uint64_t{partition} << 8) |
             (static_cast<uint64_t>(metadataSector) << 24);
}

void CHFSPlusFileNode::CreateFileNode(long long metadataSector, unsigned short partition,
                                      const BTKey* key, const HFSPlusCatalogRecord* record,
                                      int deleted) {
    if (key != nullptr && record != nullptr) {
        const HFSPlusCatalogKey& catalogKey = key->catalog;
        parentNodeId_ = catalogKey.parentID;
        name_ = HFSPlusNameToUtf8(catalogKey.nodeName.unicode, catalogKey.nodeName.length);
        if (record->recordType == kHFSPlusFileRecord) {
            const HFSPlusCatalogFile& file = record->file;
            nodeId_ = file.fileID;
            if (file.permissions.ownerFlags & kOwnerFlagCompressed) {
                flags_ |= kCompressed;
                size_ = static_cast<int64_t>(file.resourceFork.logicalSize);
                if (size_ != 0)
                    BuildFileDataRun(file.resourceFork, kHFSResourceForkType);
                // Listed and copied out at the size the file has uncompressed.
                UpdateNodeInfo();
            } else {
                size_ = static_cast<int64_t>(file.dataFork.logicalSize);
                if (size_ == 0 && volume_ != nullptr)
                    size_ = int64_t{file.dataFork.totalBlocks} * volume_->GetBlockSize();
                BuildFileDataRun(file.dataFork, kHFSDataForkType);
            }
            if (!(parentNodeId_ == 0 && name_.empty() && size_ > kHugeNamelessFile)) {
                TakeDatesAndPlace(file.createDate, file.contentModDate, file.accessDate,
                                  metadataSector, partition);
                const uint32_t type = file.userInfo.fileType;
                if ((type == kSymlinkFileType && file.userInfo.fileCreator == kSymlinkCreator) ||
                    type == kFolderAliasType) {
                    flags_ |= kDirectory;
                }
            } else {
                return;
            }
        } else if (record->recordType == kHFSPlusFolderRecord) {
            const HFSPlusCatalogFolder& folder = record->folder;
            flags_ |= kDirectory;
            if (folder.folderID != kHFSRootParentID) {
                nodeId_ = folder.folderID;
                size_ = 0;
                TakeDatesAndPlace(folder.createDate, folder.contentModDate, folder.accessDate,
                                  metadataSector, partition);
                if (deleted != 0 && folder.folderID != kHFSRootFolderID)
                    flags_ |= kDeleted;
                return;
            }
        }
    }
    if (deleted != 0)
        flags_ |= kDeleted;
}

void CHFSPlusFileNode::BuildFileDataRun(const HFSPlusForkData& fork, uint8_t forkType) {
    IDataRunList* list = CreateDataRunList();
    if (list == nullptr)
        return;
    if (dataRunList_ != nullptr)
        dataRunList_->Release();
    dataRunList_ = list;
    std::vector<HFSPlusExtentDescriptor> extents;
    uint64_t remaining = fork.totalBlocks;
    uint64_t added = AppendForkExtents(fork.extents, remaining, extents);
    while (remaining > 0 && volume_ != nullptr && volume_->GetExtentsTree() != nullptr &&
           nodeId_ >= 0) {
        HFSPlusExtentKey key{10, forkType, 0, static_cast<uint32_t>(nodeId_),
                             static_cast<uint32_t>(added)};
        const auto* asKey = reinterpret_cast<const BTKey*>(&key);
        HFSPlusSearchResult found{};
        unsigned char* record = nullptr;
        const RESULT_CODE code =
            volume_->Search(CHFSPlusVolume::kExtentsTree, asKey, found, &record);
        if (IsFailure(code) || !found.found || record == nullptr) {
            delete[] record;
            record = nullptr;
            volume_->FindDeleteExtent(asKey, found, &record);
        }
        if (record == nullptr)
            break;
        const uint64_t more = AppendForkExtents(
            reinterpret_cast<const HFSPlusExtentDescriptor*>(record), remaining, extents);
        delete[] record;
        // A record that adds no blocks ends the list (it would be found again forever).
        if (more == 0)
            break;
        added += more;
    }
    for (const HFSPlusExtentDescriptor& extent : extents) {
        const DataRun run(int64_t{extent.startBlock}, uint64_t{extent.blockCount});
        dataRunList_->AddDataRun(&run);
    }
}

void CHFSPlusFileNode::DropExtents() {
    if (dataRunList_ != nullptr)
        dataRunList_->Release();
    dataRunList_ = nullptr;
}

IFileReader* CHFSPlusFileNode::CreateCompressFileReader(void* /*context*/) {
    return new (std::nothrow) CHFSPlusCompressFileReader(volume_, this);
}

void CHFSPlusFileNode::UpdateNodeInfo() {
    if (!(flags_ & kCompressed) || volume_ == nullptr || volume_->GetAttributesTree() == nullptr)
        return;
    unsigned char* data = nullptr;
    const uint64_t size =
        volume_->getAttribute(static_cast<uint32_t>(nodeId_), "com.apple.decmpfs", &data);
    uint32_t type = 0;
    uint64_t uncompressed = 0;
    if (CHFSPlusDecmpfs::ReadHeader(data, size, type, uncompressed)) {
        size_ = static_cast<int64_t>(
            std::min<uint64_t>(CHFSPlusDecmpfs::BelievableSize(type, uncompressed), INT64_MAX));
    } else {
        std::printf("Warn:Can't find file 0x%" PRIx64 " Attribute\n",
                    static_cast<uint64_t>(nodeId_));
    }
    delete[] data;
}
