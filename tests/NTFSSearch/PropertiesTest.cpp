#include <gtest/gtest.h>

#include <memory>

#include "NTFSFileNode.h"
#include "NTFSFileProperties.h"
#include "NTFSMetaFile.h"
#include "NTFSRecordBuilder.h"

using namespace harbex::test;

namespace {

std::unique_ptr<CNTFSFileProperties> Build(const std::vector<uint8_t>& record,
                                           int64_t bytesPerCluster = 4096,
                                           int64_t* parent = nullptr) {
    CNTFSMultiFileRecord view(record.data(), static_cast<int>(record.size()), 1000, nullptr, {});
    return std::unique_ptr<CNTFSFileProperties>(
        CNTFSFilePropertiesBuilder::BuildFileProperties(1000, view, bytesPerCluster, parent));
}

}  // namespace

TEST(NTFSProperties, ChoosesTheWin32NameAndTheRealParent) {
    struct Case {
        const char* what;
        const char16_t* firstName;
        uint8_t firstSpace;
        int64_t firstParent;
        const char16_t* secondName;
        uint8_t secondSpace;
        int64_t secondParent;
        const char* name;
        int64_t parent;
    } cases[] = {
        {"DOS name first, Win32 second", u"LONGNA~1.TXT", 2, 40, u"Long name.txt", 1, 40,
         "Long name.txt", 40},
        {"Win32 first, DOS second", u"Long name.txt", 1, 40, u"LONGNA~1.TXT", 2, 40,
         "Long name.txt", 40},
        {"the second parent counts when 5 or more", u"a.txt", 0, 3, u"A.TXT", 2, 40, "a.txt", 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NTFSRecordBuilder builder;
        builder.AddFileName(c.firstParent, c.firstName, c.firstSpace);
        builder.AddFileName(c.secondParent, c.secondName, c.secondSpace);
        int64_t parent = -1;
        auto properties = Build(builder.Finish(), 4096, &parent);
        ASSERT_NE(properties, nullptr);
        EXPECT_STREQ(properties->GetFileName(), c.name);
        EXPECT_EQ(parent, c.parent);
    }
}

TEST(NTFSProperties, NoUsableNameGivesNoProperties) {
    NTFSRecordBuilder none;
    none.AddStandardInformation(1, 2, 3, 0);
    EXPECT_EQ(Build(none.Finish()), nullptr);
    NTFSRecordBuilder empty;
    empty.AddFileName(5, u"");
    EXPECT_EQ(Build(empty.Finish()), nullptr);
}

TEST(NTFSProperties, ResidentDataPointsAtItsRecord) {
    NTFSRecordBuilder builder(1024, 0);  // not in use: deleted
    builder.AddStandardInformation(10, 20, 30, 0x21);
    builder.AddFileName(5, u"Ünï 名.txt");
    const size_t at = builder.AddResident(0x80, std::vector<uint8_t>(100, 'x'));
    auto properties = Build(builder.Finish());
    ASSERT_NE(properties, nullptr);
    EXPECT_STREQ(properties->GetFileName(), "Ünï 名.txt");
    EXPECT_EQ(properties->GetFileSize(), 100);
    EXPECT_EQ(properties->GetModificationTime(), 20u);
    EXPECT_EQ(properties->GetAttribute(), 0x21u);
    EXPECT_TRUE(properties->GetState() & kNTFSStateDeleted);
    IDataRunList* list = properties->GetDataRunList();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->IsResident());
    EXPECT_EQ(list->GetOffset(), static_cast<int64_t>(at + 24));
    EXPECT_EQ(list->GetFirst()->firstCluster, 1000);
    list->Release();
}

TEST(NTFSProperties, SizeIsBoundByTheAllocatedClusters) {
    struct Case {
        int64_t realSize;
        int64_t size;
    } cases[] = {{20000, 12288}, {0, 12288}, {9000, 9000}};
    for (const Case& c : cases) {
        NTFSRecordBuilder builder;
        builder.AddFileName(5, u"a.bin");
        builder.AddNonResident(0x80, {0x11, 3, 0x40, 0}, 0, 2, c.realSize);
        auto properties = Build(builder.Finish());
        ASSERT_NE(properties, nullptr);
        EXPECT_EQ(properties->GetFileSize(), c.size) << c.realSize;
    }
}

TEST(NTFSProperties, CompressedAndEncryptedFlags) {
    NTFSRecordBuilder builder;
    builder.AddFileName(5, u"a.bin");
    builder.AddNonResident(0x80, {0x11, 16, 0x40, 0}, 0, 15, 5000, 0x0001);
    EXPECT_EQ(Build(builder.Finish())->GetAttribute() & 0x840u, 0x800u);
    NTFSRecordBuilder both;
    both.AddFileName(5, u"a.bin");
    both.AddNonResident(0x80, {0x11, 16, 0x40, 0}, 0, 15, 5000, 0x4001);
    EXPECT_EQ(Build(both.Finish())->GetAttribute() & 0x840u, 0x40u);
}

TEST(NTFSNode, CloneOwnsItsPropertiesAndExtents) {
    NTFSRecordBuilder builder;
    builder.AddFileName(5, u"a.bin");
    builder.AddNonResident(0x80, {0x11, 3, 0x40, 0}, 0, 2, 9000);
    auto* node = new CNTFSFileNode();
    node->SetFileProperties(Build(builder.Finish()).release());
    CNTFSFileNode* copy = node->Clone();
    node->Release();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetFileName(), "a.bin");
    EXPECT_EQ(copy->GetParentNodeID(), 5);
    ASSERT_NE(copy->GetDataRunList(), nullptr);
    EXPECT_EQ(copy->GetDataRunList()->GetFirst()->firstCluster, 0x40);
    copy->Release();
}

TEST(NTFSMetaFiles, ByNumberAndByNameWithFlags) {
    EXPECT_TRUE(CIsMetaFileRecord::IsMetaFileRecord(int64_t{24}));
    EXPECT_FALSE(CIsMetaFileRecord::IsMetaFileRecord(int64_t{25}));
    struct Case {
        std::u16string name;
        uint32_t dos;
        bool meta;
    } cases[] = {{u"$Volume", 0x06, true}, {u"$Volume", 0x04, false}, {u"Volume", 0x06, false}};
    for (const Case& c : cases) {
        NTFSRecordBuilder builder(1024, 1, 3);
        builder.AddStandardInformation(1, 1, 1, c.dos);
        builder.AddFileName(5, c.name);
        std::vector<uint8_t> record = builder.Finish();
        EXPECT_EQ(CIsMetaFileRecord::IsMetaFileRecord(record.data(), 1024), c.meta);
    }
}
