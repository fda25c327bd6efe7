#include "HFSPlusLostVolume.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "HFSPlusBTNode.h"
#include "HFSPlusBTreeOptions.h"

namespace {

constexpr size_t kInfoBlockBytes = sizeof(JournalInfoBlock);
constexpr uint8_t kInfoBlockFill = 0xDB;
constexpr size_t kMostJournalFinds = 64;
constexpr uint32_t kSmallestBlock = 512;
constexpr uint32_t kLargestBlock = 1u << 16;

}  // namespace

void CHFSPlusLostVolume::Reset(int64_t fallbackStart, uint32_t sectorSize) {
    fallbackStart_ = fallbackStart;
    sectorSize_ = sectorSize;
    infos_.clear();
    journals_.clear();
    records_.clear();
}

bool CHFSPlusLostVolume::CheckJournalInfoBlock(int64_t sector, const uint8_t* bytes) {
    if (sectorSize_ <= kInfoBlockBytes || bytes[kInfoBlockBytes] != kInfoBlockFill ||
        bytes[sectorSize_ - 1] != kInfoBlockFill) {
        return false;
    }
    for (size_t i = kInfoBlockBytes; i < sectorSize_; ++i) {
        if (bytes[i] != kInfoBlockFill)
            return false;
    }
    // 36: offset, 44: size, 52: 128 reserved bytes.
    const uint64_t offset = ReadBE64(bytes + 36);
    const uint64_t size = ReadBE64(bytes + 44);
    if ((offset & 511) != 0 || (size & 511) != 0 || size == 0 ||
        std::any_of(bytes + 52, bytes + kInfoBlockBytes, [](uint8_t b) { return b != 0; })) {
        return false;
    }
    if (infos_.size() < kMostJournalFinds)
        infos_.push_back({sector, offset, size});
    return true;
}

bool CHFSPlusLostVolume::CheckJournalHeader(int64_t sector, const uint8_t* bytes) {
    // Written in the byte order of the machine that wrote it.
    uint64_t size = 0;
    if (ReadLE32(bytes) == kJournalMagic && ReadLE32(bytes + 4) == kJournalEndianMarker)
        size = ReadLE64(bytes + 24);
    else if (ReadBE32(bytes) == kJournalMagic && ReadBE32(bytes + 4) == kJournalEndianMarker)
        size = ReadBE64(bytes + 24);
    else
        return false;
    if (journals_.size() < kMostJournalFinds)
        journals_.push_back({sector, size});
    return true;
}

void CHFSPlusLostVolume::KeepLeaf(int64_t sector, CHFSPlusBTNode& node) {
    for (unsigned short n = 0; n < node.GetRecordCount() && records_.size() < kMostRecords; ++n) {
        BTKey* key = nullptr;
        unsigned char* data = nullptr;
        CHFSPlusCatalog::ReadKey(&node, n, key);
        CHFSPlusCatalog::ReadData(&node, n, data);
        Record record{sector,
                      std::unique_ptr<unsigned char[]>(reinterpret_cast<unsigned char*>(key)),
                      std::unique_ptr<unsigned char[]>(data)};
        if (key == nullptr || data == nullptr)
            continue;
        const int16_t type = record.Data()->recordType;
        if (type == kHFSPlusFolderRecord || type == kHFSPlusFileRecord)
            records_.push_back(std::move(record));
    }
}

bool CHFSPlusLostVolume::FindJournalStart(int64_t& start, const JournalInfo*& info,
                                          const Journal*& journal) const {
    // The info block names the journal's byte offset in the volume; the
    // journal header found there, of the same size, fixes the volume's start.
    for (const JournalInfo& i : infos_) {
        for (const Journal& j : journals_) {
            const uint64_t at = uint64_t(j.sector) * sectorSize_;
            if (j.size != i.size || at < i.offset || (at - i.offset) % sectorSize_ != 0)
                continue;
            const auto candidate = static_cast<int64_t>((at - i.offset) / sectorSize_);
            if (candidate <= i.sector && i.sector < j.sector) {
                start = candidate;
                info = &i;
                journal = &j;
                return true;
            }
        }
    }
    return false;
}

// A file of n blocks of size b holding s bytes has (n - 1) x b < s <= n x b;
// the one block size every file record allows, or 0.
uint32_t CHFSPlusLostVolume::AgreedBlockSize() const {
    uint32_t agreed = 0;
    for (uint32_t size = kSmallestBlock; size <= kLargestBlock; size *= 2) {
        bool fits = true;
        bool tested = false;
        for (const Record& record : records_) {
            if (record.Data()->recordType != kHFSPlusFileRecord)
                continue;
            const HFSPlusForkData& fork = record.Data()->file.dataFork;
            if (fork.totalBlocks == 0 || fork.logicalSize == 0)
                continue;
            tested = true;
            const uint64_t blocks = fork.totalBlocks;
            if (fork.logicalSize > blocks * size || fork.logicalSize <= (blocks - 1) * size) {
                fits = false;
                break;
            }
        }
        if (!tested)
            return 0;
        if (fits) {
            if (agreed != 0)
                return 0;
            agreed = size;
        }
    }
    return agreed;
}

CHFSPlusLostVolume::Placement CHFSPlusLostVolume::Place(
    const std::function<bool(int64_t sector)>& claimed) {
    std::erase_if(records_, [&](const Record& r) { return claimed(r.sector); });
    Placement placement;
    placement.startSector = fallbackStart_;
    const JournalInfo* info = nullptr;
    const Journal* journal = nullptr;
    const bool confirmed = FindJournalStart(placement.startSector, info, journal);
    if (confirmed) {
        const int64_t first = journal->sector;
        const auto last = static_cast<int64_t>(first + info->size / sectorSize_);
        for (Record& record : records_)
            record.inJournal = record.sector >= first && record.sector < last;
    }
    std::erase_if(records_, [&](const Record& r) { return r.sector < placement.startSector; });
    placement.blockSize = AgreedBlockSize();
    // The info block lies in a block of its own.
    placement.readable =
        confirmed && placement.blockSize != 0 &&
        (uint64_t(info->sector - placement.startSector) * sectorSize_) % placement.blockSize == 0;
    return placement;
}
