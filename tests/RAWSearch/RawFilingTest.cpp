// Filing carved files: names, folders, times, and the content-tag tree.

#include <gtest/gtest.h>

#include "DataRunList.h"
#include "RawFileManager.h"
#include "RawFileNode.h"
#include "RawScanContext.h"
#include "RawTestSupport.h"
#include "TestSupport.h"
#include "ZeroEndRawFileInfo.h"

using namespace harbex::test;

namespace {

CRawFileInfo Record(RAW_FILE_TYPE type, int64_t start, int64_t size, const char* name = "") {
    CRawFileInfo record;
    record.fileType = type;
    record.startSector = start;
    record.size = size;
    record.SetRawFileName(name);
    return record;
}

CRawFileInfo Tagged(RAW_FILE_TYPE type, RAW_FILE_TAG tag, const char* value) {
    CRawFileInfo record = Record(type, 100, 1000);
    record.SetRawFileTagAndValue(tag, value);
    return record;
}

std::vector<std::string> Names(const RecordingBuilder& builder) {
    std::vector<std::string> names;
    for (const auto& added : builder.added)
        names.push_back(added.node->GetFileName());
    return names;
}

}  // namespace

TEST(RawFiling, FilesUnderOneFolderPerExtension) {
    RawScanContext context;
    RecordingBuilder builder;
    CRAWFileManager pictures(1, 3, &builder, context);
    CRawFileInfo first = Record(35, 64, 5000);
    CRawFileInfo second = Record(35, 80, 700, "Canon_");
    CRawFileInfo png = Record(51, 90, 1);
    EXPECT_EQ(pictures.AddRawFileInfo(&first), 1);
    EXPECT_EQ(pictures.AddRawFileInfo(&second), 1);
    EXPECT_EQ(pictures.AddRawFileInfo(&png), 1);
    EXPECT_EQ(Names(builder), (std::vector<std::string>{"FILE000.JPG", "jpg", "Canon_001.JPG",
                                                        "FILE000.PNG", "png"}));

    IFileNode* jpgFolder = builder.added[1].node;
    EXPECT_TRUE(jpgFolder->IsDirectory());
    EXPECT_EQ(jpgFolder->GetAttribute(), 16u);
    EXPECT_EQ(jpgFolder->GetFileSize(), 0);
    EXPECT_EQ(jpgFolder->GetCurrentNodeID(), 10);
    EXPECT_EQ(jpgFolder->GetParentNodeID(), 1);
    EXPECT_EQ(builder.added[4].node->GetCurrentNodeID(), 11);

    auto* file = dynamic_cast<CRAWFileNode*>(builder.added[2].node);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetParentNodeID(), 10);
    EXPECT_EQ(file->GetCurrentNodeID(), 10001);
    EXPECT_EQ(file->GetFileSize(), 700);
    EXPECT_FALSE(file->IsDirectory());
    EXPECT_FALSE(file->IsDeleted());
    EXPECT_EQ(file->GetAttribute(), 32u);
    DataRun* run = file->GetDataRunList()->GetFirst();
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->firstCluster, 80);
    EXPECT_EQ(run->clusterCount, 2u);  // 700 bytes in 512-byte units
    for (const auto& added : builder.added)
        EXPECT_EQ(added.type, SEARCHER_RAW_BY_TYPE);
}

TEST(RawFiling, ARefusedFileLeavesNoFolderBehind) {
    RawScanContext context;
    RecordingBuilder builder;
    builder.refuse = [](IFileNode* node) { return !node->IsDirectory(); };
    CRAWFileManager music(1, 4, &builder, context);
    CRawFileInfo mp3 = Record(43, 10, 4000);
    EXPECT_EQ(music.AddRawFileInfo(&mp3), 0);
    EXPECT_TRUE(builder.added.empty());

    builder.refuse = nullptr;
    EXPECT_EQ(music.AddRawFileInfo(&mp3), 1);
    EXPECT_EQ(Names(builder), (std::vector<std::string>{"FILE001.MP3", "mp3"}));
}

TEST(RawFiling, TaggedFilesGoToTheContentTagTree) {
    RawScanContext context;
    RecordingBuilder builder;
    CRAWFileManager manager(1, 4, &builder, context);
    CRawFileInfo song = Tagged(43, RAW_FILE_TAG_ARTIST, "Band");
    CRawFileInfo song2 = Tagged(43, RAW_FILE_TAG_ARTIST, "Band");
    CRawFileInfo photo = Tagged(35, RAW_FILE_TAG_CAMERA, "Band");
    CRawFileInfo letter = Tagged(73, RAW_FILE_TAG_OFFICE, "Minutes");

    EXPECT_EQ(manager.AddRawFileInfo(&song), 1);
    // File, value folder, key folder, in that order; the second song adds only itself.
    EXPECT_EQ(Names(builder), (std::vector<std::string>{"FILE000.MP3", "Band", "Artists"}));
    EXPECT_EQ(manager.AddRawFileInfo(&song2), 1);
    EXPECT_EQ(builder.added.size(), 4u);
    // The same text as a camera is another folder.
    EXPECT_EQ(manager.AddRawFileInfo(&photo), 1);
    EXPECT_EQ(manager.AddRawFileInfo(&letter), 1);
    EXPECT_EQ(Names(builder), (std::vector<std::string>{
                                  "FILE000.MP3", "Band", "Artists", "FILE001.MP3", "FILE000.JPG",
                                  "Band", "Camera", "FILE000.DOCX", "Minutes", "Word", "Office"}));
    for (const auto& added : builder.added)
        EXPECT_EQ(added.type, SEARCHER_RAW_BY_TAG);

    auto id = [&](size_t i) { return builder.added[i].node->GetCurrentNodeID(); };
    auto parent = [&](size_t i) { return builder.added[i].node->GetParentNodeID(); };
    EXPECT_EQ(id(2), -14);
    EXPECT_EQ(parent(2), 1000);
    EXPECT_EQ(parent(1), -14);
    EXPECT_EQ(parent(0), id(1));
    EXPECT_EQ(parent(3), id(1));
    EXPECT_NE(id(5), id(1));
    EXPECT_EQ(id(9), -12);
    EXPECT_EQ(parent(9), -13);
    EXPECT_EQ(parent(8), -12);
    EXPECT_EQ(parent(7), id(8));
}

TEST(RawFiling, TagsWithoutAPlaceStayInTheTypeTree) {
    RawScanContext context;
    RecordingBuilder builder;
    CRAWFileManager manager(1, 2, &builder, context);
    CRawFileInfo pdfAsOffice = Tagged(50, RAW_FILE_TAG_OFFICE, "Title");
    CRawFileInfo valueOnly = Tagged(50, RAW_FILE_TAG_NONE, "Title");
    EXPECT_EQ(manager.AddRawFileInfo(&pdfAsOffice), 1);
    EXPECT_EQ(manager.AddRawFileInfo(&valueOnly), 1);
    EXPECT_EQ(Names(builder), (std::vector<std::string>{"FILE000.PDF", "pdf", "FILE001.PDF"}));
    EXPECT_EQ(builder.added[0].type, SEARCHER_RAW_BY_TYPE);
}

TEST(RawFiling, NamesOfFilesAndTheirTypes) {
    EXPECT_EQ(CRAWFileNode::BuildFileName(119, "", 0), "FILE000.pkg");
    EXPECT_EQ(CRAWFileNode::BuildFileName(122, "", 12), "FILE012.icns");
    EXPECT_EQ(CRAWFileNode::BuildFileName(0, "", 1000), "FILE1000.Raw");
    EXPECT_EQ(CRAWFileNode::BuildFileName(51, "\xff\xfe", 3), "FILE003.PNG");  // not UTF-8
    const std::string longName = CRAWFileNode::BuildFileName(51, std::string(400, 'a'), 3);
    EXPECT_EQ(longName.size(), CRAWFileNode::kMostNameBytes);
    EXPECT_EQ(longName.substr(longName.size() - 7), "003.PNG");
}

TEST(RawFiling, TimesFromTheTimeText) {
    ScopedTimeZone zone("UTC");
    // 2012-05-06 07:08:09 UTC on the 1601 scale.
    constexpr _FILETIME kExpected = (1336288089LL) * 10000000 + 116444736000000000LL;
    struct Case {
        const char* text;
        _FILETIME time;
    } cases[] = {
        {"2012:05:06 07:08:09", kExpected},
        {"  2012-05-06 07:08:09", kExpected},
        {"2012:05:06 07:08", 0},
        {"", 0},
        {"a", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CRAWFileNode::ParseTimeText(c.text), c.time) << c.text;

    RawScanContext context;
    RecordingBuilder builder;
    CRAWFileManager manager(1, 3, &builder, context);
    CRawFileInfo photo = Record(35, 1, 10, "named_");
    photo.timeText = "2012:05:06 07:08:09";
    manager.AddRawFileInfo(&photo);
    IFileNode* node = builder.added[0].node;
    EXPECT_EQ(node->GetModificationTime(), kExpected);
    EXPECT_EQ(node->GetCreationTime(), kExpected);
}

TEST(ZeroEndRecord, EndsAfterTheLastNonzeroByte) {
    constexpr int kSector = 512;
    auto feed = [](CZeroEndRawFileInfo& record, const std::vector<uint8_t>& sector) {
        CRawFileInfo::SearchContext context;
        uint32_t zeros = 0;
        while (zeros < 32 && sector[kSector - 1 - zeros] == 0 && sector[kSector - 4 - zeros] == 0 &&
               sector[kSector - 2 - zeros] == 0 && sector[kSector - 3 - zeros] == 0)
            zeros += 4;
        context.trailingZeroBytes = zeros;
        return record.CalcRawSize(const_cast<uint8_t*>(sector.data()), kSector, 0, context);
    };
    std::vector<uint8_t> data(kSector, 0x42);
    std::vector<uint8_t> tail(kSector, 0);
    std::fill(tail.begin(), tail.begin() + 300, 0x42);

    CZeroEndRawFileInfo record;
    record.recordLength = 1;
    record.maxSize = 1 << 20;
    EXPECT_EQ(feed(record, data), 2);
    EXPECT_EQ(feed(record, data), 2);
    EXPECT_EQ(record.size, 2 * kSector);
    EXPECT_EQ(feed(record, tail), 1);
    EXPECT_EQ(record.size, 2 * kSector + 300);

    CZeroEndRawFileInfo capped;
    capped.maxSize = 100;
    EXPECT_EQ(feed(capped, tail), 1);
    EXPECT_EQ(capped.size, 100);
}
