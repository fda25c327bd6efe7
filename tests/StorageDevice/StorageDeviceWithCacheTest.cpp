#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "DeviceTestData.h"
#include "DiskDevice.h"
#include "MemoryDevice.h"
#include "StorageDeviceWithCache.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

// The sectors as read without the cache (and without using the inner device,
// which the reader thread may be reading).
using DirectRead = std::function<std::vector<uint8_t>(int64_t first, int64_t count)>;

// Walks the whole device as a complete scan does and checks every block, and a
// few reads around each block's edges, against direct reads.
void ExpectScanMatchesDirectReads(IStorageDevice& inner, uint32_t blockSize,
                                  const DirectRead& direct) {
    const int64_t total = inner.GetTotalSectors();
    const int64_t blocks = (total + blockSize - 1) / blockSize;
    const size_t sectorSize = inner.GetSectorSize();
    CStorageDeviceWithCache cache(&inner);
    ASSERT_TRUE(cache.SetBlockSize(blockSize));
    cache.BeginCache();
    for (int64_t block = 0; block < blocks; ++block) {
        SCOPED_TRACE(testing::Message() << "block " << block);
        ASSERT_TRUE(cache.SetCurCacheBlock(block));
        const int64_t start = block * blockSize;
        const int64_t count = std::min<int64_t>(blockSize, total - start);
        std::vector<uint8_t> buffer(count * sectorSize);
        ASSERT_TRUE(cache.ReadSector(buffer.data(), start, count));
        EXPECT_EQ(buffer, direct(start, count));
        const uint8_t* held = cache.HeldSectors(start, count);
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(held, held + buffer.size()), buffer);
        // Straddling the block's start and its end.
        const int64_t from = std::max<int64_t>(0, start - 1);
        const int64_t span = std::min<int64_t>(total - from, count + 2);
        buffer.assign(span * sectorSize, 0);
        ASSERT_TRUE(cache.ReadSector(buffer.data(), from, span));
        EXPECT_EQ(buffer, direct(from, span));
    }
    EXPECT_FALSE(cache.SetCurCacheBlock(blocks));
    // Past the device's end inside the last block's buffer: a clean failure.
    std::vector<uint8_t> buffer(2 * sectorSize);
    EXPECT_FALSE(cache.ReadSector(buffer.data(), total - 1, 2));
    EXPECT_FALSE(cache.ReadSector(buffer.data(), total, 1));
    cache.EndCache();
}

TEST(StorageDeviceWithCacheTest, HandsOutEveryBlockAsDirectReadsSeeIt) {
    struct Case {
        int64_t sectors;
        uint32_t sectorSize;
        uint32_t blockSize;
    } cases[] = {
        {1, 512, 8},        // one sector
        {20, 512, 8},       // 2.5 blocks: shorter than the look-ahead
        {80, 512, 8},       // exactly the look-ahead
        {203, 512, 8},      // many blocks, short last block
        {37, 4096, 4},      // large sectors
        {1000, 512, 1000},  // one full block of the default size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sectors << " sectors, blocks of " << c.blockSize);
        MemoryDevice inner(c.sectors, c.sectorSize);
        ExpectScanMatchesDirectReads(inner, c.blockSize, [&](int64_t first, int64_t count) {
            return inner.Sectors(first, count);
        });
    }
}

TEST(StorageDeviceWithCacheTest, ScansAnImageFileAndALoopDevice) {
    TempDir dir;
    const auto image = dir / "disk.img";
    WriteFile(image, PatternBytes(3 * 1024 * 1024 + 7 * 512 + 100, 4));
    const DirectRead pread = [&](int64_t first, int64_t count) {
        return PreadRange(image, first * 512, count * 512);
    };
    {
        CDiskDevice disk(image.c_str());
        ASSERT_TRUE(disk.Open(nullptr));
        ExpectScanMatchesDirectReads(disk, 1024, pread);
    }
    LoopDevice loop(image, false);
    HARBEX_REQUIRE_LOOP(loop);
    CDiskDevice disk(loop.device().c_str());
    ASSERT_TRUE(disk.Open(nullptr));
    ExpectScanMatchesDirectReads(disk, 1024, pread);
}

class CacheReadRoutingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cache_.SetBlockSize(8));
        cache_.BeginCache();
        // After the last block is current the reader has nothing more to read.
        for (int64_t block = 0; block < 3; ++block) {
            ASSERT_TRUE(cache_.SetCurCacheBlock(block));
        }
        inner_.ownerReads = 0;
    }
    void TearDown() override { cache_.EndCache(); }

    // Reads through the cache; answers how many reads reached the inner device.
    int ReadsReachingInner(int64_t first, int64_t count) {
        const int before = inner_.ownerReads;
        std::vector<uint8_t> buffer(count * 512);
        EXPECT_TRUE(cache_.ReadSector(buffer.data(), first, count));
        EXPECT_EQ(buffer, inner_.Sectors(first, count));
        return inner_.ownerReads - before;
    }

    MemoryDevice inner_{24, 512};
    CStorageDeviceWithCache cache_{&inner_};
};

TEST_F(CacheReadRoutingTest, ReadsInsideTheCurrentBlockStayInMemory) {
    EXPECT_EQ(ReadsReachingInner(16, 8), 0);
    EXPECT_EQ(ReadsReachingInner(19, 2), 0);
}

TEST_F(CacheReadRoutingTest, ReadsInTheMarginBeforeTheBlockStayInMemory) {
    // The margin before a block of 8 sectors is the whole block before it.
    EXPECT_EQ(ReadsReachingInner(15, 1), 0);
    EXPECT_EQ(ReadsReachingInner(8, 16), 0);
}

TEST_F(CacheReadRoutingTest, ReadsBeyondTheMarginsGoToTheDevice) {
    EXPECT_EQ(ReadsReachingInner(0, 8), 1);
    // Starting one sector before the margin: read wholly from the device.
    EXPECT_EQ(ReadsReachingInner(7, 3), 1);
}

TEST(StorageDeviceWithCacheTest, ReadsInTheMarginAfterTheBlockStayInMemory) {
    MemoryDevice inner(24, 512);
    CStorageDeviceWithCache cache(&inner);
    ASSERT_TRUE(cache.SetBlockSize(8));
    cache.BeginCache();
    ASSERT_TRUE(cache.SetCurCacheBlock(0));
    // Only the reader has read so far; the next block is already read ahead.
    const int before = inner.ownerReads;
    std::vector<uint8_t> buffer(12 * 512);
    EXPECT_TRUE(cache.ReadSector(buffer.data(), 4, 12));
    EXPECT_EQ(buffer, inner.Sectors(4, 12));
    EXPECT_EQ(inner.ownerReads, before);
    EXPECT_EQ(cache.HeldSectors(4, 13), nullptr);  // past the margin after the block
    cache.EndCache();
}

TEST(StorageDeviceWithCacheTest, WithoutACurrentBlockEveryReadGoesToTheDevice) {
    MemoryDevice inner(24, 512);
    CStorageDeviceWithCache cache(&inner);
    std::vector<uint8_t> buffer(512);
    EXPECT_TRUE(cache.ReadSector(buffer.data(), 3, 1));
    EXPECT_EQ(inner.ownerReads, 1);
    EXPECT_EQ(cache.GetType(), kStorageDeviceCache);
    EXPECT_EQ(cache.GetTotalSectors(), 24);
}

TEST(StorageDeviceWithCacheTest, ABlockThatFailedToReadAheadIsNotServed) {
    MemoryDevice inner(24, 512);
    inner.failFrom = 12;  // block 1 (sectors 8-15) cannot be read
    CStorageDeviceWithCache cache(&inner);
    ASSERT_TRUE(cache.SetBlockSize(8));
    cache.BeginCache();
    ASSERT_TRUE(cache.SetCurCacheBlock(0));
    ASSERT_TRUE(cache.SetCurCacheBlock(1));
    std::vector<uint8_t> buffer(512);
    EXPECT_TRUE(cache.ReadSector(buffer.data(), 8, 1));
    EXPECT_FALSE(cache.ReadSector(buffer.data(), 12, 1));
    cache.EndCache();
}

TEST(StorageDeviceWithCacheTest, StopsCleanlyAtAnyPoint) {
    MemoryDevice inner(400, 512);
    {
        CStorageDeviceWithCache cache(&inner);
        ASSERT_TRUE(cache.SetBlockSize(4));
        cache.BeginCache();
        ASSERT_TRUE(cache.SetCurCacheBlock(0));
    }  // destroyed while reading ahead
    {
        CStorageDeviceWithCache cache(&inner);
        ASSERT_TRUE(cache.SetBlockSize(4));
        cache.BeginCache();
        cache.EndCache();
        EXPECT_FALSE(cache.SetCurCacheBlock(0));  // nothing left after the end
    }
    CStorageDeviceWithCache idle(&inner);  // never started
    CStorageDeviceWithCache empty(nullptr);
    EXPECT_FALSE(empty.SetCurCacheBlock(0));
    EXPECT_FALSE(empty.Open(nullptr));
}

// A large device that only counts the reads reaching it.
class CountingDevice : public MemoryDevice {
public:
    CountingDevice() : MemoryDevice(1, 512) {}
    bool ReadSector(void*, int64_t, int64_t) override {
        ++reads;
        return true;
    }
    int64_t GetTotalSectors() override { return int64_t{1} << 32; }
    std::atomic<int> reads{0};
};

// Waits until `reads` reaches `expected`, then a little longer to catch a
// reader that goes past it.
int SettledReads(const std::atomic<int>& reads, int expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reads < expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return reads;
}

TEST(StorageDeviceWithCacheTest, LargeBlocksAreReadFewerBlocksAhead) {
    struct Case {
        uint32_t blockSize;
        int ahead;
    } cases[] = {
        {1000, 10},  // the default block: ten ahead
        {2048, 8},   // 1 MiB blocks: 8 MiB ahead
        {8192, 2},   // the complete scan's 4 MiB blocks
        {16384, 2},  // 8 MiB blocks: never fewer than two
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "blocks of " << c.blockSize);
        CountingDevice inner;
        CStorageDeviceWithCache cache(&inner);
        ASSERT_TRUE(cache.SetBlockSize(c.blockSize));
        cache.BeginCache();
        EXPECT_EQ(SettledReads(inner.reads, c.ahead), c.ahead);
        ASSERT_TRUE(cache.SetCurCacheBlock(0));
        ASSERT_TRUE(cache.SetCurCacheBlock(1));
        EXPECT_EQ(SettledReads(inner.reads, c.ahead + 2), c.ahead + 2);
        cache.EndCache();
    }
}

TEST(StorageDeviceWithCacheTest, RefusesBlocksTooLargeToHold) {
    MemoryDevice inner(8, 65536);
    CStorageDeviceWithCache cache(&inner);
    EXPECT_TRUE(cache.SetBlockSize(1024));
    EXPECT_FALSE(cache.SetBlockSize(1025));
    EXPECT_FALSE(cache.SetCurCacheBlock(0));
}

}  // namespace
