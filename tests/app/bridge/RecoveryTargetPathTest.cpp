#include <gtest/gtest.h>

#include <QDate>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "KvRecoveryTargetPath.h"
#include "KvUIPublic.h"
#include "KvUIRecovery.h"
#include "TestNode.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A found volume root and the folders and files a test hangs below it.
class Volume {
public:
    explicit Volume(const std::string& name, _tagSearcherType type = SEARCHER_FAT) {
        root_ = Add(std::make_unique<TestNode>(name, true));
        root_->type_ = type;
    }
    TestNode* root() { return root_; }
    TestNode* Folder(TestNode* parent, const std::string& name) {
        return Child(parent, name, true);
    }
    TestNode* File(TestNode* parent, const std::string& name) { return Child(parent, name, false); }

private:
    TestNode* Child(TestNode* parent, const std::string& name, bool directory) {
        TestNode* node = Add(std::make_unique<TestNode>(name, directory));
        parent->AddChild(node);
        return node;
    }
    TestNode* Add(std::unique_ptr<TestNode> node) {
        nodes_.push_back(std::move(node));
        return nodes_.back().get();
    }

    std::vector<std::unique_ptr<TestNode>> nodes_;
    TestNode* root_;
};

std::string Today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

class RecoveryTargetPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        KvUIRecovery::instance()->ClearCreateDirIndex();
        fs::create_directory(dir_ / "dest");
        destination_ = (dir_ / "dest").string() + "/";
        fatFolder_ = destination_ + "Fat_Recovered Data" + Today() + "_";
    }
    void TearDown() override { KvUIRecovery::instance()->ClearCreateDirIndex(); }

    harbex::test::TempDir dir_;  // holds the destination and nothing else
    std::string destination_;
    std::string fatFolder_;
};

TEST_F(RecoveryTargetPathTest, FileGoesUnderItsSearcherFolderAndVolumePath) {
    Volume volume("HARBEX16");
    TestNode* file = volume.File(volume.Folder(volume.root(), "Docs"), "report 2024.doc");
    EXPECT_EQ(CreateRecoveryFilePathByNode(file, destination_),
              fatFolder_ + "0001/HARBEX16/Docs/report 2024.doc");
    EXPECT_TRUE(fs::is_directory(fatFolder_ + "0001/HARBEX16/Docs"));
}

TEST_F(RecoveryTargetPathTest, HostileNamesStayOneComponentInsideTheDestination) {
    const std::string longStem(300, 'x');
    std::string longUtf8;
    for (int i = 0; i < 200; ++i)
        longUtf8 += "\xC3\xA9";  // é
    struct Case {
        std::string name;
        std::string expected;
    } cases[] = {
        {"a/b.txt", "a_b.txt"},
        {"../../../etc/passwd", ".._.._.._etc_passwd"},
        {"..", "_.."},
        {".", "_."},
        {"", "_"},
        {longStem + ".txt", std::string(251, 'x') + ".txt"},
        {longUtf8, longUtf8.substr(0, 254)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 40));
        KvUIRecovery::instance()->ClearCreateDirIndex();
        Volume volume("..");
        TestNode* file = volume.File(volume.Folder(volume.root(), ".."), c.name);
        const std::string path = CreateRecoveryFilePathByNode(file, destination_);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(fs::path(path).filename().string(), c.expected);
        EXPECT_LE(fs::path(path).filename().string().size(), kMostNameBytes);
        EXPECT_TRUE(IsPathInside(destination_, path));
        Touch(path);
        EXPECT_TRUE(fs::exists(path));
    }
    // Nothing was made beside the destination.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(RecoveryTargetPathTest, TakenNamesGetACounterBeforeTheExtension) {
    Volume volume("V");
    TestNode* folder = volume.Folder(volume.root(), "v1.2");
    struct Case {
        std::string name;
        std::vector<std::string> expected;
    } cases[] = {
        {"photo.jpg", {"photo.jpg", "photo_0001.jpg", "photo_0002.jpg"}},
        {"notes", {"notes", "notes_0001", "notes_0002"}},
        {".profile", {".profile", ".profile_0001", ".profile_0002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestNode* file = volume.File(folder, c.name);
        for (const std::string& expected : c.expected) {
            const std::string path = CreateRecoveryFilePathByNode(file, destination_);
            EXPECT_EQ(path, fatFolder_ + "0001/V/v1.2/" + expected);
            Touch(path);
        }
    }
}

TEST_F(RecoveryTargetPathTest, ACounterKeepsALongNameWithinTheLimit) {
    Volume volume("V");
    TestNode* file = volume.File(volume.root(), std::string(251, 'n') + ".txt");
    Touch(CreateRecoveryFilePathByNode(file, destination_));
    const std::string second =
        fs::path(CreateRecoveryFilePathByNode(file, destination_)).filename().string();
    EXPECT_EQ(second, std::string(246, 'n') + "_0001.txt");
}

TEST_F(RecoveryTargetPathTest, EachSearcherTypeGetsTheNextFreeNumberedFolderOnce) {
    fs::create_directories(fatFolder_ + "0001");
    Volume fat("F");
    Volume raw("R", SEARCHER_RAW_BY_TYPE);
    Volume ntfs("N", SEARCHER_NTFS);
    EXPECT_EQ(CreateRecoveryFilePathByNode(fat.File(fat.root(), "a"), destination_),
              fatFolder_ + "0002/F/a");
    EXPECT_EQ(CreateRecoveryFilePathByNode(fat.File(fat.root(), "b"), destination_),
              fatFolder_ + "0002/F/b");
    EXPECT_EQ(CreateRecoveryFilePathByNode(raw.File(raw.root(), "c"), destination_),
              destination_ + "RAW_0001/R/c");
    EXPECT_EQ(CreateRecoveryFilePathByNode(ntfs.File(ntfs.root(), "d"), destination_),
              destination_ + "0001/N/d");
}

TEST_F(RecoveryTargetPathTest, NoPathForHiddenUntypedOrEscapingNodes) {
    Volume hidden("H");
    TestNode* file = hidden.File(hidden.root(), "a");
    file->ShowNode(0);
    EXPECT_EQ(CreateRecoveryFilePathByNode(file, destination_), "");

    Volume untyped("U", SEARCHER_NONE);
    EXPECT_EQ(CreateRecoveryFilePathByNode(untyped.File(untyped.root(), "a"), destination_), "");

    // An output folder that is a link to elsewhere is not followed.
    harbex::test::TempDir elsewhere;
    fs::create_directory_symlink(elsewhere.path(), fatFolder_ + "0001");
    KvUIRecovery::instance()->SetCreateDirIndex(SEARCHER_FAT, 1);
    Volume linked("L");
    EXPECT_EQ(CreateRecoveryFilePathByNode(linked.File(linked.root(), "a"), destination_), "");
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST_F(RecoveryTargetPathTest, AFolderNodeIsMadeAndGivesNoPath) {
    Volume volume("V");
    TestNode* folder = volume.Folder(volume.root(), "Empty");
    EXPECT_EQ(CreateRecoveryFilePathByNode(folder, destination_), "");
    EXPECT_TRUE(fs::is_directory(fatFolder_ + "0001/V/Empty"));
}

TEST(RecoveryFolderNames, NameTheSearcherAndTheDay) {
    const std::string label = "Recovered Data" + Today();
    const struct {
        int type;
        std::string expected;
    } cases[] = {
        {SEARCHER_HFSPLUS, "HFS+_" + label + "_"},
        {SEARCHER_FAT, "Fat_" + label + "_"},
        {SEARCHER_EXFAT, "ExFat_" + label + "_"},
        {SEARCHER_RAW_BY_TYPE, "RAW_"},
        {SEARCHER_NTFS, ""},
        {SEARCHER_RAW_BY_TAG, "Lable_RAW_" + label + "_"},
        {SEARCHER_APFS, "APFS_" + label + "_"},
        {SEARCHER_NONE, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KvUIPublic::GetFileSystemStrByType(c.type).toStdString(), c.expected) << c.type;
}

}  // namespace
