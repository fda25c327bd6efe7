#include "ScanResultNodes.h"

#include <new>
#include <vector>

#include "DataRunList.h"
#include "FileReader.h"
#include "HFSPlusCompressFileReader.h"
#include "RSFields.h"
#include "SearchedPartitionInfo.h"

namespace SaveRestoreResult {

namespace {

// Deeper than any real tree; guards a parent loop.
constexpr int kMostLevels = 100000;

// A name of `length` stored bytes: taken over when within `limit`, else passed over.
std::string ReadLimitedText(RSFieldReader& in, uint32_t limit) {
    const uint32_t length = in.U32();
    if (length == 0 || length > limit) {
        in.Skip(length);
        return {};
    }
    std::string text(length, '\0');
    in.Bytes(text.data(), length);
    // Held as C text: anything after an embedded NUL is not part of the name.
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

// The plain extent list with the saved resident flag.
class RestoredDataRunList : public CDataRunList {
public:
    explicit RestoredDataRunList(uint32_t resident) { resident_ = resident; }
};

}  // namespace

RestoreFileNode* RestoreFileNode::Clone() {
    // The copy takes its own clone of the extent list.
    return new (std::nothrow) RestoreFileNode(*this);
}

IFileReader* RestoreFileNode::CreateCompressFileReader(void* /*context*/) {
    if (hfsPlusVolume_ != nullptr)
        return new (std::nothrow) CHFSPlusCompressFileReader(hfsPlusVolume_, this);
    IFileNode* top = GetParent();
    if (top == nullptr)
        return nullptr;
    for (int level = 0; top->GetParent() != nullptr; ++level) {
        if (level >= kMostLevels)
            return nullptr;
        top = top->GetParent();
    }
    if (top->GetSearcheType() == SEARCHER_NTFS)
        return new (std::nothrow) CCompressFileReader();
    return nullptr;
}

void RestoreFileNode::WriteFileNode(IFileNode& node, RSFieldWriter& out) {
    auto* fileNode = dynamic_cast<CFileNode*>(&node);
    out.I64(node.GetCurrentNodeID());
    out.I64(node.GetParentNodeID());
    out.U64(static_cast<uint64_t>(node.GetFileSize()));
    out.U16(static_cast<uint16_t>(node.GetAttribute()));
    out.U64(node.GetCreationTime());
    out.U64(node.GetModificationTime());
    out.U64(node.GetLastAccessTime());
    out.U32(static_cast<uint32_t>(node.IsDirectory()));
    out.U32(static_cast<uint32_t>(node.IsDeleted()));

    // The count goes ahead of the extents, so they are gathered first. The
    // list's cursor is the owner's: a copy is walked.
    std::vector<DataRun> extents;
    uint32_t resident = 0;
    IDataRunList* runs = fileNode != nullptr ? fileNode->GetDataRunList() : nullptr;
    if (runs != nullptr) {
        IDataRunList* copy = runs->Clone();
        if (copy == nullptr)
            throw std::bad_alloc();
        resident = copy->IsResident();
        for (DataRun* run = copy->GetFirst(); run != nullptr && !copy->IsDone();
             run = copy->GetNext())
            extents.push_back(*run);
        copy->Release();
    }
    out.U32(static_cast<uint32_t>(extents.size()));
    out.U32(resident);
    for (const DataRun& run : extents) {
        out.I64(run.firstCluster);
        out.U64(run.clusterCount);
    }

    const char* name = node.GetFileName();
    out.String(name != nullptr ? name : "",
               name != nullptr ? std::char_traits<char>::length(name) : 0);
    out.U32(static_cast<uint32_t>(node.IsNodeShow()));
    out.U16(fileNode != nullptr ? fileNode->GetBelongedPartition() : CFileNode::kNoPartition);
    out.I64(fileNode != nullptr ? fileNode->GetMetadataStartPosition() : -1);
    out.U32(node.IsCompressed());
}

void RestoreFileNode::ReadFileNode(RSFieldReader& in, RestoreFileNode& target) {
    target.nodeId_ = in.I64();
    target.parentNodeId_ = in.I64();
    target.size_ = in.U64();
    target.attribute_ = in.U16();
    target.created_ = in.U64();
    target.modified_ = in.U64();
    target.accessed_ = in.U64();
    target.directory_ = in.U32();
    target.deleted_ = in.U32();

    const uint32_t extentCount = in.U32();
    const uint32_t resident = in.U32();
    if (extentCount >= 1 && extentCount <= kMaxExtents) {
        auto* runs = new RestoredDataRunList(resident);
        // The list belongs to the node from here, so a damaged record frees it with the node.
        if (target.dataRunList_ != nullptr)
            target.dataRunList_->Release();
        target.dataRunList_ = runs;
        for (uint32_t i = 0; i < extentCount; ++i) {
            const int64_t first = in.I64();
            const uint64_t count = in.U64();
            const DataRun run(first, count);
            runs->AddDataRun(&run);
        }
    } else {
        in.Skip(uint64_t{extentCount} * 16);
    }

    target.name_ = ReadLimitedText(in, kMaxFileName);
    in.U32();  // the saved shown flag: every loaded node is shown
    target.SetShownFlag(1);
    target.SetBelongedPartition(in.U16());
    target.SetMetaDataSector(in.I64());
    target.compressed_ = in.U32();
}

void RestoreSystemNode::WriteSystemNode(IFileNode& root, RSFieldWriter& out) {
    WriteFileNode(root, out);
    out.U32(root.GetSearcheType());
    const char* volume = root.GetVolumeName();
    out.String(volume != nullptr ? volume : "",
               volume != nullptr ? std::char_traits<char>::length(volume) : 0);
}

void RestoreSystemNode::ReadSystemNode(RSFieldReader& in, RestoreSystemNode& target) {
    ReadFileNode(in, target);
    target.searcherType_ = static_cast<_tagSearcherType>(in.U32());
    target.volumeName_ = ReadLimitedText(in, kMaxVolumeName);
}

void WritePartitionRecord(const CSearchedPartitionInfo& partition, RSFieldWriter& out) {
    const uint8_t unused[16] = {};
    out.Bytes(unused, sizeof unused);
    out.U16(partition.partitionIndex);
    out.U16(0);
    out.U32(partition.fileSystemType);
    out.U32(partition.sectorsPerCluster);
    out.U32(0);
    out.U64(partition.firstDataSector);
    out.U64(partition.startSector);
    out.U64(partition.fileSystemValue1);
    out.U64(partition.fileSystemValue2);
    out.U32(partition.sectorSize);
    out.U32(partition.fileSystemValue3);
    out.U64(partition.totalSectors);
    out.U64(partition.integerScore);
    out.F64(partition.score);
    out.U32(partition.fileSystemValue4);
    out.U32(0);
}

void ReadPartitionRecord(RSFieldReader& in, CSearchedPartitionInfo& target) {
    in.Skip(16);
    target.reservedValue = 0;
    target.partitionIndex = in.U16();
    in.Skip(2);
    target.fileSystemType = in.U32();
    target.sectorsPerCluster = in.U32();
    in.Skip(4);
    target.firstDataSector = in.U64();
    target.startSector = in.U64();
    target.fileSystemValue1 = in.U64();
    target.fileSystemValue2 = in.U64();
    target.sectorSize = in.U32();
    target.fileSystemValue3 = in.U32();
    target.totalSectors = in.U64();
    target.integerScore = in.U64();
    target.score = in.F64();
    target.fileSystemValue4 = in.U32();
    in.Skip(4);
}

}  // namespace SaveRestoreResult
