#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <memory>
#include <vector>

#include "CommOutlineModel.h"
#include "CommOutlineView.h"
#include "FakeFacade.h"
#include "Images.h"
#include "NewButton.h"
#include "OpNodeData.h"
#include "TestNode.h"

namespace {

OpNodeRef SyntheticRow(int tree, const char* name, const OpNodeRef& parent = nullptr) {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    row->setType(tree);
    row->setFadeName(name);
    row->setExpandAble(1);
    if (parent) {
        OpNodeArray siblings = parent->childRows();
        siblings.push_back(row);
        parent->setSubNode(siblings);
    }
    return row;
}

OpNodeRef FoundRow(TestNode* node, const OpNodeRef& parent = nullptr) {
    auto row =
        std::make_shared<OpNodeData>(TreeNodeData{node->IsDirectory(), 0, parent ? 0 : 1, node});
    if (parent) {
        OpNodeArray siblings = parent->childRows();
        siblings.push_back(row);
        parent->setSubNode(siblings);
    }
    return row;
}

// A path tree: a volume with folders "docs" (holding folder "old" and a
// file row) and "empty", whose only child is a file.
struct PathTree {
    PathTree() {
        volume.AddChild(&docs);
        volume.AddChild(&empty);
        docs.AddChild(&old);
        docs.AddChild(&letter);
        empty.AddChild(&note);
        root = FoundRow(&volume);
        docsRow = FoundRow(&docs, root);
        emptyRow = FoundRow(&empty, root);
        oldRow = FoundRow(&old, docsRow);
        // A file row behind the folders is never listed.
        FoundRow(&letter, docsRow);
        roots = {root};
    }
    TestNode volume{"Data", true};
    TestNode docs{"docs", true};
    TestNode empty{"empty", true};
    TestNode old{"old", true};
    TestNode letter{"letter.txt"};
    TestNode note{"note.txt"};
    OpNodeRef root, docsRow, emptyRow, oldRow;
    OpNodeArray roots;
};

// A type tree: "Pictures" with extension rows holding files.
struct TypeTree {
    TypeTree() {
        category = SyntheticRow(OpNodeData::kTypeTree, "Pictures");
        jpg = SyntheticRow(OpNodeData::kTypeTree, "jpg", category);
        png = SyntheticRow(OpNodeData::kTypeTree, "png", category);
        jpg->addChildObjects({&a, &b});
        png->addChildObject(&c);
        roots = {category};
    }
    TestNode a{"a.jpg"}, b{"b.jpg"}, c{"c.png"};
    OpNodeRef category, jpg, png;
    OpNodeArray roots;
};

class RecordingDelegate : public CommOutlineViewDelegate {
public:
    void selectOutlineListWithOpNodeData(OpNodeData* node, int refresh) override {
        told.push_back({node, refresh});
    }
    int gridImageState() const override { return grid; }
    int nImageState() const override { return cover; }
    int64_t selectSegmentCount() const override { return segment; }
    void stopGridImageLoading() override { ++gridStops; }
    void stopImageLoading() override { ++coverStops; }
    void showRecoveryButton() override { ++recoveryButtonChecks; }

    std::vector<std::pair<OpNodeData*, int>> told;
    int grid = -1, cover = -1;
    int64_t segment = 0;
    int gridStops = 0, coverStops = 0, recoveryButtonChecks = 0;
};

// A tree view laid out on screen, so that clicks land on rows.
struct ShownTree {
    ShownTree() {
        view.resize(400, 300);
        view.setMDelegate(&delegate);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QPoint checkBoxOf(const QModelIndex& index) {
        return view.visualRect(index).topLeft() + QPoint(5, 8);
    }
    QPoint labelOf(const QModelIndex& index) {
        return view.visualRect(index).topLeft() + QPoint(60, 8);
    }
    CommOutlineView view;
    RecordingDelegate delegate;
};

TEST(CommOutlineModelTest, ListsFoldersOnlyAndPassesTheModelTester) {
    PathTree tree;
    CommOutlineModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRoots(&tree.roots, OpNodeData::kPathTree);

    const QModelIndex root = model.index(0, 0);
    ASSERT_EQ(model.rowCount(root), 2);
    const QModelIndex docs = model.index(0, 0, root);
    const QModelIndex empty = model.index(1, 0, root);
    EXPECT_EQ(CommOutlineModel::nodeOf(docs), tree.docsRow.get());
    EXPECT_EQ(model.rowCount(docs), 1);  // "old"; the file row is not listed
    EXPECT_TRUE(model.hasChildren(docs));
    EXPECT_EQ(model.rowCount(empty), 0);
    EXPECT_FALSE(model.hasChildren(empty));
    EXPECT_EQ(model.parent(model.index(0, 0, docs)), docs);

    TypeTree types;
    model.setRoots(&types.roots, OpNodeData::kTypeTree);
    const QModelIndex category = model.index(0, 0);
    EXPECT_EQ(model.rowCount(category), 2);
    // Extension rows hold only files.
    EXPECT_EQ(model.rowCount(model.index(0, 0, category)), 0);
    EXPECT_FALSE(model.hasChildren(model.index(0, 0, category)));

    model.setRoots(nullptr, OpNodeData::kPathTree);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(CommOutlineModelTest, AnOpenedRowStaysExpandableWhenItsFoldersGo) {
    TypeTree types;
    types.jpg->setExpand(1);
    EXPECT_TRUE(CommOutlineModel::isItemExpandable(types.jpg.get()));
    types.jpg->setExpand(0);
    EXPECT_FALSE(CommOutlineModel::isItemExpandable(types.jpg.get()));
}

TEST(CommOutlineModelTest, LabelsCountFilesOutsideThePathTree) {
    PathTree tree;
    TypeTree types;
    CommOutlineModel model;
    model.setRoots(&tree.roots, OpNodeData::kPathTree);
    EXPECT_EQ(model.labelOf(tree.docsRow.get()), "docs");
    model.setRoots(&types.roots, OpNodeData::kTypeTree);
    EXPECT_EQ(model.labelOf(types.jpg.get()), "jpg(2)");
    EXPECT_EQ(model.labelOf(types.category.get()), "Pictures(3)");
}

TEST(CommOutlineModelTest, IconsFollowTheTreeAndTheRowKind) {
    const auto same = [](const QIcon& icon, const char* picture) {
        const QPixmap expected = Images::named(picture);
        return icon.pixmap(expected.size()).toImage() == expected.toImage();
    };
    CommOutlineModel model;
    PathTree tree;
    model.setRoots(&tree.roots, OpNodeData::kPathTree);
    EXPECT_TRUE(same(model.iconOf(tree.root.get()), "0IconImage"));
    EXPECT_TRUE(same(model.iconOf(tree.docsRow.get()), "1IconImage"));

    const struct {
        int tree;
        bool year;
        const char* picture;
    } dates[] = {{OpNodeData::kCreatedTree, true, "10IconImage"},
                 {OpNodeData::kCreatedTree, false, "10IconImage"},
                 {OpNodeData::kModifiedTree, true, "9IconImage"},
                 {OpNodeData::kModifiedTree, false, "10IconImage"}};
    for (const auto& date : dates) {
        OpNodeRef year = SyntheticRow(date.tree, "2024");
        OpNodeRef month = SyntheticRow(date.tree, "05", year);
        OpNodeArray roots{year};
        model.setRoots(&roots, date.tree);
        EXPECT_TRUE(same(model.iconOf(date.year ? year.get() : month.get()), date.picture))
            << date.tree << " " << date.year;
    }
}

// A row's icon stays in sight on the selection's highlight.
TEST(CommOutlineViewTest, TheSelectedRowKeepsItsIconVisible) {
    QStandardItemModel model(1, 1);
    const QRect cell(0, 0, 200, 24);
    const QRect iconRect = NewButton::iconImageRectForBounds(cell, true);
    QStyleOptionViewItem option;
    option.rect = cell;
    option.state = QStyle::State_Enabled | QStyle::State_Selected;
    const QColor highlight = option.palette.highlight().color();
    // An icon of the highlight's own colour, its left half clear.
    QPixmap picture(iconRect.size());
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(iconRect.width() / 2, 0, iconRect.width(), iconRect.height(),
                                highlight);
    model.setData(model.index(0, 0), QIcon(picture), Qt::DecorationRole);
    model.setData(model.index(0, 0), QStringLiteral("Folder"), Qt::DisplayRole);
    QImage image(cell.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    NewButton().paint(&painter, option, model.index(0, 0));
    painter.end();
    // Around the icon the row shows white, so the icon's edge reads against it.
    const QPoint clearPart(iconRect.left() + 2, iconRect.center().y());
    EXPECT_EQ(QColor(image.pixel(clearPart)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(cell.right() - 2, iconRect.center().y())).rgb(), highlight.rgb());
}

TEST(CommOutlineViewTest, CheckClicksCycleStates) {
    const struct {
        int before;
        int after;
    } cases[] = {{0, 2}, {1, 2}, {2, 0}};
    for (const auto& step : cases) {
        TypeTree types;
        ShownTree shown;
        shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
        if (step.before == 1)
            types.jpg->setNodeState(2);  // one of two extensions
        else
            types.category->setNodeState(step.before);
        ASSERT_EQ(types.category->state(), step.before);
        shown.view.clickButtonAction(shown.view.outlineModel()->index(0, 0));
        EXPECT_EQ(types.category->state(), step.after);
        // The mark reaches every row and file below.
        EXPECT_EQ(types.png->state(), step.after);
        EXPECT_EQ(OpNodeData::fileNodeState(&types.a), step.after);
    }
}

TEST(CommOutlineViewTest, MarksHoldStillUnderARunningScan) {
    FakeFacade facade;
    TypeTree types;
    ShownTree shown;
    shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
    const QModelIndex category = shown.view.outlineModel()->index(0, 0);
    ASSERT_TRUE(facade.DoScanWithDiskIndex(0, 0));
    shown.view.clickButtonAction(category);
    EXPECT_EQ(types.category->state(), 0);
    EXPECT_TRUE(shown.delegate.told.empty());
    // A paused scan lets the user mark.
    facade.PauseOrResumeScan();
    shown.view.clickButtonAction(category);
    EXPECT_EQ(types.category->state(), 2);
}

TEST(CommOutlineViewTest, ACheckClickReportsTheSelectedRowNotTheClickedOne) {
    TypeTree types;
    ShownTree shown;
    shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
    shown.view.expandAll();
    CommOutlineModel* model = shown.view.outlineModel();
    const QModelIndex category = model->index(0, 0);
    const QModelIndex png = model->index(1, 0, category);

    // Before any selection the window is told of no row.
    QTest::mouseClick(shown.view.viewport(), Qt::LeftButton, {}, shown.checkBoxOf(png));
    ASSERT_EQ(shown.delegate.told.size(), 1u);
    EXPECT_EQ(shown.delegate.told[0], std::make_pair(static_cast<OpNodeData*>(nullptr), 1));
    EXPECT_EQ(shown.delegate.recoveryButtonChecks, 1);
    EXPECT_EQ(types.png->state(), 2);

    QTest::mouseClick(shown.view.viewport(), Qt::LeftButton, {}, shown.labelOf(category));
    ASSERT_EQ(shown.delegate.told.size(), 2u);
    EXPECT_EQ(shown.delegate.told[1], std::make_pair(types.category.get(), 0));

    shown.view.cell()->changeVlaue();
    QTest::mouseClick(shown.view.viewport(), Qt::LeftButton, {}, shown.checkBoxOf(png));
    ASSERT_EQ(shown.delegate.told.size(), 3u);
    EXPECT_EQ(shown.delegate.told[2], std::make_pair(types.category.get(), 1));
    // The check box does not move the selection.
    EXPECT_EQ(shown.view.currentIndex(), category);
}

TEST(CommOutlineViewTest, LettersDoNotMoveTheSelectionArrowsDo) {
    TypeTree types;
    ShownTree shown;
    shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
    shown.view.expandAll();
    shown.view.selectRootItem();
    const QModelIndex category = shown.view.outlineModel()->index(0, 0);
    ASSERT_EQ(shown.view.currentIndex(), category);
    QTest::keyClick(&shown.view, Qt::Key_P);
    QTest::keyClick(&shown.view, Qt::Key_J);
    EXPECT_EQ(shown.view.currentIndex(), category);
    QTest::keyClick(&shown.view, Qt::Key_Down);
    EXPECT_EQ(CommOutlineModel::nodeOf(shown.view.currentIndex()), types.jpg.get());
    EXPECT_EQ(shown.view.opDataFile(), types.jpg.get());
}

TEST(CommOutlineViewTest, SelectingStopsTheImageLoadingOfTheShownView) {
    const struct {
        int64_t segment;
        int grid, cover;
        int gridStops, coverStops;
    } cases[] = {{1, 0, 0, 1, 0}, {1, -1, 0, 0, 0}, {2, -1, 3, 0, 1}, {0, 0, 0, 0, 0}};
    for (const auto& step : cases) {
        TypeTree types;
        ShownTree shown;
        shown.delegate.segment = step.segment;
        shown.delegate.grid = step.grid;
        shown.delegate.cover = step.cover;
        shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
        QTest::mouseClick(shown.view.viewport(), Qt::LeftButton, {},
                          shown.labelOf(shown.view.outlineModel()->index(0, 0)));
        EXPECT_EQ(shown.delegate.gridStops, step.gridStops) << step.segment;
        EXPECT_EQ(shown.delegate.coverStops, step.coverStops) << step.segment;
    }
}

TEST(CommOutlineViewTest, OpenedRowsStayOpenWhenTheTreeIsReloaded) {
    TypeTree types;
    ShownTree shown;
    shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
    shown.view.expand(shown.view.outlineModel()->index(0, 0));
    EXPECT_EQ(types.category->isExpand(), 1);
    shown.view.loadDataFormDetail(&types.roots, OpNodeData::kTypeTree);
    EXPECT_TRUE(shown.view.isExpanded(shown.view.outlineModel()->index(0, 0)));
    shown.view.collapse(shown.view.outlineModel()->index(0, 0));
    EXPECT_EQ(types.category->isExpand(), 0);
}

TEST(CommOutlineViewTest, EachTreeGuardsItsOwnCheckBoxes) {
    TypeTree first, second;
    ShownTree left, right;
    left.view.loadDataFormDetail(&first.roots, OpNodeData::kTypeTree);
    right.view.loadDataFormDetail(&second.roots, OpNodeData::kTypeTree);
    const QModelIndex leftRow = left.view.outlineModel()->index(0, 0);
    const QModelIndex rightRow = right.view.outlineModel()->index(0, 0);
    QTest::mouseClick(left.view.viewport(), Qt::LeftButton, {}, left.checkBoxOf(leftRow));
    QTest::mouseClick(right.view.viewport(), Qt::LeftButton, {}, right.checkBoxOf(rightRow));
    EXPECT_EQ(first.category->state(), 2);
    EXPECT_EQ(second.category->state(), 2);
    // A second press on the same tree within the guard is the second half
    // of a double click.
    QTest::mouseClick(left.view.viewport(), Qt::LeftButton, {}, left.checkBoxOf(leftRow));
    EXPECT_EQ(first.category->state(), 2);
}

}  // namespace
