#include <gtest/gtest.h>

#include <vector>

#include "NTFSDBR.h"
#include "NTFSRecordBuilder.h"

using namespace harbex::test;

namespace {

std::vector<uint8_t> BootSector(uint8_t sectorsPerCluster = 8, uint8_t recordByte = 0xF6) {
    std::vector<uint8_t> sector(512, 0);
    std::memcpy(sector.data() + 3, "NTFS    ", 8);
    PutLE(sector, 11, 512, 2);
    sector[13] = sectorsPerCluster;
    sector[21] = 0xF8;
    PutLE(sector, 40, 204799, 8);
    PutLE(sector, 48, 4, 8);
    PutLE(sector, 56, 12799, 8);
    sector[64] = recordByte;
    PutLE(sector, 72, 0x1122334455667788ull, 8);
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

}  // namespace

TEST(NTFSBootSector, AcceptsOnlyWhatTheFormatAllows) {
    struct Case {
        const char* what;
        size_t offset;
        uint8_t value;
        bool valid;
    } cases[] = {
        {"128 sectors a cluster", 13, 128, true},
        {"3 sectors a cluster", 13, 3, false},
        {"0 sectors a cluster", 13, 0, false},
        {"129 sectors a cluster", 13, 129, false},
        {"media descriptor is ignored", 21, 0x12, true},
        {"byte 16 set", 16, 1, false},
        {"byte 34 set", 34, 1, false},
        {"reserved sectors", 14, 1, false},
        {"sector size not a multiple of 512", 11, 0x01, false},
        {"signature", 511, 0xAB, false},
        {"identifier", 3, 'M', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> sector = BootSector();
        sector[c.offset] = c.value;
        CNTFSDBR dbr;
        EXPECT_EQ(dbr.InitFromBuffer(sector.data()), c.valid);
    }
}

TEST(NTFSBootSector, FieldsAndRecordSize) {
    struct Case {
        uint8_t recordByte;
        uint32_t bytes;
    } cases[] = {{0xF6, 1024}, {0, 1024}, {2, 8192}, {0xF4, 4096}};
    for (const Case& c : cases) {
        CNTFSDBR dbr;
        ASSERT_TRUE(dbr.InitFromBuffer(BootSector(8, c.recordByte).data()));
        EXPECT_EQ(dbr.GetFileRecordSizeByByte(), c.bytes) << int(c.recordByte);
    }
    CNTFSDBR dbr;
    ASSERT_TRUE(dbr.InitFromBuffer(BootSector().data()));
    EXPECT_EQ(dbr.GetTotalSectors(), 204799);
    EXPECT_EQ(dbr.GetMFTStartCluster(), 4);
    EXPECT_EQ(dbr.GetMFTMirrorStartCluster(), 12799);
    EXPECT_EQ(dbr.GetSectorsperCluster(), 8);
    EXPECT_EQ(dbr.GetSerialNumber(), 0x1122334455667788ull);
    char id[8];
    dbr.GetFileSystemID(id);
    EXPECT_EQ(std::string(id, 8), "NTFS    ");
}
