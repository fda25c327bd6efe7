#pragma once

// Table and tree cells that draw a small picture left of their text. The
// picture is the row's decoration (Qt::DecorationRole); a row without one
// draws, edits and sizes like a plain text cell.

#include <QStyledItemDelegate>

class ImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The picture is always drawn into a box this size, 3 points in.
    static constexpr int kPictureBox = 18;
    static constexpr int kPictureInset = 3;

    using QStyledItemDelegate::QStyledItemDelegate;

    // The row's picture at its own size; null without one.
    static QPixmap picture(const QModelIndex& index);
    // Where the picture sits at its own size in `cellFrame`; empty without one.
    static QRect imageFrameForCellFrame(const QRect& cellFrame, const QModelIndex& index);
    // The 18-point box the picture is drawn into.
    static QRect pictureRect(const QRect& cellFrame);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The editor starts after the picture's own width plus 3.
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};

// The same cell; its title rectangle starts at x 0 and is centred vertically
// half a point higher.
class DetailTextAndImageCell : public ImageAndTextCell {
    Q_OBJECT
public:
    using ImageAndTextCell::ImageAndTextCell;

    QRectF titleRectForBounds(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};
