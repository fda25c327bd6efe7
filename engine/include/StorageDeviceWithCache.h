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
// kept in memory and one reader thread reads the following blocks ahead.
// Calling order: SetBlockSize, BeginCache, SetCurCacheBlock(0), (1), ... each
// followed by any ReadSector calls, then EndCache. The inner device is not owned.
class CStorageDeviceWithCache : public IStorageDevice {
public:
    explicit CStorageDeviceWithCache(IStorageDevice* inner);
    ~CStorageDeviceWithCache() override;
    CStorageDeviceWithCache(const CStorageDeviceWithCache&) = delete;
    CStorageDeviceWithCache& operator=(const CStorageDeviceWithCache&) = delete;

    // Sectors per block; false when the block would not fit in memory.
    bool SetBlockSize(uint32_t sectors);
    void BeginCache();
    // Makes the next block in device order current, recorded as `block`.
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

private:
    using Block = std::unique_ptr<uint8_t[]>;

    int64_t BlockCount();
    size_t BlockBytes() const;
    void ReadAhead();
    bool ReadInner(void* buffer, int64_t first, int64_t count);

    IStorageDevice* inner_;
    IStorageDeviceData* holder_ = nullptr;  // stored only
    std::vector<uint8_t> current_;
    uint32_t blockSize_ = 0;
    int64_t currentBlock_ = -1;
    bool running_ = false;
    std::deque<Block> queue_;
    uint32_t blocksAhead_ = 10;
    int64_t nextSector_ = 0;
    std::mutex queueLock_;
    std::condition_variable blockReady_;
    std::condition_variable needMore_;
    std::thread reader_;
};
