// Scenes of browsing a finished scan in the results window: the list sorted
// by a column, the type and date trees, the note of a folder without files,
// partly checked files and the space-bar preview.

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTest>

#include <map>

#include "FakeFacade.h"
#include "FileListModel.h"
#include "KvCPPPublic.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvSegmentedControl.h"
#include "KvUIPublic.h"
#include "Scene.h"
#include "SpacePreviewWindow.h"

namespace {

OpNodeRef Row(int tree, const QString& name, const OpNodeRef& parent = nullptr) {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    row->setType(tree);
    row->setFadeName(name);
    row->setExpandAble(1);
    if (parent) {
        OpNodeArray siblings = parent->childRows();
        siblings.push_back(row);
        parent->setSubNode(std::move(siblings));
    }
    return row;
}

// The type tree: a category per kind of file, an extension row per extension.
void BuildTypeTree(const SyntheticTree& tree, OpNodeArray& roots) {
    const std::map<std::string, unsigned int> categories = {
        {"doc", FILTER_TYPE_DOCUMENT}, {"txt", FILTER_TYPE_DOCUMENT}, {"jpg", FILTER_TYPE_PICTURE},
        {"png", FILTER_TYPE_PICTURE},  {"mov", FILTER_TYPE_MOVIE},    {"mp3", FILTER_TYPE_MUSIC},
        {"zip", FILTER_TYPE_ARCHIVE}};
    std::map<unsigned int, OpNodeRef> categoryRows;
    std::map<std::string, OpNodeRef> extensionRows;
    for (const auto& [extension, category] : categories) {
        OpNodeRef& categoryRow = categoryRows[category];
        if (!categoryRow) {
            categoryRow =
                Row(OpNodeData::kTypeTree, KvCPPPublic::instance().FilterTypeToString(category));
            roots.push_back(categoryRow);
        }
        extensionRows[extension] =
            Row(OpNodeData::kTypeTree, QString::fromStdString(extension), categoryRow);
        extensionRows[extension]->setExpandAble(0);
    }
    for (SyntheticFileNode* file : tree.files()) {
        const std::string name = file->name_;
        extensionRows[name.substr(name.rfind('.') + 1)]->addChildObject(file);
    }
}

// A date tree: the root, a year row and a row per month holding its files.
void BuildDateTree(const SyntheticTree& tree, int kind, OpNodeArray& roots) {
    OpNodeRef root = Row(kind, KvUIPublic::LocalizedString(kind == OpNodeData::kCreatedTree
                                                               ? "CREATE_TIME_ROOT_NAME"
                                                               : "MODIFY_TIME_ROOT_NAME"));
    OpNodeRef year = Row(kind, QStringLiteral("2026"), root);
    std::map<int, OpNodeRef> months;
    for (SyntheticFileNode* file : tree.files()) {
        const _FILETIME time = kind == OpNodeData::kCreatedTree ? file->created_ : file->modified_;
        // Files are an hour apart from the first of January on.
        const int month = 1 + int((time / 10000000ull - 13'411'699'200ull) / (31ull * 24 * 3600));
        OpNodeRef& row = months[month];
        if (!row) {
            row = Row(kind, QString::asprintf("%02d", month), year);
            row->setExpandAble(0);
        }
        row->addChildObject(file);
    }
    roots.push_back(root);
}

struct BrowseScene {
    std::shared_ptr<SyntheticTree> tree;
    std::unique_ptr<KvDeletailWindowController> window;
};

// A finished scan of 1,500 files, 50 to a folder, with every tree built.
BrowseScene FinishedScan(FakeFacade& facade) {
    BrowseScene scene;
    scene.tree = std::make_shared<SyntheticTree>(1500, 50, QStringLiteral("PHOTOS"));
    facade.tree = scene.tree;
    scene.window = std::make_unique<KvDeletailWindowController>();
    KvDeletailWindowController& window = *scene.window;
    window.resize(1100, 700);
    window.allDiskArr.push_back(scene.tree->pathRoot(scene.tree->folders().size()));
    BuildTypeTree(*scene.tree, window.allTypeArr);
    BuildDateTree(*scene.tree, OpNodeData::kCreatedTree, window.allCreatTimeArr);
    BuildDateTree(*scene.tree, OpNodeData::kModifiedTree, window.allModifyTimeArr);
    facade.advanceScan(100);
    facade.finishScan();
    window.DataInitFinished();
    return scene;
}

// Chooses the row `row` below the first root of a tree, after opening the root.
void ChooseBelowRoot(CommOutlineView* outline, int row, int below = -1) {
    const QModelIndex root = outline->model()->index(0, 0);
    outline->expand(root);
    QModelIndex chosen = outline->model()->index(row, 0, root);
    if (below >= 0) {
        outline->expand(chosen);
        chosen = outline->model()->index(below, 0, chosen);
    }
    outline->setCurrentIndex(chosen);
}

void ClickHeader(KvNSTableView* table, int column) {
    QHeaderView* header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
}

}  // namespace

HARBEX_SCENE("results-list-sorted") {
    BrowseScene scene = FinishedScan(facade);
    ChooseBelowRoot(scene.window->pathOutlineView, 2);
    scene.window->show();
    ClickHeader(scene.window->tableView, FileListModel::kSize);
    return std::move(scene.window);
}

HARBEX_SCENE("results-tree-type") {
    BrowseScene scene = FinishedScan(facade);
    scene.window->typeButtonClick();
    ChooseBelowRoot(scene.window->typeOutlineView, 0);
    return std::move(scene.window);
}

HARBEX_SCENE("results-tree-created") {
    BrowseScene scene = FinishedScan(facade);
    scene.window->timeButtonClick();
    ChooseBelowRoot(scene.window->createTimeOutlineView, 0, 1);
    return std::move(scene.window);
}

HARBEX_SCENE("results-tree-modified") {
    BrowseScene scene = FinishedScan(facade);
    scene.window->modifyTimeButtonClick();
    ChooseBelowRoot(scene.window->modifyTimeOutlineView, 0, 0);
    return std::move(scene.window);
}

HARBEX_SCENE("results-no-result-note") {
    BrowseScene scene = FinishedScan(facade);
    // The volume's own row lists no files: it holds folders only.
    scene.window->segment->setSelectedSegment(1);
    scene.window->segmentSelect(1);
    return std::move(scene.window);
}

HARBEX_SCENE("results-marks-partial") {
    BrowseScene scene = FinishedScan(facade);
    ChooseBelowRoot(scene.window->pathOutlineView, 0);
    for (int row : {0, 2, 3, 7})
        scene.window->nsbuttonCellClick(row);
    return std::move(scene.window);
}

HARBEX_SCENE("results-preview") {
    BrowseScene scene = FinishedScan(facade);
    KvDeletailWindowController& window = *scene.window;
    ChooseBelowRoot(window.pathOutlineView, 0);
    window.show();
    window.tableView->selectRow(3);
    window.spacePrviewFile();
    // The preview over the window it came from, in one picture.
    auto desk = std::make_unique<QLabel>();
    desk->setPixmap(window.grab());
    desk->resize(window.size());
    SpacePreviewWindow* preview = window.spacePreviewWindow;
    preview->setParent(desk.get(), Qt::Widget);
    preview->move((desk->width() - preview->width()) / 2, (desk->height() - preview->height()) / 2);
    preview->show();
    window.hide();
    return desk;
}
