#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "HFSPlusFormat.h"
#include "ResultCode.h"

class CHFSPlusVolume;

// Reads one fork of a file by its extents: the eight of the fork, then the
// overflow records of the volume's extents tree.
class CHFSPlusRawfile {
public:
    CHFSPlusRawfile(CHFSPlusVolume* volume, uint32_t fileId, const HFSPlusForkData& fork);
    virtual ~CHFSPlusRawfile() = default;
    CHFSPlusRawfile(const CHFSPlusRawfile&) = delete;
    CHFSPlusRawfile& operator=(const CHFSPlusRawfile&) = delete;

    // Bytes read at `offset` of the fork; fewer than asked on a failure.
    virtual uint64_t Read(uint64_t offset, unsigned char* buffer, uint64_t length);
    RESULT_CODE GetLastError() const { return result_; }
    // Bytes the listed extents cover.
    uint64_t GetListedBytes() const;

protected:
    CHFSPlusVolume* volume_;
    uint32_t fileId_;
    std::vector<HFSPlusExtentDescriptor> extents_;
    RESULT_CODE result_ = 0;
};

// A fork reader that keeps up to the first 256 MiB of the fork in memory.
class CHFSPlusFileCache : public CHFSPlusRawfile {
public:
    static constexpr uint64_t kMostCached = 256ull << 20;

    CHFSPlusFileCache(CHFSPlusVolume* volume, uint32_t fileId, const HFSPlusForkData& fork);

    // From the cache when the offset lies in it (then possibly fewer bytes
    // than asked: only what the cache holds), else from the volume.
    uint64_t Read(uint64_t offset, unsigned char* buffer, uint64_t length) override;
    uint64_t GetCachedLength() const { return cachedLength_; }

private:
    // Filled by the read that follows, so never cleared first.
    std::unique_ptr<unsigned char[]> cache_;
    uint64_t cachedLength_ = 0;
};

// Appends the extents of a fork that has `totalBlocks` blocks from `record`,
// stopping at the extent that completes them; answers the blocks added.
// `remaining` drops by what was added.
uint64_t AppendForkExtents(const HFSPlusExtentDescriptor* record, uint64_t& remaining,
                           std::vector<HFSPlusExtentDescriptor>& extents);
