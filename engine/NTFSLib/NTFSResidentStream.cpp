#include "NTFSResidentStream.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "StorageDevice.h"

namespace {
// A record is read with this many sectors (it is at most 4096 bytes long).
constexpr int64_t kRecordReadSectors = 16;
}  // namespace

bool GetResidentAttributeDatafromAttributeBuffer(const uint8_t* attribute, uint8_t* buffer,
                                                 uint32_t capacity, int64_t* length) {
    const uint32_t valueLength = CNTFSFileRecordAttribute::GetLengthOfAttribute(attribute);
    if (valueLength > capacity) {
        return false;
    }
    std::memcpy(buffer, CNTFSFileRecordAttribute::GetValue(attribute), valueLength);
    *length = valueLength;
    return true;
}

bool GetResidentDataRunsStream(uint64_t recordSector, IStorageDevice& device, int64_t* length,
                               uint8_t* buffer, uint32_t capacity) {
    assert(length != nullptr && "ps64OutAttributeDataLength != NULL");
    assert(buffer != nullptr && "pOutAttributeDataBuffer != NULL");
    const uint32_t sectorSize = device.GetSectorSize();
    const int64_t total = device.GetTotalSectors();
    if (!IsValidSectorSize(sectorSize) || static_cast<int64_t>(recordSector) >= total) {
        return false;
    }
    int64_t sectors =
        std::min<int64_t>(kRecordReadSectors, total - static_cast<int64_t>(recordSector));
    sectors = std::min<int64_t>(sectors, (4096 + sectorSize - 1) / sectorSize);
    std::vector<uint8_t> record(static_cast<size_t>(sectors) * sectorSize);
    if (record.size() < static_cast<size_t>(CNTFSFileRecord::kMinimumSize) ||
        !device.ReadSector(record.data(), static_cast<int64_t>(recordSector), sectors)) {
        return false;
    }
    const CNTFSFileRecord view(record.data(), static_cast<int>(record.size()), false);
    if (!view.IsValid()) {
        return false;
    }
    for (uint32_t index = 0;; ++index) {
        const uint8_t* data = view.FindAttibute(kNTFSData, index);
        if (data == nullptr) {
            return false;
        }
        const int remaining = view.GetSize() - static_cast<int>(data - view.GetBuffer());
        if (!CNTFSFileRecordAttribute::IsValid(data, remaining)) {
            return false;
        }
        if (CNTFSFileRecordAttribute::IsNamed(data)) {
            continue;
        }
        return CNTFSFileRecordAttribute::IsResident(data) &&
               GetResidentAttributeDatafromAttributeBuffer(data, buffer, capacity, length);
    }
}
