#include "ImageAndTextCell.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

#include <cmath>

namespace {

// The text part of the cell, drawn as a plain text cell would draw it.
QStyleOptionViewItem TextOnly(const QStyleOptionViewItem& option, const QRect& area) {
    QStyleOptionViewItem text(option);
    text.rect = area;
    text.features &= ~QStyleOptionViewItem::HasDecoration;
    text.icon = QIcon();
    text.decorationSize = QSize();
    return text;
}

const QStyle* StyleOf(const QStyleOptionViewItem& option) {
    return option.widget ? option.widget->style() : QApplication::style();
}

}  // namespace

QPixmap ImageAndTextCell::picture(const QModelIndex& index) {
    const QVariant value = index.data(Qt::DecorationRole);
    if (value.canConvert<QPixmap>())
        return value.value<QPixmap>();
    if (value.canConvert<QImage>())
        return QPixmap::fromImage(value.value<QImage>());
    if (value.canConvert<QIcon>()) {
        const QIcon icon = value.value<QIcon>();
        const QList<QSize> sizes = icon.availableSizes();
        return sizes.isEmpty() ? QPixmap() : icon.pixmap(sizes.last());
    }
    return QPixmap();
}

QRect ImageAndTextCell::imageFrameForCellFrame(const QRect& cellFrame, const QModelIndex& index) {
    const QPixmap image = picture(index);
    if (image.isNull())
        return QRect();
    const QSize size = image.deviceIndependentSize().toSize();
    const int top =
        cellFrame.y() + static_cast<int>(std::ceil((cellFrame.height() - size.height()) / 2.0));
    return QRect(QPoint(cellFrame.x() + kPictureInset, top), size);
}

QRect ImageAndTextCell::pictureRect(const QRect& cellFrame) {
    // Views here count y downwards, so the box is centred from the row's top.
    const int top = cellFrame.y() - (kPictureBox - 1) +
                    static_cast<int>(std::ceil((cellFrame.height() + kPictureBox) / 2.0));
    return QRect(cellFrame.x() + kPictureInset, top, kPictureBox, kPictureBox);
}

void ImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QPixmap image = picture(index);
    QStyleOptionViewItem styled(option);
    initStyleOption(&styled, index);
    if (image.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const int slice = kPictureInset + kPictureBox;
    const QRect pictureArea(option.rect.x(), option.rect.y(), slice, option.rect.height());
    const QRect textArea = option.rect.adjusted(slice, 0, 0, 0);
    if (styled.backgroundBrush.style() != Qt::NoBrush)
        painter->fillRect(pictureArea, styled.backgroundBrush);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawPixmap(pictureRect(option.rect), image);
    painter->restore();
    const QStyleOptionViewItem text = TextOnly(styled, textArea);
    StyleOf(option)->drawControl(QStyle::CE_ItemViewItem, &text, painter, option.widget);
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const QPixmap image = picture(index);
    if (image.isNull())
        return QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem styled(option);
    initStyleOption(&styled, index);
    const QStyleOptionViewItem text = TextOnly(styled, option.rect);
    QSize size =
        StyleOf(option)->sizeFromContents(QStyle::CT_ItemViewItem, &text, QSize(), option.widget);
    size.rwidth() += image.deviceIndependentSize().toSize().width() + kPictureInset;
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    const QPixmap image = picture(index);
    if (image.isNull()) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    const int indent = kPictureInset + image.deviceIndependentSize().toSize().width();
    editor->setGeometry(option.rect.adjusted(indent, 0, 0, 0));
}

QRectF DetailTextAndImageCell::titleRectForBounds(const QStyleOptionViewItem& option,
                                                  const QModelIndex& index) const {
    QStyleOptionViewItem styled(option);
    initStyleOption(&styled, index);
    const QSizeF title = QFontMetricsF(styled.font).size(Qt::TextSingleLine, styled.text);
    const QRectF bounds = option.rect;
    return QRectF(0, (bounds.y() - 0.5) + (bounds.height() - title.height()) / 2, title.width(),
                  title.height());
}
