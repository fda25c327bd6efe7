#include "NTFSQuickSearch.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "DirectoryTreeBuilder.h"
#include "NTFSDBR.h"
#include "NTFSFileNode.h"
#include "NTFSFileProperties.h"
#include "NTFSFileRecord.h"
#include "NTFSMetaFile.h"
#include "NTFSMultiFileRecord.h"
#include "Progress.h"
#include "ResultCode.h"
#include "StorageDevice.h"

namespace {

// The table is read in pieces of about this many sectors.
constexpr size_t kPieceSectors = 128;

RESULT_CODE Failure(uint16_t line, uint32_t kind) {
    return MakeFailure(kModuleNTFSQuickSearch, line, kind);
}

}  // namespace

CNTFSQuickSearch::CNTFSQuickSearch() {
    partition_.fileSystemType = FILE_SYSTEM_UNKNOWN;
    partition_.sectorsPerCluster = 1;
}

CNTFSQuickSearch::~CNTFSQuickSearch() = default;

int CNTFSQuickSearch::GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) {
    if (records == nullptr || capacity < 1) {
        return 1;
    }
    const uint32_t sectorSize = device_ ? device_->GetSectorSize() : partition_.sectorSize;
    auto* record = new (std::nothrow) CSearchedPartitionInfo(sectorSize);
    if (record == nullptr) {
        return 0;
    }
    record->fileSystemType = FILE_SYSTEM_NTFS;
    record->startSector = 0;
    record->firstDataSector = 0;
    record->totalSectors = device_ ? static_cast<uint64_t>(device_->GetTotalSectors()) : 0;
    record->sectorsPerCluster = partition_.sectorsPerCluster;
    record->reservedValue = partition_.reservedValue;
    records[0] = record;
    return 1;
}

void CNTFSQuickSearch::Report(uint32_t state, uint64_t total, uint64_t done, RESULT_CODE result) {
    _PROGRESS_INFO info{};
    info.state = state;
    info.total = total;
    info.done = done;
    info.result = result;
    progress_->UpdateProgress(&info);
}

RESULT_CODE CNTFSQuickSearch::QuickSearchFiles(IStorageDevice* device, IProgress* progress) {
    if (device == nullptr || progress == nullptr) {
        return Failure(__LINE__, kResultBadArgument);
    }
    device_ = device;
    progress_ = progress;
    partition_ = CSearchedPartitionInfo(device->GetSectorSize());
    partition_.fileSystemType = FILE_SYSTEM_NTFS;
    partition_.totalSectors =
        static_cast<uint64_t>(std::max<int64_t>(device->GetTotalSectors() - 1, 0));
    partition_.sectorsPerCluster = 1;

    CNTFSDBR dbr;
    if (!ReadNTFSBootSector(*device, 0, dbr) || !geometry_.Init(dbr, device->GetSectorSize(), 0)) {
        return Failure(__LINE__, kResultNoNTFSBootSector);
    }
    partition_.sectorsPerCluster = geometry_.sectorsPerCluster;
    if (!GetMFTInfo()) {
        return Failure(__LINE__, kResultNoNTFSMft);
    }
    if (builder_ != nullptr) {
        builder_->AddSearcherInfo(SEARCHER_NTFS, CNTFSFileNode::kRootRecord);
    }
    if (log_.Init(device_, &mft_.GetDataRunList(), geometry_)) {
        log_.Analyzer();
    }
    return BuildFileNodeFromMFTFileRecord();
}

bool CNTFSQuickSearch::GetMFTInfo() {
    return ReadMFTInfoFromFileRecord(geometry_.ClusterSector(geometry_.mftCluster),
                                     geometry_.sectorsPerRecord) ||
           ReadMFTInfoFromFileRecord(geometry_.ClusterSector(geometry_.mftMirrCluster),
                                     geometry_.sectorsPerRecord);
}

bool CNTFSQuickSearch::ReadMFTInfoFromFileRecord(int64_t sector, uint32_t sectorsPerRecord) {
    if (sector < 0 || sector + sectorsPerRecord > device_->GetTotalSectors()) {
        return false;
    }
    std::vector<uint8_t> record(geometry_.RecordReadBytes());
    const int size = static_cast<int>(geometry_.recordBytes);
    if (!device_->ReadSector(record.data(), sector, sectorsPerRecord) ||
        !CNTFSFileRecord::IsValid(record.data(), size) ||
        !mft_.InitFromBuffer(record.data(), size, sector)) {
        return false;
    }
    std::vector<uint8_t> undone = record;
    CNTFSFileRecord::UnfixupFileRecord(undone.data(), size);
    const bool hasList = CNTFSFileRecord::HasAttributeList(undone.data(), size);
    const bool named = CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record.data(), size);
    if (!named && !hasList) {
        return false;
    }
    if (hasList) {
        mft_.AddDataRunsFromExtensionRecords(record.data(), *device_, geometry_);
    }
    // A heavily fragmented table may keep its own name in an extension record.
    if (!named) {
        NTFSMFTLocation location{device_, geometry_, &mft_.GetDataRunList()};
        CNTFSMultiFileRecord whole(
            record.data(), size, sector, device_,
            CNTFSMultiFileRecord::InitExtendFileRecord(record.data(), size, sector, location));
        return CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(whole);
    }
    return true;
}

void CNTFSQuickSearch::ReadIntoBuffer(Buffered& buffer, int64_t sector, size_t count) {
    const uint32_t sectorSize = geometry_.deviceSectorSize;
    uint8_t* at = buffer.bytes.data() + buffer.count * sectorSize;
    bool whole = sector + static_cast<int64_t>(count) <= device_->GetTotalSectors() &&
                 device_->ReadSector(at, sector, static_cast<int64_t>(count));
    for (size_t i = 0; i < count; ++i) {
        bool readable = whole;
        if (!whole) {
            // Sector by sector, so that one bad sector costs only its own record.
            readable =
                sector + static_cast<int64_t>(i) < device_->GetTotalSectors() &&
                device_->ReadSector(at + i * sectorSize, sector + static_cast<int64_t>(i), 1);
        }
        buffer.sectors[buffer.count + i] = sector + static_cast<int64_t>(i);
        buffer.readable[buffer.count + i] = readable;
    }
    buffer.count += count;
}

RESULT_CODE CNTFSQuickSearch::BuildFileNodeFromMFTFileRecord() {
    const uint32_t spr = std::max<uint32_t>(geometry_.sectorsPerRecord, 1);
    const uint32_t spc = geometry_.sectorsPerCluster;
    const size_t pieceSectors = std::max<size_t>(kPieceSectors / spr, 1) * spr;
    uint64_t total = 0;
    for (const CDataRun& run : mft_.GetDataRunList().Runs()) {
        if (run.count > 0 && static_cast<uint64_t>(run.count) <=
                                 static_cast<uint64_t>(device_->GetTotalSectors()) / spc) {
            total += static_cast<uint64_t>(run.count) * spc;
        }
    }
    Report(PROGRESS_STATE_RUNNING, total, 0, kResultSuccess);

    Buffered buffer;
    buffer.bytes.resize(pieceSectors * geometry_.deviceSectorSize);
    buffer.sectors.resize(pieceSectors);
    buffer.readable.resize(pieceSectors);
    int64_t tableSector = 0;  // table sectors before the buffer
    bool stopped = false;
    auto flush = [&] {
        BuildFileNodeFromBuffer(buffer, tableSector);
        tableSector += static_cast<int64_t>(buffer.count);
        buffer.count = 0;
        Report(PROGRESS_STATE_RUNNING, total, static_cast<uint64_t>(tableSector), kResultSuccess);
    };
    for (const CDataRun& run : mft_.GetDataRunList().Runs()) {
        // Runs beyond the device are damage; the records they would hold are not there.
        const int64_t sector0 = geometry_.ClusterSector(run.lcn);
        if (stopped || run.count <= 0 || sector0 < 0 ||
            run.count > (device_->GetTotalSectors() - sector0) / spc) {
            continue;
        }
        int64_t sector = sector0;
        int64_t left = run.count * spc;
        while (left > 0) {
            if (!progress_->Continued()) {
                stopped = true;
                break;
            }
            const size_t piece =
                std::min<size_t>(pieceSectors - buffer.count, static_cast<size_t>(left));
            ReadIntoBuffer(buffer, sector, piece);
            sector += static_cast<int64_t>(piece);
            left -= static_cast<int64_t>(piece);
            if (buffer.count == pieceSectors) {
                flush();
            }
        }
    }
    if (!stopped && buffer.count > 0 && progress_->Continued()) {
        flush();
    }
    if (builder_ != nullptr) {
        builder_->SetPartitonDevice(&partition_, device_);
        builder_->FlashBuild(SEARCHER_NTFS);
    }
    Report(PROGRESS_STATE_FINISHED, total, total, kResultSuccess);
    return kResultSuccess;
}

void CNTFSQuickSearch::BuildFileNodeFromBuffer(Buffered& buffer, int64_t firstTableSector) {
    const uint32_t spr = geometry_.sectorsPerRecord;
    for (size_t i = 0; i + spr <= buffer.count; i += spr) {
        // A record with a sector that could not be read is not judged at all.
        if (!std::all_of(buffer.readable.begin() + static_cast<long>(i),
                         buffer.readable.begin() + static_cast<long>(i + spr),
                         [](bool ok) { return ok; })) {
            continue;
        }
        const int64_t number = (firstTableSector + static_cast<int64_t>(i)) *
                               geometry_.deviceSectorSize / geometry_.recordBytes;
        BuildFileNodeFromRecord(buffer.bytes.data() + i * geometry_.deviceSectorSize, number,
                                buffer.sectors[i]);
    }
}

void CNTFSQuickSearch::BuildFileNodeFromRecord(uint8_t* record, int64_t number, int64_t sector) {
    const int size = static_cast<int>(geometry_.recordBytes);
    if (!CNTFSFileRecord::IsValid(record, size) ||
        CIsMetaFileRecord::IsMetaFileRecord(record, size) ||
        CNTFSFileRecord::IsExtendFileRecord(record)) {
        return;
    }
    CCommonFileRecordInfo common;
    if (!common.InitFromBuffer(record, size, sector)) {
        return;
    }
    common.SetMFTFileRecordNumber(number);

    const NTFSMFTLocation location{device_, geometry_, &mft_.GetDataRunList()};
    ExtendFileRecordInfoList extensions =
        CNTFSMultiFileRecord::InitExtendFileRecord(record, size, sector, location);
    CNTFSMultiFileRecord view(record, size, sector, device_, extensions);
    int64_t parent = -1;
    CNTFSFileProperties* properties = CNTFSFilePropertiesBuilder::BuildFileProperties(
        sector, view, geometry_.clusterBytes, &parent, &names_);
    if (common.GetFileRecordNumberofParentDirectory() == -1 && parent != -1) {
        common.SetFileRecordNumberofParentDirectory(parent);
    }
    if (properties == nullptr) {
        return;
    }
    // Deleting often cuts the data attribute to nothing first; the log may still know it.
    if ((properties->GetState() & kNTFSStateDeleted) &&
        !(properties->GetAttribute() & kNTFSAttributeDirectory) && properties->GetFileSize() == 0) {
        log_.ReplaceFileRecordInfo(record, *properties,
                                   common.GetFileRecordNumberofParentDirectory(), extensions);
    }
    CNTFSFilePropertiesBuilder::AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(
        properties, geometry_.clusterBytes);
    properties->SetExtendFileRecordInfoList(std::move(extensions));
    CreateFileNode(number, common.GetFileRecordNumberofParentDirectory(), properties);
}

int CNTFSQuickSearch::CreateFileNode(int64_t id, int64_t parent, CNTFSFileProperties* properties) {
    if (properties == nullptr) {
        return 1;
    }
    auto* node = new CNTFSFileNode();
    node->SetFileProperties(properties);
    node->SetCurrentNodeID(id);
    node->SetParentNodeID(parent);
    if (builder_ != nullptr && builder_->AddNode(node, SEARCHER_NTFS)) {
        return 1;
    }
    node->Release();
    return 0;
}

IQuickFileSystemSearchController* CreateNTFSQuickSearcher() {
    return new CNTFSQuickSearch();
}
