#pragma once

// The row cell of the result trees and lists: a check box on the left, then
// an optional 18-point icon and a label. It paints an index from its model:
// Qt::CheckStateRole picks the check picture, Qt::DecorationRole the icon and
// Qt::DisplayRole the label. A press on the check box is reported with
// clickButtonAction; a second press within 0.2 s (the second half of a double
// click) is not. Each view has its own cell, so the guard is per view.

#include <QElapsedTimer>
#include <QModelIndex>
#include <QStyledItemDelegate>

class NewButton : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit NewButton(QObject* parent = nullptr);

    static constexpr int kGuardMs = 200;

    // Parts of a row whose cell frame is `cell`.
    static QRect iconImageRectForBounds(const QRect& cell, bool hasIcon);
    static QRect imageRectForBounds(const QRect& cell, bool hasIcon, bool hasLabel);
    static QRect checkBoxArea(const QRect& cell);

    // A press at `pos` in the cell of `index`: true (and clickButtonAction
    // emitted) when it hit the check box and no click was reported in the
    // last 0.2 s; false otherwise, the label and icon included.
    bool hitTestForEvent(const QPoint& pos, const QRect& cell, const QModelIndex& index);
    // Lets the next press count at once.
    void changeVlaue();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // The picture of a check state: 0 none, 2 all, anything else partial.
    static QString checkImageName(int state);

signals:
    void clickButtonAction(const QModelIndex& index);

private:
    QElapsedTimer lastReport_;
};
