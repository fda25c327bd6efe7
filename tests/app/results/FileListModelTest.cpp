#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "FileListModel.h"
#include "ListFixtures.h"

namespace {

QString Cell(const FileListModel& model, int row, int column, int role = Qt::DisplayRole) {
    return model.data(model.index(row, column), role).toString();
}

TEST(FileListModel, CellsShowNameSizePathTimeAndMarks) {
    FileList list({{"", 0, 0},
                   {"gone.doc", 2048, 0, true},
                   {"Sub", 0, 0, false, true},
                   {"kept.jpg", 999, 0}});
    list.node(2)->SetCheck(CHECK_STATUS_PARTLY);
    list.node(3)->SetCheck(CHECK_STATUS_CHECKED);
    FileListModel model(&list.rows);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(Cell(model, 0, FileListModel::kName), QStringLiteral("Unknow"));
    EXPECT_EQ(Cell(model, 1, FileListModel::kName, FileListModel::kImageNameRole),
              QStringLiteral("deletered"));
    EXPECT_TRUE(Cell(model, 3, FileListModel::kName, FileListModel::kImageNameRole).isEmpty());
    EXPECT_EQ(Cell(model, 3, FileListModel::kSize), QStringLiteral("999 byte"));
    EXPECT_EQ(Cell(model, 3, FileListModel::kPath), QStringLiteral("/Volume/Docs/kept.jpg"));
    // A partly checked folder shows as unchecked.
    EXPECT_EQ(Cell(model, 2, FileListModel::kCheckBox, FileListModel::kImageNameRole),
              QStringLiteral("pf_checkbox_no"));
    EXPECT_EQ(Cell(model, 3, FileListModel::kCheckBox, FileListModel::kImageNameRole),
              QStringLiteral("pf_checkbox_yes"));
}

TEST(FileListModel, RowsWithoutAFileAndRowsPastTheEndAreEmpty) {
    FileList list({{"a", 1, 0}});
    list.rows.push_back(nullptr);
    FileListModel model(&list.rows);
    for (int column = 0; column < FileListModel::kColumnCount; ++column) {
        EXPECT_FALSE(model.data(model.index(1, column), Qt::DisplayRole).isValid());
        EXPECT_FALSE(model.data(model.index(1, column), Qt::DecorationRole).isValid());
    }
    EXPECT_EQ(model.fileAt(2), nullptr);
    EXPECT_EQ(model.fileAt(-1), nullptr);
}

}  // namespace
