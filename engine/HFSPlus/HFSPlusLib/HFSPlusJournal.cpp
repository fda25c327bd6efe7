#include "HFSPlusJournal.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "HFSPlusBTNode.h"
#include "HFSPlusBTreeOptions.h"
#include "HFSPlusEndian.h"
#include "HFSPlusProgress.h"
#include "HFSPlusResult.h"

namespace {

constexpr uint32_t kMostJournalHeaderSize = 64 * 1024;
constexpr uint32_t kBlockInfoSize = sizeof(JournalBlockInfo);

bool IsPowerOfTwo(uint64_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

template <typename T>
std::unique_ptr<unsigned char[]> Take(T* copy) {
    return std::unique_ptr<unsigned char[]>(reinterpret_cast<unsigned char*>(copy));
}

uint32_t CatalogRecordId(const unsigned char* data) {
    uint32_t id;
    std::memcpy(&id, data + 8, sizeof(id));  // folder id or file id
    return id;
}

}  // namespace

CHFSPlusJournal::CHFSPlusJournal(CHFSPlusVolume* volume)
    : volume_(volume), result_(HFS_QUIET_FAILURE(kResultNotInitialised)) {
    if (volume == nullptr) {
        result_ = HFS_FAILURE(kResultBadArgument);
        return;
    }
    const HFSPlusVolumeHeader* volumeHeader = volume->GetHeader();
    if (volumeHeader == nullptr) {
        result_ = volume->GetLastError();
        return;
    }
    if (!(volumeHeader->attributes & kHFSVolumeJournaledMask)) {
        result_ = HFS_QUIET_FAILURE(kResultHFSJournalInvalid);
        return;
    }
    const uint64_t blockSize = volume->GetBlockSize();
    const uint64_t volumeBytes = blockSize * volumeHeader->totalBlocks;
    std::vector<unsigned char> sector(volume->GetSectorSize() < sizeof(JournalInfoBlock)
                                          ? sizeof(JournalInfoBlock)
                                          : volume->GetSectorSize());
    if (volume->Read(volumeHeader->journalInfoBlock * blockSize, sector.data(), sector.size()) !=
        sector.size()) {
        result_ = HFS_FAILURE(kResultShortRead);
        return;
    }
    auto info = std::make_unique<JournalInfoBlock>();
    std::memcpy(info.get(), sector.data(), sizeof(JournalInfoBlock));
    flipJournalInfoBlock(info.get());
    if (!(info->flags & kJIJournalInFSMask) || info->offset >= volumeBytes ||
        info->size > volumeBytes - info->offset) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        return;
    }
    if (volume->Read(info->offset, sector.data(), sector.size()) != sector.size()) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        return;
    }
    auto header = std::make_unique<JournalHeader>();
    std::memcpy(header.get(), sector.data(), sizeof(JournalHeader));
    // Journals written in big-endian order are not read.
    if (header->magic != kJournalMagic || header->endian != kJournalEndianMarker ||
        header->size != info->size) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        return;
    }
    // The header block, then a circular buffer of transactions that each start
    // with a block list: every size must fit what holds it.
    const uint64_t size = header->size;
    const uint32_t jhdr = header->jhdrSize;
    const uint32_t blhdr = header->blhdrSize;
    if (!IsPowerOfTwo(jhdr) || jhdr < 512 || jhdr > kMostJournalHeaderSize || size <= jhdr ||
        blhdr < 2 * kBlockInfoSize || blhdr % kBlockInfoSize != 0 ||
        blhdr / kBlockInfoSize > 0x10000u || blhdr > size - jhdr || header->start < jhdr ||
        header->start >= size || header->end < jhdr || header->end >= size) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        return;
    }
    info_ = std::move(info);
    header_ = std::move(header);
    result_ = kResultSuccess;
}

uint64_t CHFSPlusJournal::Advance(uint64_t position, uint64_t by) const {
    // The buffer wraps to the byte after the journal header, never onto it.
    const uint64_t ring = header_->size - header_->jhdrSize;
    const uint64_t inRing = (position - header_->jhdrSize + by % ring) % ring;
    return header_->jhdrSize + inRing;
}

uint64_t CHFSPlusJournal::Read(uint64_t position, unsigned char* buffer, uint64_t length) {
    if (!info_ || !header_) {
        result_ = HFS_FAILURE(kResultHFSJournalInvalid);
        return 0;
    }
    if (position < header_->jhdrSize || position >= header_->size)
        position = Advance(header_->jhdrSize, position);
    uint64_t done = 0;
    while (done < length) {
        const uint64_t piece = std::min(length - done, header_->size - position);
        const uint64_t got = volume_->Read(info_->offset + position, buffer + done, piece);
        done += got;
        if (got != piece) {
            result_ = HFS_FAILURE(kResultHFSJournalInvalid);
            break;
        }
        position = Advance(position, piece);
    }
    return done;
}

RESULT_CODE CHFSPlusJournal::GetDeleteRecord(CHFSPlusQuickFileSystemSearchProgress* progress,
                                             HFSPlusDeletedRecords& catalog,
                                             HFSPlusDeletedRecords& extents,
                                             HFSPlusDeletedRecords& attributes) {
    if (!header_)
        return kResultSuccess;
    const uint32_t jhdr = header_->jhdrSize;
    const uint32_t blhdr = header_->blhdrSize;
    const uint64_t ring = header_->size - jhdr;
    const uint16_t listMark = static_cast<uint16_t>(blhdr / kBlockInfoSize - 1);
    std::vector<unsigned char> list;
    try {
        list.resize(std::max(jhdr, blhdr));
    } catch (const std::bad_alloc&) {
        return HFS_FAILURE(kResultOutOfMemory);
    }
    auto going = [progress] { return progress != nullptr ? progress->Continued() : 1; };

    uint64_t position = header_->end;
    std::printf("Journal Start Offset:0x%" PRIx64 "\n", position);
    going();
    // One lap at most, however the blocks fall: a damaged journal cannot hold the walk.
    uint64_t travelled = 0;
    while (travelled < ring) {
        if (going() != 1)
            break;
        if (Read(position, list.data(), jhdr) != jhdr)
            return HFS_FAILURE(kResultHFSJournalInvalid);
        const uint16_t maxBlocks = static_cast<uint16_t>(list[0] | list[1] << 8);
        const uint16_t numBlocks = static_cast<uint16_t>(list[2] | list[3] << 8);
        // Entry 0 describes no block; entries 1 .. numBlocks - 1 lie inside the list.
        if (maxBlocks != listMark || numBlocks == 0 || numBlocks > maxBlocks) {
            position = Advance(position, jhdr);
            travelled += jhdr;
            continue;
        }
        if (Read(position, list.data(), blhdr) != blhdr)
            return HFS_FAILURE(kResultHFSJournalInvalid);
        position = Advance(position, blhdr);
        travelled += blhdr;
        for (uint16_t i = 1; i < numBlocks && travelled < ring; ++i) {
            if (going() == 0)
                return result_;
            JournalBlockInfo entry;
            std::memcpy(&entry, list.data() + kBlockInfoSize * (i + 1u), sizeof(entry));
            const uint32_t blockSize = entry.bsize;
            // A block larger than what is left of the lap ends this list.
            if (blockSize > ring - travelled)
                break;
            const uint64_t at = position;
            position = Advance(position, blockSize);
            travelled += blockSize;
            uint64_t volumeOffset = 0;
            // Only blocks of a B-tree node's size are read.
            if (blockSize < 512 || blockSize > CHFSPlusBTNode::kMostNodeSize ||
                blockSize % 512 != 0 ||
                __builtin_mul_overflow(entry.bnum, uint64_t{jhdr}, &volumeOffset)) {
                continue;
            }
            auto* buffer = new (std::nothrow) unsigned char[blockSize];
            if (buffer == nullptr)
                return HFS_FAILURE(kResultOutOfMemory);
            if (Read(at, buffer, blockSize) != blockSize) {
                delete[] buffer;
                return HFS_FAILURE(kResultHFSJournalInvalid);
            }
            if (!CHFSPlusBTNode::IsValidNode(buffer, static_cast<unsigned short>(blockSize))) {
                delete[] buffer;
                continue;
            }
            CHFSPlusBTNode node(buffer, static_cast<unsigned short>(blockSize), 1);
            if (node.GetDescriptor() == nullptr)
                return node.GetLastError();
            if (node.GetKind() != kBTLeafNode)
                continue;
            switch (volume_->GetNodeBelongToFile(volumeOffset)) {
                case CHFSPlusVolume::kCatalogTree:
                    CollectCatalog(node, progress, catalog);
                    break;
                case CHFSPlusVolume::kExtentsTree:
                    CollectExtents(node, extents);
                    break;
                case CHFSPlusVolume::kAttributesTree:
                    CollectAttributes(node, attributes);
                    break;
                default:
                    break;
            }
        }
        if (position == header_->end)
            break;
    }
    return result_;
}

void CHFSPlusJournal::CollectCatalog(CHFSPlusBTNode& node,
                                     CHFSPlusQuickFileSystemSearchProgress* progress,
                                     HFSPlusDeletedRecords& catalog) {
    const uint8_t compareType = volume_->GetKeyCompareType();
    for (unsigned short n = 0; n < node.GetRecordCount(); ++n) {
        BTKey* key = nullptr;
        unsigned char* data = nullptr;
        CHFSPlusCatalog::ReadKey(&node, n, key);
        CHFSPlusCatalog::ReadData(&node, n, data);
        HFSPlusDeletedRecord entry{Take(key), Take(data)};
        if (key == nullptr || data == nullptr)
            continue;
        const int16_t type = reinterpret_cast<HFSPlusCatalogRecord*>(data)->recordType;
        if (type != kHFSPlusFolderRecord && type != kHFSPlusFileRecord)
            continue;
        const uint32_t id = CatalogRecordId(data);
        HFSPlusSearchResult found{};
        unsigned char* live = nullptr;
        volume_->Search(CHFSPlusVolume::kCatalogTree, key, found, &live);
        const bool sameLive = found.found == 1 && live != nullptr && CatalogRecordId(live) == id;
        delete[] live;
        // A record whose id the live catalog still holds was renamed or moved, not deleted.
        if (sameLive || volume_->FindCatalogId(id) != CHFSPlusVolume::CatalogAnswer::kGone)
            continue;
        bool replaced = false;
        for (HFSPlusDeletedRecord& kept : catalog) {
            if (CHFSPlusCatalog::CompareKey(kept.Key(), key, compareType) == 0 &&
                CatalogRecordId(kept.record.get()) == id) {
                kept.record = std::move(entry.record);
                replaced = true;
                break;
            }
        }
        if (replaced)
            continue;
        catalog.push_front(std::move(entry));
        if (progress != nullptr)
            progress->UpdateProgress();
    }
}

void CHFSPlusJournal::CollectExtents(CHFSPlusBTNode& node, HFSPlusDeletedRecords& extents) {
    for (unsigned short n = 0; n < node.GetRecordCount(); ++n) {
        BTKey* key = nullptr;
        unsigned char* data = nullptr;
        CHFSPlusExtents::ReadKey(&node, n, key);
        CHFSPlusExtents::ReadData(&node, n, data);
        HFSPlusDeletedRecord entry{Take(key), Take(data)};
        if (key == nullptr || data == nullptr)
            continue;
        HFSPlusSearchResult found{};
        volume_->Search(CHFSPlusVolume::kExtentsTree, key, found, nullptr);
        if (found.found == 1)
            continue;
        bool replaced = false;
        for (HFSPlusDeletedRecord& kept : extents) {
            if (CHFSPlusExtents::CompareKey(kept.Key(), key) == 0) {
                kept.record = std::move(entry.record);
                replaced = true;
                break;
            }
        }
        if (!replaced)
            extents.push_front(std::move(entry));
    }
}

void CHFSPlusJournal::CollectAttributes(CHFSPlusBTNode& node, HFSPlusDeletedRecords& attributes) {
    for (unsigned short n = 0; n < node.GetRecordCount(); ++n) {
        BTKey* key = nullptr;
        unsigned char* data = nullptr;
        CHFSPlusAttribute::ReadKey(&node, n, key);
        CHFSPlusAttribute::ReadData(&node, n, data);
        HFSPlusDeletedRecord entry{Take(key), Take(data)};
        if (key == nullptr || data == nullptr)
            continue;
        HFSPlusSearchResult found{};
        volume_->Search(CHFSPlusVolume::kAttributesTree, key, found, nullptr);
        if (found.found == 1)
            continue;
        bool replaced = false;
        for (HFSPlusDeletedRecord& kept : attributes) {
            if (CHFSPlusAttribute::CompareKey(kept.Key(), key) == 0) {
                kept.record = std::move(entry.record);
                replaced = true;
                break;
            }
        }
        if (!replaced)
            attributes.push_front(std::move(entry));
    }
}
