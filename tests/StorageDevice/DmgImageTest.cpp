#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "DeviceTestData.h"
#include "ImageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

using DevicePtr = std::unique_ptr<IStorageDevice>;
constexpr uint64_t kSectors = 32;
constexpr uint32_t kRaw = 1;
constexpr uint32_t kZeroFill = 0;
constexpr uint32_t kBlockFree = 2;
constexpr uint32_t kEnd = 0xFFFFFFFF;

class DmgImageTest : public testing::Test {
protected:
    int Parse() { return ParseDmgFile(image_.string(), record_); }
    TempDir dir_;
    std::filesystem::path image_ = dir_ / "image.dmg";
    std::vector<uint8_t> data_ = PatternBytes(kSectors * 512, 9);
    CDMGDeviceInfoStruct record_{};
};

TEST_F(DmgImageTest, PlainSectorCopies) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int result;
        int64_t sectors;
    } cases[] = {
        {"1024 zero bytes", std::vector<uint8_t>(1024, 0), 1, 2},
        {"partial last sector", std::vector<uint8_t>(1300, 1), 1, 2},
        {"trailer starting with k only",
         [] {
             std::vector<uint8_t> bytes(2048, 0);
             std::memcpy(&bytes[1536], "kolx", 4);
             return bytes;
         }(),
         1, 4},
        {"512 bytes", std::vector<uint8_t>(512, 0), 0, 0},
        {"empty", {}, 0, 0},
        {"encrypted",
         [] {
             std::vector<uint8_t> bytes(4096, 0);
             std::memcpy(bytes.data(), "encrcdsa", 8);
             std::memcpy(&bytes[4096 - 512], "koly", 4);
             return bytes;
         }(),
         0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(image_, c.bytes);
        EXPECT_EQ(Parse(), c.result);
        if (c.result == 1) {
            EXPECT_EQ(record_.sectorCount, c.sectors);
            EXPECT_EQ(record_.imageFileLength, static_cast<int64_t>(c.bytes.size()));
            EXPECT_EQ(record_.sectorSize, 512u);
            EXPECT_STREQ(record_.fileName, "image.dmg");
            EXPECT_STREQ(record_.imagePath, image_.c_str());
        }
    }
    EXPECT_EQ(ParseDmgFile((dir_ / "missing.dmg").string(), record_), 0);
}

TEST_F(DmgImageTest, BlockTablesDecideWhetherTheSectorsCanBeRead) {
    const uint64_t tail = kSectors - 8;
    struct Case {
        const char* name;
        std::vector<UdifBlock> blocks;
        int64_t declaredEntries;
        DmgRefusal result;
    } cases[] = {
        {"raw and end",
         {{kRaw, 0, kSectors, 0, kSectors * 512}, {kEnd, kSectors, 0, 0, 0}},
         -1,
         kDmgAccepted},
        {"raw in two runs",
         {{kRaw, 0, 8, 0, 8 * 512}, {kRaw, 8, tail, 8 * 512, tail * 512}},
         -1,
         kDmgAccepted},
        {"raw run packed after a zero run",
         {{kZeroFill, 0, 8, 0, 0}, {kRaw, 8, tail, 0, tail * 512}},
         -1,
         kDmgAccepted},
        {"ADC block", {{0x80000004, 0, kSectors, 0, 900}}, -1, kDmgCompressedADC},
        {"zlib block",
         {{kRaw, 0, 8, 0, 4096}, {0x80000005, 8, 24, 4096, 900}},
         -1,
         kDmgCompressedZlib},
        {"bzip2 block", {{0x80000006, 0, kSectors, 0, 900}}, -1, kDmgCompressedBzip2},
        {"LZFSE block", {{0x80000007, 0, kSectors, 0, 900}}, -1, kDmgCompressedLZFSE},
        {"LZMA block", {{0x80000008, 0, kSectors, 0, 900}}, -1, kDmgCompressedLZMA},
        {"unknown block kind", {{0x00000042, 0, kSectors, 0, 0}}, -1, kDmgUnknownBlock},
        {"raw data past the file", {{kRaw, 0, kSectors, 4096, kSectors * 512}}, -1, kDmgDamaged},
        {"raw length not its sectors", {{kRaw, 0, kSectors, 0, 512}}, -1, kDmgDamaged},
        {"sectors past the image",
         {{kRaw, 0, kSectors + 1, 0, (kSectors + 1) * 512}},
         -1,
         kDmgDamaged},
        {"overlapping runs", {{kRaw, 0, 8, 0, 8 * 512}, {kZeroFill, 4, 8, 0, 0}}, -1, kDmgDamaged},
        {"entry count past the table", {{kRaw, 0, kSectors, 0, kSectors * 512}}, 2, kDmgDamaged},
        {"entry count huge", {{kRaw, 0, kSectors, 0, kSectors * 512}}, 0x7FFFFFFF, kDmgDamaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteUdifImage(image_, data_, kSectors, c.blocks, c.declaredEntries);
        EXPECT_EQ(CheckDmgFile(image_.string(), record_), c.result);
        EXPECT_EQ(Parse(), c.result == kDmgAccepted ? 1 : 0);
        EXPECT_NE(std::string(DescribeDmgRefusal(c.result)).empty(), c.result != kDmgAccepted);
        if (c.result == kDmgAccepted) {
            EXPECT_EQ(record_.sectorCount, static_cast<int64_t>(kSectors));
        }
    }
}

// Zero runs take no room in the file: the raw data after one is packed, and
// each sector is read where its block table puts it.
TEST_F(DmgImageTest, SectorsAreReadThroughTheBlockTable) {
    const uint64_t stored = 20;
    WriteUdifImage(image_, std::vector<uint8_t>(data_.begin(), data_.begin() + stored * 512),
                   kSectors,
                   {{kZeroFill, 0, 4, 0, 0},
                    {kRaw, 4, 8, 0, 8 * 512},
                    {kBlockFree, 12, 4, 0, 0},
                    {kRaw, 16, 12, 8 * 512, 12 * 512},
                    {kEnd, kSectors, 0, 0, 0}});
    ASSERT_EQ(Parse(), 1);
    DevicePtr device(CreateDmgDevice(image_.c_str(), &record_));
    ASSERT_NE(device, nullptr);
    std::vector<uint8_t> expected(kSectors * 512, 0);
    std::copy_n(data_.begin(), 8 * 512, expected.begin() + 4 * 512);
    std::copy_n(data_.begin() + 8 * 512, 12 * 512, expected.begin() + 16 * 512);
    // Sectors 28 to 31 are in no table: zeros.
    std::vector<uint8_t> whole(kSectors * 512, 0xEE);
    ASSERT_TRUE(device->ReadSector(whole.data(), 0, kSectors));
    EXPECT_EQ(whole, expected);
    for (int64_t first : {0, 3, 4, 11, 12, 15, 27, 28}) {
        SCOPED_TRACE(first);
        std::vector<uint8_t> part(3 * 512, 0xEE);
        const int64_t count = std::min<int64_t>(3, kSectors - first);
        ASSERT_TRUE(device->ReadSector(part.data(), first, count));
        EXPECT_EQ(std::memcmp(part.data(), &expected[first * 512], count * 512), 0);
    }
    EXPECT_FALSE(device->ReadSector(whole.data(), kSectors - 1, 2));
}

TEST_F(DmgImageTest, PropertyListsThatCannotBeTrustedAreRefused) {
    struct Case {
        const char* name;
        std::string plist;
    } cases[] = {
        {"not XML", "this is not a property list"},
        {"no blkx", "<plist><dict><key>resource-fork</key><dict></dict></dict></plist>"},
        {"Data not base64",
         "<plist><dict><key>resource-fork</key><dict><key>blkx</key><array><dict>"
         "<key>Data</key><data>!!!!</data></dict></array></dict></dict></plist>"},
        {"Data shorter than a table header",
         "<plist><dict><key>resource-fork</key><dict><key>blkx</key><array><dict>"
         "<key>Data</key><data>bWlzaA==</data></dict></array></dict></dict></plist>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteUdifImageWithPlist(image_, data_, kSectors, c.plist);
        EXPECT_EQ(Parse(), 0);
    }
}

TEST_F(DmgImageTest, TrailerPointingOutsideTheFileIsRefused) {
    WriteUdifImage(image_, data_, kSectors, {{kRaw, 0, kSectors, 0, kSectors * 512}});
    auto file = ReadFile(image_);
    const size_t trailer = file.size() - 512;
    struct Case {
        size_t field;
        uint8_t byte;
    } cases[] = {{216, 0x01}, {224, 0x01}, {216, 0xFF}, {224, 0xFF}, {492, 0xFF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        auto spoilt = file;
        spoilt[trailer + c.field] = c.byte;
        WriteFile(image_, spoilt);
        EXPECT_EQ(Parse(), 0);
    }
}

TEST_F(DmgImageTest, DeviceReadsOnlyTheImagesSectors) {
    WriteUdifImage(image_, data_, kSectors, {{kRaw, 0, kSectors, 0, kSectors * 512}});
    ASSERT_EQ(Parse(), 1);
    DevicePtr device(CreateDmgDevice(image_.c_str(), &record_));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetType(), kStorageDeviceDmg);
    std::vector<uint8_t> buffer(512);
    ASSERT_TRUE(device->ReadSector(buffer.data(), kSectors - 1, 1));
    EXPECT_EQ(std::memcmp(buffer.data(), &data_[(kSectors - 1) * 512], 512), 0);
    // The property list and trailer follow the sectors in the file.
    EXPECT_FALSE(device->ReadSector(buffer.data(), kSectors, 1));
    EXPECT_EQ(ResultKindOf(device->GetLastError()), kResultBadArgument);
    EXPECT_FALSE(device->IOCtl(0, nullptr));
    EXPECT_EQ(ResultKindOf(device->GetLastError()), kResultNotSupported);
}

TEST_F(DmgImageTest, ReopeningFromASavedRecord) {
    WriteUdifImage(image_, data_, kSectors, {{kRaw, 0, kSectors, 0, kSectors * 512}});
    ASSERT_EQ(Parse(), 1);
    DevicePtr device(CreateDmgDeviceByDmgInfo(&record_, sizeof(record_), "ignored"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetTotalSectors(), static_cast<int64_t>(kSectors));
    EXPECT_EQ(CreateDmgDeviceByDmgInfo(&record_, sizeof(record_) - 1, nullptr), nullptr);
    EXPECT_EQ(CreateDmgDeviceByDmgInfo(nullptr, sizeof(record_), nullptr), nullptr);

    CDMGDeviceInfoStruct spoilt = record_;
    std::memset(spoilt.imagePath, 'a', sizeof(spoilt.imagePath));
    EXPECT_EQ(CreateDmgDeviceByDmgInfo(&spoilt, sizeof(spoilt), nullptr), nullptr);
    spoilt = record_;
    spoilt.sectorSize = 520;
    EXPECT_EQ(CreateDmgDeviceByDmgInfo(&spoilt, sizeof(spoilt), nullptr), nullptr);
    EXPECT_EQ(CreateDmgDevice(nullptr, &record_), nullptr);
}

}  // namespace
