#include <gtest/gtest.h>

#include <map>
#include <string>

#include "CRecoveryFilter.h"
#include "FileTypeManager.h"
#include "KeHashTable.h"

namespace {

class NamedNode : public CFileNode {
public:
    NamedNode(const char* name, bool directory = false) : name_(name), directory_(directory) {}
    const char* GetFileName() override { return name_; }
    int64_t GetFileSize() override { return 0; }
    uint32_t GetAttribute() override { return 0; }
    _FILETIME GetCreationTime() override { return 0; }
    _FILETIME GetModificationTime() override { return 0; }
    _FILETIME GetLastAccessTime() override { return 0; }
    int IsDirectory() override { return directory_; }
    int IsDeleted() override { return 1; }
    NamedNode* Clone() override { return new NamedNode(*this); }
    void MarkDeleted() override {}
    void FilterFileNameByDot() override {}

private:
    const char* name_;
    bool directory_;
};

// The interface's lists must be set before the filter is first made.
class FilterEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::map<int, std::string> lists = {
            {1, "doc;pdf;txt"}, {2, "jpg;PNG"}, {4, "mov;mp4"},
            {8, "mp3;Flac"},    {16, "zip;gz"}, {32, "eml"},
        };
        CFileTypeManager::Initialze(lists);
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new FilterEnvironment);

class RecoveryFilterTest : public ::testing::Test {
protected:
    void TearDown() override {
        filter->SetFilterTypes(FILE_MASK_ALL);
        filter->SetScanType(SCAN_TYPE_DELETED_ONLY);
    }
    IRecoveryFilter* filter = CreateFilter();
};

TEST_F(RecoveryFilterTest, MapsExtensionsToCategoriesWhateverTheirCase) {
    const std::pair<const char*, unsigned int> cases[] = {
        {"report.doc", FILE_MASK_DOCUMENT}, {"REPORT.PDF", FILE_MASK_DOCUMENT},
        {"photo.Jpg", FILE_MASK_PICTURE},   {"photo.png", FILE_MASK_PICTURE},
        {"clip.MOV", FILE_MASK_MOVIE},      {"song.mp3", FILE_MASK_MUSIC},
        {"song.FLAC", FILE_MASK_MUSIC},     {"backup.tar.gz", FILE_MASK_ARCHIVE},
        {"mail.eml", FILE_MASK_EMAIL},      {"tool.exe", FILE_MASK_OTHER},
        {"README", FILE_MASK_OTHER},        {"gz.tar", FILE_MASK_OTHER},
        {"archive.gz.", FILE_MASK_OTHER},
    };
    for (const auto& [name, mask] : cases) {
        NamedNode node(name);
        EXPECT_EQ(filter->GetNodeFileType(&node), mask) << name;
    }
}

TEST_F(RecoveryFilterTest, AllOrNoCategoriesLetEveryNodePass) {
    NamedNode file("tool.exe");
    for (unsigned int mask : {0u, 127u}) {
        filter->SetFilterTypes(mask);
        EXPECT_TRUE(filter->IsFileNodeValid(&file)) << mask;
    }
    EXPECT_FALSE(filter->IsFileNodeValid(nullptr));
}

TEST_F(RecoveryFilterTest, ChosenCategoriesDecideForFilesOnly) {
    NamedNode folder("pictures.jpg.d", true);
    NamedNode movie("clip.mp4");
    NamedNode picture("photo.JPG");
    NamedNode plain("notes");

    filter->SetFilterTypes(FILE_MASK_MOVIE);
    EXPECT_TRUE(filter->IsFileNodeValid(&folder));
    EXPECT_TRUE(filter->IsFileNodeValid(&movie));
    EXPECT_FALSE(filter->IsFileNodeValid(&picture));
    EXPECT_FALSE(filter->IsFileNodeValid(&plain));

    filter->SetFilterTypes(FILE_MASK_MOVIE | FILE_MASK_OTHER);
    EXPECT_TRUE(filter->IsFileNodeValid(&plain));
    EXPECT_FALSE(filter->IsFileNodeValid(&picture));

    filter->SetFilterTypes(FILE_MASK_MUSIC | FILE_MASK_PICTURE);
    EXPECT_TRUE(filter->IsFileNodeValid(&picture));
    EXPECT_FALSE(filter->IsFileNodeValid(&movie));
}

TEST_F(RecoveryFilterTest, ScanTypeDecidesWhetherExistingFilesAreListed) {
    EXPECT_FALSE(filter->ShowNormalFiles());
    filter->SetScanType(SCAN_TYPE_DEEP);
    EXPECT_TRUE(filter->ShowNormalFiles());
    EXPECT_EQ(CreateFilter(), filter);
}

TEST(FileTypeManager, SplitsListsAtSemicolons) {
    CFileTypeManager types;
    types.Insert2Table("", FILE_TYPE_MUSIC);
    EXPECT_EQ(types.GetFileTypeID(""), FILE_TYPE_OTHER);
    types.Insert2Table("aa;;bb", FILE_TYPE_MUSIC);
    EXPECT_EQ(types.GetFileTypeID("aa"), FILE_TYPE_MUSIC);
    EXPECT_EQ(types.GetFileTypeID("BB"), FILE_TYPE_MUSIC);
    EXPECT_EQ(types.GetFileTypeID(""), FILE_TYPE_MUSIC);  // the empty piece between ";;"
    EXPECT_EQ(types.GetFileTypeID("a"), FILE_TYPE_OTHER);
    EXPECT_EQ(types.GetFileTypeID(nullptr), FILE_TYPE_OTHER);
}

TEST(KeHashTable, FindsKeysIgnoringCaseAndReportsMisses) {
    CKeHashTable<FILE_TYPE_ID, 2048> table;
    EXPECT_EQ(table.GetHashCode("", 0), 0x7FED7FEDu);
    EXPECT_EQ(table.GetHashCode("mp3", 1), table.GetHashCode("MP3", 1));
    EXPECT_NE(table.GetHashCode("mp3", 1), table.GetHashCode("mp4", 1));

    EXPECT_TRUE(table.InsertNode("jpeg", FILE_TYPE_PICTURE));
    FILE_TYPE_ID found = FILE_TYPE_OTHER;
    EXPECT_TRUE(table.FindNode("JPEG", found));
    EXPECT_EQ(found, FILE_TYPE_PICTURE);
    EXPECT_FALSE(table.FindNode("jpg", found));
    EXPECT_EQ(table.GetHashTablePos("jpg", 0), -1);
    EXPECT_EQ(table.GetHashTablePos(nullptr, 0), -1);
    EXPECT_FALSE(table.InsertNode(nullptr, FILE_TYPE_PICTURE));

    // A second insertion takes another slot; look-up finds the first.
    const int first = table.GetHashTablePos("jpeg", 0);
    EXPECT_TRUE(table.InsertNode("jpeg", FILE_TYPE_MOVIE));
    EXPECT_EQ(table.GetHashTablePos("jpeg", 0), first);
    EXPECT_TRUE(table.FindNode("jpeg", found));
    EXPECT_EQ(found, FILE_TYPE_PICTURE);
}

TEST(KeHashTable, FullTableRefusesMoreKeys) {
    CKeHashTable<int, 4> table;
    // jpg and pdf share the last slot as their first one, so pdf wraps to the
    // first slot and pushes gif and mp3 on from theirs.
    const char* keys[] = {"jpg", "pdf", "gif", "mp3"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table.GetHashTablePos(keys[i], 0), -1) << keys[i];
        EXPECT_TRUE(table.InsertNode(keys[i], i)) << keys[i];
    }
    EXPECT_EQ(table.GetHashTablePos("pdf", 0), 0);
    EXPECT_EQ(table.GetHashTablePos("mp3", 0), 2);
    EXPECT_FALSE(table.InsertNode("png", 1));
    EXPECT_EQ(table.GetHashTablePos("png", 0), -1);
    for (int i = 0; i < 4; ++i) {
        int value = -1;
        EXPECT_TRUE(table.FindNode(keys[i], value)) << keys[i];
        EXPECT_EQ(value, i) << keys[i];
    }
}

}  // namespace
