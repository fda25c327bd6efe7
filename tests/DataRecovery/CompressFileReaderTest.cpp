#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "CopyOutFakes.h"
#include "DataRecovery.h"
#include "FileReader.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;

constexpr uint32_t kCluster = 4096;
constexpr uint32_t kUnit = 16 * kCluster;

// An LZNT1 chunk that decodes to 4096 bytes repeating k, k+1, k+2: three
// literals, then one back-reference of offset 3 and length 4093.
std::vector<uint8_t> RepeatingChunk(uint8_t k) {
    return {0x05, 0xB0, 0x08, k, uint8_t(k + 1), uint8_t(k + 2), 0xFA, 0x2F};
}

uint8_t RepeatingByte(uint32_t chunk, uint32_t i) {
    return uint8_t(chunk + i % 3);
}

// Four units: compressed (10 real + 6 sparse clusters), all sparse, 16 plain
// clusters, and a compressed unit whose first chunk header is 0 (stored raw).
struct CompressedFile {
    CompressedFile()
        : device(std::vector<uint8_t>(320 * kCluster, 0)),
          node("c.bin", 4 * kUnit - 100,
               {DataRun(100, 10), DataRun(-1, 6), DataRun(-1, 16), DataRun(200, 16),
                DataRun(300, 12), DataRun(-1, 4)}),
          partition(Partition(8, 0, FILE_SYSTEM_NTFS)) {
        std::vector<uint8_t>& disk = device.bytes();
        size_t at = 100 * kCluster;
        for (uint8_t k = 0; k < 16; ++k) {
            const std::vector<uint8_t> chunk = RepeatingChunk(k);
            std::copy(chunk.begin(), chunk.end(), disk.begin() + at);
            at += chunk.size();
        }
        for (size_t i = 0; i < 16 * kCluster; ++i)
            disk[200 * kCluster + i] = uint8_t(i * 7 + 1);
        for (size_t i = 2; i < 12 * kCluster; ++i)
            disk[300 * kCluster + i] = uint8_t(i * 5 + 3);
        node.compressed = 1;
        EXPECT_TRUE(reader.Open(&device, &node, &partition));
    }

    std::vector<uint8_t> Expected() {
        std::vector<uint8_t> bytes(4 * kUnit, 0);
        for (uint32_t i = 0; i < kUnit; ++i)
            bytes[i] = RepeatingByte(i / 4096, i % 4096);
        std::copy_n(device.bytes().begin() + 200 * kCluster, kUnit, bytes.begin() + 2 * kUnit);
        std::copy_n(device.bytes().begin() + 300 * kCluster, 12 * kCluster,
                    bytes.begin() + 3 * kUnit);
        bytes.resize(node.GetFileSize());
        return bytes;
    }

    MemoryDevice device;
    TestNode node;
    CSearchedPartitionInfo partition;
    CCompressFileReader reader;
};

using Pieces = std::vector<std::tuple<int64_t, uint32_t, uint32_t>>;

// First cluster, cluster count and unit type of each regrouped piece.
Pieces Regrouped(IDataRunList* runs) {
    Pieces seen;
    for (const tagCompressDataRun& piece : CCompressFileReader::ReGroupCompressDataRunList(runs))
        seen.emplace_back(piece.s64LCN, piece.u32ClusterCount, piece.eType);
    return seen;
}

TEST(CompressFileReader, RegroupsExtentsIntoTypedUnits) {
    CompressedFile f;
    EXPECT_EQ(
        Regrouped(f.node.GetDataRunList()),
        (Pieces{{100, 10, 1}, {-1, 6, 1}, {-1, 16, 2}, {200, 16, 0}, {300, 12, 1}, {-1, 4, 1}}));
}

TEST(CompressFileReader, ALongExtentIsCutIntoUnits) {
    TestNode node("n", 1, {DataRun(500, 40), DataRun(-1, 8)});
    EXPECT_EQ(Regrouped(node.GetDataRunList()),
              (Pieces{{500, 16, 0}, {516, 16, 0}, {532, 8, 1}, {-1, 8, 1}}));
}

TEST(CompressFileReader, UnitsEndWhereClusterNumbersRunOut) {
    TestNode node("n", 1, {DataRun(INT64_MAX - 20, 64)});
    EXPECT_EQ(Regrouped(node.GetDataRunList()),
              (Pieces{{INT64_MAX - 20, 16, 0}, {INT64_MAX - 4, 16, 0}}));
}

TEST(CompressFileReader, DecodesTheWholeFileToDisk) {
    CompressedFile f;
    TempDir dir;
    bool resident = true;
    ASSERT_TRUE(f.reader.Recovery((dir / "c.bin").c_str(), nullptr, resident));
    EXPECT_FALSE(resident);
    EXPECT_EQ(ReadFile(dir / "c.bin"), f.Expected());
}

TEST(CompressFileReader, ReadsAWindowDecodingOnlyTheUnitsItNeeds) {
    CompressedFile f;
    const std::vector<uint8_t> expected = f.Expected();
    const int64_t size = f.node.GetFileSize();
    struct Case {
        int64_t offset;
        uint32_t length;
        uint32_t delivered;
    };
    for (const Case& c :
         {Case{5, 100, 100}, Case{kUnit - 10, 20, 20}, Case{2 * kUnit + 3, 5000, 5000},
          Case{size - 10, 100, 10}, Case{size, 10, 0}}) {
        SCOPED_TRACE(c.offset);
        f.device.reads.clear();
        std::vector<char> buffer(c.length, 0x55);
        ASSERT_EQ(f.reader.ReadData(c.offset, buffer.data(), c.length), c.delivered);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + c.delivered,
                               expected.begin() + c.offset,
                               [](char a, uint8_t b) { return uint8_t(a) == b; }));
        if (c.offset >= 2 * kUnit) {
            // Nothing of the first, compressed unit is read for a later window.
            for (auto [first, count] : f.device.reads)
                EXPECT_GE(first, 200 * 8) << first;
        }
    }
}

TEST(CompressFileReader, DecodesTheFileStartIntoMemory) {
    CompressedFile f;
    std::vector<char> buffer(70000, 0x55);
    ASSERT_TRUE(f.reader.Recovery(buffer.data(), 1000, nullptr));
    const std::vector<uint8_t> expected = f.Expected();
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1000, expected.begin(),
                           [](char a, uint8_t b) { return uint8_t(a) == b; }));
    EXPECT_EQ(buffer[1000], 0x55);
}

TEST(CompressFileReader, CopyOutDecodesCompressedNtfsFiles) {
    CompressedFile f;
    FixedPartitionsSearcher searcher({f.partition});
    IDataRecovery* recovery = CreateDataRecoveryObj();
    ASSERT_EQ(recovery->Initialize(&searcher, &f.device), kResultSuccess);
    IFileReader* clone = recovery->SetRecoverNode(&f.node);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(dynamic_cast<CCompressFileReader*>(clone), nullptr);
    clone->Release();
    TempDir dir;
    EXPECT_EQ(recovery->RecoverTo((dir / "c.bin").c_str(), nullptr, 0), kResultSuccess);
    EXPECT_EQ(ReadFile(dir / "c.bin"), f.Expected());
    // A compressed file is decoded whole or not at all.
    EXPECT_EQ(ResultKindOf(recovery->RecoverTo((dir / "part").c_str(), nullptr, 10)),
              kResultCannotCreateDestination);
    recovery->Release();
}

TEST(CompressFileReader, CopyOutOfACompressedFileTellsWhatItCouldNotDo) {
    struct Case {
        const char* what;
        int64_t badSector;  // -1 for none
        int64_t size;       // of the file; the extents cover four units
        const char* destination;
        uint32_t kind;
        bool stays;
    };
    const Case cases[] = {
        {"an unreadable cluster of a compressed unit", 100 * 8, 4 * kUnit - 100, "c.bin",
         kResultShortRead, true},
        {"an unreadable cluster of a plain unit", 200 * 8 + 3, 4 * kUnit - 100, "c.bin",
         kResultShortRead, true},
        {"extents that end before the file does", -1, 5 * kUnit, "c.bin", kResultShortRead, true},
        {"a destination that cannot be created", -1, 4 * kUnit - 100, "no/such/c.bin",
         kResultFailed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CompressedFile f;
        TestNode node("c.bin", c.size,
                      {DataRun(100, 10), DataRun(-1, 6), DataRun(-1, 16), DataRun(200, 16),
                       DataRun(300, 12), DataRun(-1, 4)});
        node.compressed = 1;
        if (c.badSector >= 0)
            f.device.badSectors.insert(c.badSector);
        FixedPartitionsSearcher searcher({f.partition});
        RecoveryPtr recovery(CreateDataRecoveryObj());
        ASSERT_EQ(recovery->Initialize(&searcher, &f.device), kResultSuccess);
        IFileReader* clone = recovery->SetRecoverNode(&node);
        ASSERT_NE(clone, nullptr);
        clone->Release();
        TempDir dir;
        const std::filesystem::path path = dir / c.destination;
        const RESULT_CODE result = recovery->RecoverTo(path.c_str(), nullptr, 0);
        EXPECT_EQ(ResultKindOf(result), c.kind);
        EXPECT_TRUE(IsFailure(result));
        EXPECT_FALSE(recovery->GetLastFailureReason().empty());
        EXPECT_EQ(std::filesystem::exists(path), c.stays);
    }
}

TEST(CompressFileReader, HugeExtentCountsDoNotDriveAllocations) {
    MemoryDevice device(std::vector<uint8_t>(64 * kCluster, 0x21));
    TestNode node("big", 100, {DataRun(1, uint64_t(1) << 50)});
    CSearchedPartitionInfo partition = Partition(8, 0, FILE_SYSTEM_NTFS);
    CCompressFileReader reader;
    ASSERT_TRUE(reader.Open(&device, &node, &partition));
    std::vector<char> buffer(100);
    EXPECT_EQ(reader.ReadData(0, buffer.data(), 100), 100u);
    EXPECT_EQ(buffer[99], 0x21);
}

TEST(CompressFileReader, UnitsAboveSixtyFourKiBAreRefused) {
    MemoryDevice device(std::vector<uint8_t>(64 * kCluster, 0x21));
    TestNode node("big", 100, {DataRun(1, 3), DataRun(-1, 13)});
    CSearchedPartitionInfo partition = Partition(16, 0, FILE_SYSTEM_NTFS);  // 8 KiB clusters
    CCompressFileReader reader;
    ASSERT_TRUE(reader.Open(&device, &node, &partition));
    TempDir dir;
    bool resident = false;
    EXPECT_FALSE(reader.Recovery((dir / "out").c_str(), nullptr, resident));
}

TEST(Lznt1, ChunksDecodeWithinTheirBounds) {
    struct Case {
        const char* what;
        std::vector<uint8_t> input;
        uint32_t capacity;
        std::vector<uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"stored chunk", {0x02, 0x30, 'a', 'b', 'c'}, 16, {'a', 'b', 'c'}},
        {"back-reference before the chunk start yields zeros",
         {0x05, 0xB0, 0x02, 'x', 0x01, 0x30},
         16,
         {'x', 0, 0, 0, 0}},
        {"output is cut at the capacity", RepeatingChunk(7), 5, {7, 8, 9, 7, 8}},
        {"a zero header ends the unit", {0x00, 0x00, 0x02, 0x30, 'a', 'b', 'c'}, 16, {}},
        {"a chunk longer than the input stops there", {0xFF, 0x3F, 'a', 'b'}, 16, {'a', 'b'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> output(c.capacity + 8, 0xEE);
        const uint32_t produced = CCompressFileReader::DecodeLznt1Unit(
            c.input.data(), uint32_t(c.input.size()), output.data(), c.capacity);
        ASSERT_EQ(produced, c.expected.size());
        EXPECT_TRUE(std::equal(c.expected.begin(), c.expected.end(), output.begin()));
        EXPECT_EQ(output[c.capacity], 0xEE);
    }
}

// Damaged units decode inside the given input and output, whatever their
// headers and back-references say.
TEST(Lznt1, DamagedUnitsStayWithinTheirBuffers) {
    std::vector<uint8_t> unit;
    for (uint8_t k = 0; k < 16; ++k) {
        const std::vector<uint8_t> chunk = RepeatingChunk(k);
        unit.insert(unit.end(), chunk.begin(), chunk.end());
    }
    std::mt19937 random(31);
    for (int copy = 0; copy < 400; ++copy) {
        std::vector<uint8_t> damaged = unit;
        for (int i = 1 + int(random() % 6); i > 0; --i)
            damaged[random() % damaged.size()] = uint8_t(random());
        damaged.resize(damaged.size() - random() % 8);
        const uint32_t capacity = random() % 2 == 0 ? kUnit : uint32_t(random() % kUnit);
        std::vector<uint8_t> output(capacity);
        const uint32_t produced = CCompressFileReader::DecodeLznt1Unit(
            damaged.data(), uint32_t(damaged.size()), output.data(), capacity);
        ASSERT_LE(produced, capacity) << "copy " << copy;
    }
}

}  // namespace
