#include "FATBuildChildren.h"

#include <cstring>

#include "DirectoryTreeBuilder.h"
#include "EmptyFileVirtualClusterNum.h"
#include "FATDirEntry.h"
#include "FATFileNode.h"
#include "FATSearchedPartitionInfo.h"
#include "FATTable.h"
#include "IniFile.h"
#include "StorageDevice.h"

namespace {

constexpr uint32_t kRunSectors = 128;
constexpr uint32_t kBufferSectors = 130;
constexpr uint32_t kMaxCarriedBytes = 1024;
// A longer folder chain is a damaged FAT and would otherwise be followed
// across the whole volume.
constexpr uint64_t kMaxFolderBytes = uint64_t{kFATMaxFolderEntries} * kFATDirEntrySize;

// A root folder has neither a "." nor a ".." entry.
bool HasAnyDotEntry(uint8_t* buffer) {
    return CTempFATDirEntry(buffer).IsSelfEntry() ||
           CTempFATDirEntry(buffer + kFATDirEntrySize).IsParentEntry();
}

}  // namespace

CFATBuildChildren::CFATBuildChildren(const FATVolumeLayout& layout, IDirecotryTreeBuilder* builder,
                                     IProgress* progress, CFATSearchedPartitionInfo* partition,
                                     IFATTable* table, std::set<uint32_t>& readClusters,
                                     std::map<uint32_t, CFATFileNode*>& folderMap)
    : layout_(layout),
      builder_(builder),
      progress_(progress),
      partition_(partition),
      table_(table),
      readClusters_(readClusters),
      folderMap_(folderMap),
      dataRuns_(table, layout.sectorSize, layout.sectorsPerCluster, layout.totalSectors) {
    if (layout_.type == FILE_SYSTEM_FAT32) {
        revise_ = ReadFATReviseSwitch();
        ResetPreReadFileClusterNumber();
    }
}

int CFATBuildChildren::BuildRoot(FATFolderQueue& folders, int n, int rootIsValid) {
    if (!rootIsValid) {
        return 0;
    }
    if (layout_.type == FILE_SYSTEM_FAT32) {
        return BuildChildren(nullptr, layout_.rootCluster, folders, 1, n);
    }
    if (layout_.rootSectorCount == 0 || !layout_.device) {
        return 0;
    }
    std::vector<uint8_t> buffer(size_t{layout_.rootSectorCount} * layout_.sectorSize);
    if (!layout_.device->ReadSector(buffer.data(), layout_.rootStartSector,
                                    layout_.rootSectorCount)) {
        return 0;
    }
    const uint32_t used = BuildChildrenFromBuffer(
        buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr, folders, 0, n);
    return used == kNotAFolder ? 0 : 1;
}

int CFATBuildChildren::BuildChildren(CFATFileNode* folder, uint32_t firstCluster,
                                     FATFolderQueue& folders, int isRoot, int n) {
    if (!layout_.device || !table_ || layout_.sectorsPerCluster == 0) {
        return 0;
    }
    const uint32_t sectorSize = layout_.sectorSize;
    std::vector<uint8_t> buffer(size_t{kBufferSectors} * sectorSize);
    uint32_t carried = 0;
    bool firstRun = true;
    bool anyRead = false;
    uint32_t cluster = firstCluster;
    uint64_t folderBytes = 0;
    while (cluster != 0 && cluster < kFATEndOfChain && folderBytes < kMaxFolderBytes) {
        // A run of consecutive clusters, read at once.
        const uint32_t runStart = cluster;
        uint32_t runClusters = 1;
        uint32_t next = table_->GetNextCluster(cluster);
        while (next == runStart + runClusters &&
               (runClusters + 1) * layout_.sectorsPerCluster <= kRunSectors) {
            ++runClusters;
            next = table_->GetNextCluster(next);
        }
        // The set of clusters read ends loops and folders listed twice.
        if (readClusters_.count(runStart)) {
            return 0;
        }
        for (uint32_t i = 0; i < runClusters; ++i) {
            readClusters_.insert(runStart + i);
        }
        const uint32_t runSectors = runClusters * layout_.sectorsPerCluster;
        const uint32_t runBytes = runSectors * sectorSize;
        folderBytes += runBytes;
        uint8_t* target = buffer.data() + carried;
        if (!layout_.device->ReadSector(target, layout_.ClusterToSector(runStart), runSectors)) {
            // Nothing from before is parsed as this run: a sub-folder whose
            // first run cannot be read is not listed (it may be no folder at
            // all); any other run, the root's first too, is skipped.
            if (firstRun && !isRoot) {
                return 0;
            }
            carried = 0;
            cluster = next;
            continue;
        }
        anyRead = true;
        if (firstRun) {
            firstRun = false;
            if (isRoot ? HasAnyDotEntry(buffer.data())
                       : !CTempFATDirEntry::StartsWithDotEntries(buffer.data())) {
                return 0;
            }
        }
        const uint32_t length = carried + runBytes;
        const uint32_t used = BuildChildrenFromBuffer(buffer.data(), length, folder, folders, 0, n);
        if (used == kNotAFolder) {
            return 0;
        }
        const uint32_t left = length - used;
        if (left > 0 && left < kMaxCarriedBytes) {
            std::memmove(buffer.data(), buffer.data() + used, left);
            carried = left;
        } else {
            carried = 0;
        }
        cluster = next;
    }
    return anyRead ? 1 : 0;
}

uint32_t CFATBuildChildren::BuildChildrenFromBuffer(uint8_t* buffer, uint32_t length,
                                                    CFATFileNode* parent, FATFolderQueue& folders,
                                                    int stopAtInvalid, int /*n*/) {
    uint64_t parentCluster = 0;
    bool parentDeleted = false;
    bool parentMadeUp = false;
    if (parent) {
        CFATFileProperties* properties = parent->GetFileProperties();
        if (!properties) {
            return kNotAFolder;
        }
        parentCluster = static_cast<uint64_t>(properties->GetFirstClusterNum());
        parentDeleted = (properties->GetState() & kFATStateDeleted) != 0;
        parentMadeUp = parentDeleted && (properties->GetState() & kFATStateMadeUpFolder) != 0;
    }
    uint64_t hint = parentMadeUp ? 0 : parentCluster;
    const uint64_t revisionParent = parentMadeUp ? 0 : parentCluster;
    int64_t runStart = -1;
    int dotEntries = 0;
    uint32_t offset = 0;
    for (; offset + kFATDirEntrySize <= length; offset += kFATDirEntrySize) {
        uint8_t* bytes = buffer + offset;
        CTempFATDirEntry entry(bytes);
        if (!entry.IsValidFATDirEntry(0)) {
            runStart = -1;
            if (stopAtInvalid)
                break;
            continue;
        }
        if (entry.IsLongFileNameEntry()) {
            if (runStart < 0)
                runStart = offset;
            continue;
        }
        if (entry.IsVolumeLabel()) {
            runStart = -1;
            continue;
        }
        if (bytes[0] == '.') {
            runStart = -1;
            if (++dotEntries > 2)
                return kNotAFolder;
            continue;
        }
        const int64_t start = runStart >= 0 ? runStart : offset;
        runStart = -1;
        const uint64_t ownCluster = entry.GetFirstClusterNO();
        if (ownCluster >= 3 && static_cast<uint32_t>((ownCluster - 2) * layout_.sectorsPerCluster) >
                                   static_cast<uint64_t>(layout_.totalSectors)) {
            if (stopAtInvalid)
                break;
            continue;
        }
        if (parentCluster != 0 && ownCluster == parentCluster) {
            continue;
        }
        CFATFileProperties* properties =
            CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(
                buffer + start, static_cast<uint32_t>(offset + kFATDirEntrySize - start));
        if (!properties) {
            continue;
        }
        if (parentDeleted) {
            properties->SetState(properties->GetState() | kFATStateDeleted);
        }
        properties->SetParentFirstClusterNum(static_cast<int64_t>(parentCluster));
        properties->SetMetaDataSector(layout_.ClusterToSector(parentCluster));

        ReverseDelFileFirstNum(entry, revisionParent, hint, properties, parentMadeUp);
        if (parentCluster != 0 &&
            static_cast<uint64_t>(properties->GetFirstClusterNum()) == parentCluster) {
            entry.SetFirstClusterNO(ownCluster);
            properties->SetFirstClusterNum(static_cast<int64_t>(ownCluster));
        }

        const bool isFolder = entry.IsDirectory();
        const bool deleted = (properties->GetState() & kFATStateDeleted) != 0;
        IDataRunList* runs = nullptr;
        if (!isFolder && properties->GetFileSize() < 1) {
            properties->SetFirstClusterNum(static_cast<int64_t>(
                GetEmptyFileVirtualClusterNumObject()->GetVirtualClusterNum()));
        } else if (!isFolder) {
            runs = BuildDataRunList(static_cast<uint32_t>(properties->GetFirstClusterNum()),
                                    properties->GetFileSize(), deleted);
        }
        auto* node = new CFATFileNode();
        node->SetFileProperties(properties);
        node->SetDataRunList(runs);
        if (partition_) {
            node->SetBelongedPartition(partition_->partitionIndex);
        }
        if (!builder_ || !builder_->AddNode(node, SEARCHER_FAT)) {
            node->Release();
            continue;
        }
        if (isFolder) {
            const auto folderCluster = static_cast<uint32_t>(properties->GetFirstClusterNum());
            if (folderMap_.emplace(folderCluster, node).second) {
                folders.push_back(node);
            }
        }
    }
    return runStart >= 0 ? static_cast<uint32_t>(runStart) : offset;
}

IDataRunList* CFATBuildChildren::BuildDataRunList(uint32_t firstCluster, int64_t size,
                                                  int deleted) {
    return dataRuns_.BuildDataRunList(firstCluster, size, deleted);
}
