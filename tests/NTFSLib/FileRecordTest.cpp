#include <gtest/gtest.h>

#include <vector>

#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "NTFSRecordBuilder.h"

using namespace harbex::test;

namespace {

std::vector<uint8_t> PlainRecord(uint32_t size = 1024, const std::u16string& name = u"a.txt") {
    NTFSRecordBuilder builder(size);
    builder.AddStandardInformation(1, 2, 3, 0x20);
    builder.AddFileName(5, name);
    builder.AddResident(0x80, std::vector<uint8_t>(100, 'x'));
    return builder.Finish();
}

bool Valid(std::vector<uint8_t> bytes) {
    return CNTFSFileRecord::IsValid(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

TEST(NTFSFileRecord, ValidRecordLeavesItsBufferAsItCame) {
    std::vector<uint8_t> bytes = PlainRecord();
    const std::vector<uint8_t> before = bytes;
    EXPECT_TRUE(CNTFSFileRecord::IsValid(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(bytes, before);
    {
        CNTFSFileRecord view(bytes.data(), static_cast<int>(bytes.size()), false);
        ASSERT_TRUE(view.IsValid());
        EXPECT_NE(bytes, before);  // undone in place while viewed
    }
    EXPECT_EQ(bytes, before);
}

TEST(NTFSFileRecord, HeaderAndUpdateSequenceCases) {
    struct Case {
        const char* what;
        uint32_t size;
        size_t offset;
        uint64_t value;
        int width;
        bool valid;
    } cases[] = {
        {"second sector's end damaged", 1024, 1022, 0x1234, 2, false},
        {"third sector of a 4096-byte record damaged", 4096, 1534, 0x1234, 2, false},
        {"last sector of a 4096-byte record damaged", 4096, 4094, 0x1234, 2, false},
        {"update-sequence offset 41", 1024, 4, 41, 2, false},
        {"update-sequence offset 257", 1024, 4, 257, 2, false},
        {"allocated size not a multiple of 1024", 1024, 28, 1000, 4, false},
        {"magic", 1024, 0, 'B', 1, false},
        {"update-sequence count 0", 1024, 6, 0, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = PlainRecord(c.size);
        PutLE(bytes, c.offset, c.value, c.width);
        EXPECT_EQ(Valid(bytes), c.valid);
    }
    EXPECT_TRUE(Valid(PlainRecord(4096)));
}

TEST(NTFSFileRecord, UpdateSequenceOffsetBoundsAreInclusive) {
    for (uint32_t offset : {42u, 256u}) {
        NTFSRecordBuilder builder;
        std::vector<uint8_t> bytes = builder.Finish();
        // Move the array to the new offset.
        std::vector<uint8_t> moved = bytes;
        std::memcpy(moved.data() + offset, bytes.data() + 48, 6);
        PutLE(moved, 4, offset, 2);
        if (offset >= 56)
            PutLE(moved, 20, (offset + 6 + 7) & ~7u, 2);
        PutLE(moved, (offset >= 56 ? (offset + 6 + 7) & ~7u : 56), 0xFFFFFFFF, 4);
        EXPECT_TRUE(Valid(moved)) << offset;
    }
}

TEST(NTFSFileRecord, NamesAreCheckedAndBounded) {
    EXPECT_FALSE(Valid(PlainRecord(1024, u"a:b")));
    EXPECT_TRUE(Valid(PlainRecord(1024, u"a.b")));

    // A name length running past the attribute's value.
    NTFSRecordBuilder builder;
    const size_t at = builder.AddFileName(5, u"abc");
    builder.Raw()[at + 24 + 64] = 200;
    EXPECT_FALSE(Valid(builder.Finish()));
}

TEST(NTFSFileRecord, AttributeLengthsStayInsideTheRecord) {
    NTFSRecordBuilder builder;
    const size_t at = builder.AddFileName(5, u"abc");
    PutLE(builder.Raw(), at + 4, 5000, 4);
    EXPECT_FALSE(Valid(builder.Finish()));

    // A resident value reaching past its attribute.
    NTFSRecordBuilder value;
    const size_t data = value.AddResident(0x80, std::vector<uint8_t>(16, 1));
    PutLE(value.Raw(), data + 16, 400, 4);
    EXPECT_FALSE(Valid(value.Finish()));
}

TEST(NTFSFileRecord, ZeroLengthEndsTheWalkAndPasses) {
    NTFSRecordBuilder builder;
    builder.AddFileName(5, u"abc");
    const size_t at = builder.AddResident(0x80, std::vector<uint8_t>(8, 1));
    PutLE(builder.Raw(), at + 4, 0, 4);
    std::vector<uint8_t> bytes = builder.Finish();
    EXPECT_TRUE(Valid(bytes));
    CNTFSFileRecord view(bytes.data(), 1024, true);
    EXPECT_EQ(view.FindAttibute(0x80, 0), nullptr);
    EXPECT_NE(view.FindAttibute(0x30, 0), nullptr);
}

TEST(NTFSFileRecord, FieldsAreReadAtTheValueOffset) {
    NTFSRecordBuilder builder;
    builder.AddStandardInformation(11, 22, 33, 0x21);
    builder.AddFileName(40, u"first", 2);
    builder.AddFileName(41, u"second name", 1, 777, 0x10000000, 16);
    std::vector<uint8_t> bytes = builder.Finish();
    CNTFSFileRecord view(bytes.data(), 1024, false);
    ASSERT_TRUE(view.IsValid());
    using FN = CNTFSFileRecordFileNameAttribute;
    const uint8_t* second = view.FindAttibute(0x30, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(FN::GetFileRecordNumberofParentDirectory(second), 41);
    EXPECT_TRUE(FN::IsFileNameEqual(second, L"second name"));
    EXPECT_EQ(FN::GetFileRealSize(second), 777);
    EXPECT_TRUE(FN::IsDirectory(second));
    EXPECT_EQ(FN::GetFileNameNamespaceType(second), 1);
    const uint8_t* info = view.FindAttibute(0x10, 0);
    EXPECT_EQ(CNTFSFileRecordStandardInformationAttribute::GetModificationTime(info), 22u);
    EXPECT_EQ(CNTFSFileRecordStandardInformationAttribute::GetDosFilePermission(info), 0x21u);
    EXPECT_EQ(CNTFSFileRecord::GetAttibuteCountofSpecifiedType(view.GetBuffer(), 1024, 0x30), 2u);
    EXPECT_EQ(CNTFSFileRecord::GetXPNumberOfthisMFTRecord(view.GetBuffer()), 30u);
}
