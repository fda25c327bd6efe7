#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>

#include "ImageAndTextCell.h"

namespace {

QPixmap Square(int side, QColor colour) {
    QPixmap pixmap(side, side);
    pixmap.fill(colour);
    return pixmap;
}

struct Rows {
    Rows() {
        model.appendRow(new QStandardItem("plain"));
        auto* pictured = new QStandardItem("pictured");
        pictured->setData(Square(32, Qt::red), Qt::DecorationRole);
        model.appendRow(pictured);
    }
    QModelIndex plain() const { return model.index(0, 0); }
    QModelIndex pictured() const { return model.index(1, 0); }
    QStandardItemModel model;
};

QStyleOptionViewItem Option(const QRect& rect) {
    QStyleOptionViewItem option;
    option.rect = rect;
    option.state = QStyle::State_Enabled;
    option.font = QFont();
    option.fontMetrics = QFontMetrics(option.font);
    return option;
}

TEST(CellsTest, PictureIsDrawnInAnEighteenPointBoxOnePointBelowTheRowTop) {
    Rows rows;
    ImageAndTextCell cell;
    QImage canvas(200, 18, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        cell.paint(&painter, Option(QRect(0, 0, 200, 18)), rows.pictured());
    }
    const QRgb red = QColor(Qt::red).rgb();
    EXPECT_EQ(canvas.pixel(3, 1), red);
    EXPECT_EQ(canvas.pixel(20, 17), red);
    EXPECT_NE(canvas.pixel(3, 0), red) << "the box starts 1 point below the top";
    EXPECT_NE(canvas.pixel(21, 9), red) << "a 32-point picture is scaled into 18 points";
    EXPECT_NE(canvas.pixel(2, 9), red);
}

TEST(CellsTest, PictureBoxFollowsTheRowHeight) {
    struct Case {
        int height;
        int top;
    };
    for (const Case& c : {Case{18, 1}, Case{20, 2}, Case{21, 3}, Case{30, 7}})
        EXPECT_EQ(ImageAndTextCell::pictureRect(QRect(10, 0, 100, c.height)),
                  QRect(13, c.top, 18, 18))
            << c.height;
}

TEST(CellsTest, EditorAndSizeMakeRoomForThePicturesOwnWidth) {
    Rows rows;
    ImageAndTextCell cell;
    QLineEdit editor;
    const QRect frame(40, 0, 200, 18);
    cell.updateEditorGeometry(&editor, Option(frame), rows.pictured());
    EXPECT_EQ(editor.geometry(), QRect(75, 0, 165, 18)) << "35 points in: 3 + 32";
    QLineEdit plainEditor;
    QStyledItemDelegate().updateEditorGeometry(&plainEditor, Option(frame), rows.plain());
    cell.updateEditorGeometry(&editor, Option(frame), rows.plain());
    EXPECT_EQ(editor.geometry(), plainEditor.geometry());

    const QStyleOptionViewItem option = Option(frame);
    const int plainWidth = QStyledItemDelegate().sizeHint(option, rows.plain()).width();
    EXPECT_EQ(cell.sizeHint(option, rows.plain()).width(), plainWidth);
    EXPECT_EQ(ImageAndTextCell::imageFrameForCellFrame(frame, rows.pictured()),
              QRect(43, -7, 32, 32));
    EXPECT_TRUE(ImageAndTextCell::imageFrameForCellFrame(frame, rows.plain()).isNull());
}

TEST(CellsTest, DetailTitleStartsAtZeroInAnyColumn) {
    Rows rows;
    DetailTextAndImageCell cell;
    const QRectF title = cell.titleRectForBounds(Option(QRect(120, 40, 200, 20)), rows.pictured());
    EXPECT_EQ(title.x(), 0);
    EXPECT_DOUBLE_EQ(title.y(), 39.5 + (20 - title.height()) / 2);
}

}  // namespace
