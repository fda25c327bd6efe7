#include <gtest/gtest.h>

#include "APFSStructures.h"
#include "APFSTestSupport.h"

namespace harbex::test {
namespace {

std::vector<uint8_t> ReadBlock(const std::filesystem::path& image, uint64_t block) {
    APFSImageDevice device(image, 512);
    std::vector<uint8_t> data(apfs::kBlockSize);
    EXPECT_TRUE(device.ReadSector(data.data(), static_cast<int64_t>(block * 8), 8));
    return data;
}

TEST(APFSChecksum, AcceptsTheChecksumMkapfsWroteAndRefusesAFlippedByte) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    std::vector<uint8_t> superblock = ReadBlock(image, 0);
    EXPECT_TRUE(apfs::HasValidChecksum(superblock.data(), superblock.size()));
    superblock[100] ^= 1;
    EXPECT_FALSE(apfs::HasValidChecksum(superblock.data(), superblock.size()));
}

struct HeaderCase {
    uint64_t oid;
    uint32_t type;
    uint32_t subtype;
    bool plausible;
};

TEST(APFSObjectHeader, PlausibleWhenTypeAndSubtypeAreSmallAndTheIdIsSet) {
    const HeaderCase cases[] = {
        {1, 0x80000001, 0, true}, {1027, 0x40000003, 14, true},
        {0, 3, 14, false},        {5, 32, 0, false},
        {5, 3, 32, false},        {5, 0xFFFF0003, 0xFFFF000B, true},
    };
    for (const HeaderCase& c : cases) {
        std::vector<uint8_t> block(apfs::kBlockSize, 0);
        Put64(block, 8, c.oid);
        Put32(block, 24, c.type);
        Put32(block, 28, c.subtype);
        EXPECT_EQ(apfs::IsPlausibleAPFSObject(block.data()), c.plausible)
            << c.oid << " " << c.type << " " << c.subtype;
    }
}

TEST(APFSTimes, WholeSecondsSince1970OnTheFileTimeScale) {
    EXPECT_EQ(apfs::ToFileTime(0), 116444736000000000ull);
    EXPECT_EQ(apfs::ToFileTime(1500000000), 116444736010000000ull);
    EXPECT_FALSE(apfs::IsPlausibleTime(499999999999999999ull));
    EXPECT_TRUE(apfs::IsPlausibleTime(500000000000000000ull));
    EXPECT_TRUE(apfs::IsPlausibleTime(0x1A00000000000000ull));
    EXPECT_FALSE(apfs::IsPlausibleTime(0x1A00000000000001ull));
}

TEST(APFSRecords, NamesOfMoreThan511BytesKeepTheirLength) {
    const std::string longName(700, 'n');
    LeafBuilder leaf;
    leaf.Add(DirRecordKey(2, longName), DirRecordValue(20, 7, 8));
    leaf.Add(RecordKey(3, 20), InodeValue(2, 20, longName, false, 10, 7));
    const auto entries = apfs::VariableEntries(leaf.block().data());
    ASSERT_EQ(entries.size(), 2u);
    apfs::DirRecord record;
    ASSERT_TRUE(apfs::ParseDirRecord(leaf.block().data(), entries[0], record));
    EXPECT_EQ(record.name, longName);
    EXPECT_EQ(record.fileId, 20u);
    apfs::Inode inode;
    ASSERT_TRUE(apfs::ParseInode(leaf.block().data(), entries[1], inode));
    EXPECT_EQ(inode.name, longName);
    EXPECT_EQ(inode.size, 10u);
}

TEST(APFSRecords, ShortValuesAreIgnored) {
    LeafBuilder leaf;
    std::vector<uint8_t> shortRecord = DirRecordValue(20, 7, 8);
    shortRecord.pop_back();
    std::vector<uint8_t> shortInode = InodeValue(2, 20, "x", false, 1, 7);
    shortInode.resize(99);
    leaf.Add(DirRecordKey(2, "a"), shortRecord).Add(RecordKey(3, 20), shortInode);
    const auto entries = apfs::VariableEntries(leaf.block().data());
    ASSERT_EQ(entries.size(), 2u);
    apfs::DirRecord record;
    apfs::Inode inode;
    EXPECT_FALSE(apfs::ParseDirRecord(leaf.block().data(), entries[0], record));
    EXPECT_FALSE(apfs::ParseInode(leaf.block().data(), entries[1], inode));
}

TEST(APFSRecords, NamesAndValuesEndAtTheBlockEnd) {
    // A record whose key claims a long name close to the block's end, and an
    // inode whose name field claims more than its value holds.
    LeafBuilder leaf;
    leaf.Add(DirRecordKey(2, "abc"), DirRecordValue(20, 7, 8));
    leaf.Add(RecordKey(3, 21), InodeValue(2, 21, "name", false, 1, 7));
    std::vector<uint8_t>& block = leaf.block();
    // The first key moved to 20 bytes before the end, its length field 1000.
    const size_t keyStart = 56 + LeafBuilder::kTableLength;
    const size_t newKey = apfs::kBlockSize - 20;
    std::memmove(block.data() + newKey, block.data() + keyStart, 16);
    Put16(block, 56, static_cast<uint16_t>(newKey - keyStart));
    Put16(block, 58, 1000);
    Put32(block, newKey + 8, 1000);
    // The inode's name size field claims 1000 bytes.
    const auto entries = apfs::VariableEntries(block.data());
    ASSERT_EQ(entries.size(), 2u);
    Put16(block, entries[1].valueOffset + 96 + 2, 1000);

    apfs::DirRecord record;
    ASSERT_TRUE(apfs::ParseDirRecord(block.data(), entries[0], record));
    EXPECT_EQ(record.name, "abc");  // up to the NUL within the 8 bytes left
    EXPECT_LE(entries[0].keyOffset + entries[0].keyLength, apfs::kBlockSize);
    apfs::Inode inode;
    ASSERT_TRUE(apfs::ParseInode(block.data(), entries[1], inode));
    EXPECT_EQ(inode.name.substr(0, 4), "name");
    EXPECT_LE(inode.name.size(), entries[1].valueLength);
}

TEST(APFSRecords, EntriesOutsideTheBlockAreSkipped) {
    LeafBuilder leaf;
    leaf.Add(DirRecordKey(2, "a"), DirRecordValue(20, 7, 8));
    leaf.Add(DirRecordKey(2, "b"), DirRecordValue(21, 7, 8));
    leaf.Add(DirRecordKey(2, "c"), DirRecordValue(22, 7, 8));
    std::vector<uint8_t>& block = leaf.block();
    Put16(block, 56 + 4, 0);       // value offset 0: at the block's end
    Put16(block, 64 + 4, 5000);    // value before the block
    Put16(block, 72, 4000);        // key past the block's end
    Put32(block, 36, 0xFFFFFFFF);  // a huge count
    EXPECT_TRUE(apfs::VariableEntries(block.data()).size() <= apfs::kMostNodeEntries);
    for (const apfs::NodeEntry& entry : apfs::VariableEntries(block.data())) {
        EXPECT_LT(entry.keyOffset, apfs::kBlockSize);
        EXPECT_LE(entry.valueOffset + entry.valueLength, apfs::kBlockSize);
        EXPECT_LE(entry.keyOffset + entry.keyLength, apfs::kBlockSize);
    }
}

TEST(APFSRecords, ExtentLengthLosesItsFlagsAndBlockZeroIsAHole) {
    LeafBuilder leaf;
    leaf.Add(ExtentKey(30, 8192), ExtentValue(0x2100000000003000ull, 0));
    const auto entries = apfs::VariableEntries(leaf.block().data());
    ASSERT_EQ(entries.size(), 1u);
    apfs::FileExtent extent;
    ASSERT_TRUE(apfs::ParseFileExtent(leaf.block().data(), entries[0], extent));
    EXPECT_EQ(extent.objectId, 30u);
    EXPECT_EQ(extent.logicalOffset, 8192u);
    EXPECT_EQ(extent.length, 0x3000u);
    EXPECT_EQ(extent.physicalBlock, 0u);
}

TEST(APFSObjectMap, UnknownNodeFlagsYieldNothing) {
    std::vector<uint8_t> node(apfs::kBlockSize, 0);
    Put64(node, 8, 77);
    Put32(node, 24, 0x40000003);
    Put32(node, 28, apfs::kSubtypeObjectMap);
    Put32(node, 36, 3);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(apfs::ObjectMapAddresses(node.data()).empty());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("this225."), std::string::npos);
}

TEST(APFSObjectMap, ARealRootLeafMapsTheVolumeSuperblock) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    const std::vector<uint8_t> superblock = ReadBlock(image, 0);
    const std::vector<uint8_t> map = ReadBlock(image, apfs::Read64(superblock.data() + 160));
    const std::vector<uint8_t> root = ReadBlock(image, apfs::Read64(map.data() + 48));
    const std::vector<uint64_t> mapped = apfs::ObjectMapAddresses(root.data());
    ASSERT_EQ(mapped.size(), 1u);
    const std::vector<uint8_t> volume = ReadBlock(image, mapped[0]);
    EXPECT_TRUE(apfs::IsVolumeSuperblock(volume.data()));
    EXPECT_EQ(apfs::VolumeName(volume.data()), "Recovery Test");
}

}  // namespace
}  // namespace harbex::test
