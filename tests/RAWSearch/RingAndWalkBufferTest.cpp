// The look-back ring and the walk window: absolute sector numbers, reads that
// wrap, gaps and stops, and readers that each keep their own window.

#include <gtest/gtest.h>

#include <numeric>

#include "BufferStorageDevice.h"
#include "RawFileBuffer.h"
#include "RawScanContext.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

constexpr uint32_t kSector = 512;

// Every sector's bytes are its own number, so a copy shows where it came from.
std::vector<uint8_t> NumberedSectors(int64_t count, uint32_t sectorSize = kSector) {
    std::vector<uint8_t> bytes(size_t(count) * sectorSize);
    for (int64_t s = 0; s < count; ++s)
        std::memset(bytes.data() + s * sectorSize, int(s & 0xFF), sectorSize);
    return bytes;
}

// A ring of `blocks` blocks of 4 sectors, fed blocks from sector 0 on.
struct Ring {
    Ring(int64_t deviceSectors, uint32_t blocks, int fed)
        : device(NumberedSectors(deviceSectors), kSector) {
        ring.InitBufferDevice(&device, kSector, 4, blocks, &context);
        for (int b = 0; b < fed; ++b)
            Feed(b);
        device.reads = 0;
    }
    void Feed(int block) {
        ring.AddBlockToBuffer(device.bytes().data() + block * 4 * kSector, block * 4, 4);
    }
    MemoryDevice device;
    RawScanContext context;
    CBufferStorageDevice ring;
};

}  // namespace

TEST(BlockRing, ReadsInDeviceOrderFromMemoryOrTheDevice) {
    // Six blocks fed into a ring of four: it holds sectors 8 to 23, stored
    // with a wrap after the fifth block.
    Ring r(64, 4, 6);
    EXPECT_TRUE(r.ring.IsFullBuffer());
    EXPECT_EQ(r.ring.GetDeviceStartSector(), 8);
    EXPECT_EQ(r.ring.GetOldestBlockEnd(), 12);
    EXPECT_EQ(r.ring.GetTotalSectors(), 64);  // the device's, not the ring's

    struct Case {
        int64_t first, count;
        int deviceReads;
    } cases[] = {
        {10, 10, 0},  // across the wrap of the storage
        {8, 16, 0},   // everything held
        {20, 6, 1},   // runs past the newest sector: all from the device
        {2, 4, 1},    // before the oldest sector
        {40, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        r.device.reads = 0;
        std::vector<uint8_t> got(size_t(c.count) * kSector);
        ASSERT_TRUE(r.ring.ReadSector(got.data(), c.first, c.count));
        for (int64_t s = 0; s < c.count; ++s)
            EXPECT_EQ(got[s * kSector], uint8_t(c.first + s));
        EXPECT_EQ(r.device.reads, c.deviceReads);
    }
}

TEST(BlockRing, AGapOrAStopIsNotServedFromMemory) {
    Ring r(64, 4, 2);
    r.ring.AddBlockToBuffer(nullptr, 8, 4);  // a block that could not be read
    r.device.bad = {9};
    std::vector<uint8_t> got(2 * kSector);
    EXPECT_FALSE(r.ring.ReadSector(got.data(), 8, 2));
    r.device.bad.clear();
    EXPECT_TRUE(r.ring.ReadSector(got.data(), 8, 2));
    EXPECT_EQ(r.device.reads, 2);

    StoppingProgress progress;
    progress.goOn = 0;
    r.context.progress = &progress;
    EXPECT_FALSE(r.ring.ReadSector(got.data(), 0, 1));
}

TEST(BlockRing, AnOpenBlockFollowsTheNewestAndIsFollowedByZeros) {
    // Blocks read straight into a ring of three, past two wraps of its storage.
    MemoryDevice device(NumberedSectors(64), kSector);
    RawScanContext context;
    CBufferStorageDevice ring;
    ASSERT_TRUE(ring.InitBufferDevice(&device, kSector, 4, 3, &context));
    const size_t blockBytes = 4 * kSector;
    for (int block = 0; block < 9; ++block) {
        SCOPED_TRACE(block);
        uint8_t* room = ring.OpenNextBlock();
        ASSERT_NE(room, nullptr);
        ASSERT_TRUE(device.ReadSector(room, block * 4, 4));
        // The block before it lies right before it (zeros before the first).
        for (size_t at = 1; at <= blockBytes; at += kSector - 1)
            EXPECT_EQ(room[-std::ptrdiff_t(at)],
                      block == 0 ? 0 : uint8_t(block * 4 - 1 - (at - 1) / kSector));
        for (size_t at = 0; at < ring.TailBytes(); ++at)
            ASSERT_EQ(room[blockBytes + at], 0) << at;
        ring.CloseNextBlock();
        // The oldest block is whole again, and read from memory.
        if (block >= 3) {
            std::vector<uint8_t> oldest(blockBytes);
            device.reads = 0;
            ASSERT_TRUE(ring.ReadSector(oldest.data(), (block - 3) * 4, 4));
            EXPECT_EQ(device.reads, 0);
            EXPECT_EQ(oldest,
                      std::vector<uint8_t>(device.bytes().begin() + (block - 3) * blockBytes,
                                           device.bytes().begin() + (block - 2) * blockBytes));
        }
        ring.AddNextBlock(block * 4, 4, true);
    }
    EXPECT_EQ(ring.GetDeviceStartSector(), 24);
}

TEST(WalkBuffer, ReadersKeepTheirOwnWindows) {
    MemoryDevice device(NumberedSectors(1000), kSector);
    RawFileBuffer a(&device, 0);
    RawFileBuffer b(&device, 500);
    const uint8_t* fromA = a.GetRawFileBuffer(3 * kSector);
    const uint8_t* fromB = b.GetRawFileBuffer(3 * kSector);
    ASSERT_NE(fromA, nullptr);
    ASSERT_NE(fromB, nullptr);
    // Interleaved readers do not overwrite each other's bytes.
    EXPECT_EQ(*fromA, 3);
    EXPECT_EQ(*fromB, uint8_t(503));

    const int reads = device.reads;
    EXPECT_EQ(*a.GetRawFileBuffer(100 * kSector + 7), 100);  // same window
    EXPECT_EQ(device.reads, reads);
    EXPECT_EQ(*a.GetRawFileBuffer(128 * kSector), 128);  // the next one
    EXPECT_EQ(device.reads, reads + 1);
}

TEST(WalkBuffer, NearTheDeviceEndTheWindowShrinksAndZerosFollow) {
    MemoryDevice device(NumberedSectors(200), kSector);
    RawFileBuffer reader(&device, 60);  // 140 sectors to the end
    const uint8_t* last = reader.GetRawFileBuffer(139 * kSector);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(*last, uint8_t(199));
    EXPECT_EQ(last[kSector], 0);  // one sector past the device's end reads as zeros
    EXPECT_EQ(reader.GetRawFileBuffer(140 * kSector), nullptr);
    EXPECT_EQ(reader.GetRawFileBuffer(UINT64_MAX), nullptr);
    EXPECT_EQ(reader.GetBytesToDeviceEnd(), 140u * kSector);

    RawFileBuffer pastEnd(&device, 5000);
    EXPECT_EQ(pastEnd.GetRawFileBuffer(0), nullptr);
}

TEST(WalkBuffer, SizesItsWindowFromTheDevice) {
    constexpr uint32_t kBig = 8192;
    MemoryDevice device(NumberedSectors(300, kBig), kBig);
    RawFileBuffer reader(&device, 0);
    const uint8_t* far = reader.GetRawFileBuffer(uint64_t{200} * kBig + kBig - 1);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(*far, 200);
    EXPECT_EQ(far[kBig], 201);  // the extra sector after the byte is there
}
