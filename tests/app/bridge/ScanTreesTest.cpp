#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvNotificationNames.h"
#include "KvScanUpdates.h"
#include "KvTypeMgr.h"
#include "KvUIController.h"
#include "KvUIFilter.h"
#include "KvUIPublic.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanOptions.h"
#include "ScanSource.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace {

using namespace bridgetest;

std::set<IFileNode*> ShownFiles(const KvUIScan::TypeIndex& index) {
    std::set<IFileNode*> files;
    for (const auto& [category, nodes] : index) {
        for (IFileNode* node : nodes) {
            if (node->IsNodeShow())
                files.insert(node);
        }
    }
    return files;
}

// Every file below the rows of a type or date tree, each time it is met.
std::vector<IFileNode*> FilesIn(const OpNodeArray& roots) {
    std::vector<IFileNode*> files;
    ForEachRow(roots, [&](OpNodeData& row) {
        files.insert(files.end(), row.childFiles().begin(), row.childFiles().end());
    });
    return files;
}

size_t RowCount(const OpNodeArray& roots) {
    size_t count = 0;
    ForEachRow(roots, [&](OpNodeData&) { ++count; });
    return count;
}

// A row's mark agrees with its files: all checked 2, none 0, else 1.
int MarkOf(const std::vector<IFileNode*>& files) {
    size_t checked = 0;
    size_t shown = 0;
    for (IFileNode* file : files) {
        if (!file->IsNodeShow())
            continue;
        ++shown;
        checked += file->GetCheckedStatus() == CHECK_STATUS_CHECKED ? 1 : 0;
    }
    return checked == 0 ? 0 : checked == shown ? 2 : 1;
}

// Is anything shown below the folder but `except` marked?
bool MarkedBelow(IFileNode* folder, IFileNode* except) {
    for (IFileNode* child = folder->GetFirstChild(); child != nullptr; child = child->GetNextNode()) {
        if (child == except || !child->IsNodeShow())
            continue;
        if (child->GetCheckedStatus() != CHECK_STATUS_UNCHECKED || MarkedBelow(child, except))
            return true;
    }
    return false;
}

struct Fixture {
    const char* image;
};

// Quick scans of real file-system images through the scan operation, the
// engine's results published into the four trees as they arrive.
class ScanTreesTest : public ::testing::TestWithParam<Fixture> {
protected:
    void SetUp() override {
        const std::filesystem::path image = dir.path() / "volume.img";
        ASSERT_TRUE(harbex::test::DecompressXz(harbex::test::FixturePath(GetParam().image), image));
        ScanOptions options;
        options.source = image.string();
        std::string error;
        source = OpenScanSource(options, error);
        ASSERT_TRUE(source) << error;
        KvUIFilter::instance()->ResetFilter(127);
        KvUIController::SetViewType(0);
        KvUIController::KvResetTreeNodeData();
    }
    void TearDown() override {
        KvUIController::KvResetTreeNodeData();
        KvUIController::StopSearch();
        KvUIScan::instance()->SetSearchKey("");
        KvUIScan::instance()->ForgetResults();
        Pump(50);
    }

    // The scan runs on a worker thread while the main thread takes the posts.
    void Scan() {
        KvUIScan* scan = KvUIScan::instance();
        NotificationLog log([this] { return static_cast<int>(RowCount(trees.path)); });
        scan->SetDeepScan(0);
        scan->SetStatus(KV_STATUS_RUNNING);
        std::thread worker([&] { scan->DoScan(source->device(), nullptr); });
        ASSERT_TRUE(WaitFor([&] { return scan->GetStatus() == KV_STATUS_IDLE; }, 60000));
        worker.join();
        Pump(200);
        // What each post showed only grew, up to the whole tree.
        int shown = 0;
        for (const NotificationLog::Entry& entry : log.entries) {
            if (entry.name != kvnote::kNormalScanValue)
                continue;
            EXPECT_GE(entry.probe, shown);
            shown = entry.probe;
        }
        EXPECT_EQ(shown, static_cast<int>(RowCount(trees.path)));
    }

    void ExpectPathTreeIsTheEnginesTree() {
        std::map<IFileNode*, OpNodeData*> rows;
        ForEachRow(trees.path, [&](OpNodeData& row) {
            EXPECT_TRUE(rows.emplace(row.fileNode(), &row).second) << row.name().toStdString();
        });
        const std::vector<IFileNode*> delivered = KvUIScan::instance()->KvGetAllPathNode();
        EXPECT_EQ(rows.size(), std::set<IFileNode*>(delivered.begin(), delivered.end()).size());
        for (IFileNode* folder : delivered) {
            auto row = rows.find(folder);
            ASSERT_NE(row, rows.end()) << folder->GetFileName();
            IFileNode* parent = folder->GetParent();
            if (parent == nullptr) {
                EXPECT_EQ(row->second->parent(), nullptr);
                EXPECT_EQ(row->second->isFileSystem(), 1);
            } else {
                ASSERT_EQ(rows.count(parent), 1u) << folder->GetFileName();
                EXPECT_EQ(row->second->parent(), rows[parent]) << folder->GetFileName();
            }
        }
        // The rebuild after a scan makes the same tree from the engine's links.
        OpNodeArray rebuilt;
        KvUIController::GetScanTreeNodeData(&rebuilt, 0);
        std::set<IFileNode*> rebuiltFolders;
        ForEachRow(rebuilt, [&](OpNodeData& row) { rebuiltFolders.insert(row.fileNode()); });
        std::set<IFileNode*> folders;
        for (const auto& [folder, row] : rows)
            folders.insert(folder);
        EXPECT_EQ(rebuiltFolders, folders);
    }

    void ExpectTypeAndDateTreesHoldEveryFileOnce() {
        KvUIScan* scan = KvUIScan::instance();
        const std::set<IFileNode*> files = ShownFiles(scan->GetTypeMap());
        const std::vector<IFileNode*> typed = FilesIn(trees.type);
        EXPECT_EQ(typed.size(), files.size());
        EXPECT_EQ(std::set<IFileNode*>(typed.begin(), typed.end()), files);
        KvTypeMgr& types = KvTypeMgr::share();
        for (const OpNodeRef& category : trees.type) {
            const unsigned int bit = KvCPPPublic::instance().StringToFilterType(category->name());
            for (IFileNode* file : category->childFiles()) {
                EXPECT_EQ(bit, FILTER_TYPE_OTHER);
                EXPECT_EQ(types.CategoryOfExtension(KvUIScan::GetNodeExt(file)), FILTER_TYPE_OTHER);
            }
            for (const OpNodeRef& extension : category->childRows()) {
                for (IFileNode* file : extension->childFiles()) {
                    EXPECT_EQ(QString::fromStdString(KvUIScan::GetNodeExt(file)),
                              extension->name());
                    EXPECT_EQ(types.CategoryOfExtension(KvUIScan::GetNodeExt(file)), bit);
                }
            }
        }
        for (int tree : {OpNodeData::kCreatedTree, OpNodeData::kModifiedTree}) {
            const OpNodeArray& roots = tree == OpNodeData::kCreatedTree ? trees.created
                                                                        : trees.modified;
            std::set<IFileNode*> dated;
            for (IFileNode* file : files) {
                if ((tree == OpNodeData::kCreatedTree ? file->GetCreationTime()
                                                      : file->GetModificationTime()) != 0)
                    dated.insert(file);
            }
            const std::vector<IFileNode*> placed = FilesIn(roots);
            EXPECT_EQ(placed.size(), dated.size()) << tree;
            EXPECT_EQ(std::set<IFileNode*>(placed.begin(), placed.end()), dated) << tree;
            ForEachRow(roots, [&](OpNodeData& month) {
                for (IFileNode* file : month.childFiles()) {
                    int year = 0;
                    int monthNumber = 0;
                    KvCPPPublic::instance().GetYearMonthByFileTime(
                        &year, &monthNumber,
                        tree == OpNodeData::kCreatedTree ? file->GetCreationTime()
                                                         : file->GetModificationTime());
                    EXPECT_EQ(month.name(), QString::asprintf("%02d", monthNumber));
                    EXPECT_EQ(month.parent()->name(), QString::asprintf("%04d", year));
                }
            });
        }
    }

    void ExpectMarksOnAFolderReachEveryFileAndPartialMarksClimb();
    void ExpectSearchShowsOnlyMatchesInEveryTreeAndClearsBack();

    harbex::test::TempDir dir;
    std::unique_ptr<ScanSource> source;
    WindowTrees trees;
};

// One scan per image (each takes the engine's pause for a results window).
TEST_P(ScanTreesTest, TreesMarksAndSearchFollowTheScan) {
    Scan();
    ASSERT_FALSE(trees.path.empty());
    ExpectPathTreeIsTheEnginesTree();
    ExpectTypeAndDateTreesHoldEveryFileOnce();
    ExpectMarksOnAFolderReachEveryFileAndPartialMarksClimb();
    ExpectSearchShowsOnlyMatchesInEveryTreeAndClearsBack();
}

void ScanTreesTest::ExpectMarksOnAFolderReachEveryFileAndPartialMarksClimb() {
    OpNodeData& root = *trees.path[0];
    // The deepest file below the first root.
    std::vector<IFileNode*> below;
    IFileNode* deepest = nullptr;
    int deepestLevel = -1;
    for (IFileNode* file : ShownFiles(KvUIScan::instance()->GetTypeMap())) {
        int level = 0;
        IFileNode* top = file;
        for (; top->GetParent() != nullptr; top = top->GetParent())
            ++level;
        if (top != root.fileNode())
            continue;
        below.push_back(file);
        if (level > deepestLevel) {
            deepest = file;
            deepestLevel = level;
        }
    }
    ASSERT_NE(deepest, nullptr);
    root.setNodeState(2);
    for (IFileNode* file : below)
        EXPECT_EQ(file->GetCheckedStatus(), CHECK_STATUS_CHECKED) << file->GetFileName();

    OpNodeData::setFileNode(deepest, 0);
    std::map<IFileNode*, OpNodeData*> rows;
    ForEachRow(trees.path, [&](OpNodeData& row) { rows[row.fileNode()] = &row; });
    EXPECT_EQ(root.state(), below.size() > 1 ? 1 : 0);
    for (IFileNode* folder = deepest->GetParent(); folder != nullptr; folder = folder->GetParent()) {
        ASSERT_EQ(rows.count(folder), 1u);
        EXPECT_EQ(rows[folder]->state(), MarkedBelow(folder, deepest) ? 1 : 0)
            << folder->GetFileName();
    }
    // The type and date trees follow once told of the change.
    KvUIController::KvTableViewCellCilck();
    KvUIController::RefreshTypeTreeState(nullptr);
    for (const OpNodeRef& category : trees.type) {
        ForEachRow(category->childRows(), [](OpNodeData& extension) {
            EXPECT_EQ(extension.state(), MarkOf(extension.childFiles()));
        });
        if (!category->childFiles().empty()) {
            EXPECT_EQ(category->state(), MarkOf(category->childFiles()));
        }
    }
    KvUIController::SetViewType(OpNodeData::kModifiedTree);
    KvUIController::RefreshTimeTreeState(trees.modified, 1);
    ForEachRow(trees.modified, [](OpNodeData& month) {
        if (!month.childFiles().empty()) {
            EXPECT_EQ(month.state(), MarkOf(month.childFiles())) << month.name().toStdString();
        }
    });
    EXPECT_TRUE(KvUIController::KvCleanOpNodeSate());
    for (IFileNode* file : below)
        EXPECT_EQ(file->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
}

void ScanTreesTest::ExpectSearchShowsOnlyMatchesInEveryTreeAndClearsBack() {
    const size_t allFiles = FilesIn(trees.type).size();
    const size_t allFolders = RowCount(trees.path);
    const std::set<IFileNode*> files = ShownFiles(KvUIScan::instance()->GetTypeMap());
    ASSERT_FALSE(files.empty());
    const std::string key = QString::fromUtf8((*files.begin())->GetFileName())
                                .left(3)
                                .toUpper()
                                .toStdString();
    std::set<IFileNode*> hits;
    for (IFileNode* file : files) {
        if (KvUIPublic::IsStringInString(key.c_str(), file->GetFileName()))
            hits.insert(file);
    }

    for (int view : {0, 2}) {
        KvUIController::SetViewType(view);
        NotificationLog log;
        ASSERT_TRUE(KvUIController::DoSearchWithString(QString::fromStdString(key), "DoSearchValue"));
        EXPECT_FALSE(KvUIController::DoSearchWithString("other", "DoSearchValue"));
        ASSERT_TRUE(WaitFor([&] { return log.Count(kvnote::kDoSearchFinished) == 1; }, 10000));
        ASSERT_EQ(log.entries.size(), 2u);
        EXPECT_EQ(log.entries[0].name, "DoSearchValue");
        KvUIController::StopSearch();

        for (const OpNodeArray* roots : {&trees.type, &trees.created, &trees.modified}) {
            for (IFileNode* file : FilesIn(*roots)) {
                EXPECT_EQ(hits.count(file), 1u) << file->GetFileName();
            }
        }
        const std::vector<IFileNode*> typed = FilesIn(trees.type);
        EXPECT_EQ(std::set<IFileNode*>(typed.begin(), typed.end()), hits);
        std::set<IFileNode*> folders;
        for (IFileNode* hit : hits) {
            for (IFileNode* folder = hit->GetParent(); folder; folder = folder->GetParent())
                folders.insert(folder);
        }
        std::set<IFileNode*> rows;
        ForEachRow(trees.path, [&](OpNodeData& row) { rows.insert(row.fileNode()); });
        EXPECT_EQ(rows, folders);
        std::vector<IFileNode*> shown;
        KvUIController::GetSearchResultToArr(&shown);
        EXPECT_EQ(std::set<IFileNode*>(shown.begin(), shown.end()), hits);
    }

    // An empty key shows everything again.
    NotificationLog log;
    ASSERT_TRUE(KvUIController::DoSearchWithString("", "DoSearchValue"));
    ASSERT_TRUE(WaitFor([&] { return log.Count(kvnote::kDoSearchFinished) == 1; }, 10000));
    KvUIController::StopSearch();
    EXPECT_EQ(FilesIn(trees.type).size(), allFiles);
    EXPECT_EQ(RowCount(trees.path), allFolders);
    ExpectTypeAndDateTreesHoldEveryFileOnce();
}

INSTANTIATE_TEST_SUITE_P(Images, ScanTreesTest,
                         ::testing::Values(Fixture{"fat/fat16_512.img.xz"},
                                           Fixture{"exfat/exfat_512.img.xz"},
                                           Fixture{"ntfs/ntfs_512.img.xz"},
                                           Fixture{"hfsplus/hfsplus_journaled.img.xz"}),
                         [](const ::testing::TestParamInfo<Fixture>& info) {
                             std::string name = info.param.image;
                             name = name.substr(name.find('/') + 1);
                             name = name.substr(0, name.find('.'));
                             return name;
                         });

}  // namespace
