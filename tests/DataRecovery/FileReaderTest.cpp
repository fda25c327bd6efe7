#include <gtest/gtest.h>

#include <numeric>

#include "CopyOutFakes.h"
#include "FileReader.h"

namespace {

using namespace harbex::test;

struct ReaderFixture {
    // Clusters of 2 sectors; the file's extents are clusters 10-11, 4 and 20-22,
    // cluster 0 at sector 8.
    ReaderFixture(int64_t size = 5 * 1024 + 300)
        : device(Numbered(64 * 1024)),
          node("f", size, {DataRun(10, 2), DataRun(4, 1), DataRun(20, 3)}),
          partition(Partition(2, 8)) {
        EXPECT_TRUE(reader.Open(&device, &node, &partition));
    }
    // The file's bytes as they lie on the device.
    std::vector<uint8_t> Expected() {
        std::vector<uint8_t> bytes;
        for (auto [cluster, count] : {std::pair{10, 2}, {4, 1}, {20, 3}}) {
            const size_t start = (8 + cluster * 2) * 512;
            bytes.insert(bytes.end(), device.bytes().begin() + start,
                         device.bytes().begin() + start + count * 1024);
        }
        bytes.resize(node.GetFileSize());
        return bytes;
    }

    MemoryDevice device;
    TestNode node;
    CSearchedPartitionInfo partition;
    CFileReader reader;
};

TEST(FileReader, OneCallAcrossThreeExtentsReadsEachInOrder) {
    ReaderFixture f;
    std::vector<char> buffer(f.node.GetFileSize());
    int error = 0;
    ASSERT_EQ(f.reader.ReadData(0, buffer.data(), uint32_t(buffer.size()), &error), buffer.size());
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.end()), f.Expected());
    // Whole extents, straight into the buffer; the last is cut to the file's end
    // and its partial sector goes through a scratch sector.
    EXPECT_EQ(f.device.reads,
              (std::vector<std::pair<int64_t, int64_t>>{{28, 4}, {16, 2}, {48, 4}, {52, 1}}));
}

TEST(FileReader, ReadsAnyWindowOfTheFile) {
    ReaderFixture f;
    const std::vector<uint8_t> expected = f.Expected();
    const int64_t size = f.node.GetFileSize();
    struct Case {
        int64_t offset;
        uint32_t length;
        uint32_t delivered;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{1, 2047, 2047}, Case{1000, 3000, 3000},
                          Case{2047, 2, 2}, Case{3071, 1, 1}, Case{size - 10, 100, 10}}) {
        SCOPED_TRACE(c.offset);
        std::vector<char> buffer(c.length, 0x55);
        int error = 0;
        ASSERT_EQ(f.reader.ReadData(c.offset, buffer.data(), c.length, &error), c.delivered);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + c.delivered,
                               expected.begin() + c.offset,
                               [](char a, uint8_t b) { return uint8_t(a) == b; }));
        // Nothing beyond what was delivered is touched.
        EXPECT_TRUE(std::all_of(buffer.begin() + c.delivered, buffer.end(),
                                [](char b) { return b == 0x55; }));
    }
    char byte = 0;
    EXPECT_EQ(f.reader.ReadData(size, &byte, 1, nullptr), 0u);
}

TEST(FileReader, AFailedSectorEndsTheReadWithAnError) {
    ReaderFixture f;
    f.device.badSectors.insert(17);  // inside the second extent
    std::vector<char> buffer(4096);
    int error = 0;
    EXPECT_EQ(f.reader.ReadData(0, buffer.data(), 4096, &error), 0u);
    EXPECT_EQ(error, -1);
}

TEST(FileReader, HolesReadAsZeros) {
    MemoryDevice device(Numbered(16 * 1024));
    TestNode node("sparse", 3 * 1024, {DataRun(1, 1), DataRun(-1, 1), DataRun(3, 1)});
    CSearchedPartitionInfo partition = Partition(2);
    CFileReader reader;
    ASSERT_TRUE(reader.Open(&device, &node, &partition));
    std::vector<char> buffer(3 * 1024);
    ASSERT_EQ(reader.ReadData(0, buffer.data(), 3 * 1024, nullptr), 3u * 1024);
    EXPECT_TRUE(
        std::all_of(buffer.begin() + 1024, buffer.begin() + 2048, [](char b) { return b == 0; }));
    EXPECT_EQ(uint8_t(buffer[2048]), device.bytes()[3 * 1024]);
}

// A range whose place on disk is unknown is neither read nor made zeros: a
// read delivers what lies before it, and fails when it starts there.
TEST(FileReader, AnUnknownRangeEndsWhatAReadDelivers) {
    MemoryDevice device(Numbered(16 * 1024));
    TestNode node("gap", 3 * 1024, {DataRun(1, 1), DataRun(kUnknownDataRun, 1), DataRun(3, 1)});
    CSearchedPartitionInfo partition = Partition(2);
    CFileReader reader;
    ASSERT_TRUE(reader.Open(&device, &node, &partition));
    std::vector<char> buffer(3 * 1024);
    int error = 0;
    EXPECT_EQ(reader.ReadData(0, buffer.data(), 3 * 1024, &error), 1024u);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(reader.ReadData(1024, buffer.data(), 2 * 1024, &error), 0u);
    EXPECT_EQ(error, -1);
    ASSERT_EQ(reader.ReadData(2048, buffer.data(), 1024, nullptr), 1024u);
    EXPECT_EQ(uint8_t(buffer[0]), device.bytes()[3 * 1024]);
}

TEST(FileReader, OpenNeedsDeviceNodePartitionSizeAndExtents) {
    MemoryDevice device(Numbered(4096));
    TestNode node("f", 100, {DataRun(1, 1)});
    TestNode empty("e", 0, {DataRun(1, 1)});
    CSearchedPartitionInfo partition = Partition(2);
    CSearchedPartitionInfo noClusters = Partition(0);
    CFileReader reader;
    EXPECT_FALSE(reader.Open(nullptr, &node, &partition));
    EXPECT_FALSE(reader.Open(&device, nullptr, &partition));
    EXPECT_FALSE(reader.Open(&device, &node, nullptr));
    EXPECT_FALSE(reader.Open(&device, &node, &noClusters));
    EXPECT_FALSE(reader.Open(&device, &empty, &partition));
    EXPECT_TRUE(reader.Open(&device, &node, &partition));
    EXPECT_EQ(reader.GetDataSize(), 100);
}

TEST(FileReader, AHugeExtentFromDiskDoesNotOverflow) {
    MemoryDevice device(Numbered(4096));
    TestNode node("f", 4096, {DataRun(INT64_MAX / 4, 1)});
    CSearchedPartitionInfo partition = Partition(8);
    CFileReader reader;
    ASSERT_TRUE(reader.Open(&device, &node, &partition));
    std::vector<char> buffer(4096);
    int error = 0;
    EXPECT_EQ(reader.ReadData(0, buffer.data(), 4096, &error), 0u);
    EXPECT_EQ(error, -1);
}

}  // namespace
