#include <gtest/gtest.h>

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
constexpr uint32_t kZeroFill = 2;
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

TEST_F(DmgImageTest, BlockTablesDecideWhetherSectorsAreStoredRaw) {
    struct Case {
        const char* name;
        std::vector<UdifBlock> blocks;
        int64_t declaredEntries;
        int result;
    } cases[] = {
        {"raw and end", {{kRaw, 0, kSectors, 0, kSectors * 512}, {kEnd, kSectors, 0, 0, 0}}, -1, 1},
        {"raw in two runs",
         {{kRaw, 0, 8, 0, 8 * 512}, {kRaw, 8, kSectors - 8, 8 * 512, (kSectors - 8) * 512}},
         -1,
         1},
        {"zlib block", {{kRaw, 0, 8, 0, 4096}, {0x80000005, 8, 24, 4096, 900}}, -1, 0},
        {"ADC block", {{0x80000004, 0, kSectors, 0, 900}}, -1, 0},
        {"bzip2 block", {{0x80000006, 0, kSectors, 0, 900}}, -1, 0},
        {"lzfse block", {{0x80000007, 0, kSectors, 0, 900}}, -1, 0},
        // Raw data packed after a zero-filled run is not where a straight read looks.
        {"raw run moved by a zero run",
         {{kZeroFill, 0, 8, 0, 0}, {kRaw, 8, kSectors - 8, 0, (kSectors - 8) * 512}},
         -1,
         0},
        {"entry count past the table", {{kRaw, 0, kSectors, 0, kSectors * 512}}, 2, 0},
        {"entry count huge", {{kRaw, 0, kSectors, 0, kSectors * 512}}, 0x7FFFFFFF, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteUdifImage(image_, data_, kSectors, c.blocks, c.declaredEntries);
        EXPECT_EQ(Parse(), c.result);
        if (c.result == 1) {
            EXPECT_EQ(record_.sectorCount, static_cast<int64_t>(kSectors));
        }
    }
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
