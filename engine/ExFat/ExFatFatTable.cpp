#include "ExFatFatTable.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "LittleEndian.h"
#include "StorageDevice.h"

void CFatTable::CreateFatTable(IStorageDevice* device, int64_t firstSector, uint32_t length,
                               uint32_t /*unused*/) {
    ClearFatData();
    if (!device || length == 0 || firstSector < 0 ||
        firstSector + int64_t{length} >= device->GetTotalSectors()) {
        return;
    }
    const uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize == 0 || sectorSize > kWindowBytes || (sectorSize & (sectorSize - 1)) != 0)
        return;
    device_ = device;
    firstSector_ = firstSector;
    length_ = length;
    sectorSize_ = sectorSize;
    sectorsPerWindow_ = kWindowBytes / sectorSize;
    Window entries(new (std::nothrow) uint32_t[kEntriesPerWindow]);
    if (entries && ReadWindow(firstSector, entries.get()))
        windows_.emplace(firstSector, std::move(entries));
}

// Reads the window's sectors that belong to the FAT; the rest stays zero, so
// a short FAT near the device's end is read whole.
bool CFatTable::ReadWindow(int64_t key, uint32_t* entries) {
    const int64_t fatEnd = firstSector_ + length_;
    const int64_t count = std::min<int64_t>(sectorsPerWindow_, fatEnd - key);
    std::memset(entries, 0, kWindowBytes);
    if (count <= 0 || !device_->ReadSector(entries, key, count))
        return false;
    auto* bytes = reinterpret_cast<uint8_t*>(entries);
    for (uint32_t i = 0; i < kEntriesPerWindow; ++i)
        entries[i] = ReadLE32(bytes + 4 * size_t{i});
    return true;
}

uint32_t CFatTable::GetNextCluster(uint32_t cluster) {
    if (windows_.empty())
        return kNoEntry;
    const uint64_t sectorInFat = uint64_t{cluster} * 4 / sectorSize_;
    if (sectorInFat >= length_)
        return kNoEntry;
    const int64_t key =
        firstSector_ + static_cast<int64_t>(sectorInFat - sectorInFat % sectorsPerWindow_);
    const uint32_t index = cluster % kEntriesPerWindow;
    const auto found = windows_.find(key);
    if (found != windows_.end())
        return found->second[index];

    Window entries;
    if (windows_.size() >= kMaxWindows) {
        entries = std::move(windows_.begin()->second);
        windows_.erase(windows_.begin());
    } else {
        entries.reset(new (std::nothrow) uint32_t[kEntriesPerWindow]);
        if (!entries)
            return kNoEntry;
    }
    if (!ReadWindow(key, entries.get()))
        return kNoEntry;
    const uint32_t next = entries[index];
    windows_.emplace(key, std::move(entries));
    return next;
}

void CFatTable::ClearFatData() {
    windows_.clear();
    device_ = nullptr;
    firstSector_ = 0;
    length_ = 0;
    sectorsPerWindow_ = 0;
    sectorSize_ = 0;
}
