#pragma once

// The table of found files (the list view and the table under the cover
// flow): headers painted by CustomHeaderCell at a fixed 20-point height, a
// note over an empty list that the results window switches on and off, and
// the space bar asking for a quick preview of the selected file.

#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QPointer>
#include <QRect>
#include <QTableView>

#include <cstdint>
#include <vector>

class QPainter;

// How one column header looks: a light cell with hairline separators and the
// title in grey-blue. The sort column (priority 0) keeps room on the right for
// its indicator; the others are inset from the left.
class CustomHeaderCell {
public:
    explicit CustomHeaderCell(const QString& title);

    const QString& title() const { return title_; }
    const QFont& font() const { return font_; }
    const QColor& textColor() const { return textColor_; }
    bool ascending() const { return ascending_; }
    int64_t priority() const { return priority_; }
    void setSortAscending(bool ascending, int64_t priority);

    // Restyles the title as it is drawn and answers it.
    QString getStr();
    // Where the title goes inside `frame`.
    QRect textRect(const QRect& frame) const;
    void drawWithFrame(QPainter& painter, const QRect& frame);
    // The sort triangle at the right end of `frame`; filled only when this is
    // the sort column.
    void drawSortIndicatorWithFrame(QPainter& painter, const QRect& frame, bool ascending,
                                    int64_t priority) const;
    static QPolygon sortIndicator(const QRect& frame, bool ascending);

private:
    QString title_;
    QFont font_;
    QColor textColor_;
    bool ascending_ = true;
    int64_t priority_ = 1;
};

// The header of a KvNSTableView: one CustomHeaderCell per column, made from the
// model's titles.
class KvTableHeaderView : public QHeaderView {
    Q_OBJECT
public:
    static constexpr int kHeight = 20;

    explicit KvTableHeaderView(QWidget* parent = nullptr);

    // The cell of a column; null past the columns.
    CustomHeaderCell* cell(int logicalIndex);
    // Makes a new cell for every column from its current title.
    void setupHeaderCell();
    void setModel(QAbstractItemModel* model) override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    std::vector<CustomHeaderCell> cells_;
};

class KvNSTableView : public QTableView {
    Q_OBJECT
public:
    explicit KvNSTableView(QWidget* parent = nullptr);

    KvTableHeaderView* headerCells() const { return header_; }

    // 0 shows the empty-list note (once), anything else removes it.
    void changeNoValue(int remove);
    // Centres the note's box in the rows' area again.
    void changeFrame();
    // The height of the note's text line: 40 for languages whose sentence
    // needs two lines, else 25.
    static float getLableHight();

    // The note while it is shown, else null; and its centred box.
    QWidget* noValueView() const { return noValueView_; }
    QWidget* nodeView() const { return nodeView_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect nodeFrame() const;

    KvTableHeaderView* header_;
    QPointer<QWidget> noValueView_;
    QPointer<QWidget> nodeView_;
};
