#include "MFTInfo.h"

#include <algorithm>
#include <vector>

#include "FileSystemSearcher.h"
#include "NTFSArchiveFields.h"
#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "NTFSMultiFileRecord.h"
#include "NTFSRecordAnalyzer.h"
#include "StorageDevice.h"

CMFTInfo* CMFTInfo::Build(const CNTFSFileRecord& record, int64_t sector) {
    auto info = std::make_unique<CMFTInfo>();
    if (!info->InitFromBuffer(record, sector) || info->sectorsPerCluster_ == 0) {
        return nullptr;
    }
    return info.release();
}

bool CMFTInfo::InitFromBuffer(const CNTFSFileRecord& record, int64_t sector) {
    if (!record.IsValid()) {
        return false;
    }
    CNTFSFileRecordAnalyzer::GetSectorsPerClusterfrom0x80(record, sectorsPerCluster_);
    runsMayContinue_ = record.FindAttibute(kNTFSAttributeList, 0) != nullptr;
    initializedBytes_ = -1;
    using A = CNTFSFileRecordAttribute;
    // The attribute that starts the data carries its sizes.
    for (uint32_t index = 0;; ++index) {
        const uint8_t* data = record.FindAttibute(kNTFSData, index);
        if (data == nullptr ||
            !A::IsValid(data, record.GetSize() - static_cast<int>(data - record.GetBuffer()))) {
            break;
        }
        if (!A::IsNamed(data) && !A::IsResident(data) && A::GetStartVCN(data) == 0) {
            initializedBytes_ = A::GetInitializedDataSize(data);
            break;
        }
    }
    runs_.ClearDataRunList();
    CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(record, runs_, false, nullptr);
    sector_ = sector;
    return !runs_.IsEmpty() && runs_.GetLCN(0) >= 0;
}

bool CMFTInfo::HoldsRecord(int64_t number) const {
    const int64_t recordBytes = int64_t{std::max<uint8_t>(sectorsPerRecord_, 1)} * 512;
    return initializedBytes_ < 0 || number < initializedBytes_ / recordBytes;
}

bool CMFTInfo::InitFromBuffer(uint8_t* record, int size, int64_t sector) {
    const CNTFSFileRecord view(record, size, false);
    return InitFromBuffer(view, sector);
}

void CMFTInfo::AddDataRunsFromBuffer(uint8_t* record, int size) {
    const CNTFSFileRecord view(record, size, false);
    if (view.IsValid()) {
        CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(view, runs_, false, nullptr);
        runs_.Sort();
    }
}

void CMFTInfo::AddDataRunsFromExtensionRecords(const uint8_t* record, IStorageDevice& device,
                                               const NTFSGeometry& geometry) {
    const int size = static_cast<int>(geometry.recordBytes);
    const NTFSMFTLocation location{&device, geometry, &runs_};
    ExtendFileRecordInfoList pending =
        CNTFSMultiFileRecord::GetExtendFileRecordInfoList(record, size, location);
    std::erase_if(pending, [](const auto& info) { return info.recordNumber == 0; });
    std::vector<uint8_t> extension(geometry.RecordReadBytes());
    // An extension may lie in runs that an earlier one adds.
    for (bool progress = true; progress && !pending.empty();) {
        progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            const int64_t sector = location.GetFileRecordStartSectorfromMFTNumber(it->recordNumber);
            if (sector < 0 ||
                !device.ReadSector(extension.data(), sector, geometry.sectorsPerRecord)) {
                ++it;
                continue;
            }
            if (CNTFSFileRecord::IsValid(extension.data(), size) &&
                CNTFSFileRecord::IsExtendFileRecord(extension.data()) &&
                CNTFSFileRecord::GetBaseFileRecordNumber(extension.data()) == 0) {
                AddDataRunsFromBuffer(extension.data(), size);
            }
            it = pending.erase(it);
            progress = true;
        }
    }
    runs_.Sort();
}

bool CMFTInfo::Save(IRSData& archive) const {
    using NTFSArchiveFields::Write;
    return Write(archive, sector_) && Write(archive, sectorsPerRecord_) &&
           Write(archive, sectorsPerCluster_) && runs_.Save(archive);
}

bool CMFTInfo::Restore(IRSData& archive) {
    using NTFSArchiveFields::Read;
    return Read(archive, sector_) && Read(archive, sectorsPerRecord_) &&
           Read(archive, sectorsPerCluster_) && runs_.Restore(archive);
}

CCommonFileRecordInfo::CCommonFileRecordInfo() = default;
CCommonFileRecordInfo::~CCommonFileRecordInfo() = default;

void CCommonFileRecordInfo::SetNTFSFileProperties(IFileProperties* properties) {
    properties_.reset(properties);
}

bool CCommonFileRecordInfo::InitFromBuffer(const CNTFSFileRecord& view, int64_t sector) {
    if (!view.IsValid()) {
        return false;
    }
    const uint8_t* buffer = view.GetBuffer();
    directory_ = CNTFSFileRecord::IsFolder(buffer);
    if (CNTFSFileRecord::HasXPNumberOfthisMFTRecord(buffer)) {
        number_ = CNTFSFileRecord::GetXPNumberOfthisMFTRecord(buffer);
    }
    using FN = CNTFSFileRecordFileNameAttribute;
    const uint8_t* first = view.FindAttibute(kNTFSFileName, 0);
    const uint8_t* second = view.FindAttibute(kNTFSFileName, 1);
    parent_ = -1;
    if (second && FN::GetFileRecordNumberofParentDirectory(second) >= 5) {
        parent_ = FN::GetFileRecordNumberofParentDirectory(second);
    } else if (first && FN::GetFileRecordNumberofParentDirectory(first) >= 5) {
        parent_ = FN::GetFileRecordNumberofParentDirectory(first);
    }
    sector_ = sector;
    return true;
}

bool CCommonFileRecordInfo::InitFromBuffer(uint8_t* record, int size, int64_t sector) {
    const CNTFSFileRecord view(record, size, false);
    return InitFromBuffer(view, sector);
}
