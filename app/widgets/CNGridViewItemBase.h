#pragma once

// What the thumbnail grid needs of any of its cells: the selected, selectable
// and hovered flags, the reuse identifier and the cell's index, and frame and
// transparency changes that may be animated.

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <cstdint>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

// The reuse identifier items get unless they are given another.
inline constexpr const char* kCNDefaultItemIdentifier = "CNGridViewItem";

class CNGridViewItemBase : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double alphaValue READ alphaValue WRITE setAlphaValue)
    Q_PROPERTY(QRect frame READ frame WRITE setFrame)

public:
    static QSize defaultItemSize() { return {150, 150}; }

    explicit CNGridViewItemBase(QWidget* parent = nullptr);
    ~CNGridViewItemBase() override;

    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    bool isHovered() const { return hovered_; }
    virtual void setHovered(bool hovered);
    QString reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(const QString& identifier) { reuseIdentifier_ = identifier; }
    // The item's position in its grid; CNNotFound while it stands nowhere.
    int64_t index() const { return index_; }
    void setIndex(int64_t index) { index_ = index; }
    QVariant representedObject() const { return representedObject_; }
    void setRepresentedObject(const QVariant& object) { representedObject_ = object; }

    // The select-all and deselect-all notifications of the grid holding the item.
    void selectAll() { setSelected(true); }
    void deSelectAll() { setSelected(false); }

    // Clears what belongs to the cell the item stood in, before it is parked.
    virtual void prepareForReuse();
    bool isReuseable() const { return !selected_; }

    // The grid that holds the item: only its select-all and deselect-all
    // notifications reach the item.
    void setGridView(QObject* grid) { grid_ = grid; }
    QObject* gridView() const { return grid_; }

    // The item's rectangle in its grid's coordinates. The widget itself sits
    // that far from the top of the grid's view, less what is scrolled away.
    QRect frame() const { return frame_; }
    void setFrame(const QRect& frame);
    void setContentOffset(const QPoint& offset);
    // The view was scrolled to `offset` and moved the widget along with it.
    void noteScrolled(const QPoint& offset) { contentOffset_ = offset; }

    double alphaValue() const { return alpha_; }
    void setAlphaValue(double alpha);
    // Moves to `frame` / fades to `alpha` over `milliseconds`; at once when
    // that is 0 or animations are off. A new change replaces a running one.
    void animateFrame(const QRect& frame, int milliseconds);
    void animateAlpha(double alpha, int milliseconds);

private:
    void animate(QPointer<QPropertyAnimation>& running, const QByteArray& property,
                 const QVariant& to, int milliseconds);

    bool selected_ = false;
    bool selectable_ = true;
    bool hovered_ = false;
    QString reuseIdentifier_ = kCNDefaultItemIdentifier;
    int64_t index_;
    QVariant representedObject_;
    QPointer<QObject> grid_;
    QRect frame_;
    QPoint contentOffset_;
    double alpha_ = 1.0;
    QGraphicsOpacityEffect* opacity_ = nullptr;
    QPointer<QPropertyAnimation> frameAnimation_;
    QPointer<QPropertyAnimation> alphaAnimation_;
};
