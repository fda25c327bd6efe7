#include "HFSPlusRawfile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <new>

#include "HFSPlusBTreeOptions.h"
#include "HFSPlusResult.h"
#include "HFSPlusVolume.h"

uint64_t AppendForkExtents(const HFSPlusExtentDescriptor* record, uint64_t& remaining,
                           std::vector<HFSPlusExtentDescriptor>& extents) {
    uint64_t added = 0;
    for (int i = 0; i < kHFSPlusExtentDensity && remaining > 0; ++i) {
        const uint32_t count = record[i].blockCount;
        if (count == 0)
            break;
        extents.push_back(record[i]);
        added += count;
        remaining -= std::min<uint64_t>(remaining, count);
    }
    return added;
}

CHFSPlusRawfile::CHFSPlusRawfile(CHFSPlusVolume* volume, uint32_t fileId,
                                 const HFSPlusForkData& fork)
    : volume_(volume), fileId_(fileId) {
    if (volume == nullptr) {
        result_ = HFS_FAILURE(kResultBadArgument);
        return;
    }
    uint64_t remaining = fork.totalBlocks;
    uint64_t listed = AppendForkExtents(fork.extents, remaining, extents_);
    while (remaining > 0) {
        // The extents file cannot list its own overflow.
        if (fileId == kHFSExtentsFileID || volume->GetExtentsTree() == nullptr) {
            result_ = HFS_FAILURE(kResultMalformed);
            return;
        }
        HFSPlusExtentKey key{10, kHFSDataForkType, 0, fileId, static_cast<uint32_t>(listed)};
        HFSPlusSearchResult found{};
        unsigned char* record = nullptr;
        const RESULT_CODE code = volume->Search(3, reinterpret_cast<BTKey*>(&key), found, &record);
        if (IsFailure(code) || !found.found || record == nullptr) {
            delete[] record;
            result_ = HFS_FAILURE(kResultMalformed);
            return;
        }
        const uint64_t added = AppendForkExtents(
            reinterpret_cast<const HFSPlusExtentDescriptor*>(record), remaining, extents_);
        delete[] record;
        // A record that adds no blocks would be looked up again forever.
        if (added == 0) {
            result_ = HFS_FAILURE(kResultMalformed);
            return;
        }
        listed += added;
    }
}

uint64_t CHFSPlusRawfile::GetListedBytes() const {
    if (volume_ == nullptr)
        return 0;
    uint64_t blocks = 0;
    for (const HFSPlusExtentDescriptor& extent : extents_)
        blocks += extent.blockCount;
    return blocks * volume_->GetBlockSize();
}

uint64_t CHFSPlusRawfile::Read(uint64_t offset, unsigned char* buffer, uint64_t length) {
    if (volume_ == nullptr || volume_->GetHeader() == nullptr) {
        result_ = volume_ != nullptr ? volume_->GetLastError() : HFS_FAILURE(kResultBadArgument);
        return 0;
    }
    if (extents_.empty()) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return 0;
    }
    const uint64_t blockSize = volume_->GetBlockSize();
    uint64_t done = 0;
    uint64_t extentStart = 0;  // fork offset of the current extent
    size_t index = 0;
    while (done < length) {
        const uint64_t position = offset + done;
        while (index < extents_.size() &&
               extentStart + extents_[index].blockCount * blockSize <= position) {
            extentStart += extents_[index].blockCount * blockSize;
            ++index;
        }
        if (index == extents_.size()) {
            result_ = HFS_FAILURE(kResultMalformed);
            break;
        }
        const uint64_t extentBytes = extents_[index].blockCount * blockSize;
        const uint64_t within = position - extentStart;
        const uint64_t piece = std::min(length - done, extentBytes - within);
        const uint64_t volumeOffset = extents_[index].startBlock * blockSize + within;
        const uint64_t got = volume_->Read(volumeOffset, buffer + done, piece);
        done += got;
        if (got != piece) {
            result_ = HFS_FAILURE(kResultShortRead);
            break;
        }
    }
    if (done != length)
        std::printf("Location %" PRIu64 " Size %" PRIu64 "\n", offset + done, length - done);
    return done;
}

CHFSPlusFileCache::CHFSPlusFileCache(CHFSPlusVolume* volume, uint32_t fileId,
                                     const HFSPlusForkData& fork)
    : CHFSPlusRawfile(volume, fileId, fork) {
    if (IsFailure(result_) || volume == nullptr)
        return;
    const uint64_t wanted = std::min<uint64_t>(
        {uint64_t{volume->GetBlockSize()} * fork.totalBlocks, GetListedBytes(), kMostCached});
    cache_.reset(new (std::nothrow) unsigned char[wanted]);
    if (!cache_)
        return;
    if (CHFSPlusRawfile::Read(0, cache_.get(), wanted) != wanted) {
        cache_.reset();
        result_ = kResultSuccess;  // the fork is still read from the volume
        return;
    }
    cachedLength_ = wanted;
}

uint64_t CHFSPlusFileCache::Read(uint64_t offset, unsigned char* buffer, uint64_t length) {
    if (offset < cachedLength_) {
        const uint64_t count = std::min<uint64_t>(length, cachedLength_ - offset);
        std::copy_n(cache_.get() + offset, count, buffer);
        return count;
    }
    return CHFSPlusRawfile::Read(offset, buffer, length);
}
