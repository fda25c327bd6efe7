#include "FATTable.h"

#include "LittleEndian.h"
#include "StorageDevice.h"

namespace {

constexpr uint32_t kFAT32LargestTableBytes = uint32_t{1} << 30;

uint32_t DeviceSectorSize(IStorageDevice* device) {
    const uint32_t size = device ? device->GetSectorSize() : 512;
    return size >= 512 ? size : 512;
}

}  // namespace

IRealFATTable::IRealFATTable(IStorageDevice* device, int64_t firstSector, uint32_t length,
                             uint32_t entryWidth, uint32_t minLength, uint32_t maxLength)
    : device_(device),
      firstSector_(firstSector),
      length_(length),
      sectorSize_(DeviceSectorSize(device)) {
    entryCount_ = static_cast<uint32_t>(uint64_t{sectorSize_} * length / entryWidth);
    if (!device_ || length < minLength || length > maxLength || length == 0) {
        return;
    }
    // A table past the device's end cannot be read: nothing is allocated for it.
    const int64_t deviceSectors = device_->GetTotalSectors();
    if (firstSector_ < 0 || (deviceSectors > 0 && firstSector_ + length > deviceSectors)) {
        return;
    }
    table_.resize(size_t{length} * sectorSize_);
    // A table the device cannot read is no table: its bytes are never guessed at.
    if (!device_->ReadSector(table_.data(), firstSector_, length)) {
        table_.clear();
        table_.shrink_to_fit();
    }
}

uint32_t IRealFATTable::RawEntry32(uint32_t index) const {
    return ReadLE32(table_.data() + size_t{index} * 4);
}

uint16_t IRealFATTable::RawEntry16(uint32_t index) const {
    return ReadLE16(table_.data() + size_t{index} * 2);
}

template <typename Entry>
bool IRealFATTable::CheckFATBodyAndChains(Entry raw, uint32_t badMark) const {
    const uint32_t count = entryCount_;
    if (count < 3) {
        return true;
    }
    for (uint32_t i = 2; i < count; ++i) {
        const uint32_t value = raw(i);
        if ((value >= count && value < badMark) || value == 1 || value == i) {
            return false;
        }
    }
    // No two clusters may lead to one, and no chain may loop. Since no two
    // clusters lead to one, a walk can only run into an earlier walk at that
    // walk's first cluster: it then adds that walk's steps and stops, so each
    // cluster is walked once (a chain laid out backwards would otherwise be
    // walked again from each of its clusters).
    std::vector<uint32_t> predecessor(count, 0);
    std::vector<uint32_t> walkSteps(count, 0);  // steps of the walk that began there
    const uint32_t lastUsable = badMark - 1;
    for (uint32_t i = 2; i < count; ++i) {
        if (predecessor[i] != 0) {
            continue;
        }
        uint32_t current = i;
        uint64_t steps = 0;
        while (steps < count) {
            const uint32_t next = raw(current);
            if (next < 2 || next > lastUsable) {
                break;
            }
            if (predecessor[next] == 0) {
                predecessor[next] = current;
            } else if (predecessor[next] != current) {
                return false;
            }
            ++steps;
            if (walkSteps[next] != 0) {
                steps += walkSteps[next];
                break;
            }
            current = next;
        }
        if (steps >= count - 2) {
            return false;
        }
        walkSteps[i] = static_cast<uint32_t>(steps);
    }
    return true;
}

template <typename Entry>
uint64_t IRealFATTable::CountDamage(Entry raw, uint32_t badMark) const {
    const uint32_t count = entryCount_;
    if (count < 3) {
        return 0;
    }
    uint64_t damaged = 0;
    const uint32_t lastUsable = badMark - 1;
    // Links per cluster, saturating: one more than one is a cross-link.
    std::vector<uint8_t> links(count, 0);
    for (uint32_t i = 2; i < count; ++i) {
        const uint32_t value = raw(i);
        if ((value >= count && value < badMark) || value == 1 || value == i) {
            ++damaged;
        } else if (value >= 2 && value <= lastUsable) {
            if (links[value] == 0) {
                links[value] = 1;
            } else {
                ++damaged;
            }
        }
    }
    // Loops: each cluster has at most one successor, so a walk that comes
    // back to a cluster of its own path has closed one. Each cluster is
    // walked once (0 new, 1 on the current path, 2 done).
    auto next = [&](uint32_t c) -> uint32_t {
        const uint32_t value = raw(c);
        return value >= 2 && value < count && value != c ? value : 0;
    };
    std::vector<uint8_t> state(count, 0);
    for (uint32_t i = 2; i < count; ++i) {
        uint32_t c = i;
        while (c != 0 && state[c] == 0) {
            state[c] = 1;
            c = next(c);
        }
        if (c != 0 && state[c] == 1) {
            ++damaged;
        }
        for (c = i; c != 0 && state[c] == 1; c = next(c)) {
            state[c] = 2;
        }
    }
    return damaged;
}

CFAT12Table::CFAT12Table(IStorageDevice* device, int64_t firstSector, uint32_t length)
    : IRealFATTable(device, firstSector, length, 4, 1, 12) {}

uint32_t CFAT12Table::GetNextCluster(uint32_t cluster) {
    const size_t offset = size_t{cluster} * 3 / 2;
    if (offset + 2 > table_.size()) {
        return 0;
    }
    const uint16_t pair = ReadLE16(table_.data() + offset);
    const uint32_t value = (cluster & 1) ? (pair >> 4) : (pair & 0x0FFF);
    if (value == 0xFFF) {
        return 0xFFFFFFFF;
    }
    if (value >= 0xFF8) {
        return kFATEndOfChain;
    }
    return value;
}

bool CFAT12Table::IsValidFATTable() {
    return HasValidHeader();
}

bool CFAT12Table::HasValidHeader() {
    return table_.size() >= 4 && (RawEntry32(0) & 0xFFFFF0) == 0xFFFFF0;
}

uint64_t CFAT12Table::CountDamagedEntries() {
    return 0;  // FAT12 volumes are never searched
}

CFAT16Table::CFAT16Table(IStorageDevice* device, int64_t firstSector, uint32_t length)
    : IRealFATTable(device, firstSector, length, 2, 12 / (DeviceSectorSize(device) / 512),
                    256 / (DeviceSectorSize(device) / 512)) {}

uint32_t CFAT16Table::GetNextCluster(uint32_t cluster) {
    if (table_.empty() || cluster >= entryCount_) {
        return 0;
    }
    const uint16_t value = RawEntry16(cluster);
    if (value == 0xFFF7) {
        return kFATBadCluster;
    }
    if (value > 0xFFF7) {
        return kFATEndOfChain;
    }
    return value;
}

bool CFAT16Table::IsValidFATTable() {
    return HasValidHeader() &&
           CheckFATBodyAndChains([this](uint32_t i) -> uint32_t { return RawEntry16(i); }, 0xFFF7);
}

bool CFAT16Table::HasValidHeader() {
    return table_.size() >= 4 && (RawEntry32(0) & 0x7FFFFFF8) == 0x7FFFFFF8;
}

uint64_t CFAT16Table::CountDamagedEntries() {
    return CountDamage([this](uint32_t i) -> uint32_t { return RawEntry16(i); }, 0xFFF7);
}

// Any length a FAT32 volume can need is read: up to an entry for every
// 28-bit cluster number (1 GiB of table).
CFAT32Table::CFAT32Table(IStorageDevice* device, int64_t firstSector, uint32_t length)
    : IRealFATTable(device, firstSector, length, 4, 256 / (DeviceSectorSize(device) / 512),
                    kFAT32LargestTableBytes / DeviceSectorSize(device)) {}

uint32_t CFAT32Table::GetNextCluster(uint32_t cluster) {
    if (table_.empty() || cluster >= entryCount_) {
        return 0;
    }
    return RawEntry32(cluster) & 0x0FFFFFFF;
}

bool CFAT32Table::IsValidFATTable() {
    return HasValidHeader() &&
           CheckFATBodyAndChains(
               [this](uint32_t i) -> uint32_t { return RawEntry32(i) & 0x0FFFFFFF; },
               kFATBadCluster);
}

bool CFAT32Table::HasValidHeader() {
    return table_.size() >= 8 && (RawEntry32(0) & 0x0FFFFFF0) == 0x0FFFFFF0 &&
           (RawEntry32(1) & 0x07FFFFF8) == 0x07FFFFF8;
}

uint64_t CFAT32Table::CountDamagedEntries() {
    return CountDamage([this](uint32_t i) -> uint32_t { return RawEntry32(i) & 0x0FFFFFFF; },
                       kFATBadCluster);
}

CDoubleFATTable::CDoubleFATTable(IRealFATTable* first, IRealFATTable* second)
    : first_(first), second_(second) {}

uint32_t CDoubleFATTable::GetNextCluster(uint32_t cluster) {
    if (first_) {
        return first_->GetNextCluster(cluster);
    }
    if (second_) {
        return second_->GetNextCluster(cluster);
    }
    return 0;
}

uint32_t CDamagedFATTable::GetNextCluster(uint32_t cluster) {
    const uint32_t next = table_->GetNextCluster(cluster);
    if (next == 0 || next >= kFATBadCluster) {
        return next;  // free, bad or the end, as the readers widen them
    }
    if (next == 1 || next == cluster || next >= table_->GetEntryCount()) {
        return kFATEndOfChain;
    }
    return next;
}

CDoubleFATTable* IFATTableFactory::CreateFATTable(IStorageDevice* device, int64_t fat1Sector,
                                                  enumFILE_SYSTEM_TYPE type, uint32_t sectorsPerFat,
                                                  int useFirst, int useSecond) {
    IRealFATTable* first = nullptr;
    IRealFATTable* second = nullptr;
    if (useFirst || !useSecond) {
        first = CreateRealFATTable(device, type, fat1Sector, sectorsPerFat);
    }
    if (useSecond && !first) {
        second = CreateRealFATTable(device, type, fat1Sector + sectorsPerFat, sectorsPerFat);
    }
    return new CDoubleFATTable(first, second);
}

CDamagedFATTable* IFATTableFactory::CreateDamagedFATTable(IStorageDevice* device,
                                                          int64_t fat1Sector,
                                                          enumFILE_SYSTEM_TYPE type,
                                                          uint32_t sectorsPerFat, int useFirst,
                                                          int useSecond) {
    if (type != FILE_SYSTEM_FAT16 && type != FILE_SYSTEM_FAT32) {
        return nullptr;
    }
    std::unique_ptr<IRealFATTable> best;
    uint64_t bestDamage = 0;
    auto consider = [&](int64_t sector) {
        std::unique_ptr<IRealFATTable> copy;
        if (type == FILE_SYSTEM_FAT32) {
            copy = std::make_unique<CFAT32Table>(device, sector, sectorsPerFat);
        } else {
            copy = std::make_unique<CFAT16Table>(device, sector, sectorsPerFat);
        }
        if (!copy->HasValidHeader()) {
            return;
        }
        const uint64_t damage = copy->CountDamagedEntries();
        if (!best || damage < bestDamage) {
            best = std::move(copy);
            bestDamage = damage;
        }
    };
    if (useFirst || !useSecond) {
        consider(fat1Sector);
    }
    if (useSecond) {
        consider(fat1Sector + sectorsPerFat);
    }
    return best ? new CDamagedFATTable(best.release()) : nullptr;
}

IRealFATTable* IFATTableFactory::CreateRealFATTable(IStorageDevice* device,
                                                    enumFILE_SYSTEM_TYPE type, int64_t firstSector,
                                                    uint32_t sectors) {
    std::unique_ptr<IRealFATTable> table;
    switch (type) {
        case FILE_SYSTEM_FAT32:
            table = std::make_unique<CFAT32Table>(device, firstSector, sectors);
            break;
        case FILE_SYSTEM_FAT16:
            table = std::make_unique<CFAT16Table>(device, firstSector, sectors);
            break;
        case FILE_SYSTEM_FAT12:
            table = std::make_unique<CFAT12Table>(device, firstSector, sectors);
            break;
        default:
            return nullptr;
    }
    if (!table->IsValidFATTable()) {
        return nullptr;
    }
    return table.release();
}
