#include "NTFSMultiFileRecord.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "NTFSRunList.h"
#include "StorageDevice.h"

int64_t NTFSMFTLocation::GetFileRecordStartSectorfromMFTNumber(int64_t number) const {
    if (runs == nullptr || number < 0 || geometry.clusterBytes == 0) {
        return -1;
    }
    const uint64_t byte = static_cast<uint64_t>(number) * geometry.recordBytes;
    const int64_t lcn = runs->GetLCN(static_cast<int64_t>(byte / geometry.clusterBytes));
    const int64_t sector = geometry.ClusterSector(lcn);
    if (sector < 0) {
        return -1;
    }
    return sector + static_cast<int64_t>(byte % geometry.clusterBytes / geometry.deviceSectorSize);
}

CNTFSMultiFileRecord::CNTFSMultiFileRecord(const uint8_t* record, int size, int64_t sector,
                                           IStorageDevice* device,
                                           const ExtendFileRecordInfoList& extensions)
    : size_(size), sector_(sector), device_(device) {
    if (record == nullptr || size < CNTFSFileRecord::kMinimumSize || size > kMaxRecordBytes) {
        return;
    }
    std::memcpy(base_.data(), record, static_cast<size_t>(size));
    if (!CNTFSFileRecord::IsValid(base_.data(), size)) {
        return;
    }
    CNTFSFileRecord::UnfixupFileRecord(base_.data(), size);
    valid_ = true;
    if (device_ != nullptr) {
        for (const CAttributeListExtendFileRecordInfo& info : extensions) {
            extensions_.push_back({info, {}, false});
        }
    }
}

CNTFSMultiFileRecord::~CNTFSMultiFileRecord() = default;

bool CNTFSMultiFileRecord::IsinUse() const {
    return IsValid() && CNTFSFileRecord::IsinUse(base_.data());
}

int64_t CNTFSMultiFileRecord::GetMainFileRecordIndex() const {
    return IsValid() ? CNTFSFileRecord::GetXPNumberOfthisMFTRecord(base_.data()) : 0;
}

const uint8_t* CNTFSMultiFileRecord::ExtensionBuffer(Extension& extension) {
    if (!extension.read) {
        extension.read = true;
        const uint32_t sectorSize = device_->GetSectorSize();
        if (extension.info.startSector < 0 || !IsValidSectorSize(sectorSize)) {
            return nullptr;
        }
        const int64_t sectors = (size_ + sectorSize - 1) / sectorSize;
        std::vector<uint8_t> buffer(static_cast<size_t>(sectors) * sectorSize);
        if (!device_->ReadSector(buffer.data(), extension.info.startSector, sectors) ||
            !CNTFSFileRecord::IsValid(buffer.data(), size_) || !IsExtensionOfBase(buffer.data())) {
            return nullptr;
        }
        CNTFSFileRecord::UnfixupFileRecord(buffer.data(), size_);
        extension.buffer = std::move(buffer);
    }
    return extension.buffer.empty() ? nullptr : extension.buffer.data();
}

// A record read where the list points may be another file's (a table of an
// older volume at the same place): an extension names its base record.
bool CNTFSMultiFileRecord::IsExtensionOfBase(const uint8_t* record) const {
    if (!CNTFSFileRecord::IsExtendFileRecord(record)) {
        return false;
    }
    return !CNTFSFileRecord::HasXPNumberOfthisMFTRecord(base_.data()) ||
           CNTFSFileRecord::GetBaseFileRecordNumber(record) ==
               CNTFSFileRecord::GetXPNumberOfthisMFTRecord(base_.data());
}

CFoundAttribute CNTFSMultiFileRecord::FindAttibute(uint32_t type, uint32_t index) {
    CFoundAttribute found;
    if (!IsValid()) {
        return found;
    }
    uint32_t offset = CNTFSFileRecord::GetAttributeOffset(base_.data(), size_, type, index);
    if (offset != CNTFSFileRecord::kNoAttribute) {
        return {base_.data() + offset, size_ - static_cast<int>(offset), offset, sector_};
    }
    uint32_t counted = CNTFSFileRecord::GetAttibuteCountofSpecifiedType(base_.data(), size_, type);
    for (Extension& extension : extensions_) {
        const uint8_t* buffer = ExtensionBuffer(extension);
        if (buffer == nullptr) {
            continue;
        }
        const uint32_t here = CNTFSFileRecord::GetAttibuteCountofSpecifiedType(buffer, size_, type);
        if (counted + here > index) {
            offset = CNTFSFileRecord::GetAttributeOffset(buffer, size_, type, index - counted);
            if (offset == CNTFSFileRecord::kNoAttribute) {
                return found;
            }
            return {buffer + offset, size_ - static_cast<int>(offset), offset,
                    extension.info.startSector};
        }
        counted += here;
    }
    return found;
}

bool CNTFSMultiFileRecord::GetAttributeDatafromNonResidentAttributeBuffer(
    const uint8_t* runs, int length, uint8_t* out, size_t bytes, const NTFSMFTLocation& mft) {
    CNTFSDataRunList list;
    if (mft.device == nullptr || !list.InitFromBuffer(runs, length)) {
        return false;
    }
    const NTFSGeometry& g = mft.geometry;
    size_t position = 0;
    for (const CDataRun& run : list.Runs()) {
        if (run.count < 0 || static_cast<uint64_t>(run.count) > bytes / g.clusterBytes ||
            position + static_cast<size_t>(run.count) * g.clusterBytes > bytes) {
            return false;
        }
        const size_t runBytes = static_cast<size_t>(run.count) * g.clusterBytes;
        if (run.lcn >= 0 && (g.ClusterSector(run.lcn) < 0 ||
                             !mft.device->ReadSector(out + position, g.ClusterSector(run.lcn),
                                                     run.count * g.sectorsPerCluster))) {
            return false;
        }
        position += runBytes;
    }
    return true;
}

ExtendFileRecordInfoList CNTFSMultiFileRecord::GetExtendFileRecordInfoList(
    const uint8_t* record, int size, const NTFSMFTLocation& mft) {
    ExtendFileRecordInfoList list;
    if (record == nullptr || size < CNTFSFileRecord::kMinimumSize) {
        return list;
    }
    if (size > kMaxRecordBytes) {
        return list;
    }
    std::array<uint8_t, kMaxRecordBytes> copy;
    std::memcpy(copy.data(), record, static_cast<size_t>(size));
    if (!CNTFSFileRecord::IsValid(copy.data(), size)) {
        return list;
    }
    CNTFSFileRecord::UnfixupFileRecord(copy.data(), size);
    const uint32_t offset =
        CNTFSFileRecord::GetAttributeOffset(copy.data(), size, kNTFSAttributeList, 0);
    if (offset == CNTFSFileRecord::kNoAttribute) {
        return list;
    }
    const uint8_t* attribute = copy.data() + offset;
    using A = CNTFSFileRecordAttribute;
    if (!A::IsValid(attribute, size - static_cast<int>(offset))) {
        return list;
    }
    std::vector<uint8_t> data;
    if (A::IsResident(attribute)) {
        data.assign(A::GetValue(attribute),
                    A::GetValue(attribute) + A::GetLengthOfAttribute(attribute));
    } else {
        const int64_t allocated = A::GetAllocSizeofAttribute(attribute);
        const int64_t used = A::GetInitializedDataSize(attribute);
        const uint32_t runsOffset = A::GetDataRunsOffset(attribute);
        if (used < 1 || used > allocated || allocated > kMaxAttributeListBytes ||
            runsOffset >= A::GetLength(attribute)) {
            return list;
        }
        data.assign(static_cast<size_t>(allocated), 0);
        if (!GetAttributeDatafromNonResidentAttributeBuffer(
                attribute + runsOffset, static_cast<int>(A::GetLength(attribute) - runsOffset),
                data.data(), data.size(), mft)) {
            return list;
        }
        data.resize(static_cast<size_t>(used));
    }
    // Entries: type at 0, length at 4, the holding record's reference at 16.
    for (size_t at = 0; at + 24 <= data.size();) {
        const uint32_t type = ReadLE32(data.data() + at);
        const uint16_t length = ReadLE16(data.data() + at + 4);
        if (type == 0 || length < 24) {
            break;
        }
        const int64_t number =
            static_cast<int64_t>(ReadLE64(data.data() + at + 16) & 0xFFFFFFFFFFFFull);
        const bool known = std::any_of(list.begin(), list.end(), [&](const auto& info) {
            return info.recordNumber == number;
        });
        if (!known) {
            list.push_back({-1, number});
        }
        at += length;
    }
    return list;
}

ExtendFileRecordInfoList CNTFSMultiFileRecord::InitExtendFileRecord(const uint8_t* record, int size,
                                                                    int64_t sector,
                                                                    const NTFSMFTLocation& mft) {
    ExtendFileRecordInfoList list = GetExtendFileRecordInfoList(record, size, mft);
    for (CAttributeListExtendFileRecordInfo& info : list) {
        info.startSector = mft.GetFileRecordStartSectorfromMFTNumber(info.recordNumber);
    }
    std::erase_if(list, [&](const CAttributeListExtendFileRecordInfo& info) {
        return info.startSector < 0 || info.startSector == sector;
    });
    return list;
}
