#include "ExFatPreAnalyze.h"

#include <algorithm>
#include <cstring>

#include "ExFatEntries.h"
#include "LittleEndian.h"

namespace {

// Cut heads and tails waiting for their other half; the oldest go first, so
// that a disk full of stray entries cannot fill the memory.
constexpr size_t kMaxWaitingParts = 4096;
constexpr uint32_t kTailBytes = 576;  // the most secondaries a set can have
constexpr uint32_t kMaxSetEntries = 19;

uint64_t ReadLE64(const uint8_t* p) {
    return uint64_t{ReadLE32(p)} | (uint64_t{ReadLE32(p + 4)} << 32);
}

bool AllZero(const uint8_t* bytes, int from, int to) {
    return std::all_of(bytes + from, bytes + to, [](uint8_t b) { return b == 0; });
}

void Remember(std::map<int64_t, std::vector<uint8_t>>& parts, int64_t key,
              std::vector<uint8_t> bytes) {
    if (parts.size() >= kMaxWaitingParts)
        parts.erase(parts.begin());
    parts[key] = std::move(bytes);
}

}  // namespace

bool CheckDirEntry(const uint8_t* entries, uint32_t bytes, uint16_t expected) {
    if (bytes == 0)
        return expected == 0;
    if (ExFatSetChecksum(entries, bytes) == expected)
        return true;
    if (entries[0] != 0x05)
        return false;
    uint16_t sum = 0;
    for (uint32_t i = 0; i < bytes; ++i) {
        if (i == 2 || i == 3)
            continue;
        uint8_t byte = entries[i];
        if (i % kExFatEntrySize == 0)
            byte = i == 0 ? kExFatFile : (i == kExFatEntrySize ? kExFatStream : kExFatName);
        sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
    }
    return sum == expected;
}

void CFDTPreAnaylze::PrepareAnayze(uint32_t sectorShift, uint32_t clusterShift,
                                   uint64_t totalSectors) {
    sectorShift_ = sectorShift;
    sectorSize_ = 1u << sectorShift;
    clusterShift_ = clusterShift;
    totalSectors_ = totalSectors;
    FinisAnayze();
}

void CFDTPreAnaylze::FinisAnayze() {
    heads_.clear();
    tails_.clear();
    links_.clear();
    backLinks_.clear();
    current_.reset();
    work_ = WorkRecord{};
}

std::unique_ptr<CFileSet> CFDTPreAnaylze::GetFileSet() {
    return std::move(current_);
}

void CFDTPreAnaylze::DropFileSet() {
    if (current_)
        *current_ = CFileSet();
}

int64_t CFDTPreAnaylze::GetNext(int64_t first) const {
    const auto found = links_.find(first);
    return found == links_.end() ? -1 : found->second;
}

int64_t CFDTPreAnaylze::GetLast(int64_t first) const {
    const auto found = backLinks_.find(first);
    return found == backLinks_.end() ? -1 : found->second;
}

int64_t CFDTPreAnaylze::CurrentKey(int64_t sector) const {
    return current_ && current_->firstSector >= 0 ? current_->firstSector : sector;
}

bool CFDTPreAnaylze::Analyze(int64_t sector, const uint8_t* bytes, uint32_t available) {
    if (!current_)
        current_ = std::make_unique<CFileSet>();
    const uint32_t entries = sectorSize_ / kExFatEntrySize;
    uint32_t accepted = 0;
    bool stopped = false;
    bool seen[3] = {false, false, false};  // bitmap, up-case table, label in this sector
    for (uint32_t i = 0; i < entries; ++i) {
        bool counted = false;
        const bool goOn = AnalyzeEntry(sector, bytes + i * kExFatEntrySize, i,
                                       available - i * kExFatEntrySize, counted, seen);
        accepted += counted ? 1 : 0;
        if (!goOn) {
            stopped = true;
            break;
        }
    }
    if (accepted == 0) {
        if (!current_->HasFile())
            DropFileSet();
        return true;
    }
    current_->RecordSector(sector);
    if (current_->IsAbridged() && current_->sectorCount == 1)
        RecordAbrige(sector, bytes);
    return stopped || (uint64_t{current_->sectorCount} << sectorShift_) >= current_->maxClusterSize;
}

// One entry; false when it stops the sector. `counted` tells whether it was accepted.
bool CFDTPreAnaylze::AnalyzeEntry(int64_t sector, const uint8_t* entry, uint32_t index,
                                  uint32_t available, bool& counted, bool seen[3]) {
    const uint8_t type = entry[0];
    const bool first = index == 0;
    switch (type) {
        case kExFatBitmap:
        case kExFatUpCase: {
            const uint32_t cluster = ReadLE32(entry + 20);
            const uint64_t length = ReadLE64(entry + 24);
            bool& once = seen[type == kExFatBitmap ? 0 : 1];
            const bool reservedClear = type == kExFatBitmap
                                           ? AllZero(entry, 2, 20)
                                           : AllZero(entry, 1, 4) && AllZero(entry, 8, 20);
            if (once || cluster < 2 || cluster > kExFatLastCluster ||
                (length >> sectorShift_) >= totalSectors_ ||
                (length >> clusterShift_) + cluster >= 0xFFFFFFF6 || !reservedClear) {
                return false;
            }
            once = true;
            if (type == kExFatBitmap)
                current_->SetBitmapInfo(cluster, length);
            else
                current_->SetUpcaseTableInfo(cluster, length);
            counted = true;
            return true;
        }
        case kExFatLabel:
        case ExFatBaseType(kExFatLabel):
            if ((type == kExFatLabel && seen[2]) || !IsValidLabelEntry(entry))
                return false;
            seen[2] = seen[2] || type == kExFatLabel;
            current_->flags |= CFileSet::kLabel;
            counted = true;
            return true;
        case kExFatFile:
        case ExFatBaseType(kExFatFile):
            if (!IsValidFileEntry(entry))
                return false;
            counted = true;
            if (CheckAndRecordNotEnd(sector, entry, index, available))
                return false;
            PushPrimaryEntry(entry, sector);
            return true;
        case kExFatStream:
        case ExFatBaseType(kExFatStream): {
            if (!IsAcceptableStream(entry))
                return false;
            counted = true;
            const ExFatStream stream = ReadStreamEntry(entry);
            if ((stream.validLength >> sectorShift_) >= totalSectors_)
                return false;
            if (stream.firstCluster != 0 && stream.NoFatChain() &&
                ((stream.dataLength >> clusterShift_) + stream.firstCluster > kExFatLastCluster ||
                 (stream.validLength >> clusterShift_) + stream.firstCluster > kExFatLastCluster)) {
                return false;
            }
            PushStreamEntry(entry, first);
            return true;
        }
        case kExFatName:
        case ExFatBaseType(kExFatName):
            if (!IsValidNameEntry(entry))
                return false;
            counted = true;
            PushNameEntry(entry, first);
            return true;
        default:
            // In-use benign entries (volume GUID, padding, vendor data) are passed
            // over; vendor secondaries still count towards their set. They do not
            // make a sector a directory sector: half of all byte values look benign.
            if ((type & (kExFatInUse | kExFatBenign)) != (kExFatInUse | kExFatBenign))
                return false;
            if ((type & kExFatSecondary) && work_.state > 1)
                CountSecondary();
            return true;
    }
}

bool CFDTPreAnaylze::IsAcceptableStream(const uint8_t* entry) const {
    if (!StreamReservedFieldsClear(entry))
        return false;
    const ExFatStream stream = ReadStreamEntry(entry);
    return stream.firstCluster != 1 && stream.firstCluster < 0xFFFFFFF7 &&
           (stream.dataLength >> sectorShift_) < totalSectors_;
}

void CFDTPreAnaylze::PushPrimaryEntry(const uint8_t* entry, int64_t sector) {
    work_ = WorkRecord{};
    work_.state = 1;
    work_.secondariesLeft = entry[1];
    work_.file.inUse = entry[0] & kExFatInUse;
    work_.file.attributes = ReadLE16(entry + 4);
    work_.file.creationTime = ReadLE32(entry + 8);
    work_.file.modificationTime = ReadLE32(entry + 12);
    work_.file.accessTime = ReadLE32(entry + 16);
    work_.file.sector = sector;
}

// A set's tail whose file entry lies elsewhere: a sector that begins with one
// marks its file set abridged. The entries after the tail are read on.
void CFDTPreAnaylze::PushSecondaryWithoutPrimary(bool firstInSector) {
    work_ = WorkRecord{};
    if (firstInSector && !current_->HasFile())
        current_->flags |= CFileSet::kAbridged;
}

void CFDTPreAnaylze::PushStreamEntry(const uint8_t* entry, bool firstInSector) {
    if (work_.state != 1) {
        PushSecondaryWithoutPrimary(firstInSector);
        return;
    }
    const ExFatStream stream = ReadStreamEntry(entry);
    work_.file.dataLength = static_cast<int64_t>(stream.dataLength);
    work_.file.firstCluster = stream.firstCluster;
    work_.file.noFatChain = stream.NoFatChain() ? 1 : 0;
    work_.file.nameLength = stream.nameLength;
    work_.state = 2;
    CountSecondary();
}

void CFDTPreAnaylze::PushNameEntry(const uint8_t* entry, bool firstInSector) {
    if (work_.state <= 1) {
        PushSecondaryWithoutPrimary(firstInSector);
        return;
    }
    work_.nameUnits.insert(work_.nameUnits.end(), entry + 2, entry + kExFatEntrySize);
    ++work_.state;
    CountSecondary();
}

void CFDTPreAnaylze::CountSecondary() {
    if (work_.secondariesLeft > 0)
        --work_.secondariesLeft;
    if (work_.secondariesLeft > 0 || work_.state < 2)
        return;
    work_.file.name = converter_.ToUtf8(work_.nameUnits.data(), work_.nameUnits.size() / 2);
    current_->UpdateFileList(std::move(work_.file));
    work_ = WorkRecord{};
}

bool CFDTPreAnaylze::CheckAndRecordNotEnd(int64_t sector, const uint8_t* entry, uint32_t index,
                                          uint32_t available) {
    const uint32_t setEntries = uint32_t{entry[1]} + 1;
    const uint32_t setBytes = setEntries * kExFatEntrySize;
    if (setEntries <= sectorSize_ / kExFatEntrySize - index)
        return false;
    const int64_t key = CurrentKey(sector);
    const uint64_t spanned = static_cast<uint64_t>(sector - key + 1) << sectorShift_;
    if (spanned < current_->maxClusterSize && setBytes <= available &&
        CheckDirEntry(entry, setBytes, ReadLE16(entry + 2))) {
        return false;  // the set simply goes on in the next sector
    }
    current_->flags |= CFileSet::kNotEnded;
    const uint32_t inSector = sectorSize_ - index * kExFatEntrySize;
    std::vector<uint8_t> head(setBytes, 0);
    std::memcpy(head.data(), entry, std::min(inSector, setBytes));
    for (auto tail = tails_.begin(); tail != tails_.end(); ++tail) {
        if (tail->first != key && Joint(key, head, tail->second)) {
            links_[key] = tail->first;
            backLinks_[tail->first] = key;
            tails_.erase(tail);
            return true;
        }
    }
    Remember(heads_, key, std::move(head));
    return true;
}

void CFDTPreAnaylze::RecordAbrige(int64_t sector, const uint8_t* bytes) {
    std::vector<uint8_t> tail(bytes, bytes + std::min(kTailBytes, sectorSize_));
    tail.resize(kTailBytes, 0);
    for (auto head = heads_.begin(); head != heads_.end(); ++head) {
        if (head->first != sector && Joint(head->first, head->second, tail)) {
            links_[head->first] = sector;
            backLinks_[sector] = head->first;
            heads_.erase(head);
            return;
        }
    }
    Remember(tails_, sector, std::move(tail));
}

// Tries every split of the set between the head's first entries and the
// tail's; the right one has the head's checksum and valid entries, and its
// file joins the current file set.
bool CFDTPreAnaylze::Joint(int64_t headKey, const std::vector<uint8_t>& head,
                           const std::vector<uint8_t>& tail) {
    const uint32_t secondaries = head[1];
    if (secondaries == 0 || secondaries + 1 > kMaxSetEntries)
        return false;
    const uint32_t setBytes = (secondaries + 1) * kExFatEntrySize;
    const uint16_t expected = ReadLE16(head.data() + 2);
    uint8_t set[kMaxSetEntries * kExFatEntrySize];
    for (uint32_t k = secondaries; k >= 1; --k) {
        const uint32_t fromHead = k * kExFatEntrySize;
        if (fromHead > head.size() || setBytes - fromHead > tail.size())
            continue;
        std::memcpy(set, head.data(), fromHead);
        std::memcpy(set + fromHead, tail.data(), setBytes - fromHead);
        if (!CheckDirEntry(set, setBytes, expected) || !IsValidFileEntry(set) ||
            !IsAcceptableStream(set + kExFatEntrySize) ||
            ExFatBaseType(set[kExFatEntrySize]) != ExFatBaseType(kExFatStream)) {
            continue;
        }
        bool valid = true;
        for (uint32_t e = 2; e <= secondaries && valid; ++e) {
            const uint8_t* name = set + e * kExFatEntrySize;
            valid = ExFatBaseType(name[0]) == ExFatBaseType(kExFatName)
                        ? IsValidNameEntry(name)
                        : (name[0] & kExFatBenign) != 0;
        }
        if (!valid)
            continue;
        const WorkRecord saved = work_;
        PushPrimaryEntry(set, headKey);
        PushStreamEntry(set + kExFatEntrySize, false);
        for (uint32_t e = 2; e <= secondaries; ++e) {
            const uint8_t* secondary = set + e * kExFatEntrySize;
            if (ExFatBaseType(secondary[0]) == ExFatBaseType(kExFatName))
                PushNameEntry(secondary, false);
            else
                CountSecondary();
        }
        work_ = saved;
        return true;
    }
    return false;
}
