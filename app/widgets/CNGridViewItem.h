#pragma once

// The grid cell of a found file: its thumbnail on a rounded panel, its name
// and the check box that marks it for recovery. Coordinates are Qt's: the
// item is drawn top-down.

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <memory>

#include "CNGridViewItemBase.h"
#include "CNGridViewItemLayout.h"
#include "OpNodeData.h"

class QLabel;
class QPushButton;

// Hears the item's check box.
class CNGridViewItemDelegate {
public:
    virtual ~CNGridViewItemDelegate() = default;
    // The check box of the item at `index` was used.
    virtual void doSelectItem(int64_t index) = 0;
};

class CNGridViewItem : public CNGridViewItemBase {
    Q_OBJECT

public:
    explicit CNGridViewItem(QWidget* parent = nullptr);
    // A layout given here is not used; see setDefaultLayout.
    CNGridViewItem(const CNGridViewItemLayout* layout, const QString& reuseIdentifier,
                   QWidget* parent = nullptr);

    CNGridViewItemDelegate* delegate() const { return delegate_; }
    void setDelegate(CNGridViewItemDelegate* delegate) { delegate_ = delegate; }
    QImage itemImage() const { return itemImage_; }
    void setItemImage(const QImage& image);
    QString itemTitle() const { return itemTitle_; }
    // Also shown in the title label.
    void setItemTitle(const QString& title);
    QPushButton* itemButton() const { return itemButton_; }
    // Shows the named picture in the check box.
    void setItemButtonImage(const QString& name);
    QString itemButtonImage() const { return itemButtonImage_; }
    QLabel* titleLabel() const { return titleLabel_; }
    const OpNodeRef& node() const { return node_; }
    void setNode(OpNodeRef node) { node_ = std::move(node); }
    // The selection ring's colour and width; without one the ring is a
    // hairline in the painter's pen colour.
    const std::shared_ptr<CNGridViewItemLayout>& currentLayout() const { return currentLayout_; }
    void setCurrentLayout(std::shared_ptr<CNGridViewItemLayout> layout) {
        currentLayout_ = std::move(layout);
        update();
    }
    // Items keep their fixed look whatever layout they are offered.
    void setDefaultLayout(const CNGridViewItemLayout&) {}

    void prepareForReuse() override;
    void setHovered(bool hovered) override;
    void clearHovering() { setHovered(false); }
    void clearSelection() { setSelected(false); }

    // The check box was used: ignored while a scan runs unpaused; otherwise
    // the box shows the mark the click gives and the delegate is told.
    void setItemSelectBoxClickAction();

    // Thumbnail hand-over from any thread: the image reaches the item on the
    // main thread, and only when the item still exists and still shows `node`.
    static void updateImageViewWithImage(QPointer<CNGridViewItem> item, const QImage& image,
                                         const OpNodeRef& node);
    // Main thread: an image with both sides above 0 becomes the thumbnail.
    void refImageWithImage(const QImage& image);

    // Where a picture of `imageSize` is drawn in an item with `bounds`.
    static QRectF thumbnailRect(const QRectF& bounds, const QSizeF& imageSize);
    // The rounded panel behind the thumbnail.
    static QRectF panelRect(const QRectF& bounds);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void initProperties();

    CNGridViewItemDelegate* delegate_ = nullptr;
    QImage itemImage_;
    QPushButton* itemButton_ = nullptr;
    QString itemButtonImage_;
    QLabel* titleLabel_ = nullptr;
    QString itemTitle_;
    OpNodeRef node_;
    std::shared_ptr<CNGridViewItemLayout> currentLayout_;
};
