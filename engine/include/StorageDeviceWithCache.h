#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "StorageDevice.h"

// Wraps the device a complete scan walks block by block: the current block is
// kept in memory and one reader thread reads the following blocks ahead. The
// current block also holds a margin of the sectors on either side of it, so
// that searchers looking a little past its edges still read memory.
// Calling order: SetBlockSize, BeginCache, SetCurCacheBlock(0), (1), ... each
// followed by any ReadSector calls, then EndCache. The inner device is not owned.
class CStorageDeviceWithCache : public IStorageDevice {
public:
    explicit CStorageDeviceWithCache(IStorageDevice* inner);
    ~CStorageDeviceWithCache() override;
    CStorageDeviceWithCache(const CStorageDeviceWithCache&) = delete;
    CStorageDeviceWithCache& operator=(const CStorageDeviceWithCache&) = delete;

    // Sectors per block; false when a block would exceed kMaxBlockBytes.
    bool SetBlockSize(uint32_t sectors);
    void BeginCache();
    // Makes the next block in device order current, recorded as `block`; false
    // when `block` lies past the device or no block is left.
    bool SetCurCacheBlock(int64_t block);
    void EndCache();

    bool Open(char* path) override;
    bool Close() override;
    bool ReadSector(void* buffer, int64_t first, int64_t count) override;
    uint32_t GetSectorSize() override;
    int64_t GetTotalSectors() override;
    bool IOCtl(uint64_t code, void* data) override;
    IStorageDeviceData* GetPrivateData() override { return holder_; }
    void SetPrivateData(IStorageDeviceData* data) override { holder_ = data; }
    uint32_t GetType() override { return kStorageDeviceCache; }
    RESULT_CODE GetLastError() override { return kResultSuccess; }
    // Sectors of the current block and its margins; the bytes stay valid
    // until the next SetCurCacheBlock.
    const uint8_t* HeldSectors(int64_t first, int64_t count) override;

    static constexpr size_t kMaxBlockBytes = 64 << 20;
    static constexpr uint32_t kBlocksAhead = 10;
    // Large blocks are read fewer blocks ahead: the blocks in flight should
    // stay in the processor's last-level cache between the reader's write and
    // the scan's read, or every byte makes an extra round trip to memory.
    static constexpr size_t kLookAheadBytes = 8 << 20;
    static constexpr uint32_t kMinBlocksAhead = 2;
    // Bytes held on either side of the current block (at most a block).
    static constexpr size_t kMarginBytes = 64 << 10;

private:
    // Block buffers come from the read layer's allocator.
    struct ReadBufferDelete {
        void operator()(uint8_t* data) const;
    };
    using Buffer = std::unique_ptr<uint8_t[], ReadBufferDelete>;
    struct QueuedBlock {
        Buffer data;
        bool readOk;
    };

    static Buffer AllocateBuffer(size_t bytes);
    size_t BlocksAhead();
    int64_t BlockCount(int64_t totalSectors) const;
    size_t BlockBytes();
    size_t MarginBytes();
    bool HoldFollowingSectors();
    void ReadAhead();
    bool ReadInner(void* buffer, int64_t first, int64_t count);
    void StopReader();

    IStorageDevice* inner_;
    IStorageDeviceData* holder_ = nullptr;  // stored only

    // Touched by the scan thread only. Each block buffer is laid out as the
    // margin before the block, the block, the margin after it.
    enum class Margin { kUnknown, kHeld, kMissing };
    Buffer current_;
    bool currentReadOk_ = false;
    uint32_t blockSize_ = 0;
    int64_t marginSectors_ = 0;
    int64_t currentBlock_ = -1;
    bool precedingHeld_ = false;
    Margin following_ = Margin::kMissing;  // filled when first asked for

    // Guarded by queueLock_.
    std::mutex queueLock_;
    bool running_ = false;
    bool readerDone_ = true;
    std::deque<QueuedBlock> queue_;
    std::vector<Buffer> spare_;  // handed-back buffers the reader reuses
    int64_t nextSector_ = 0;
    int64_t totalSectors_ = 0;
    size_t blocksAhead_ = kBlocksAhead;
    std::condition_variable blockReady_;
    std::condition_variable needMore_;

    // Serialises the reader's and the scan thread's reads of the inner device.
    std::mutex innerLock_;
    std::thread reader_;
};
