#include "FATTable.h"

#include "LittleEndian.h"
#include "StorageDevice.h"

namespace {

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
    return table_.size() >= 4 && (RawEntry32(0) & 0xFFFFF0) == 0xFFFFF0;
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
    if (table_.size() < 4 || (RawEntry32(0) & 0x7FFFFFF8) != 0x7FFFFFF8) {
        return false;
    }
    return CheckFATBodyAndChains([this](uint32_t i) -> uint32_t { return RawEntry16(i); }, 0xFFF7);
}

CFAT32Table::CFAT32Table(IStorageDevice* device, int64_t firstSector, uint32_t length)
    : IRealFATTable(device, firstSector, length, 4, 256 / (DeviceSectorSize(device) / 512),
                    128000 / (DeviceSectorSize(device) / 512)) {}

uint32_t CFAT32Table::GetNextCluster(uint32_t cluster) {
    if (table_.empty() || cluster >= entryCount_) {
        return 0;
    }
    return RawEntry32(cluster) & 0x0FFFFFFF;
}

bool CFAT32Table::IsValidFATTable() {
    if (table_.size() < 8 || (RawEntry32(0) & 0x0FFFFFF0) != 0x0FFFFFF0 ||
        (RawEntry32(1) & 0x07FFFFF8) != 0x07FFFFF8) {
        return false;
    }
    return CheckFATBodyAndChains(
        [this](uint32_t i) -> uint32_t { return RawEntry32(i) & 0x0FFFFFFF; }, kFATBadCluster);
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
