#include <gtest/gtest.h>

#include "NTFSAttribute.h"
#include "NTFSMemoryDevice.h"
#include "NTFSMultiFileRecord.h"
#include "NTFSRecordBuilder.h"
#include "NTFSRunList.h"

using namespace harbex::test;

namespace {

// A table of 64 one-KiB records in one run at cluster 10 (4 KiB clusters).
struct Table {
    NTFSMemoryDevice device{2048};
    CNTFSDataRunList runs;
    NTFSMFTLocation location;

    Table() {
        const std::vector<uint8_t> bytes = {0x11, 16, 10, 0};
        runs.InitFromBuffer(bytes.data(), static_cast<int>(bytes.size()));
        location.device = &device;
        location.geometry.deviceSectorSize = 512;
        location.geometry.clusterBytes = 4096;
        location.geometry.recordBytes = 1024;
        location.geometry.sectorsPerCluster = 8;
        location.geometry.sectorsPerRecord = 2;
        location.runs = &runs;
    }
    int64_t Sector(int64_t number) const { return 80 + 2 * number; }
    void PutRecord(int64_t number, const std::vector<uint8_t>& record) {
        device.Put(Sector(number), record);
    }
};

std::vector<uint8_t> ListEntry(uint32_t type, uint64_t record) {
    std::vector<uint8_t> entry(32, 0);
    PutLE(entry, 0, type, 4);
    PutLE(entry, 4, 32, 2);
    PutLE(entry, 16, record | (uint64_t{1} << 48), 8);
    return entry;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

TEST(NTFSMultiFileRecord, FindsAttributesAcrossExtensionRecords) {
    Table table;
    NTFSRecordBuilder base(1024, 1, 40);
    base.AddResident(0x20, Join({ListEntry(0x30, 40), ListEntry(0x80, 40), ListEntry(0x80, 41),
                                 ListEntry(0x80, 41), ListEntry(0x80, 99)}));
    base.AddFileName(5, u"big.bin");
    base.AddNonResident(0x80, {0x11, 4, 0x20, 0}, 0, 3, 16384);
    const std::vector<uint8_t> record = base.Finish();
    table.PutRecord(40, record);
    NTFSRecordBuilder extension(1024, 1, 41);
    extension.SetBaseRecord(40 | (uint64_t{1} << 48));
    extension.AddNonResident(0x80, {0x11, 4, 0x30, 0}, 4, 7, 0);
    table.PutRecord(41, extension.Finish());

    const ExtendFileRecordInfoList list = CNTFSMultiFileRecord::InitExtendFileRecord(
        record.data(), 1024, table.Sector(40), table.location);
    // Itself and record 99 (outside the table) are dropped; 41 comes once.
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].recordNumber, 41);
    EXPECT_EQ(list[0].startSector, table.Sector(41));

    CNTFSMultiFileRecord view(record.data(), 1024, table.Sector(40), &table.device, list);
    ASSERT_TRUE(view.IsValid());
    const CFoundAttribute second = view.FindAttibute(0x80, 1);
    ASSERT_NE(second.attribute, nullptr);
    EXPECT_EQ(second.sector, table.Sector(41));
    EXPECT_EQ(CNTFSFileRecordAttribute::GetStartVCN(second.attribute), 4);
    EXPECT_EQ(view.FindAttibute(0x80, 2).attribute, nullptr);
}

TEST(NTFSMultiFileRecord, ListNamingOnlyItselfGivesNothing) {
    Table table;
    NTFSRecordBuilder base(1024, 1, 40);
    base.AddResident(0x20, Join({ListEntry(0x10, 40), ListEntry(0x30, 40)}));
    base.AddFileName(5, u"a");
    const std::vector<uint8_t> record = base.Finish();
    EXPECT_TRUE(CNTFSMultiFileRecord::InitExtendFileRecord(record.data(), 1024, table.Sector(40),
                                                           table.location)
                    .empty());
}

TEST(NTFSMultiFileRecord, OversizedOrShortAttributeListsAreRefused) {
    struct Case {
        const char* what;
        int64_t allocated;
        int64_t realSize;
        uint8_t clusters;
    } cases[] = {
        {"allocated size far beyond any list", int64_t{1} << 40, 4096, 1},
        {"initialized size above allocated", 4096, 8192, 1},
        {"runs reaching past the allocated size", 4096, 100, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Table table;
        table.device.Put(8 * 30, Join({ListEntry(0x80, 41)}));
        NTFSRecordBuilder base(1024, 1, 40);
        base.AddNonResident(0x20, {0x11, c.clusters, 30, 0}, 0, 0, c.realSize, 0, u"", c.allocated);
        base.AddFileName(5, u"a");
        const std::vector<uint8_t> record = base.Finish();
        EXPECT_TRUE(
            CNTFSMultiFileRecord::GetExtendFileRecordInfoList(record.data(), 1024, table.location)
                .empty());
    }
    // The same list within bounds is read.
    Table table;
    table.device.Put(8 * 30, Join({ListEntry(0x80, 41)}));
    NTFSRecordBuilder base(1024, 1, 40);
    base.AddNonResident(0x20, {0x11, 1, 30, 0}, 0, 0, 32, 0, u"", 4096);
    base.AddFileName(5, u"a");
    const std::vector<uint8_t> record = base.Finish();
    EXPECT_EQ(CNTFSMultiFileRecord::GetExtendFileRecordInfoList(record.data(), 1024, table.location)
                  .size(),
              1u);
}
