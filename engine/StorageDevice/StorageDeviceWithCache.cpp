#include "StorageDeviceWithCache.h"

#include <algorithm>
#include <cstring>

#include "AsyncRead.h"

CStorageDeviceWithCache::CStorageDeviceWithCache(IStorageDevice* inner) : inner_(inner) {
    SetBlockSize(1000);
}

CStorageDeviceWithCache::~CStorageDeviceWithCache() {
    StopReader();
}

void CStorageDeviceWithCache::ReadBufferDelete::operator()(uint8_t* data) const {
    FreeReadBuffer(data);
}

CStorageDeviceWithCache::Buffer CStorageDeviceWithCache::AllocateBuffer(size_t bytes) {
    return Buffer(static_cast<uint8_t*>(AllocateReadBuffer(bytes)));
}

size_t CStorageDeviceWithCache::BlocksAhead() {
    const size_t bytes = BlockBytes();
    const size_t fitting = bytes == 0 ? kBlocksAhead : kLookAheadBytes / bytes;
    return std::clamp<size_t>(fitting, kMinBlocksAhead, kBlocksAhead);
}

size_t CStorageDeviceWithCache::BlockBytes() {
    return static_cast<size_t>(blockSize_) * GetSectorSize();
}

size_t CStorageDeviceWithCache::MarginBytes() {
    return static_cast<size_t>(marginSectors_) * GetSectorSize();
}

int64_t CStorageDeviceWithCache::BlockCount(int64_t totalSectors) const {
    return blockSize_ == 0 ? 0 : (totalSectors + blockSize_ - 1) / blockSize_;
}

bool CStorageDeviceWithCache::SetBlockSize(uint32_t sectors) {
    currentBlock_ = -1;
    current_.reset();
    blockSize_ = 0;
    marginSectors_ = 0;
    if (static_cast<size_t>(sectors) * GetSectorSize() > kMaxBlockBytes) {
        return false;
    }
    blockSize_ = sectors;
    marginSectors_ = std::min<int64_t>(kMarginBytes / GetSectorSize(), sectors);
    const size_t bytes = BlockBytes() + 2 * MarginBytes();
    if (BlockBytes() > 0) {
        current_ = AllocateBuffer(bytes);
        if (current_) {
            std::memset(current_.get(), 0, bytes);
        }
    }
    return true;
}

void CStorageDeviceWithCache::BeginCache() {
    std::lock_guard<std::mutex> guard(queueLock_);
    if (reader_.joinable()) {
        return;
    }
    running_ = true;
    nextSector_ = 0;
    if (inner_ == nullptr || blockSize_ == 0) {
        return;
    }
    totalSectors_ = inner_->GetTotalSectors();
    blocksAhead_ = BlocksAhead();
    readerDone_ = false;
    reader_ = std::thread(&CStorageDeviceWithCache::ReadAhead, this);
}

// Keeps up to blocksAhead_ blocks queued in device order until the last block
// of the device has been read or read-ahead is stopped.
void CStorageDeviceWithCache::ReadAhead() {
    const size_t bytes = BlockBytes() + 2 * MarginBytes();
    std::unique_lock<std::mutex> lock(queueLock_);
    while (true) {
        needMore_.wait(lock, [this] { return !running_ || queue_.size() < blocksAhead_; });
        if (!running_ || nextSector_ >= totalSectors_) {
            break;
        }
        const int64_t first = nextSector_;
        const int64_t count = std::min<int64_t>(blockSize_, totalSectors_ - first);
        Buffer block;
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        } else {
            block = AllocateBuffer(bytes);
            if (!block) {
                break;
            }
        }
        lock.unlock();
        const bool readOk = ReadInner(block.get() + MarginBytes(), first, count);
        lock.lock();
        nextSector_ = first + count;
        queue_.push_back({std::move(block), readOk});
        blockReady_.notify_one();
    }
    running_ = false;
    readerDone_ = true;
    blockReady_.notify_all();
}

bool CStorageDeviceWithCache::SetCurCacheBlock(int64_t block) {
    if (inner_ == nullptr || blockSize_ == 0 || block < 0 ||
        block >= BlockCount(inner_->GetTotalSectors())) {
        return false;
    }
    if (!current_) {
        return true;
    }
    std::unique_lock<std::mutex> lock(queueLock_);
    blockReady_.wait(lock, [this] { return !queue_.empty() || readerDone_; });
    if (queue_.empty()) {
        return false;
    }
    // Blocks are handed out strictly in device order, whatever index is given.
    QueuedBlock next = std::move(queue_.front());
    queue_.pop_front();
    // Blocks follow each other, so the end of the block handed out before
    // (never the short last one) is the margin before this one.
    const size_t margin = MarginBytes();
    precedingHeld_ = currentBlock_ >= 0 && currentReadOk_ && margin > 0;
    if (precedingHeld_) {
        std::memcpy(next.data.get(), current_.get() + BlockBytes(), margin);
    }
    following_ = Margin::kUnknown;
    spare_.push_back(std::move(current_));
    current_ = std::move(next.data);
    currentReadOk_ = next.readOk;
    currentBlock_ = block;
    needMore_.notify_one();
    return true;
}

void CStorageDeviceWithCache::StopReader() {
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        running_ = false;
    }
    needMore_.notify_all();
    blockReady_.notify_all();
    if (reader_.joinable()) {
        reader_.join();
    }
}

void CStorageDeviceWithCache::EndCache() {
    StopReader();
    std::lock_guard<std::mutex> guard(queueLock_);
    queue_.clear();
    spare_.clear();
}

bool CStorageDeviceWithCache::ReadInner(void* buffer, int64_t first, int64_t count) {
    if (inner_ == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> guard(innerLock_);
    return inner_->ReadSector(buffer, first, count);
}

// Copies the start of the next queued block into the margin after the current
// one; waits for that block when the reader has not read it yet.
bool CStorageDeviceWithCache::HoldFollowingSectors() {
    if (following_ == Margin::kUnknown) {
        std::unique_lock<std::mutex> lock(queueLock_);
        blockReady_.wait(lock, [this] { return !queue_.empty() || readerDone_; });
        following_ = Margin::kMissing;
        if (!queue_.empty() && queue_.front().readOk) {
            const size_t margin = MarginBytes();
            std::memcpy(current_.get() + margin + BlockBytes(), queue_.front().data.get() + margin,
                        margin);
            following_ = Margin::kHeld;
        }
    }
    return following_ == Margin::kHeld;
}

const uint8_t* CStorageDeviceWithCache::HeldSectors(int64_t first, int64_t count) {
    if (currentBlock_ < 0 || !currentReadOk_ || !current_ || first < 0 || count <= 0) {
        return nullptr;
    }
    const int64_t total = GetTotalSectors();
    const int64_t start = currentBlock_ * blockSize_;
    const int64_t end = std::min<int64_t>(start + blockSize_, total);
    if (first < (precedingHeld_ ? start - marginSectors_ : start)) {
        return nullptr;
    }
    if (count > end - first) {
        // Only a full block has a block after it.
        const int64_t following =
            end - start < blockSize_ ? 0 : std::min(marginSectors_, total - end);
        if (count > end + following - first || !HoldFollowingSectors()) {
            return nullptr;
        }
    }
    const int64_t offset = static_cast<int64_t>(MarginBytes()) +
                           (first - start) * static_cast<int64_t>(GetSectorSize());
    return current_.get() + offset;
}

bool CStorageDeviceWithCache::ReadSector(void* buffer, int64_t first, int64_t count) {
    if (const uint8_t* held = buffer != nullptr ? HeldSectors(first, count) : nullptr) {
        std::memcpy(buffer, held, static_cast<size_t>(count) * GetSectorSize());
        return true;
    }
    // A block whose read-ahead failed is not served: the inner device reports it.
    if (currentBlock_ < 0 || !currentReadOk_ || buffer == nullptr || first < 0 || count <= 0) {
        return ReadInner(buffer, first, count);
    }
    const int64_t sectorSize = GetSectorSize();
    const int64_t start = currentBlock_ * blockSize_;
    // Sectors past the device's end are never served from the block.
    const int64_t end = std::min<int64_t>(start + blockSize_, GetTotalSectors());
    auto* target = static_cast<uint8_t*>(buffer);
    int64_t delivered = 0;
    bool ok = true;
    if (first >= start && first < end) {
        delivered = std::min(count, end - first);
        std::memcpy(target, current_.get() + MarginBytes() + (first - start) * sectorSize,
                    static_cast<size_t>(delivered * sectorSize));
    } else if (first < start) {
        delivered = std::min(start - first, count);
        ok = ReadInner(target, first, delivered);
    }
    if (delivered == count) {
        return ok;
    }
    return ReadInner(target + delivered * sectorSize, first + delivered, count - delivered) && ok;
}

bool CStorageDeviceWithCache::Open(char*) {
    return inner_ != nullptr;
}

bool CStorageDeviceWithCache::Close() {
    return inner_ != nullptr;
}

uint32_t CStorageDeviceWithCache::GetSectorSize() {
    return inner_ != nullptr ? inner_->GetSectorSize() : 512;
}

int64_t CStorageDeviceWithCache::GetTotalSectors() {
    return inner_ != nullptr ? inner_->GetTotalSectors() : 0;
}

bool CStorageDeviceWithCache::IOCtl(uint64_t, void*) {
    return false;
}
