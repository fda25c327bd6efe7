#pragma once

// A result tree of the results window (by path, file type, creation or
// modification date): folders only, each row with a tri-state check box, an
// icon and a name. Check clicks change the marks through the rows; selection
// and check changes are reported to the window through its delegate.

#include <QTreeView>

#include <cstdint>
#include <memory>

#include "OpNodeData.h"

class CommOutlineModel;
class NewButton;

// What the tree asks of the results window.
class CommOutlineViewDelegate {
public:
    virtual ~CommOutlineViewDelegate() = default;

    // Show the contents of `node`; a nonzero flag recounts sizes and counts.
    virtual void selectOutlineListWithOpNodeData(OpNodeData* /*node*/, int /*refresh*/) {}
    // 0 or more while grid thumbnails or cover-flow images load.
    virtual int gridImageState() const = 0;
    virtual int nImageState() const = 0;
    // The right-hand view shown: 1 grid, 2 cover flow.
    virtual int64_t selectSegmentCount() const = 0;
    virtual void stopGridImageLoading() = 0;
    virtual void stopImageLoading() = 0;
    virtual void reLoadTableVolumnIndicatorImage() {}
    // Re-evaluate the recovery button after a check change.
    virtual void showRecoveryButton() {}
};

class CommOutlineView : public QTreeView {
    Q_OBJECT

public:
    explicit CommOutlineView(QWidget* parent = nullptr);
    ~CommOutlineView() override;

    // Shows the rows of `roots` (the window's array, not owned; null empties
    // the tree) as a tree of kind `dataType`. Rows the user had opened stay open.
    void loadDataFormDetail(const OpNodeArray* roots, int64_t dataType);
    int64_t dataType() const;
    // Selects the first root and tells the delegate; nothing for no roots.
    void selectRootItem();
    void stopLoadImageForGridOrCover();

    void setMDelegate(CommOutlineViewDelegate* delegate) { delegate_ = delegate; }
    CommOutlineViewDelegate* mDelegate() const { return delegate_; }
    // The row last selected; null before any, or once the tree dropped it.
    OpNodeData* opDataFile() const { return selected_.lock().get(); }

    CommOutlineModel* outlineModel() const { return model_; }
    NewButton* cell() const { return cell_; }

public slots:
    // A check box was hit.
    void clickButtonAction(const QModelIndex& index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyboardSearch(const QString& search) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    // True when the press hit a row's check box and was handled there.
    bool pressCheckBox(QMouseEvent* event);
    void restoreExpanded(const QModelIndex& parent);
    void tellSelected(OpNodeData* node, int refresh);

    CommOutlineModel* model_;
    NewButton* cell_;
    CommOutlineViewDelegate* delegate_ = nullptr;
    std::weak_ptr<OpNodeData> selected_;
    bool selectingRoot_ = false;
};
