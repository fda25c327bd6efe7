#pragma once

// The device list's outline: each row is painted over a background its
// controller chooses: blue for the marked row, light grey for the rows it
// lists as group rows, white for the others.

#include <QSet>
#include <QTreeView>

#include <cstdint>

class KvCustomOutlineView : public QTreeView {
    Q_OBJECT

public:
    explicit KvCustomOutlineView(QWidget* parent = nullptr);

    static const QColor kMarkedColour;
    static const QColor kGroupColour;

    // The marked row, counted over the rows shown; -1 for none.
    void setSelectCellBackgroundColorWithRow(int64_t row);
    int isSelectRow() const { return selectRow_; }
    void setIsRootArr(const QSet<int>& rows);
    const QSet<int>& isRootArr() const { return rootRows_; }

    // Rows counted from the top over what is shown (expanded rows' children
    // included), as the marks count them.
    int numberOfRows() const;
    QModelIndex itemAtRow(int row) const;
    int rowForItem(const QModelIndex& index) const;
    QColor backgroundForRow(int row) const;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    int selectRow_ = -1;
    QSet<int> rootRows_;
};
