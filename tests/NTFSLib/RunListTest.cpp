#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "NTFSExtentLists.h"
#include "NTFSRunList.h"

namespace {

struct Released {
    void operator()(IDataRunList* list) const { list->Release(); }
};
using ListPtr = std::unique_ptr<IDataRunList, Released>;

std::vector<DataRun> Extents(IDataRunList* list) {
    std::vector<DataRun> extents;
    for (DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext())
        extents.push_back(*run);
    return extents;
}

}  // namespace

TEST(NTFSRunList, DecodesPairs) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::vector<CDataRun> runs;  // lcn, vcn, count
    } cases[] = {
        {"one run", {0x21, 0x18, 0x34, 0x56, 0x00}, {{0x5634, 0, 0x18}}},
        {"negative one-byte delta",
         {0x21, 0x18, 0x34, 0x56, 0x11, 0x02, 0xFF, 0x00},
         {{0x5634, 0, 0x18}, {0x5633, 0x18, 2}}},
        {"hole keeps the previous LCN",
         {0x11, 0x04, 0x10, 0x01, 0x08, 0x11, 0x02, 0x05, 0x00},
         {{0x10, 0, 4}, {-1, 4, 8}, {0x15, 12, 2}}},
        {"three-byte delta 0x800000", {0x31, 0x01, 0x00, 0x00, 0x80, 0x00}, {{-8388608, 0, 1}}},
        {"empty", {0x00}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CNTFSDataRunList list;
        ASSERT_TRUE(list.InitFromBuffer(c.bytes.data(), static_cast<int>(c.bytes.size())));
        ASSERT_EQ(list.Runs().size(), c.runs.size());
        auto it = list.Runs().begin();
        for (const CDataRun& want : c.runs) {
            EXPECT_EQ(it->lcn, want.lcn);
            EXPECT_EQ(it->vcn, want.vcn);
            EXPECT_EQ(it->count, want.count);
            ++it;
        }
    }
}

TEST(NTFSRunList, RefusesPairsRunningPastTheirBytes) {
    const std::vector<std::vector<uint8_t>> bad = {
        {0x21, 0x18, 0x34, 0x56},                    // no room for the ending 0
        {0x21, 0x18},                                // pair cut short
        {0x91, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // delta of 9 bytes
    };
    for (const auto& bytes : bad) {
        CNTFSDataRunList list;
        EXPECT_FALSE(list.InitFromBuffer(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_TRUE(list.IsEmpty());
    }
}

TEST(NTFSRunList, LooksUpClustersBothWays) {
    const std::vector<uint8_t> bytes = {0x11, 0x04, 0x10, 0x01, 0x08, 0x11, 0x02, 0x05, 0x00};
    CNTFSDataRunList list;
    ASSERT_TRUE(list.InitFromBuffer(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(list.GetLCN(2), 0x12);
    EXPECT_EQ(list.GetLCN(5), -1);  // a hole
    EXPECT_EQ(list.GetLCN(13), 0x16);
    EXPECT_EQ(list.GetLCN(14), -1);  // past the last run
    EXPECT_EQ(list.GetVCN(0x15), 12);
    EXPECT_FALSE(list.IsLCNContained(0x14));
    EXPECT_EQ(list.GetTotalClusters(), 14);
}

TEST(NTFSRunList, NeedBytes) {
    struct Case {
        int64_t value;
        int bytes;
    } cases[] = {{0, 1},    {127, 1},      {-128, 1},      {128, 2},
                 {-129, 2}, {-8388608, 3}, {INT64_MAX, 8}, {INT64_MIN, 8}};
    for (const Case& c : cases)
        EXPECT_EQ(GetNeedBytes(c.value), c.bytes) << c.value;
}

TEST(NTFSRunList, PacksAndUnpacksExtents) {
    CNoneResidentNTFSDataRunList list;
    const DataRun first(0x900000, 0x18), hole(-1, 8), back(0x100000, 3);
    list.AddDataRun(&first);
    list.AddDataRun(&hole);
    list.AddDataRun(&back);
    std::unique_ptr<CCompressedDataRunList> packed(CCompressedDataRunList::Compress(&list));
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed->GetDataOffset(), 0);
    EXPECT_EQ(packed->GetCompressedDataRunSize(), 6u + 2u + 5u + 1u);
    ListPtr unpacked(packed->Decompress());
    EXPECT_EQ(unpacked->GetDataRunListType(), CNoneResidentNTFSDataRunList::kType);
    const auto extents = Extents(unpacked.get());
    ASSERT_EQ(extents.size(), 3u);
    EXPECT_EQ(extents[0].firstCluster, 0x900000);
    EXPECT_EQ(extents[1].firstCluster, -1);
    EXPECT_EQ(extents[1].clusterCount, 8u);
    EXPECT_EQ(extents[2].firstCluster, 0x100000);

    CNoneResidentNTFSDataRunList two;
    const DataRun near(0x5634, 0x18);
    two.AddDataRun(&near);
    two.AddDataRun(&hole);
    const std::vector<uint8_t> expected = {0x21, 0x18, 0x34, 0x56, 0x01, 0x08, 0x00};
    EXPECT_EQ(CreateCompressedDataRun(&two), expected);
}

TEST(NTFSRunList, PacksResidentData) {
    CResidentNTFSDataRunList list;
    list.InitList(1000, 1, 0x98);
    std::unique_ptr<CCompressedDataRunList> packed(CCompressedDataRunList::Compress(&list));
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed->GetDataOffset(), 0x98);
    ListPtr unpacked(packed->Decompress());
    EXPECT_TRUE(unpacked->IsResident());
    EXPECT_EQ(unpacked->GetOffset(), 0x98);
    const auto extents = Extents(unpacked.get());
    ASSERT_EQ(extents.size(), 1u);
    EXPECT_EQ(extents[0].firstCluster, 1000);
    EXPECT_EQ(extents[0].clusterCount, 1u);
}

TEST(NTFSRunList, EmptyListPacksToNothing) {
    CNoneResidentNTFSDataRunList list;
    EXPECT_EQ(CCompressedDataRunList::Compress(&list), nullptr);
}
