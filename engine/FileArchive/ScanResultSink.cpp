#include "ScanResultSink.h"

#include <algorithm>
#include <new>

#include "DirectoryTreeBuilder.h"
#include "HFSPlusVolume.h"
#include "PartitionDevice.h"
#include "Progress.h"
#include "RSData.h"
#include "RSFields.h"
#include "SearchedPartitionInfo.h"

namespace SaveRestoreResult {

namespace {

// Progress is reported once per this many replayed nodes.
constexpr size_t kProgressStep = 4096;

void Report(IProgress* progress, size_t done, size_t total) {
    if (progress == nullptr)
        return;
    _PROGRESS_INFO info{};
    info.state = PROGRESS_STATE_RUNNING;
    info.total = total;
    info.done = done;
    progress->UpdateProgress(&info);
}

}  // namespace

CRestoreScanSink::CRestoreScanSink(IRSData* archive, DeviceDescriber describe)
    : archive_(archive), describe_(std::move(describe)) {}

CRestoreScanSink::~CRestoreScanSink() {
    ClearMapCell();
}

CRestoreScanSink::OpenedVolume::~OpenedVolume() = default;

size_t CRestoreScanSink::NodeCount() const {
    size_t count = 0;
    for (const SavedRoot& saved : roots_)
        count += saved.nodes.size();
    return count;
}

void CRestoreScanSink::ClearMapCell() {
    for (auto& [type, records] : partitions_) {
        for (CSearchedPartitionInfo* record : records)
            delete record;
    }
    partitions_.clear();
}

std::vector<CSearchedPartitionInfo*>& CRestoreScanSink::GetSearchedPartition(int type) {
    return partitions_[type];
}

bool CRestoreScanSink::ReadNodeFrame() {
    if (read_)
        return error_ == 0;
    read_ = true;
    if (archive_ == nullptr) {
        error_ = RS_ERROR_NO_SUCH_FRAME;
        return false;
    }
    try {
        archive_->OpenFrame(_frFileSystemNode);
        RSFieldReader in(*archive_);
        const uint64_t count = in.U64();
        // Each root takes more than one byte of the frame, which bounds the loop.
        for (uint64_t i = 0; i < count; ++i) {
            SavedRoot& saved = roots_.emplace_back();
            ReadRoot(in, saved);
        }
        // The count and the roots use up the frame: a count that does not,
        // or bytes after the last root, mean roots would be lost unnoticed.
        if (in.Remaining() != 0)
            throw CRSException(RS_ERROR_RECORD_DAMAGED);
        archive_->CloseFrame();
    } catch (const CRSException& e) {
        error_ = e.GetErrorcode() != 0 ? e.GetErrorcode() : RS_ERROR_RECORD_DAMAGED;
    } catch (const std::bad_alloc&) {
        error_ = RS_ERROR_RECORD_DAMAGED;
    }
    if (error_ != 0) {
        roots_.clear();
        try {
            archive_->CloseFrame();
        } catch (const CRSException&) {
        }
    }
    return error_ == 0;
}

void CRestoreScanSink::ReadRoot(RSFieldReader& in, SavedRoot& saved) {
    if (in.U32() != kRootMarker)
        throw CRSException(RS_ERROR_RECORD_DAMAGED);
    saved.root = std::make_unique<RestoreSystemNode>();
    RestoreSystemNode::ReadSystemNode(in, *saved.root);

    const uint32_t partitions = in.U32();
    if (partitions > kMaxPartitions)
        throw CRSException(RS_ERROR_RECORD_DAMAGED);
    for (uint32_t i = 0; i < partitions; ++i) {
        const uint32_t type = in.U32();
        if (type > kMaxPartitionType) {
            // A kind of record this program does not know: passed over whole.
            in.Skip(kPartitionRecordSize);
            continue;
        }
        auto record = std::make_unique<CSearchedPartitionInfo>(512);
        ReadPartitionRecord(in, *record);
        saved.partitions.push_back(std::move(record));
    }

    for (uint32_t marker = in.U32(); marker != kEndMarker; marker = in.U32()) {
        if (marker != kNodeMarker)
            throw CRSException(RS_ERROR_RECORD_DAMAGED);
        auto node = std::make_unique<RestoreFileNode>();
        RestoreFileNode::ReadFileNode(in, *node);
        saved.nodes.push_back(std::move(node));
    }
}

bool CRestoreScanSink::Matches(const SavedRoot& saved, const ScannedDevice& device) const {
    return device.wholeDisk || device.dmgImage || saved.root->VolumeName() == device.name;
}

void CRestoreScanSink::SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress,
                                               IStorageDevice* device) {
    if (builder == nullptr || describe_ == nullptr)
        return;
    const ScannedDevice scanned = describe_(device);
    if (!ReadNodeFrame())
        return;
    ClearMapCell();
    for (SavedRoot& saved : roots_) {
        if (progress != nullptr && progress->Continued() == 0)
            break;
        if (!saved.replayed && Matches(saved, scanned))
            Replay(saved, builder, progress, device);
    }
}

void CRestoreScanSink::ReplayWithoutDevice(const BuilderFor& builderFor, IProgress* progress) {
    if (!builderFor || !ReadNodeFrame())
        return;
    ClearMapCell();
    for (SavedRoot& saved : roots_) {
        if (progress != nullptr && progress->Continued() == 0)
            break;
        if (saved.replayed)
            continue;
        if (IDirecotryTreeBuilder* builder = builderFor(saved.root->VolumeName()))
            Replay(saved, builder, progress, nullptr);
    }
}

void CRestoreScanSink::OpenHFSPlusVolumes(SavedRoot& saved, IStorageDevice* device) {
    if (device == nullptr)
        return;
    std::map<uint16_t, CHFSPlusVolume*> byPartition;
    for (const auto& record : saved.partitions) {
        const uint64_t deviceSectors = static_cast<uint64_t>(device->GetTotalSectors());
        if (record->startSector >= deviceSectors || record->totalSectors == 0 ||
            byPartition.count(record->partitionIndex) != 0)
            continue;
        auto opened = std::make_unique<OpenedVolume>();
        opened->window = std::make_unique<CPartitionVirtualVolumeDevice>(
            device, static_cast<int64_t>(record->startSector),
            static_cast<int64_t>(
                std::min(record->totalSectors, deviceSectors - record->startSector)),
            device->GetSectorSize());
        // Without its catalog: the header, extents and attributes are what
        // compressed files are read with.
        opened->volume = std::make_unique<CHFSPlusVolume>(opened->window.get(), true);
        if (opened->volume->GetHeader() == nullptr ||
            opened->volume->GetAttributesTree() == nullptr)
            continue;
        byPartition[record->partitionIndex] = opened->volume.get();
        volumes_.push_back(std::move(opened));
    }
    if (byPartition.empty())
        return;
    for (auto& node : saved.nodes) {
        if (!node->IsCompressed())
            continue;
        auto found = byPartition.find(node->GetBelongedPartition());
        // A volume scanned on its own has one partition, whatever its nodes say.
        if (found == byPartition.end() && byPartition.size() == 1)
            found = byPartition.begin();
        if (found != byPartition.end())
            node->SetHFSPlusVolume(found->second);
    }
}

void CRestoreScanSink::Replay(SavedRoot& saved, IDirecotryTreeBuilder* builder, IProgress* progress,
                              IStorageDevice* device) {
    saved.replayed = true;
    const auto type = saved.root->GetSearcheType();
    if (type == SEARCHER_HFSPLUS) {
        try {
            OpenHFSPlusVolumes(saved, device);
        } catch (const std::bad_alloc&) {
            // The files are listed all the same; compressed ones cannot be read.
        }
    }
    // The partitions go in first: the copy-out object of the tree is made
    // as soon as the tree is announced.
    std::vector<CSearchedPartitionInfo*>& records = partitions_[static_cast<int>(type)];
    for (auto& record : saved.partitions)
        records.push_back(record.release());
    saved.partitions.clear();

    builder->AddSearcherInfo(type, saved.root->GetCurrentNodeID());
    const size_t total = saved.nodes.size();
    size_t done = 0;
    for (auto& node : saved.nodes) {
        if (done % kProgressStep == 0) {
            if (progress != nullptr && progress->Continued() == 0)
                break;
            Report(progress, done, total);
        }
        ++done;
        // An accepted node belongs to the builder; a refused one is freed here.
        if (builder->AddNode(node.get(), type))
            node.release();
    }
    saved.nodes.clear();
    builder->FlashBuild(type);
    Report(progress, total, total);
}

}  // namespace SaveRestoreResult
